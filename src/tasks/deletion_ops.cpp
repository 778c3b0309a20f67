// Deleting one task and purging completed tasks, each after a confirmation.
#include "shared/datetime.h"
#include "shared/todo_global.h"
#include "store/todo_db.h"
#include "tasks/prompts.h"
#include "tasks/tagged_menu.h"
#include "tasks/task_host.h"
#include "tasks/task_operations.h"

void TaskOperations::DeleteThisTaskForever1Click()
{
    const int recIndex = PopupMenuMore->Tag;
    CheckRecIndex(recIndex);
    if (!Prompts::confirm(FHost.hostWindow(),
                          QStringLiteral("Are you sure you wish to delete this task? This can not "
                                         "be undone.")))
        return;
    DeleteTask(FHost.taskTable(), recIndex);
    FHost.LoadTaskView(false);
}

void TaskOperations::ActionDeleteCompletedOverWeekExecute()
{
    if (!Prompts::confirm(FHost.hostWindow(),
                          QStringLiteral("Are you sure you wish to delete all tasks that were "
                                         "completed over one week ago? This can not be undone!")))
        return;
    // Midnight at the start of the day seven days ago.
    DeleteCompletedBefore(FHost.taskTable(), Today() - 7);
    FHost.LoadTaskView(false);
}

void TaskOperations::ActionDeleteCompletedExecute()
{
    if (!Prompts::confirm(FHost.hostWindow(),
                          QStringLiteral("Are you sure you wish to delete all tasks that are "
                                         "completed? This can not be undone!")))
        return;
    // Later than any real completion time.
    DeleteCompletedBefore(FHost.taskTable(), NullDate);
    FHost.LoadTaskView(false);
}
