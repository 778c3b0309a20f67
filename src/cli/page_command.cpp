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

CliListCommand PreparePage(const CliArgs& args)
{
    args.required(0, QStringLiteral("FILE"));
    args.expectPositional(1);
    const TaskQuery query = FindQuery(args);
    const TSortMode order = OrderOf(args);
    const TTaskViewFilter filter =
        args.flag(QStringLiteral("completed")) ? tvfCompleted : tvfUncompleted;
    const bool printing = args.flag(QStringLiteral("print"));
    return {ListAccess::Read, 0, [=](CliList& list, CliIo& io) {
                // The completed view always lists by completion time, newest first.
                const int mode = filter == tvfCompleted ? int(smCompletedDesc) : int(order);
                QString styleSheet = PageStyleSheet(DefaultPageColors(), DefaultDisplayFontName,
                                                    DefaultDisplayFontSize);
                if (!query.isEmpty())
                    styleSheet += MatchMarkStyle(DefaultPageColors());
                // Written as it is built: the page of a long list is many times the list's size.
                BuildTaskPage(list.table, mode, filter, printing, SetActionImagePaths(DataFolder()),
                              styleSheet, Today(), PageQuery{&query},
                              [&io](const QString& piece) { io.out << piece; });
                return 0;
            }};
}
