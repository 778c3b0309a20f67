// qmtd page: the task list page of a list, exactly as the window would load it, for scripting and
// for looking at in a browser. Off the window there are no system colours or saved font, so the
// page uses the usual desktop defaults: button face F0F0F0, window text 000000, highlight 0078D7,
// highlighted text FFFFFF, and the default display font (Verdana 10). Dates are in the user's
// short date format; "today" is the current local date. --find narrows the page as the filter bar
// does.

#include "cli/cli_command.h"
#include "cli/find_option.h"
#include "platform/data_folder.h"
#include "shared/datetime.h"
#include "shared/todo_global.h"
#include "view/action_links.h"
#include "view/page_style.h"
#include "view/task_page.h"

int CmdPage(const CliArgs& args, CliIo& io)
{
    const QString file = args.required(0, QStringLiteral("FILE"));
    args.expectPositional(1);
    const TaskQuery query = FindQuery(args);
    TaskTable table;
    OpenExistingList(args, file, table);

    const TTaskViewFilter filter =
        args.flag(QStringLiteral("completed")) ? tvfCompleted : tvfUncompleted;
    // The completed view always lists by completion time, newest first.
    const int mode =
        filter == tvfCompleted ? int(smCompletedDesc) : SortModeFromName(table.IndexName());
    QString styleSheet =
        PageStyleSheet(DefaultPageColors(), DefaultDisplayFontName, DefaultDisplayFontSize);
    if (!query.isEmpty())
        styleSheet += MatchMarkStyle(DefaultPageColors());
    const TaskPage page =
        BuildTaskPage(table, mode, filter, args.flag(QStringLiteral("print")),
                      SetActionImagePaths(DataFolder()), styleSheet, Today(), PageQuery{&query});
    io.out << page.text;
    return 0;
}
