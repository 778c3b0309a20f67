// A second process for the list file tests.
//   store_save_child save FILE   appends "task N" and saves, again and again, printing
//                                "saved N" after each save has returned
//   store_save_child open FILE   opens the list and exits 0, or prints the error and exits 3
//   store_save_child new PREFIX  creates PREFIX1.qmtd, PREFIX2.qmtd, ... one after the other,
//                                printing "created N" after each

#include "shared/datetime.h"
#include "shared/todo_global.h"
#include "store/todo_db.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const QString file = QString::fromLocal8Bit(argv[2]);
    TaskTable table;
    try {
        if (mode == QLatin1String("new")) {
            for (int n = 1;; ++n) {
                OpenTaskTable(file + QString::number(n) + QStringLiteral(".qmtd"), table);
                CloseTaskStore(table);
                std::printf("created %d\n", n);
                std::fflush(stdout);
            }
        }
        OpenTaskTable(file, table);
        if (mode == QLatin1String("open"))
            return 0;
        for (;;) {
            const int n = table.RecordCount() + 1;
            AppendTask(table, QStringLiteral("task %1").arg(n), QStringLiteral("c"), Now(),
                       NullDate, 1, QString(n % 50, QLatin1Char('d')));
            std::printf("saved %d\n", n);
            std::fflush(stdout);
        }
    } catch (const TaskStoreError& e) {
        std::printf("%s\n", e.message().toLocal8Bit().constData());
        std::fflush(stdout);
        return 3;
    }
}
