// The current task: its rows on the page, its words for a screen reader, and the keys and menu
// commands that act on it.
#include "tasks/current_task.h"

#include "htmlview/html_view.h"
#include "shared/datetime.h"
#include "store/task_table.h"
#include "store/todo_db.h"
#include "tasks/prompts.h"
#include "tasks/tagged_menu.h"
#include "tasks/task_host.h"
#include "tasks/task_operations.h"
#include "view/html_text.h"
#include "view/link_grammar.h"

#include <QAction>
#include <QKeyEvent>
#include <QLocale>

std::vector<HtmlRowGroup> TaskRowGroups(const TaskPage& page)
{
    std::vector<HtmlRowGroup> groups;
    groups.reserve(page.rows.size());
    for (const TaskPageRow& row : page.rows)
        groups.push_back(HtmlRowGroup{row.firstRow, 2, row.recordId, row.recIndex});
    return groups;
}

void ShowTaskPage(HtmlView& viewer, const TaskPage& page)
{
    viewer.loadFromString(page.text);
    viewer.setRowGroups(TaskRowGroups(page));
}

// --- words for a screen reader ------------------------------------------------------------------

const QString TaskRowDescription::Edit = QStringLiteral("Edit");
const QString TaskRowDescription::Complete = QStringLiteral("Complete");
const QString TaskRowDescription::Undo = QStringLiteral("Undo");
const QString TaskRowDescription::DoAgain = QStringLiteral("Do again");
const QString TaskRowDescription::More = QStringLiteral("More");

namespace {

QString LongDate(double value)
{
    return QLocale().toString(DecodeDate(value), QLocale::LongFormat);
}

QString PriorityWords(qint64 priority)
{
    switch (priority) {
    case 0:
        return QStringLiteral("high priority");
    case 1:
        return QStringLiteral("normal priority");
    case 2:
        return QStringLiteral("low priority");
    default:
        return QStringLiteral("priority %1").arg(priority);
    }
}

} // namespace

bool TaskRowDescription::select(const HtmlRowGroup& group) const
{
    TaskTable& table = FHost.taskTable();
    if (!table.Active() || group.tag < 1 || group.tag > table.RecordCount())
        return false;
    table.SetRecNo(group.tag);
    return true;
}

QString TaskRowDescription::name(const HtmlRowGroup& group) const
{
    if (!select(group))
        return {};
    const TaskTable& table = FHost.taskTable();
    QStringList parts;
    const QString title = table.AsString(TaskField::Title);
    parts.append(title.isEmpty() ? QStringLiteral("untitled task") : title);
    const QString category = table.AsString(TaskField::Category);
    parts.append(category.isEmpty() ? QStringLiteral("no category")
                                    : QStringLiteral("category ") + category);
    const double completed = table.AsDateTime(TaskField::Completed);
    const double deadline = table.AsDateTime(TaskField::CompleteBy);
    if (completed != NullDate) {
        parts.append(QStringLiteral("completed ") + LongDate(completed));
    } else if (deadline == NullDate) {
        parts.append(QStringLiteral("no deadline"));
    } else {
        const double today = Today();
        QString due = QStringLiteral("deadline ") + LongDate(deadline);
        if (DateOf(deadline) == today)
            due += QStringLiteral(", due today");
        else if (deadline < today)
            due += QStringLiteral(", overdue");
        parts.append(due);
    }
    parts.append(PriorityWords(table.AsInteger(TaskField::Priority)));
    return parts.join(QStringLiteral("; "));
}

QString TaskRowDescription::description(const HtmlRowGroup& group) const
{
    if (!select(group))
        return {};
    QString details = FHost.taskTable().AsString(TaskField::Details);
    details.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return details;
}

QStringList TaskRowDescription::actions(const HtmlRowGroup& group) const
{
    if (!select(group))
        return {};
    // The row's buttons: a completed task has undo in place of edit and done.
    if (FHost.taskTable().AsDateTime(TaskField::Completed) != NullDate)
        return {Undo, DoAgain, More};
    return {Edit, Complete, DoAgain, More};
}

