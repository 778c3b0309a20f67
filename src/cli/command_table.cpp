#include "cli/cli_command.h"

const std::vector<CliCommand>& CliCommands()
{
    static const std::vector<CliCommand> commands = {
        {"new", "FILE", "create a new, empty list file", CmdNew, {}, {}},
        {"add",
         "FILE TITLE [--category C] [--deadline YYYY-MM-DD] [--priority high|normal|low] "
         "[--details TEXT]",
         "append a task",
         CmdAdd,
         {"category", "deadline", "priority", "details"},
         {}},
        {"done", "FILE N", "mark task N completed", CmdDone, {}, {}},
        {"undo", "FILE N", "mark task N not completed", CmdUndo, {}, {}},
        {"delete", "FILE N", "delete task N", CmdDelete, {}, {}},
        {"again",
         "FILE N [--deadline YYYY-MM-DD|none]",
         "complete task N if needed and append a fresh copy of it",
         CmdAgain,
         {"deadline"},
         {}},
        {"purge",
         "FILE [--older-than-week]",
         "delete the completed tasks (or those completed before a week ago)",
         CmdPurge,
         {},
         {"older-than-week"}},
        {"dump", "FILE", "print every record as JSON, in insertion order", CmdDump, {}, {}},
        {"page",
         "FILE [--completed] [--print]",
         "print the task list page as the window loads it",
         CmdPage,
         {},
         {"completed", "print"}},
    };
    return commands;
}
