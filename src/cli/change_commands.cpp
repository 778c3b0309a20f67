// The commands that change a list. Each goes through the store's table operations, so it saves
// exactly as the program does; a command that fails before its operation leaves the file as it
// was.

#include "cli/cli_command.h"
#include "cli/terminal_text.h"
#include "platform/file_names.h"
#include "shared/datetime.h"
#include "shared/todo_global.h"
#include "store/todo_db.h"

#include <QFileInfo>

namespace {

const QString QuietOption = QStringLiteral("quiet");

// The title of task N in `order`.
QString titleOf(TaskTable& table, TSortMode order, int n)
{
    UseOrder(table, order);
    table.SetRecNo(n);
    return table.AsString(TaskField::Title);
}

// done, undo and delete: one table operation on the task at record index N.
CliListCommand onRecord(const CliArgs& args, void (*operation)(TaskTable&, int), CliChange change)
{
    args.required(0, QStringLiteral("FILE"));
    const int n = args.recordIndex(1);
    args.expectPositional(2);
    const TSortMode order = OrderOf(args);
    return {ListAccess::Change, n, [=](CliList& list, CliIo& io) {
                const QString title = titleOf(list.table, order, n);
                operation(list.table, n);
                ReportChange(io, change, title);
                return 0;
            }};
}

QString tasksText(int count)
{
    return count == 1 ? QStringLiteral("1 task") : QStringLiteral("%1 tasks").arg(count);
}

int completedBefore(TaskTable& table, double limit)
{
    const int completed = table.FieldIndex(TaskField::Completed);
    int count = 0;
    for (table.First(); !table.Eof(); table.Next()) {
        const double value = table.AsDateTime(completed);
        if (value != NullDate && value < limit)
            ++count;
    }
    return count;
}

} // namespace

int CmdNew(const CliArgs& args, CliIo& io)
{
    const QString file = args.required(0, QStringLiteral("FILE"));
    args.expectPositional(1);
    // An empty file (left by a program killed while it created a list) may be replaced;
    // CreateListFile refuses any other.
    if (PathExists(file) && !PathIsFile(file))
        throw TaskStoreError(QStringLiteral("%1 already exists.").arg(file));
    CreateListFile(file, NewListMode::ReplaceEmpty);
    OpenList list;
    OpenTaskTable(file, list.table);
    io.out << "created " << PrintableFileName(file) << '\n';
    return 0;
}

CliListCommand PrepareAdd(const CliArgs& args)
{
    args.required(0, QStringLiteral("FILE"));
    const QString title = args.required(1, QStringLiteral("TITLE"));
    args.expectPositional(2);
    const QString category = args.option(QStringLiteral("category"));
    CheckTitleAndCategory(title, category);
    const double deadline =
        ParseDeadlineOrNone(args.option(QStringLiteral("deadline"), QStringLiteral("none")));
    const int priority =
        ParsePriority(args.option(QStringLiteral("priority"), QStringLiteral("normal")));
    const QString details = DetailsFromArgument(args.option(QStringLiteral("details")));
    const TSortMode order = OrderOf(args);
    const bool quiet = args.flag(QuietOption);
    return {ListAccess::Change, 0, [=](CliList& list, CliIo& io) {
                UseOrder(list.table, order);
                AppendTask(list.table, title, category, Now(), deadline, priority, details);
                ReportChange(io, CliChange::Added, title);
                // The cursor stays on the new task: its position is the index to use next.
                if (!quiet)
                    io.out << "Added task " << list.table.RecNo() << ": " << LineText(title)
                           << '\n';
                return 0;
            }};
}