QString TaskRowDescription::linkName(const QString& target) const
{
    try {
        return LinkHover(target, FHost.TaskViewFilter()).hint;
    } catch (const std::exception&) {
        return {}; // a link the page did not write itself: its target names it
    }
}

// --- commands on the current task ---------------------------------------------------------------

void TaskOperations::CreateCurrentTaskActions()
{
    HtmlView& viewer = FHost.taskViewer();
    const auto make = [this](const char* name, const char* caption, QList<QKeySequence> keys,
                             void (TaskOperations::*run)()) {
        auto* action = new QAction(QString::fromLatin1(caption), this);
        action->setObjectName(QString::fromLatin1(name));
        // The keys reach the actions through the page's key presses (eventFilter), so that they
        // work only while the page has the focus and no menu is open; menus show them.
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WidgetShortcut);
        action->setEnabled(false);
        connect(action, &QAction::triggered, this, [this, run] {
            if (RefusedReadOnly())
                return;
            (this->*run)();
            FHost.taskViewer().ensureCurrentRowGroupVisible();
        });
        return action;
    };
    ActionEditTask =
        make("ActionEditTask", "Edit Task",
             {QKeySequence(Qt::Key_Enter), QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_F2)},
             &TaskOperations::EditCurrentTask);
    // One key, two commands: only the one that fits the tab is enabled.
    ActionCompleteTask = make("ActionCompleteTask", "Mark Task Complete",
                              {QKeySequence(Qt::Key_Space)}, &TaskOperations::CompleteCurrentTask);
    ActionUndoTask = make("ActionUndoTask", "Mark Task Uncomplete", {QKeySequence(Qt::Key_Space)},
                          &TaskOperations::CompleteCurrentTask);
    ActionDoTaskAgain = make("ActionDoTaskAgain", "Do Task Again", {QKeySequence(Qt::Key_A)},
                             &TaskOperations::DoAgainMenuForCurrentTask);
    ActionMoreTaskOptions =
        make("ActionMoreTaskOptions", "More Task Options",
             {QKeySequence(Qt::SHIFT | Qt::Key_F10), QKeySequence(Qt::Key_Menu)},
             &TaskOperations::MoreMenuForCurrentTask);
    ActionDeleteTask = make("ActionDeleteTask", "Delete This Task Forever",
                            {QKeySequence(Qt::Key_Delete)}, &TaskOperations::DeleteCurrentTask);
    // The more-options menu shows the key of its delete item, which it answers too.
    DeleteThisTaskForever1->setShortcut(QKeySequence(Qt::Key_Delete));
    DeleteThisTaskForever1->setShortcutContext(Qt::WidgetShortcut);

    viewer.installEventFilter(this);
    viewer.setRowGroupDescription(&FRowDescription);
    connect(&viewer, &HtmlView::currentRowGroupChanged, this,
            &TaskOperations::UpdateCurrentTaskActions);
    connect(&viewer, &HtmlView::rowGroupAction, this, &TaskOperations::TaskViewerRowGroupAction);
    // The window may have shown its start-up list already.
    UpdateCurrentTaskActions();
}

bool TaskOperations::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || watched != &FHost.taskViewer())
        return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    // While a link has the focus, Enter follows it and Esc leaves it: the view's own keys.
    const bool linkKey =
        key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Escape;
    if (linkKey && !FHost.taskViewer().focusedLinkTarget().isEmpty())
        return false;
    const QKeySequence pressed(
        QKeyCombination(key->modifiers() & ~Qt::KeypadModifier, Qt::Key(key->key())));
    for (QAction* action : CurrentTaskActions()) {
        if (!action->isEnabled())
            continue;
        for (const QKeySequence& shortcut : action->shortcuts()) {
            if (shortcut.matches(pressed) == QKeySequence::ExactMatch) {
                action->trigger();
                return true;
            }
        }
    }
    return false;
}

