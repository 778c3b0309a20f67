#include "tasks/task_operations.h"

#include "htmlview/html_view.h"
#include "platform/shell_open.h"
#include "store/task_table.h"
#include "tasks/do_again.h"
#include "tasks/tagged_menu.h"
#include "tasks/task_host.h"
#include "tasks/todo_popupdatepick.h"
#include "tasks/todo_taskeditform.h"

#include <QAction>

TaskOperations::TaskOperations(TaskHost& host) : FHost(host)
{
    openUrl = [](const QString& url) { ShellOpen(url); };
    QWidget* window = host.hostWindow();
    FormTaskEdit = new TFormTaskEdit(window);
    FormPopupDatePick = new TFormPopupDatePick(window);
    CreateMenus();
    CreateCurrentTaskActions();
}

TaskOperations::~TaskOperations()
{
    // The window may have gone first and taken its children with it.
    delete PopupMenuMore.data();
    delete PopupMenuDoAgain.data();
    delete FormPopupDatePick.data();
    delete FormTaskEdit.data();
}

void TaskOperations::CreateMenus()
{
    QWidget* window = FHost.hostWindow();

    PopupMenuDoAgain = new TPopupMenu(window);
    PopupMenuDoAgain->setObjectName(QStringLiteral("PopupMenuDoAgain"));
    DoAgainWithoutDeadline1 =
        PopupMenuDoAgain->addAction(QStringLiteral("Do Again Without Deadline"));
    PopupMenuDoAgain->addSeparator();
    DoAgainTomorrow1 = PopupMenuDoAgain->addAction(DoAgainInitialCaption(TDoAgainPeriod::Tomorrow));
    DoAgaininOneWeek1 = PopupMenuDoAgain->addAction(DoAgainInitialCaption(TDoAgainPeriod::OneWeek));
    DoAgaininTwoWeeks1 =
        PopupMenuDoAgain->addAction(DoAgainInitialCaption(TDoAgainPeriod::TwoWeeks));
    DoAgaininOneMonth1 =
        PopupMenuDoAgain->addAction(DoAgainInitialCaption(TDoAgainPeriod::OneMonth));
    PopupMenuDoAgain->addSeparator();
    DoAgainOn1 = PopupMenuDoAgain->addAction(QStringLiteral("Do Again On..."));
    connect(PopupMenuDoAgain, &QMenu::aboutToShow, this, &TaskOperations::PopupMenuDoAgainPopup);
    connect(DoAgainWithoutDeadline1, &QAction::triggered, this,
            &TaskOperations::DoAgainWithoutDeadline1Click);
    connect(DoAgainTomorrow1, &QAction::triggered, this, &TaskOperations::DoAgainTomorrow1Click);
    connect(DoAgaininOneWeek1, &QAction::triggered, this, &TaskOperations::DoAgaininOneWeek1Click);
    connect(DoAgaininTwoWeeks1, &QAction::triggered, this,
            &TaskOperations::DoAgaininTwoWeeks1Click);
    connect(DoAgaininOneMonth1, &QAction::triggered, this,
            &TaskOperations::DoAgaininOneMonth1Click);
    connect(DoAgainOn1, &QAction::triggered, this, &TaskOperations::DoAgainOn1Click);

    PopupMenuMore = new TPopupMenu(window);
    PopupMenuMore->setObjectName(QStringLiteral("PopupMenuMore"));
    CloneThisTask1 = PopupMenuMore->addAction(QStringLiteral("Clone This Task"));
    DeleteThisTaskForever1 = PopupMenuMore->addAction(QStringLiteral("Delete This Task Forever"));
    connect(CloneThisTask1, &QAction::triggered, this, &TaskOperations::CloneThisTask1Click);
    connect(DeleteThisTaskForever1, &QAction::triggered, this,
            &TaskOperations::DeleteThisTaskForever1Click);
}

void TaskOperations::CheckRecIndex(int recIndex) const
{
    TaskTable& table = FHost.taskTable();
    if (!table.Active())
        throw TaskStoreError(QStringLiteral("No to-do list is open."));
    if (recIndex < 1 || recIndex > table.RecordCount())
        throw TaskStoreError(
            QStringLiteral("There is no task with record index %1 in this list (it has %2 tasks).")
                .arg(recIndex)
                .arg(table.RecordCount()));
}

void TaskOperations::ReloadKeepingPosition()
{
    HtmlView& viewer = FHost.taskViewer();
    const int position = viewer.position();
    FHost.LoadTaskView(false);
    viewer.setPosition(position);
}
