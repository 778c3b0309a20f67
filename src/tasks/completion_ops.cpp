// Marking tasks complete, undoing that, and doing them again.
#include "shared/datetime.h"
#include "shared/todo_global.h"
#include "store/todo_db.h"
#include "tasks/do_again.h"
#include "tasks/tagged_menu.h"
#include "tasks/task_host.h"
#include "tasks/task_operations.h"
#include "tasks/todo_popupdatepick.h"

#include <QAction>

void TaskOperations::SetTaskDone(int recIndex)
{
    CheckRecIndex(recIndex);
    MarkTaskCompleted(FHost.taskTable(), recIndex);
    ReloadKeepingPosition();
}

void TaskOperations::UndoTask(int recIndex)
{
    CheckRecIndex(recIndex);
    MarkTaskUncompleted(FHost.taskTable(), recIndex);
    ReloadKeepingPosition();
}

void TaskOperations::DoDoAgainAction(int recIndex, double newDeadline)
{
    CheckRecIndex(recIndex);
    TaskTable& table = FHost.taskTable();
    table.SetRecNo(recIndex);
    if (table.AsDateTime(TaskField::Completed) == NullDate) {
        // Completing the task moves it in an order that sorts by completion time, so the copy is
        // made from the values read here rather than from the record index afterwards.
        const QString title = table.AsString(TaskField::Title);
        const QString category = table.AsString(TaskField::Category);
        const QString details = table.AsString(TaskField::Details);
        const int priority = static_cast<int>(table.AsInteger(TaskField::Priority));
        MarkTaskCompleted(table, recIndex);
        AppendTask(table, title, category, Now(), newDeadline, priority, details);
    } else {
        AppendTaskAgain(table, recIndex, newDeadline);
    }
    ReloadKeepingPosition();
}

void TaskOperations::PopupMenuDoAgainPopup()
{
    const double today = Today();
    DoAgainTomorrow1->setText(DoAgainCaption(TDoAgainPeriod::Tomorrow, today));
    DoAgaininOneWeek1->setText(DoAgainCaption(TDoAgainPeriod::OneWeek, today));
    DoAgaininTwoWeeks1->setText(DoAgainCaption(TDoAgainPeriod::TwoWeeks, today));
    DoAgaininOneMonth1->setText(DoAgainCaption(TDoAgainPeriod::OneMonth, today));
}

void TaskOperations::DoAgainWithoutDeadline1Click()
{
    DoDoAgainAction(PopupMenuDoAgain->Tag, NullDate);
}

// The deadline is computed again at the click: the menu may have stayed open past midnight.
void TaskOperations::DoAgainTomorrow1Click()
{
    DoDoAgainAction(PopupMenuDoAgain->Tag, DoAgainDeadline(TDoAgainPeriod::Tomorrow, Today()));
}

void TaskOperations::DoAgaininOneWeek1Click()
{
    DoDoAgainAction(PopupMenuDoAgain->Tag, DoAgainDeadline(TDoAgainPeriod::OneWeek, Today()));
}

void TaskOperations::DoAgaininTwoWeeks1Click()
{
    DoDoAgainAction(PopupMenuDoAgain->Tag, DoAgainDeadline(TDoAgainPeriod::TwoWeeks, Today()));
}

void TaskOperations::DoAgaininOneMonth1Click()
{
    DoDoAgainAction(PopupMenuDoAgain->Tag, DoAgainDeadline(TDoAgainPeriod::OneMonth, Today()));
}

void TaskOperations::DoAgainOn1Click()
{
    const int recIndex = PopupMenuDoAgain->Tag;
    CheckRecIndex(recIndex);
    if (FormPopupDatePick->ShowModal())
        DoDoAgainAction(recIndex, FormPopupDatePick->PickedDate());
}
