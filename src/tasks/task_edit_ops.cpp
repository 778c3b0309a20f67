// New task, clone and edit through the task edit dialog.
#include "htmlview/html_view.h"
#include "shared/datetime.h"
#include "shared/todo_global.h"
#include "store/todo_db.h"
#include "tasks/tagged_menu.h"
#include "tasks/task_host.h"
#include "tasks/task_operations.h"
#include "tasks/todo_taskeditform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {

// Removes the date picker's lower bound when the dialog closes, also by an error.
struct LowerBoundGuard {
    TFormTaskEdit& form;
    ~LowerBoundGuard() { form.SetCompleteByLowerBound(0); }
};

} // namespace

void TaskOperations::FillTaskEditCatagories()
{
    TaskTable& table = FHost.taskTable();
    const int recNo = table.RecNo();
    QStringList categories;
    FillCategoryList(table, categories);
    if (recNo >= 1 && recNo <= table.RecordCount())
        table.SetRecNo(recNo);
    FormTaskEdit->SetCategoryList(categories);
}

void TaskOperations::NewTaskItem(int cloneFromRec)
{
    TaskTable& table = FHost.taskTable();
    // "New Task..." does nothing while no list is open.
    if (cloneFromRec == -1 && !table.Active())
        return;
    if (cloneFromRec != -1)
        CheckRecIndex(cloneFromRec);

    TFormTaskEdit& form = *FormTaskEdit;
    FillTaskEditCatagories();
    form.eDetails->setFont(QFont(DisplayFontName, DisplayFontSize));
    const double today = Today();
    if (cloneFromRec == -1) {
        form.eTitle->setText(QStringLiteral("New Task"));
        form.eCategory->setEditText(QString());
        form.SetCompleteBy(today + 7);
        form.SetDetails(QString());
        form.SetPriority(1);
        // The deadline box keeps the state of the dialog's last use.
    } else {
        table.SetRecNo(cloneFromRec);
        form.eTitle->setText(table.AsString(TaskField::Title));
        form.eCategory->setEditText(table.AsString(TaskField::Category));
        double deadline = table.AsDateTime(TaskField::CompleteBy);
        if (deadline == NullDate) {
            form.SetCompleteBy(today + 7);
            form.eUseCompleteBy->setChecked(false);
        } else {
            if (today > deadline)
                deadline = today + 7;
            form.SetCompleteBy(deadline);
            form.eUseCompleteBy->setChecked(true);
        }
        form.SetDetails(table.AsString(TaskField::Details));
        form.SetPriority(static_cast<int>(table.AsInteger(TaskField::Priority)));
    }
    form.eTitle->setFocus();
    form.eTitle->selectAll();

    bool ok = false;
    {
        LowerBoundGuard guard{form};
        form.SetCompleteByLowerBound(today);
        ok = form.ShowModal();
    }
    if (!ok)
        return;

    const TaskEditValues values = form.ReadValues();
    const double created = Now();
    AppendTask(table, values.title, values.category, created, values.deadline, values.priority,
               values.details);
    const quint64 newTask = table.RecordId();
    if (FHost.TaskViewFilter() == tvfCompleted)
        FHost.SetTaskViewFilter(tvfUncompleted);
    else
        FHost.LoadTaskView(false);
    // The new task is the one to act on next; the page still starts at the top.
    FHost.taskViewer().setCurrentRowGroupKey(newTask);
}

void TaskOperations::EditTaskItem(int recIndex)
{
    CheckRecIndex(recIndex);
    TaskTable& table = FHost.taskTable();
    TFormTaskEdit& form = *FormTaskEdit;
    FillTaskEditCatagories();
    form.eDetails->setFont(QFont(DisplayFontName, DisplayFontSize));

    table.SetRecNo(recIndex);
    form.eTitle->setText(table.AsString(TaskField::Title));
    form.eCategory->setEditText(table.AsString(TaskField::Category));
    const double created = table.AsDateTime(TaskField::Created);
    const double deadline = table.AsDateTime(TaskField::CompleteBy);
    if (deadline != NullDate) {
        form.eUseCompleteBy->setChecked(true);
        form.SetCompleteBy(deadline);
    } else {
        form.eUseCompleteBy->setChecked(false);
        form.SetCompleteBy(Today() + 7);
    }
    form.SetDetails(table.AsString(TaskField::Details));
    form.SetPriority(static_cast<int>(table.AsInteger(TaskField::Priority)));
    form.eDetails->setFocus();

    // No lower bound: any date, past ones included, can be chosen.
    form.SetCompleteByLowerBound(0);
    if (!form.ShowModal())
        return;

    const TaskEditValues values = form.ReadValues();
    UpdateTask(table, recIndex, values.title, values.category, created, values.deadline,
               values.priority, values.details);
    ReloadKeepingPosition();
}

void TaskOperations::CloneThisTask1Click()
{
    NewTaskItem(PopupMenuMore->Tag);
}
