#include "cli/cli_command.h"

const std::vector<CliCommand>& CliCommands()
{
    static const std::vector<CliCommand> commands = {
        {"new", "FILE", "create a new, empty list file", CmdNew, {}, {}},
        {"add",
         "FILE TITLE [--category C] [--deadline YYYY-MM-DD] [--priority high|normal|low] "
         "[--details TEXT] [--order NAME]",
         "append a task",
         CmdAdd,
         {"category", "deadline", "priority", "details", "order"},
         {}},
        {"done", "FILE N [--order NAME]", "mark task N completed", CmdDone, {"order"}, {}},
        {"undo", "FILE N [--order NAME]", "mark task N not completed", CmdUndo, {"order"}, {}},
        {"delete", "FILE N [--order NAME]", "delete task N", CmdDelete, {"order"}, {}},
        {"again",
         "FILE N [--deadline YYYY-MM-DD|none] [--order NAME]",
         "complete task N if needed and append a fresh copy of it",
         CmdAgain,
         {"deadline", "order"},
         {}},
        {"purge",
         "FILE [--older-than-week]",
         "delete the completed tasks (or those completed before a week ago)",
         CmdPurge,
         {},
         {"older-than-week"}},
        {"dump",
         "FILE [--find QUERY [--order NAME]]",
         "print every record as JSON, in insertion order; with --find, the matching ones with "
         "their record indexes, in the order --order names",
         CmdDump,
         {"find", "order"},
         {}},
        {"page",
         "FILE [--completed] [--print] [--order NAME] [--find QUERY]",
         "print the task list page as the window loads it, narrowed by --find as the filter bar "
         "narrows it",
         CmdPage,
         {"order", "find"},
         {"completed", "print"}},
    };
    return commands;
}