QList<QAction*> TaskOperations::CurrentTaskActions() const
{
    return {ActionEditTask,    ActionCompleteTask,    ActionUndoTask,
            ActionDoTaskAgain, ActionMoreTaskOptions, ActionDeleteTask};
}

int TaskOperations::CurrentRecIndex() const
{
    const HtmlView& viewer = FHost.taskViewer();
    const int group = viewer.currentRowGroup();
    if (group < 0)
        return 0;
    return viewer.rowGroups()[size_t(group)].tag;
}

void TaskOperations::UpdateCurrentTaskActions()
{
    const bool current = CurrentRecIndex() > 0;
    const bool completedView = FHost.TaskViewFilter() == tvfCompleted;
    // The edit button shows on the Uncompleted tab only.
    ActionEditTask->setEnabled(current && !completedView);
    ActionCompleteTask->setEnabled(current && !completedView);
    ActionUndoTask->setEnabled(current && completedView);
    ActionDoTaskAgain->setEnabled(current);
    ActionMoreTaskOptions->setEnabled(current);
    ActionDeleteTask->setEnabled(current);
}

QPoint TaskOperations::MenuPointForCurrentTask(TActionKind button)
{
    HtmlView& viewer = FHost.taskViewer();
    viewer.ensureCurrentRowGroupVisible();
    const int group = viewer.currentRowGroup();
    const QString target = QStringLiteral("%1/%2").arg(ActionText(button)).arg(CurrentRecIndex());
    QRect at = viewer.linkRect(target, group);
    if (at.isNull()) // a page without buttons: under the row's first line
        at = viewer.rowGroupRect(group).intersected(viewer.viewport()->rect());
    return viewer.viewport()->mapToGlobal(at.bottomLeft());
}

void TaskOperations::EditCurrentTask()
{
    if (const int recIndex = CurrentRecIndex();
        recIndex > 0 && FHost.TaskViewFilter() != tvfCompleted)
        EditTaskItem(recIndex);
}

void TaskOperations::CompleteCurrentTask()
{
    const int recIndex = CurrentRecIndex();
    if (recIndex <= 0)
        return;
    if (FHost.TaskViewFilter() == tvfCompleted)
        UndoTask(recIndex);
    else
        SetTaskDone(recIndex);
}

void TaskOperations::DoAgainMenuForCurrentTask()
{
    if (const int recIndex = CurrentRecIndex(); recIndex > 0)
        DoPopUpTaskDoAgainMenu(recIndex, MenuPointForCurrentTask(TActionKind::DoAgain));
}

void TaskOperations::MoreMenuForCurrentTask()
{
    if (const int recIndex = CurrentRecIndex(); recIndex > 0)
        DoPopupTaskMenu(recIndex, MenuPointForCurrentTask(TActionKind::More));
}

void TaskOperations::DeleteCurrentTask()
{
    const int recIndex = CurrentRecIndex();
    if (recIndex <= 0)
        return;
    PopupMenuMore->Tag = recIndex;
    DeleteThisTaskForever1Click();
}

bool TaskOperations::RefusedReadOnly()
{
    // Every command here changes the list, or opens a menu whose items do.
    if (!CurrentListReadOnly())
        return false;
    Prompts::message(FHost.hostWindow(), ReadOnlyListMessage(CurrentListFileName()));
    return true;
}

void TaskOperations::TaskViewerRowGroupAction(int group, const QString& action)
{
    // The view has made the group current before it asks.
    if (group != FHost.taskViewer().currentRowGroup() || RefusedReadOnly())
        return;
    if (action == TaskRowDescription::Edit)
        EditCurrentTask();
    else if (action == TaskRowDescription::Complete || action == TaskRowDescription::Undo)
        CompleteCurrentTask();
    else if (action == TaskRowDescription::DoAgain)
        DoAgainMenuForCurrentTask();
    else if (action == TaskRowDescription::More)
        MoreMenuForCurrentTask();
}
