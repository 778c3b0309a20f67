#pragma once
// The main window: toolbar, the page view, the filter tabs, the status bar, every command with
// its menus, the view state that decides what the page shows, and the list file commands.

#include "shared/todo_global.h"
#include "store/task_table.h"
#include "tasks/task_host.h"
#include "view/action_links.h"
#include "view/task_query.h"

#include <QMainWindow>
#include <QPrinter>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class HtmlView;
class QAction;
class QFileDialog;
class QFontDialog;
class QLabel;
class QShortcut;
class QTimer;
class QMenu;
class QTabBar;
class QToolBar;
class QToolButton;
class SettingsStore;
class TFilterBar;
class TFormAbout;

class TFormMain : public QMainWindow, public TaskHost {
    Q_OBJECT
public:
    // `listFileArgument` is the first command-line argument (empty when none was given).
    explicit TFormMain(const QString& listFileArgument = {}, QWidget* parent = nullptr);
    ~TFormMain() override;

    // --- TaskHost ---------------------------------------------------------------------------
    QWidget* hostWindow() override { return this; }
    TaskTable& taskTable() override { return ClientDataSetMain; }
    HtmlView& taskViewer() override { return *TaskViewer; }
    void LoadTaskView(bool printing) override;
    TTaskViewFilter TaskViewFilter() const override { return FTaskViewFilter; }
    void SetTaskViewFilter(TTaskViewFilter value) override;
    void ActionNewListExecute() override;
    void ShowStatusHint(const QString& text) override;

    // --- view state -------------------------------------------------------------------------
    TSortMode GetTaskSortMode() const;
    void SetTaskSortMode(TSortMode value);
    TSortMode TaskSortModeField() const { return FTaskSortMode; }
    int RecsShown() const { return FRecsShown; }
    int CompletedTasks() const { return FCompletedTasks; }
    void TabSetFilterChange(int newTab);
    void DisplayGreeting();

    // --- start-up, idle, close --------------------------------------------------------------
    void LoadStartup();
    void ApplicationIdle();
    void ToolButtonSortModeClick();

    // --- list files -------------------------------------------------------------------------
    bool OpenToDoList(const QString& fileName, bool showError);
    void ActionOpenExecute();
    // File > Import Tasks... and Export Tasks...: iCalendar, CSV and todo.txt files.
    void ActionImportTasksExecute();
    void ActionExportTasksExecute();
    void UpdateRecentFilesMenu();
    void OpenRecentFileClick(QObject* sender);
    void SetCaption();

    // --- smaller commands -------------------------------------------------------------------
    void ActionSetFontExecute();
    void ActionCopySelectedTextExecute();
    void ActionSelectAllExecute();

    // --- the filter bar ---------------------------------------------------------------------
    // Opens the bar above the page, or puts the focus back into it.
    void ActionFindExecute();
    // The bar's text changed: a query that cannot be read is shown as such at once; one that can
    // is applied as soon as the keys already typed have been read (ApplyFilter).
    void FilterTextChanged(const QString& text);
    // The page shows the tasks the bar's last readable query matches.
    void ApplyFilter();
    // Esc: clears and closes the bar, and gives the page the focus.
    void CloseFilter();
    // Empties and closes the bar without building the page (another list is being opened).
    void ClearFilter();
    // The query the page is filtered by: the bar's last text that could be read.
    const TaskQuery& FilterQuery() const { return FTaskQuery; }
    void ActionPrintExecute() { DoPrint(); }
    void DoPrint();
    void ActionOpenHelpExecute();
    void ActionWebsiteExecute();
    void ActionEmailSupportExecute();
    void ActionAboutExecute() { ShowAbout(); }
    void ShowAbout();
    void SetAboutForm(TFormAbout* about) { FFormAbout = about; }

    // The task commands live with the task operations; they are bound here once those exist.
    void SetTaskCommands(std::function<void()> newTask, std::function<void()> deleteCompleted,
                         std::function<void()> deleteCompletedOverWeek);
    // The commands on the page's current task, listed with their keys in Tasks > Current Task.
    void SetCurrentTaskCommands(const QList<QAction*>& actions);

    // The printer the print dialog works on (tests point it at a PDF file).
    QPrinter& Printer() { return FPrinter; }
    // Runs just before the print dialog is shown, while the page is in its print form (tests).
    std::function<void()> BeforePrintDialog;
    QString HelpFileName() const { return FHelpFile; }

