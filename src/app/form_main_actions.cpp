// The main window's commands: the actions with their captions, hints, shortcuts and icons, the
// menus that show them, and the idle refresh of their enabled and checked states.

#include "app/access_keys.h"
#include "app/app_icons.h"
#include "app/error_handler.h"
#include "app/form_main.h"
#include "htmlview/html_view.h"
#include "store/todo_db.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QToolButton>

namespace {

struct ActionSpec {
    QAction* TFormMain::*field;
    const char* name;
    const char* category;
    const char* caption;
    const char* hint;
    QKeySequence shortcut;
    int icon; // -1: none
    bool checkable;
};

const QString DisplayOrderCaption = QStringLiteral("Task List Display Order");

} // namespace

std::array<std::pair<QAction*, TSortMode>, 5> TFormMain::SortActions() const
{
    return {{{ActionSortCaDePrTiCr, smCaDePrTiCr},
             {ActionSortCreated, smCreated},
             {ActionSortDeadline, smDePrTiCr},
             {ActionSortPriority, smPrDeTiCr},
             {ActionSortTitle, smTiDePrCr}}};
}

void TFormMain::CreateActions()
{
    const ActionSpec specs[] = {
        {&TFormMain::ActionExit, "ActionExit", "File", "Exit", "Exits program", {}, 0, false},
        {&TFormMain::ActionToDoNewItem, "ActionToDoNewItem", "Tasks", "New Task...",
         "Create a new task in the todo list", QKeySequence(Qt::Key_F9), 1, false},
        {&TFormMain::ActionOpen, "ActionOpen", "File", "Open ToDo List...",
         "Open an existing todo list", QKeySequence(Qt::CTRL | Qt::Key_O), 6, false},
        {&TFormMain::ActionNewList, "ActionNewList", "File", "New ToDo List...",
         "Create a new todo list", QKeySequence(Qt::CTRL | Qt::Key_N), 5, false},
        {&TFormMain::ActionImportTasks, "ActionImportTasks", "File", "Import Tasks...",
         "Add the tasks of an iCalendar, CSV or todo.txt file to the list", {}, -1, false},
        {&TFormMain::ActionExportTasks, "ActionExportTasks", "File", "Export Tasks...",
         "Save every task of the list as an iCalendar, CSV or todo.txt file", {}, -1, false},
        {&TFormMain::ActionSortCaDePrTiCr,
         "ActionSortCaDePrTiCr",
         "Sort",
         "Group by Category",
         nullptr,
         {},
         -1,
         true},
        {&TFormMain::ActionSortCreated,
         "ActionSortCreated",
         "Sort",
         "Sort by Most Recently Created",
         nullptr,
         {},
         -1,
         true},
        {&TFormMain::ActionSortDeadline,
         "ActionSortDeadline",
         "Sort",
         "Group by Deadline",
         nullptr,
         {},
         -1,
         true},
        {&TFormMain::ActionSortPriority,
         "ActionSortPriority",
         "Sort",
         "Group by Priority",
         nullptr,
         {},
         -1,
         true},
        {&TFormMain::ActionSortTitle,
         "ActionSortTitle",
         "Sort",
         "Sort by Task Title",
         nullptr,
         {},
         -1,
         true},
        {&TFormMain::ActionDeleteCompleted,
         "ActionDeleteCompleted",
         "Tasks",
         "Delete All Completed Tasks",
         nullptr,
         {},
         -1,
         false},
        {&TFormMain::ActionDeleteCompletedOverWeek,
         "ActionDeleteCompletedOverWeek",
         "Tasks",
         "Delete Tasks Completed Over One Week Ago",
         nullptr,
         {},
         -1,
         false},
        {&TFormMain::ActionShowUncompleted,
         "ActionShowUncompleted",
         "Tasks",
         "Show Uncompleted Tasks",
         nullptr,
         {},
         -1,
         true},
        {&TFormMain::ActionShowCompleted,
         "ActionShowCompleted",
         "Tasks",
         "Show Completed Tasks",
         nullptr,
         {},
         -1,
         true},
        {&TFormMain::ActionCopySelectedText, "ActionCopySelectedText", "Edit", "Copy", nullptr,
         QKeySequence(Qt::CTRL | Qt::Key_C), 13, false},
        {&TFormMain::ActionSelectAll, "ActionSelectAll", "Edit", "Select All",
         "Select all the text of the page", QKeySequence(Qt::CTRL | Qt::Key_A), -1, false},
        {&TFormMain::ActionFind, "ActionFind", "Edit", "Find...",
         "Show only the tasks that match what you type", QKeySequence(Qt::CTRL | Qt::Key_F), 20,
         false},
        {&TFormMain::ActionSetFont,
         "ActionSetFont",
         "Edit",
         "Set Display Font",
         nullptr,
         {},
         14,
         false},
        {&TFormMain::ActionPrint,
         "ActionPrint",
         "File",
         "Print...",
         "Print the currently visible list",
         {},
         19,
         false},
        {&TFormMain::ActionOpenHelp, "ActionOpenHelp", "Help", "Open Help", nullptr, {}, 15, false},
        {&TFormMain::ActionWebsite,
         "ActionWebsite",
         "Help",
         "Quillmark Website",
         nullptr,
         {},
         17,
         false},
        {&TFormMain::ActionEmailSupport,
         "ActionEmailSupport",
         "Help",
         "Email Technical Support",
         nullptr,
         {},
         16,
         false},
        {&TFormMain::ActionAbout, "ActionAbout", "Help", "About", nullptr, {}, -1, false},
    };
    for (const ActionSpec& spec : specs) {
        auto* action = new QAction(this);
        action->setObjectName(QString::fromLatin1(spec.name));
        action->setData(QString::fromLatin1(spec.category));
        // Captions carry no access-key marker; a literal "&" would otherwise become one.
        action->setText(QString::fromLatin1(spec.caption));
        action->setIconText(action->text()); // the toolbar keeps the "..." of the caption
        if (spec.hint) {
            action->setStatusTip(QString::fromLatin1(spec.hint));
            action->setToolTip(QString::fromLatin1(spec.hint));
        }
        if (!spec.shortcut.isEmpty()) {
            action->setShortcut(spec.shortcut);
            action->setShortcutContext(Qt::WindowShortcut);
        }
        if (spec.icon >= 0)
            action->setIcon(AppIcon(TAppIcon(spec.icon)));
        action->setCheckable(spec.checkable);
        this->*(spec.field) = action;
        addAction(action); // shortcuts work while the menus are closed
    }
}

