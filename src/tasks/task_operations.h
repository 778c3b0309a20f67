#pragma once
// Every operation that changes tasks from the window: the task edit dialog's new, clone and edit,
// completion, undo and do-again with their menu and date dialog, deletions, and what a click on
// or the pointer over a link of the page means.
//
// Nothing here catches an error: a failure of the task table or of writing the list file ends the
// operation and reaches the caller (the top-level handler); a change already made in memory stays.

#include "tasks/current_task.h"
#include "view/action_links.h"

#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <functional>

class QAction;
class TaskHost;
class TFormTaskEdit;
class TFormPopupDatePick;
class TPopupMenu;

class TaskOperations : public QObject {
    Q_OBJECT
public:
    explicit TaskOperations(TaskHost& host);
    ~TaskOperations() override;

    // --- new, clone, edit ---------------------------------------------------------------------
    // -1 creates a new task; any other value is the record index of the task to copy.
    void NewTaskItem(int cloneFromRec);
    void EditTaskItem(int recIndex);
    // The category list of the edit dialog from every task of the list; the table's cursor is
    // put back where it was.
    void FillTaskEditCatagories();

    // --- completion, undo, do again -----------------------------------------------------------
    void SetTaskDone(int recIndex);
    void UndoTask(int recIndex);
    // Completes the task if it is not completed yet and appends an uncompleted copy with the
    // new deadline (NullDate: none).
    void DoDoAgainAction(int recIndex, double newDeadline);
    // Recomputes the dated captions; runs each time the do-again menu opens.
    void PopupMenuDoAgainPopup();
    void DoAgainWithoutDeadline1Click();
    void DoAgainTomorrow1Click();
    void DoAgaininOneWeek1Click();
    void DoAgaininTwoWeeks1Click();
    void DoAgaininOneMonth1Click();
    void DoAgainOn1Click();

    // --- more options menu, deletions ---------------------------------------------------------
    void CloneThisTask1Click();
    void DeleteThisTaskForever1Click();
    void ActionDeleteCompletedExecute();
    void ActionDeleteCompletedOverWeekExecute();

    // --- the page's links ---------------------------------------------------------------------
    // Sets handled to true before anything else, so that the view never follows a link itself.
    void TaskViewerHotSpotClick(const QString& target, bool& handled);
    // The link under the pointer changed (empty: it left the links).
    void TaskViewerHotSpotCovered(const QString& target);
    // Store the record index in the menu's Tag and open the menu at a screen point.
    void DoPopUpTaskDoAgainMenu(int recIndex, const QPoint& screenPos);
    void DoPopupTaskMenu(int recIndex, const QPoint& screenPos);

    // The hint last shown for the link under the pointer (empty when none).
    const QString& CurrentHint() const { return FHint; }

    // --- the current task: the one the page's keyboard focus is on --------------------------
    // Its record index; 0 when the page shows no task.
    int CurrentRecIndex() const;
    // Enter or F2 (the Uncompleted tab only), Space (undo on the Completed tab), A, Shift+F10
    // or the Menu key, and Delete: the task's buttons and "Delete This Task Forever". The menus
    // open at the task. The actions work while the page has the focus; the window lists them.
    void EditCurrentTask();
    void CompleteCurrentTask();
    void DoAgainMenuForCurrentTask();
    void MoreMenuForCurrentTask();
    void DeleteCurrentTask();
    QList<QAction*> CurrentTaskActions() const;
    void UpdateCurrentTaskActions();
    // An assistive tool ran one of a task row's actions.
    void TaskViewerRowGroupAction(int group, const QString& action);
    // The page's key presses that are keys of the current-task commands.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Regenerates the page and puts the view back where it was.
    void ReloadKeepingPosition();

    // Opens web links; the shell's "open" by default, replaceable in tests.
    std::function<void(const QString&)> openUrl;

    // Dialogs and menus, created once and reused.
    QPointer<TFormTaskEdit> FormTaskEdit;
    QPointer<TFormPopupDatePick> FormPopupDatePick;
    QPointer<TPopupMenu> PopupMenuDoAgain;
    QPointer<TPopupMenu> PopupMenuMore;

    QAction* DoAgainWithoutDeadline1 = nullptr;
    QAction* DoAgainTomorrow1 = nullptr;
    QAction* DoAgaininOneWeek1 = nullptr;
    QAction* DoAgaininTwoWeeks1 = nullptr;
    QAction* DoAgaininOneMonth1 = nullptr;
    QAction* DoAgainOn1 = nullptr;
    QAction* CloneThisTask1 = nullptr;
    QAction* DeleteThisTaskForever1 = nullptr;

    QAction* ActionEditTask = nullptr;
    QAction* ActionCompleteTask = nullptr;
    QAction* ActionUndoTask = nullptr;
    QAction* ActionDoTaskAgain = nullptr;
    QAction* ActionMoreTaskOptions = nullptr;
    QAction* ActionDeleteTask = nullptr;

private:
    void CreateMenus();
    void CreateCurrentTaskActions();
    // A list open read-only: says so and returns true.
    bool RefusedReadOnly();
    // Under the task's button of this kind, or under its row when the page has no buttons.
    QPoint MenuPointForCurrentTask(TActionKind button);
    // Raises a clear error unless the record index designates a task of the open list.
    void CheckRecIndex(int recIndex) const;

    TaskHost& FHost;
    TaskRowDescription FRowDescription{FHost};
    QString FHint;
};