    // Components, named as on the window.
    TaskTable ClientDataSetMain;
    HtmlView* TaskViewer = nullptr;
    QToolBar* MainToolBar = nullptr;
    QToolButton* ToolButtonNewTask = nullptr;
    QToolButton* ToolButtonSortMode = nullptr;
    QTabBar* TabSetFilter = nullptr;
    QMenu* MenuFile = nullptr;
    QMenu* MenuEdit = nullptr;
    QMenu* MenuTasks = nullptr;
    QMenu* MenuHelp = nullptr;
    QMenu* OpenRecent1 = nullptr;
    QMenu* MenuSortOrder = nullptr;
    QMenu* MenuDeleteCompleted = nullptr;
    QMenu* MenuCurrentTask = nullptr;
    QMenu* PopupMenuSort = nullptr;
    QMenu* PopupMenuTaskView = nullptr;
    QFileDialog* OpenDialog = nullptr;
    QFileDialog* SaveDialog = nullptr;
    QFileDialog* ImportDialog = nullptr;
    QFileDialog* ExportDialog = nullptr;
    QFontDialog* DisplayFontDialog = nullptr;
    TFilterBar* FilterBar = nullptr;
    QLabel* StatusFilterCount = nullptr;
    QShortcut* ShortcutSlashFind = nullptr;
    QTimer* FilterTimer = nullptr; // runs ApplyFilter once the pending keys are read

    QAction* ActionExit = nullptr;
    QAction* ActionToDoNewItem = nullptr;
    QAction* ActionOpen = nullptr;
    QAction* ActionNewList = nullptr;
    QAction* ActionSortCaDePrTiCr = nullptr;
    QAction* ActionSortCreated = nullptr;
    QAction* ActionSortDeadline = nullptr;
    QAction* ActionSortPriority = nullptr;
    QAction* ActionSortTitle = nullptr;
    QAction* ActionDeleteCompleted = nullptr;
    QAction* ActionDeleteCompletedOverWeek = nullptr;
    QAction* ActionShowUncompleted = nullptr;
    QAction* ActionShowCompleted = nullptr;
    QAction* ActionCopySelectedText = nullptr;
    QAction* ActionSelectAll = nullptr;
    QAction* ActionSetFont = nullptr;
    QAction* ActionPrint = nullptr;
    QAction* ActionOpenHelp = nullptr;
    QAction* ActionWebsite = nullptr;
    QAction* ActionEmailSupport = nullptr;
    QAction* ActionAbout = nullptr;
    QAction* ActionFind = nullptr;
    QAction* ActionImportTasks = nullptr;
    QAction* ActionExportTasks = nullptr;

signals:
    // A list was opened (or an open failed and none is open now).
    void openListChanged();

protected:
    void setVisible(bool visible) override;
    QMenu* createPopupMenu() override { return nullptr; }
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void CreateLayout();
    void CreateActions();
    void CreateMenus();
    void CreateDialogs();
    void CreateFilterBar(class QVBoxLayout* layout);
    void UpdateFilterStatus();
    void ConnectActions();
    void LoadSettings();
    void SaveSettings();
    void FormClose();
    void SetTooltipsAtOnce();
    void ActionExitExecute();
    // The five order actions with the order each selects.
    std::array<std::pair<QAction*, TSortMode>, 5> SortActions() const;
    // Runs a handler; an error that escapes it is reported and the program goes on.
    void Guarded(const char* operation, const std::function<void()>& handler);

    QString FListFileArgument;
    QString FHelpFile;
    ActionImagePaths FImagePaths;
    TTaskViewFilter FTaskViewFilter = tvfUncompleted;
    TSortMode FTaskSortMode = DefaultSortMode;
    int FRecsShown = 0;
    int FCompletedTasks = 0;
    // The filter: its query, when it last changed (tasks created since stay on the page), and
    // what the last page counted for the status bar.
    TaskQuery FTaskQuery;
    double FFilterSince = NullDate;
    std::optional<TaskQuery> FNextQuery; // read from the bar, not applied yet
    int FTabTasks = 0;
    int FMatchedTasks = 0;
    QString FPageText; // the page last built, kept for its memory
    bool FShownOnce = false;
    bool FClosed = false;
    QPrinter FPrinter;
    std::unique_ptr<SettingsStore> FSettings;
    TFormAbout* FFormAbout = nullptr;
    std::function<void()> FNewTask;
    std::function<void()> FDeleteCompleted;
    std::function<void()> FDeleteCompletedOverWeek;
};
