#include "shared/todo_global.h"
#include "store/task_table.h"

void AddSortIndexes(TaskTable& table)
{
    using namespace TaskField;
    struct Order {
        TSortMode mode;
        QStringList keys;
        bool descending;
    };
    const Order orders[] = {
        {smCaDePrTiCr, {Category, CompleteBy, Priority, Title, Created}, false},
        {smCompletedDesc, {Completed}, true},
        {smDePrTiCr, {CompleteBy, Priority, Title, Created}, false},
        {smCreated, {Created}, true},
        {smPrDeTiCr, {Priority, CompleteBy, Title, Created}, false},
        {smTiDePrCr, {Title, CompleteBy, Priority, Created}, false},
    };
    for (const Order& order : orders) {
        const QString name = SortModeName(order.mode);
        if (!table.HasIndex(name))
            table.AddIndex(name, order.keys.join(QLatin1Char(';')), order.descending);
    }
}
