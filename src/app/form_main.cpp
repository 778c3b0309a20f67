// The main window's construction, start-up, idle refresh and close.

#include "app/form_main.h"

#include "app/app_icons.h"
#include "app/app_info.h"
#include "app/error_handler.h"
#include "app/form_placement.h"
#include "app/help_window.h"
#include "app/list_file_names.h"
#include "app/settings.h"
#include "app/settings_store.h"
#include "htmlview/html_view.h"
#include "platform/data_folder.h"
#include "store/todo_db.h"
#include "tasks/prompts.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFontDialog>
#include <QMenu>
#include <QMenuBar>
#include <QProxyStyle>
#include <QStatusBar>
#include <QStyleFactory>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The most tasks a list may have for the window to open it: the page of a list holds every task,
// and the view takes some 10 KB for each, so a list of 100,000 tasks already takes about 1 GB
// and seconds for every page. qmtd, which can make such a list smaller, opens larger ones.
constexpr qint64 MaxWindowTasks = 100000;

// Shows tooltips without the usual delay, so that the hints of the page's buttons appear at once.
class TooltipAtOnceStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_ToolTip_WakeUpDelay)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

TFormMain::TFormMain(const QString& listFileArgument, QWidget* parent)
    : QMainWindow(parent), FListFileArgument(listFileArgument), FPrinter(QPrinter::HighResolution),
      FSettings(std::make_unique<SettingsStore>())
{
    setObjectName(QStringLiteral("FormMain"));
    RegisterHelpResource();
    setWindowIcon(ProgramIcon());
#ifdef Q_OS_WIN
    setFont(QFont(QStringLiteral("Tahoma"), 8));
#endif
    CreateActions();
    CreateMenus();
    CreateLayout();
    CreateDialogs();
    ConnectActions();
    // Designed size: a client area of 581 by 517 below the menu bar.
    resize(581, 517 + menuBar()->sizeHint().height());
    SetListTaskLimit(MaxWindowTasks);
    FormCreate();
    // The idle refresh of the commands' states: whenever the event loop is about to wait.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
            RunGuarded(QStringLiteral("idle refresh"), [this] { ApplicationIdle(); });
        });
}

TFormMain::~TFormMain()
{
    // The list file is closed with the window that owns the task table.
    CloseTaskStore(ClientDataSetMain);
}

void TFormMain::CreateLayout()
{
    MainToolBar = addToolBar(QStringLiteral("MainToolBar"));
    MainToolBar->setObjectName(QStringLiteral("MainToolBar"));
    MainToolBar->setMovable(false);
    MainToolBar->setFloatable(false);
    MainToolBar->setIconSize(QSize(24, 24));
    MainToolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    MainToolBar->addAction(ActionToDoNewItem);
    ToolButtonNewTask = qobject_cast<QToolButton*>(MainToolBar->widgetForAction(ActionToDoNewItem));
    ToolButtonNewTask->setObjectName(QStringLiteral("ToolButtonNewTask"));
    ToolButtonNewTask->setMinimumHeight(38);

    ToolButtonSortMode = new QToolButton(MainToolBar);
    ToolButtonSortMode->setObjectName(QStringLiteral("ToolButtonSortMode"));
    ToolButtonSortMode->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ToolButtonSortMode->setIcon(AppIcon(TAppIcon::DisplayOrder));
    ToolButtonSortMode->setText(QStringLiteral("Task List Display Order"));
    ToolButtonSortMode->setMenu(PopupMenuSort);
    // The arrow opens the menu by itself; a click on the button's face is handled below.
    ToolButtonSortMode->setPopupMode(QToolButton::MenuButtonPopup);
    ToolButtonSortMode->setMinimumHeight(38);
    MainToolBar->addWidget(ToolButtonSortMode);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    TaskViewer = new HtmlView(central);
    TaskViewer->setObjectName(QStringLiteral("TaskViewer"));
    TaskViewer->setAccessibleName(QStringLiteral("Task list"));
    // The window opens with the page's focus, so the keys work at once.
    TaskViewer->setFocus();
    TaskViewer->setFrameShape(QFrame::NoFrame);
    TaskViewer->setContextMenu(PopupMenuTaskView);
    TaskViewer->setPrintMargins(QMarginsF(20.0, 20.0, 20.0, 20.0));
    TaskViewer->setPrintScale(1.0);
    CreateFilterBar(layout);
    layout->addWidget(TaskViewer, 1);

    TabSetFilter = new QTabBar(central);
    TabSetFilter->setObjectName(QStringLiteral("TabSetFilter"));
    TabSetFilter->setShape(QTabBar::RoundedSouth);
    TabSetFilter->setDrawBase(true);
    TabSetFilter->setExpanding(false);
    TabSetFilter->setFixedHeight(30);
    TabSetFilter->setIconSize(QSize(16, 16));
    TabSetFilter->addTab(TabIcon(false), QStringLiteral("Uncompleted"));
    TabSetFilter->addTab(TabIcon(true), QStringLiteral("Completed"));
    TabSetFilter->setCurrentIndex(0);
    layout->addWidget(TabSetFilter);

    setCentralWidget(central);
    statusBar()->setObjectName(QStringLiteral("StatusBar"));
    statusBar()->setSizeGripEnabled(true);
}

