#include "app/app_windows.h"

#include "app/error_handler.h"
#include "app/form_about.h"
#include "app/form_main.h"
#include "app/remote_commands.h"
#include "htmlview/html_view.h"
#include "store/todo_db.h"
#include "tasks/prompts.h"
#include "tasks/task_operations.h"
#include "view/link_grammar.h"

TApplicationWindows::TApplicationWindows() = default;
TApplicationWindows::TApplicationWindows(TApplicationWindows&&) noexcept = default;

TApplicationWindows::~TApplicationWindows()
{
    // The dialogs and the operations refer to the main window: they go first, and before them
    // the endpoint, so that no command comes in on the way.
    Remote.reset();
    FormAbout.reset();
    Tasks.reset();
    FormMain.reset();
}

TApplicationWindows CreateApplicationWindows(const QString& listFileArgument)
{
    TApplicationWindows windows;
    windows.FormMain = std::make_unique<TFormMain>(listFileArgument);
    TFormMain& form = *windows.FormMain;
    windows.Tasks = std::make_unique<TaskOperations>(form);
    TaskOperations& tasks = *windows.Tasks;

    form.SetTaskCommands([&tasks] { tasks.NewTaskItem(-1); },
                         [&tasks] { tasks.ActionDeleteCompletedExecute(); },
                         [&tasks] { tasks.ActionDeleteCompletedOverWeekExecute(); });
    form.SetCurrentTaskCommands(tasks.CurrentTaskActions());
    // The page's links: a failure is reported here, the view has been told the click is handled.
    QObject::connect(form.TaskViewer, &HtmlView::hotSpotClick, &tasks,
                     [&tasks, &form](const QString& target, bool* handled) {
                         bool done = true;
                         // A list open read-only: the task buttons say so before any dialog.
                         if (CurrentListReadOnly() && ParseLink(target).kind == TLinkKind::Action)
                             Prompts::message(&form, ReadOnlyListMessage(CurrentListFileName()));
                         else
                             RunGuarded(QStringLiteral("TaskViewerHotSpotClick (%1)").arg(target),
                                        [&] { tasks.TaskViewerHotSpotClick(target, done); });
                         if (handled)
                             *handled = true;
                     });
    QObject::connect(form.TaskViewer, &HtmlView::hotSpotCovered, &tasks,
                     [&tasks](const QString& target) {
                         RunGuarded(QStringLiteral("TaskViewerHotSpotCovered (%1)").arg(target),
                                    [&] { tasks.TaskViewerHotSpotCovered(target); });
                     });

    windows.FormAbout = std::make_unique<TFormAbout>(&form);
    form.SetAboutForm(windows.FormAbout.get());
    windows.Remote = std::make_unique<TRemoteCommands>(form, tasks);
    QObject::connect(&form, &TFormMain::openListChanged, windows.Remote.get(),
                     &TRemoteCommands::ListChanged);
    return windows;
}
