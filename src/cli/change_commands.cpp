// The commands that change a list. Each goes through the store's table operations, so it saves
// exactly as the program does; a command that fails before its operation leaves the file as it
// was.

#include "cli/cli_command.h"
#include "platform/file_names.h"
#include "shared/datetime.h"
#include "shared/todo_global.h"
#include "store/todo_db.h"

#include <QFileInfo>

namespace {

// Closes the list on every way out, so the hold is released before the status is returned.
struct OpenList {
    TaskTable table;
    ~OpenList() { CloseTaskStore(table); }
};

constexpr int MaxTitleLength = 200;
constexpr int MaxCategoryLength = 50;

int parsePriority(const QString& text)
{
    const QString p = text.toLower();
    if (p == QLatin1String("high"))
        return 0;
    if (p == QLatin1String("normal"))
        return 1;
    if (p == QLatin1String("low"))
        return 2;
    throw CliUsageError(
        QStringLiteral("the priority must be high, normal or low, not \"%1\"").arg(text));
}

} // namespace

int CmdNew(const CliArgs& args, CliIo& io)
{
    const QString file = args.required(0, QStringLiteral("FILE"));
    args.expectPositional(1);
    if (PathExists(file))
        throw TaskStoreError(QStringLiteral("%1 already exists.").arg(file));
    OpenList list;
    OpenTaskTable(file, list.table);
    io.out << "created " << PrintableFileName(file) << '\n';
    return 0;
}

int CmdAdd(const CliArgs& args, CliIo&)
{
    const QString file = args.required(0, QStringLiteral("FILE"));
    const QString title = args.required(1, QStringLiteral("TITLE"));
    args.expectPositional(2);
    const QString category = args.option(QStringLiteral("category"));
    if (title.size() > MaxTitleLength)
        throw CliUsageError(
            QStringLiteral("a title has at most %1 characters").arg(MaxTitleLength));
    if (category.size() > MaxCategoryLength)
        throw CliUsageError(
            QStringLiteral("a category has at most %1 characters").arg(MaxCategoryLength));
    const double deadline = args.has(QStringLiteral("deadline"))
                                ? ParseDeadline(args.option(QStringLiteral("deadline")))
                                : NullDate;
    const int priority =
        parsePriority(args.option(QStringLiteral("priority"), QStringLiteral("normal")));
    const QString details = args.option(QStringLiteral("details"));
    OpenList list;
    OpenExistingList(args, file, list.table);
    AppendTask(list.table, title, category, Now(), deadline, priority, details);
    return 0;
}

namespace {

// done, undo and delete: one table operation on the task at record index N.
int RunOnRecord(const CliArgs& args, void (*operation)(TaskTable&, int))
{
    const QString file = args.required(0, QStringLiteral("FILE"));
    const int n = args.recordIndex(1);
    args.expectPositional(2);
    OpenList list;
    OpenExistingList(args, file, list.table, n);
    operation(list.table, n);
    return 0;
}

} // namespace

int CmdDone(const CliArgs& args, CliIo&)
{
    return RunOnRecord(args, MarkTaskCompleted);
}

int CmdUndo(const CliArgs& args, CliIo&)
{
    return RunOnRecord(args, MarkTaskUncompleted);
}

int CmdDelete(const CliArgs& args, CliIo&)
{
    return RunOnRecord(args, DeleteTask);
}

int CmdAgain(const CliArgs& args, CliIo&)
{
    const QString file = args.required(0, QStringLiteral("FILE"));
    const int n = args.recordIndex(1);
    args.expectPositional(2);
    const QString deadlineText = args.option(QStringLiteral("deadline"), QStringLiteral("none"));
    const double deadline =
        deadlineText == QLatin1String("none") ? NullDate : ParseDeadline(deadlineText);
    OpenList list;
    OpenExistingList(args, file, list.table, n);
    TaskTable& table = list.table;
    // As the do-again menu does: complete the task first if it is not completed yet.
    table.SetRecNo(n);
    int index = n;
    if (table.AsDateTime(TaskField::Completed) == NullDate) {
        MarkTaskCompleted(table, n);
        // Under smCompletedDesc the completed task moves; the cursor follows it.
        index = table.RecNo();
    }
    AppendTaskAgain(table, index, deadline);
    return 0;
}

int CmdPurge(const CliArgs& args, CliIo&)
{
    const QString file = args.required(0, QStringLiteral("FILE"));
    args.expectPositional(1);
    const double limit = args.flag(QStringLiteral("older-than-week")) ? Today() - 7 : NullDate;
    OpenList list;
    OpenExistingList(args, file, list.table);
    DeleteCompletedBefore(list.table, limit);
    return 0;
}
