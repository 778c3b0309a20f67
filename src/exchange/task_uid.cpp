#include "exchange/task_uid.h"

#include "exchange/exchange_formats.h"
#include "shared/datetime.h"
#include "store/task_fields.h"
#include "store/task_table.h"

#include <QHash>
#include <QUuid>

namespace {
// The name space of Quillmark's task identifiers (itself a version 5 UUID of the product's site).
const QUuid TaskNamespace =
    QUuid::createUuidV5(QUuid(), QByteArrayLiteral("https://quillmark.org/task"));

QByteArray uidName(double created, const QString& title)
{
    // The creation time to the second: what an iCalendar CREATED keeps of it.
    return FormatIsoDateTime(created).left(19).toUtf8() + '\n' + title.toUtf8();
}
} // namespace

QString TaskUid(double created, const QString& title, int occurrence)
{
    QByteArray name = uidName(created, title);
    if (occurrence > 1)
        name += '\n' + QByteArray::number(occurrence);
    return QUuid::createUuidV5(TaskNamespace, name).toString(QUuid::WithoutBraces);
}

std::vector<QString> TaskUids(TaskTable& table)
{
    const InsertionOrderWalk walk(table);
    const TaskFieldIndexes f(table);
    QHash<QByteArray, int> seen;
    std::vector<QString> uids;
    uids.reserve(table.RecordCount());
    for (table.First(); !table.Eof(); table.Next()) {
        const double created = table.AsDateTime(f.created);
        const QString title = table.AsString(f.title);
        const int occurrence = ++seen[uidName(created, title)];
        uids.push_back(TaskUid(created, title, occurrence));
    }
    return uids;
}