CliListCommand PrepareEdit(const CliArgs& args)
{
    args.required(0, QStringLiteral("FILE"));
    const int n = args.recordIndex(1);
    args.expectPositional(2);
    // Only the fields given change; each is read and checked here, before the list is opened.
    struct Change {
        std::optional<QString> title, category, details;
        std::optional<double> deadline;
        std::optional<int> priority;
    } change;
    if (args.has(QStringLiteral("title")))
        change.title = args.option(QStringLiteral("title"));
    if (args.has(QStringLiteral("category")))
        change.category = args.option(QStringLiteral("category"));
    CheckTitleAndCategory(change.title.value_or(QString()), change.category.value_or(QString()));
    if (args.has(QStringLiteral("deadline")))
        change.deadline = ParseDeadlineOrNone(args.option(QStringLiteral("deadline")));
    if (args.has(QStringLiteral("priority")))
        change.priority = ParsePriority(args.option(QStringLiteral("priority")));
    if (args.has(QStringLiteral("details")))
        change.details = DetailsFromArgument(args.option(QStringLiteral("details")));
    if (!change.title && !change.category && !change.details && !change.deadline &&
        !change.priority)
        throw CliUsageError(QStringLiteral("edit: nothing to change (give --title, --category, "
                                           "--deadline, --priority or --details)"));
    const TSortMode order = OrderOf(args);
    const bool quiet = args.flag(QuietOption);
    return {ListAccess::Change, n, [=](CliList& list, CliIo& io) {
                TaskTable& table = list.table;
                UseOrder(table, order);
                table.SetRecNo(n);
                const QString title = change.title.value_or(table.AsString(TaskField::Title));
                UpdateTask(table, n, title,
                           change.category.value_or(table.AsString(TaskField::Category)),
                           table.AsDateTime(TaskField::Created),
                           change.deadline.value_or(table.AsDateTime(TaskField::CompleteBy)),
                           change.priority.value_or(int(table.AsInteger(TaskField::Priority))),
                           change.details.value_or(table.AsString(TaskField::Details)));
                ReportChange(io, CliChange::Edited, title);
                if (quiet)
                    return 0;
                // A changed deadline, priority or title can move the task in the order.
                const int now = table.RecNo();
                io.out << "Edited task " << n;
                if (now != n)
                    io.out << " (now task " << now << ")";
                io.out << ": " << LineText(title) << '\n';
                return 0;
            }};
}

CliListCommand PrepareDone(const CliArgs& args)
{
    return onRecord(args, MarkTaskCompleted, CliChange::Completed);
}

CliListCommand PrepareUndo(const CliArgs& args)
{
    return onRecord(args, MarkTaskUncompleted, CliChange::Uncompleted);
}

CliListCommand PrepareDelete(const CliArgs& args)
{
    CliListCommand command = onRecord(args, DeleteTask, CliChange::Deleted);
    const int n = command.recIndex;
    const TSortMode order = OrderOf(args);
    command.question = [=](CliList& list) {
        return QStringLiteral("Are you sure you wish to delete task %1, \"%2\"? This can not be "
                              "undone.")
            .arg(n)
            .arg(LineText(titleOf(list.table, order, n)));
    };
    return command;
}

CliListCommand PrepareAgain(const CliArgs& args)
{
    args.required(0, QStringLiteral("FILE"));
    const int n = args.recordIndex(1);
    args.expectPositional(2);
    const double deadline =
        ParseDeadlineOrNone(args.option(QStringLiteral("deadline"), QStringLiteral("none")));
    const TSortMode order = OrderOf(args);
    return {ListAccess::Change, n, [=](CliList& list, CliIo& io) {
                TaskTable& table = list.table;
                // As the do-again menu does: complete the task first if it is not completed yet.
                const QString title = titleOf(table, order, n);
                int index = n;
                if (table.AsDateTime(TaskField::Completed) == NullDate) {
                    MarkTaskCompleted(table, n);
                    // Under smCompletedDesc the completed task moves; the cursor follows it.
                    index = table.RecNo();
                }
                AppendTaskAgain(table, index, deadline);
                ReportChange(io, CliChange::DoneAgain, title);
                return 0;
            }};
}

CliListCommand PreparePurge(const CliArgs& args)
{
    args.required(0, QStringLiteral("FILE"));
    args.expectPositional(1);
    const bool olderThanWeek = args.flag(QStringLiteral("older-than-week"));
    CliListCommand command = {
        ListAccess::Change, 0, [=](CliList& list, CliIo& io) {
            const int before = list.table.RecordCount();
            DeleteCompletedBefore(list.table, olderThanWeek ? Today() - 7 : NullDate);
            ReportChange(io, CliChange::Purged, QString(), before - list.table.RecordCount());
            return 0;
        }};
    // The count is part of the question: a yes holds for the list as it was when asked.
    command.question = [=](CliList& list) {
        const int count = completedBefore(list.table, olderThanWeek ? Today() - 7 : NullDate);
        if (count == 0)
            return QString();
        return olderThanWeek ? QStringLiteral("Are you sure you wish to delete all tasks that "
                                              "were completed over one week ago (%1)? This can "
                                              "not be undone!")
                                   .arg(tasksText(count))
                             : QStringLiteral("Are you sure you wish to delete all tasks that "
                                              "are completed (%1)? This can not be undone!")
                                   .arg(tasksText(count));
    };
    return command;
}