void TFormMain::CreateMenus()
{
    MenuFile = menuBar()->addMenu(QStringLiteral("File"));
    MenuFile->setObjectName(QStringLiteral("File1"));
    MenuFile->addAction(ActionOpen);
    MenuFile->addAction(ActionNewList);
    MenuFile->addSeparator();
    OpenRecent1 = MenuFile->addMenu(QStringLiteral("Open Recent"));
    OpenRecent1->setObjectName(QStringLiteral("OpenRecent1"));
    OpenRecent1->setEnabled(false);
    MenuFile->addSeparator();
    MenuFile->addAction(ActionImportTasks);
    MenuFile->addAction(ActionExportTasks);
    MenuFile->addSeparator();
    MenuFile->addAction(ActionPrint);
    MenuFile->addSeparator();
    MenuFile->addAction(ActionExit);

    MenuEdit = menuBar()->addMenu(QStringLiteral("Edit"));
    MenuEdit->setObjectName(QStringLiteral("Edit1"));
    MenuEdit->addAction(ActionCopySelectedText);
    MenuEdit->addAction(ActionSelectAll);
    MenuEdit->addAction(ActionFind);
    MenuEdit->addSeparator();
    MenuEdit->addAction(ActionSetFont);

    MenuTasks = menuBar()->addMenu(QStringLiteral("Tasks"));
    MenuTasks->setObjectName(QStringLiteral("Tasks1"));
    MenuTasks->addAction(ActionToDoNewItem);
    MenuSortOrder = MenuTasks->addMenu(AppIcon(TAppIcon::DisplayOrder), DisplayOrderCaption);
    MenuSortOrder->setObjectName(QStringLiteral("TaskListDisplayOrder1"));
    for (QAction* action : {ActionSortCaDePrTiCr, ActionSortDeadline, ActionSortPriority,
                            ActionSortTitle, ActionSortCreated})
        MenuSortOrder->addAction(action);
    MenuTasks->addSeparator();
    MenuTasks->addAction(ActionShowUncompleted);
    MenuTasks->addAction(ActionShowCompleted);
    MenuTasks->addSeparator();
    MenuDeleteCompleted = MenuTasks->addMenu(AppIcon(TAppIcon::DeleteCompleted),
                                             QStringLiteral("Delete Completed Tasks"));
    MenuDeleteCompleted->setObjectName(QStringLiteral("DeleteCompletedTasks1"));
    MenuDeleteCompleted->addAction(ActionDeleteCompletedOverWeek);
    MenuDeleteCompleted->addAction(ActionDeleteCompleted);

    MenuHelp = menuBar()->addMenu(QStringLiteral("Help"));
    MenuHelp->setObjectName(QStringLiteral("Help1"));
    MenuHelp->addAction(ActionOpenHelp);
    MenuHelp->addSeparator();
    MenuHelp->addAction(ActionWebsite);
    MenuHelp->addAction(ActionEmailSupport);
    MenuHelp->addSeparator();
    MenuHelp->addAction(ActionAbout);

    PopupMenuSort = new QMenu(this);
    PopupMenuSort->setObjectName(QStringLiteral("PopupMenuSort"));
    for (QAction* action : {ActionSortCaDePrTiCr, ActionSortDeadline, ActionSortPriority,
                            ActionSortTitle, ActionSortCreated})
        PopupMenuSort->addAction(action);

    PopupMenuTaskView = new QMenu(this);
    PopupMenuTaskView->setObjectName(QStringLiteral("PopupMenuTaskView"));
    PopupMenuTaskView->addAction(ActionCopySelectedText);

    AssignAccessKeys(menuBar());
    AssignAccessKeys(PopupMenuSort);
    AssignAccessKeys(PopupMenuTaskView);
}

