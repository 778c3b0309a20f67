#include "cli/find_option.h"

#include "cli/cli_command.h"

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