void TFormMain::CreateDialogs()
{
    const QString filter =
        QStringLiteral("%1 ToDo Lists (*%2)").arg(ProductName, ListFileExtension);

    OpenDialog = new QFileDialog(this, QStringLiteral("Open Existing ToDo List"));
    OpenDialog->setObjectName(QStringLiteral("OpenDialog"));
    OpenDialog->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog->setFileMode(QFileDialog::ExistingFile);
    OpenDialog->setNameFilter(filter);

    SaveDialog = new QFileDialog(this, QStringLiteral("Create New ToDo List"));
    SaveDialog->setObjectName(QStringLiteral("SaveDialog"));
    SaveDialog->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog->setFileMode(QFileDialog::AnyFile);
    SaveDialog->setNameFilter(filter);
    // Asking before an existing file is overwritten is the dialog's default for saving.
    SaveDialog->setOption(QFileDialog::DontConfirmOverwrite, false);

    DisplayFontDialog = new QFontDialog(this);
    DisplayFontDialog->setObjectName(QStringLiteral("DisplayFontDialog"));
    DisplayFontDialog->setOption(QFontDialog::ScalableFonts, true);
}

void TFormMain::SetTooltipsAtOnce()
{
    if (dynamic_cast<TooltipAtOnceStyle*>(QApplication::style()))
        return;
    QApplication::setStyle(
        new TooltipAtOnceStyle(QStyleFactory::create(QApplication::style()->name())));
}

void TFormMain::FormCreate()
{
    FHelpFile = HelpFilePath(QCoreApplication::applicationFilePath());
    FRecsShown = 0;
    FCompletedTasks = 0;
    FTaskViewFilter = tvfUncompleted;
    ApplicationTitle = ProductName;
    SetTooltipsAtOnce();
    SetCaption();
    // A settings store that cannot be read must not keep the window from coming up; the
    // defaults then stay.
    RunGuarded(QStringLiteral("reading the settings"), [this] { LoadSettings(); });
    if (const std::optional<QString> notice = SettingsDamageNotice(*FSettings))
        Prompts::message(this, *notice);
    FImagePaths = ::SetActionImagePaths(DataFolder());
    UpdateRecentFilesMenu();
    // Nothing that goes wrong with the start-up list may end the program: the error is shown
    // as any other, and the window comes up without that list.
    if (!RunGuarded(QStringLiteral("opening the start-up list"), [this] { LoadStartup(); }))
        RunGuarded(QStringLiteral("closing the start-up list"), [this] {
            CloseTaskStore(ClientDataSetMain);
            SetCaption();
            UpdateRecentFilesMenu();
            LoadTaskView(false);
        });
}

void TFormMain::LoadSettings()
{
    QStringList arguments;
    if (!FListFileArgument.isEmpty())
        arguments.append(FListFileArgument);
    quint8 sortMode = FTaskSortMode;
    ::LoadSettings(*FSettings, arguments, sortMode);
    FTaskSortMode = TSortMode(sortMode);
}

void TFormMain::SaveSettings()
{
    ::SaveSettings(*FSettings, quint8(FTaskSortMode));
}

void TFormMain::LoadStartup()
{
    // A list named on the command line is opened even at the very first start: that is how a
    // file manager hands over the list the user double-clicked. LoadSettings has made it the
    // start-up list when it exists.
    const bool named = !FListFileArgument.isEmpty() && LastOpenFileName == FListFileArgument;
    if (RecentFiles.isEmpty() && !named) {
        DisplayGreeting();
        return;
    }
    if (ListFileExists(LastOpenFileName))
        OpenToDoList(LastOpenFileName, false);
    // A first start whose named list could not be opened still offers to create one.
    if (RecentFiles.isEmpty() && CurrentListFileName().isEmpty())
        DisplayGreeting();
}

void TFormMain::setVisible(bool visible)
{
    // The saved placement is given to the window once, before it first appears.
    if (visible && !FShownOnce) {
        FShownOnce = true;
        RunGuarded(QStringLiteral("restoring the window placement"),
                   [this] { RestorePlacement(*this, *FSettings); });
    }
    QMainWindow::setVisible(visible);
}

void TFormMain::closeEvent(QCloseEvent* event)
{
    // Closing is never refused: every change is already in the list file.
    if (!FClosed) {
        FClosed = true;
        FormClose();
    }
    event->accept();
}

void TFormMain::FormClose()
{
    // The placement first, then the other settings; a failure of either is shown and closing
    // goes on.
    if (const std::optional<QString> error = StorePlacement(*this, *FSettings))
        Prompts::error(this, *error);
    RunGuarded(QStringLiteral("saving the settings"), [this] { SaveSettings(); });
}

void TFormMain::ActionExitExecute()
{
    close();
}

void TFormMain::ShowStatusHint(const QString& text)
{
    if (text.isEmpty())
        statusBar()->clearMessage();
    else
        statusBar()->showMessage(text);
}

void TFormMain::ToolButtonSortModeClick()
{
    PopupMenuSort->popup(ToolButtonSortMode->mapToGlobal(QPoint(0, ToolButtonSortMode->height())));
}

void TFormMain::Guarded(const char* operation, const std::function<void()>& handler)
{
    RunGuarded(QString::fromLatin1(operation), handler);
}

void TFormMain::SetTaskCommands(std::function<void()> newTask,
                                std::function<void()> deleteCompleted,
                                std::function<void()> deleteCompletedOverWeek)
{
    FNewTask = std::move(newTask);
    FDeleteCompleted = std::move(deleteCompleted);
    FDeleteCompletedOverWeek = std::move(deleteCompletedOverWeek);
}