void TFormMain::SetCurrentTaskCommands(const QList<QAction*>& actions)
{
    if (!MenuCurrentTask) {
        MenuCurrentTask = new QMenu(QStringLiteral("Current Task"), MenuTasks);
        MenuCurrentTask->setObjectName(QStringLiteral("CurrentTask1"));
        QAction* after = MenuSortOrder->menuAction();
        MenuTasks->insertMenu(after, MenuCurrentTask);
    }
    MenuCurrentTask->clear();
    MenuCurrentTask->addActions(actions);
    AssignAccessKeys(MenuTasks);
}

void TFormMain::ConnectActions()
{
    const auto bind = [this](QAction* action, const char* operation, auto handler) {
        connect(action, &QAction::triggered, this, [this, operation, handler] {
            Guarded(operation, [this, handler] { (this->*handler)(); });
        });
    };
    bind(ActionExit, "ActionExitExecute", &TFormMain::ActionExitExecute);
    bind(ActionOpen, "ActionOpenExecute", &TFormMain::ActionOpenExecute);
    bind(ActionNewList, "ActionNewListExecute", &TFormMain::ActionNewListExecute);
    bind(ActionImportTasks, "ActionImportTasksExecute", &TFormMain::ActionImportTasksExecute);
    bind(ActionExportTasks, "ActionExportTasksExecute", &TFormMain::ActionExportTasksExecute);
    bind(ActionCopySelectedText, "ActionCopySelectedTextExecute",
         &TFormMain::ActionCopySelectedTextExecute);
    bind(ActionSelectAll, "ActionSelectAllExecute", &TFormMain::ActionSelectAllExecute);
    bind(ActionSetFont, "ActionSetFontExecute", &TFormMain::ActionSetFontExecute);
    bind(ActionFind, "ActionFindExecute", &TFormMain::ActionFindExecute);
    bind(ActionPrint, "ActionPrintExecute", &TFormMain::ActionPrintExecute);
    bind(ActionOpenHelp, "ActionOpenHelpExecute", &TFormMain::ActionOpenHelpExecute);
    bind(ActionWebsite, "ActionWebsiteExecute", &TFormMain::ActionWebsiteExecute);
    bind(ActionEmailSupport, "ActionEmailSupportExecute", &TFormMain::ActionEmailSupportExecute);
    bind(ActionAbout, "ActionAboutExecute", &TFormMain::ActionAboutExecute);

    for (const auto& [action, mode] : SortActions())
        connect(action, &QAction::triggered, this, [this, mode = mode, action = action] {
            Guarded(action->objectName().toLatin1().constData(),
                    [this, mode] { SetTaskSortMode(mode); });
        });
    connect(ActionShowUncompleted, &QAction::triggered, this, [this] {
        Guarded("ActionShowUncompletedExecute", [this] { SetTaskViewFilter(tvfUncompleted); });
    });
    connect(ActionShowCompleted, &QAction::triggered, this, [this] {
        Guarded("ActionShowCompletedExecute", [this] { SetTaskViewFilter(tvfCompleted); });
    });

    connect(ActionToDoNewItem, &QAction::triggered, this, [this] {
        Guarded("ActionToDoNewItemExecute", [this] {
            if (FNewTask)
                FNewTask();
        });
    });
    connect(ActionDeleteCompleted, &QAction::triggered, this, [this] {
        Guarded("ActionDeleteCompletedExecute", [this] {
            if (FDeleteCompleted)
                FDeleteCompleted();
        });
    });
    connect(ActionDeleteCompletedOverWeek, &QAction::triggered, this, [this] {
        Guarded("ActionDeleteCompletedOverWeekExecute", [this] {
            if (FDeleteCompletedOverWeek)
                FDeleteCompletedOverWeek();
        });
    });

    connect(ToolButtonSortMode, &QToolButton::clicked, this,
            [this] { Guarded("ToolButtonSortModeClick", [this] { ToolButtonSortModeClick(); }); });
    connect(TabSetFilter, &QTabBar::currentChanged, this, [this](int index) {
        Guarded("TabSetFilterChange", [this, index] { TabSetFilterChange(index); });
    });
}

