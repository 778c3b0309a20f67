// The whole open path, as the window takes it: a list file of any bytes is opened (read, the
// task table built, a schema-1 list upgraded on disk), ordered in every sort order and turned
// into the page in both views, for the screen and for printing. A file is either refused with a
// message or shown; nothing else may escape, and the page never fails but on the one error it
// is meant to raise.

#include "fuzz_support.h"
#include "shared/datetime.h"
#include "store/todo_db.h"
#include "view/page_style.h"
#include "view/task_page.h"
#include "view/view_error.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using fuzz::check;
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/qm-open-fuzz-XXXXXX"));
    static const ActionImagePaths images = SetActionImagePaths(QStringLiteral("/nonexistent"));
    static const QString styleSheet =
        PageStyleSheet(DefaultPageColors(), DefaultDisplayFontName, DefaultDisplayFontSize);
    static const double today = EncodeDateTime(QDate(2026, 3, 15));

    const QString path = dir.filePath(QStringLiteral("list.qmtd"));
    for (const QString& name : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden))
        QFile::remove(dir.filePath(name));
    {
        QFile file(path);
        check(file.open(QIODevice::WriteOnly) &&
                  file.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size),
              "the list file is written");
    }

    TaskTable table;
    try {
        OpenTaskTable(path, table);
    } catch (const TaskStoreError& e) {
        check(!e.message().isEmpty(), "a refusal says why");
        check(!table.Active(), "a refused file leaves no table");
        CloseTaskStore(table);
        return 0;
    }
    for (int mode = 0; mode < SortModeCount; ++mode)
        for (const TTaskViewFilter filter : {tvfUncompleted, tvfCompleted})
            for (const bool printing : {false, true}) {
                try {
                    const TaskPage page =
                        BuildTaskPage(table, mode, filter, printing, images, styleSheet, today);
                    check(page.FRecsShown <= table.RecordCount(), "no more tasks than the list");
                    check(page.FCompletedTasks <= table.RecordCount(),
                          "no more completed tasks than the list");
                } catch (const ViewError& e) {
                    check(mode == smPrDeTiCr &&
                              e.message().startsWith(QStringLiteral("Unknown priority level: ")),
                          "only grouping by priority fails, on an unknown priority",
                          e.message());
                }
            }
    CloseTaskStore(table);
    return 0;
}
