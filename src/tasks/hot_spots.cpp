// What a click on a link of the page, and the pointer over one, mean to the window.
#include "htmlview/html_view.h"
#include "tasks/tagged_menu.h"
#include "tasks/task_host.h"
#include "tasks/task_operations.h"
#include "view/link_grammar.h"

#include <QCursor>
#include <QToolTip>

void TaskOperations::TaskViewerHotSpotClick(const QString& target, bool& handled)
{
    // First of all, so that the view never follows a link itself, also when a step fails.
    handled = true;
    const TLinkTarget link = ParseLink(target);
    switch (link.kind) {
    case TLinkKind::CreateList:
        FHost.ActionNewListExecute();
        break;
    case TLinkKind::Action:
        switch (link.action) {
        case TActionKind::Edit:
            EditTaskItem(link.recIndex);
            break;
        case TActionKind::Done:
            SetTaskDone(link.recIndex);
            break;
        // The pointer for a click; under the link when it is followed from the keyboard.
        case TActionKind::DoAgain:
            DoPopUpTaskDoAgainMenu(link.recIndex, FHost.taskViewer().activationPoint());
            break;
        case TActionKind::More:
            DoPopupTaskMenu(link.recIndex, FHost.taskViewer().activationPoint());
            break;
        case TActionKind::Undo:
            UndoTask(link.recIndex);
            break;
        }
        break;
    case TLinkKind::Web:
        openUrl(target);
        break;
    case TLinkKind::Other:
        break;
    }
}

void TaskOperations::TaskViewerHotSpotCovered(const QString& target)
{
    QToolTip::hideText();
    FHint.clear();
    FHost.ShowStatusHint(QString());
    const TLinkHover hover = LinkHover(target, FHost.TaskViewFilter());
    if (!hover.hint.isEmpty()) {
        // Hints show at once, beside the pointer and in the status bar.
        FHint = hover.hint;
        QToolTip::showText(QCursor::pos(), hover.hint, &FHost.taskViewer());
        FHost.ShowStatusHint(hover.hint);
    } else if (!hover.statusText.isEmpty()) {
        FHost.ShowStatusHint(hover.statusText);
    }
}

void TaskOperations::DoPopUpTaskDoAgainMenu(int recIndex, const QPoint& screenPos)
{
    CheckRecIndex(recIndex);
    PopupMenuDoAgain->Tag = recIndex;
    PopupMenuDoAgain->popup(screenPos);
}

void TaskOperations::DoPopupTaskMenu(int recIndex, const QPoint& screenPos)
{
    CheckRecIndex(recIndex);
    PopupMenuMore->Tag = recIndex;
    PopupMenuMore->popup(screenPos);
}
