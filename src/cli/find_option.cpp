#include "cli/find_option.h"

#include "cli/cli_command.h"
#include "store/task_table.h"

TaskQuery FindQuery(const CliArgs& args)
{
    if (!args.has(QStringLiteral("find")))
        return TaskQuery();
    try {
        return TaskQuery::Parse(args.option(QStringLiteral("find")));
    } catch (const QueryError& e) {
        throw CliUsageError(QStringLiteral("--find: %1").arg(e.message()));
    }
}

namespace {

QString textOf(const TaskTable& table, const QString& field)
{
    const int index = table.FindField(field);
    return index < 0 ? QString() : table.AsString(index);
}

double dateOf(const TaskTable& table, const QString& field)
{
    const int index = table.FindField(field);
    return index < 0 || table.IsNull(index) ? NullDate : table.AsDateTime(index);
}

} // namespace

TaskValues QueryValues(const TaskTable& table)
{
    const int priority = table.FindField(TaskField::Priority);
    return {textOf(table, TaskField::Title),
            textOf(table, TaskField::Category),
            textOf(table, TaskField::Details),
            dateOf(table, TaskField::CompleteBy),
            priority < 0 ? 1 : table.AsInteger(priority),
            dateOf(table, TaskField::Completed)};
}
