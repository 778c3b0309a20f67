#pragma once
// Every operation that changes tasks from the window: the task edit dialog's new, clone and edit,
// completion, undo and do-again with their menu and date dialog, deletions, and what a click on
// or the pointer over a link of the page means.
//
// Nothing here catches an error: a failure of the task table or of writing the list file ends the
// operation and reaches the caller (the top-level handler); a change already made in memory stays.

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

private:
    void CreateMenus();
    // Raises a clear error unless the record index designates a task of the open list.
    void CheckRecIndex(int recIndex) const;
    // Regenerates the page and puts the view back where it was.
    void ReloadKeepingPosition();

    TaskHost& FHost;
    QString FHint;
};