void TFormMain::ApplicationIdle()
{
    // A list open read-only shows its page; nothing may change it.
    const bool writable = !CurrentListReadOnly();
    const bool listOpen = ClientDataSetMain.Active();
    ActionToDoNewItem->setEnabled(listOpen && writable && FNewTask);
    ActionFind->setEnabled(listOpen);
    ActionImportTasks->setEnabled(listOpen && writable);
    ActionExportTasks->setEnabled(listOpen);
    ActionDeleteCompleted->setEnabled(FCompletedTasks > 0 && writable && FDeleteCompleted);
    ActionDeleteCompletedOverWeek->setEnabled(FCompletedTasks > 0 && writable &&
                                              FDeleteCompletedOverWeek);

    // Plain check items: in the completed view the effective order matches none of them.
    // The button names the uncompleted view's order (the field, not the effective order).
    const TSortMode mode = GetTaskSortMode();
    QString caption = DisplayOrderCaption;
    for (const auto& [action, order] : SortActions()) {
        action->setChecked(mode == order);
        if (order == FTaskSortMode)
            caption = action->iconText();
    }

    ActionShowUncompleted->setChecked(FTaskViewFilter == tvfUncompleted);
    ActionShowCompleted->setChecked(FTaskViewFilter == tvfCompleted);
    ActionCopySelectedText->setEnabled(TaskViewer->hasSelectedText());
    ActionPrint->setEnabled(FRecsShown > 0);

    ToolButtonSortMode->setEnabled(FRecsShown > 0 && FTaskViewFilter == tvfUncompleted);
    ToolButtonSortMode->setText(caption);
}
