// Start-up: the first run, the start-up list and the stored display order.

#include "app/access_keys.h"
#include "app/settings_store.h"
#include "app_test_support.h"
#include "htmlview/html_view.h"
#include "shared/todo_global.h"
#include "store/todo_db.h"
#include "tasks/prompts.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QToolButton>

namespace {

QStringList RecentMenuCaptions(TFormMain& form)
{
    QStringList captions;
    for (QAction* item : form.OpenRecent1->actions())
        captions.append(StripAccessKey(item->text()));
    return captions;
}

} // namespace

TEST_F(AppTest, FirstRunShowsTheGreetingWithDefaults)
{
    TFormMain& form = Start();
    EXPECT_TRUE(form.taskViewer().documentSource().contains(QStringLiteral("qmk:createlist")));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Quillmark"));
    EXPECT_TRUE(form.ActionSortDeadline->isChecked());
    EXPECT_FALSE(form.ActionSortTitle->isChecked());
    EXPECT_FALSE(form.OpenRecent1->isEnabled());
    EXPECT_FALSE(form.ActionToDoNewItem->isEnabled());
    EXPECT_FALSE(form.ActionPrint->isEnabled());
    EXPECT_FALSE(form.ActionDeleteCompleted->isEnabled());
    EXPECT_FALSE(form.ToolButtonSortMode->isEnabled());
    EXPECT_EQ(form.ToolButtonSortMode->text(), QStringLiteral("Group by Deadline"));
    EXPECT_EQ(form.TabSetFilter->currentIndex(), 0);
    EXPECT_TRUE(Prompts::shown().isEmpty());

    // Closing writes both sections, so the store exists after the first run.
    Stop();
    QFile file(settingsFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString content = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(content.contains(QStringLiteral("[Settings]")));
    EXPECT_TRUE(content.contains(QStringLiteral("[MainFormState]")));
    EXPECT_TRUE(content.contains(QStringLiteral("DisplayFont=")));
}

TEST_F(AppTest, StartupCases)
{
    struct Case {
        const char* name;
        bool recentEmpty;
        const char* argument;   // file name inside the test folder, "" for none
        const char* lastOpen;   // stored LastOpenFile inside the test folder
        const char* expectOpen; // list open after start-up, "" for none
        bool expectGreeting;
        const char* expectCaption;
    };
    const Case cases[] = {
        {"argument while no recent files", true, "Chores.qmtd", "", "Chores.qmtd", false,
         "Chores - Quillmark"},
        {"argument not a list while no recent files", true, "Garbage.qmtd", "", "", true,
         "Quillmark"},
        {"argument naming no file while no recent files", true, "Missing.qmtd", "", "", true,
         "Quillmark"},
        {"argument naming no file", false, "Missing.qmtd", "Work.qmtd", "Work.qmtd", false,
         "Work - Quillmark"},
        {"argument replacing the stored list", false, "Chores.qmtd", "Work.qmtd", "Chores.qmtd",
         false, "Chores - Quillmark"},
        {"start-up file missing", false, "", "Gone.qmtd", "", false, "Quillmark"},
        {"start-up file not a list", false, "", "Garbage.qmtd", "", false, "Quillmark"},
        {"start-up file reopened", false, "", "Work.qmtd", "Work.qmtd", false, "Work - Quillmark"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        WriteSimpleList(path("Chores.qmtd"), 2, 1);
        WriteSimpleList(path("Work.qmtd"), 3, 0);
        {
            QFile garbage(path("Garbage.qmtd"));
            ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
            garbage.write("this is not a to-do list");
        }
        if (!c.recentEmpty)
            StoreRecentFiles({path(c.lastOpen), path("Chores.qmtd"), path("Work.qmtd")},
                             path(c.lastOpen));
        const QString argument = *c.argument ? path(c.argument) : QString();
        TFormMain& form = Start(argument);

        const QString expected = *c.expectOpen ? path(c.expectOpen) : QString();
        EXPECT_EQ(CurrentListFileName(), expected);
        EXPECT_EQ(form.windowTitle(), QString::fromLatin1(c.expectCaption));
        EXPECT_EQ(form.taskViewer().documentSource().contains(QStringLiteral("qmk:createlist")),
                  c.expectGreeting);
        if (expected.isEmpty() && !c.expectGreeting) {
            EXPECT_TRUE(form.taskViewer().documentSource().isEmpty());
        }
        EXPECT_EQ(form.ActionToDoNewItem->isEnabled(), !expected.isEmpty());
        EXPECT_TRUE(Prompts::shown().isEmpty()) << "start-up never reports a failed open";
        if (!expected.isEmpty()) {
            EXPECT_EQ(LastOpenFileName, expected);
            EXPECT_EQ(RecentFiles.value(0), expected);
        }
        if (QString::fromLatin1(c.name) == QLatin1String("start-up file missing")) {
            // The other recent files that still exist are offered.
            EXPECT_EQ(RecentMenuCaptions(form), (QStringList{"Chores", "Work"}));
            EXPECT_TRUE(form.OpenRecent1->isEnabled());
        }
        if (c.recentEmpty && QFile::exists(argument)) {
            EXPECT_EQ(LastOpenFileName, argument) << "kept as the list to reopen next time";
        }
    }
}

TEST_F(AppTest, StoredDisplayOrder)
{
    struct Case {
        const char* name;
        std::function<void(SettingsStore&)> store;
        TSortMode expectField;
        QAction* TFormMain::*expectChecked; // nullptr: none checked
        const char* expectCaption;
    };
    const QString section = QStringLiteral("Settings");
    const QString value = QStringLiteral("FTaskSortMode");
    const Case cases[] = {
        {"258 keeps its low byte", [&](SettingsStore& s) { s.WriteInteger(section, value, 258); },
         smDePrTiCr, &TFormMain::ActionSortDeadline, "Group by Deadline"},
        {"a string holding 4", [&](SettingsStore& s) { s.WriteString(section, value, "4"); },
         smPrDeTiCr, &TFormMain::ActionSortPriority, "Group by Priority"},
        {"completion order", [&](SettingsStore& s) { s.WriteInteger(section, value, 1); },
         smCompletedDesc, nullptr, "Task List Display Order"},
        {"title", [&](SettingsStore& s) { s.WriteInteger(section, value, 5); }, smTiDePrCr,
         &TFormMain::ActionSortTitle, "Sort by Task Title"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        WriteSimpleList(path("Work.qmtd"), 3, 0);
        StoreRecentFiles({path("Work.qmtd")}, path("Work.qmtd"));
        {
            SettingsStore store;
            c.store(store);
        }
        TFormMain& form = Start();
        EXPECT_EQ(form.TaskSortModeField(), c.expectField);
        for (QAction* TFormMain::*order :
             {&TFormMain::ActionSortCaDePrTiCr, &TFormMain::ActionSortCreated,
              &TFormMain::ActionSortDeadline, &TFormMain::ActionSortPriority,
              &TFormMain::ActionSortTitle})
            EXPECT_EQ((form.*order)->isChecked(), order == c.expectChecked)
                << (form.*order)->text().toStdString();
        EXPECT_EQ(form.ToolButtonSortMode->text(), QString::fromLatin1(c.expectCaption));
        EXPECT_TRUE(form.ToolButtonSortMode->isEnabled());
    }
}

TEST_F(AppTest, StringSortModeIsWrittenBackAsString)
{
    WriteSimpleList(path("Work.qmtd"), 1, 0);
    StoreRecentFiles({path("Work.qmtd")}, path("Work.qmtd"));
    SettingsStore().WriteString(QStringLiteral("Settings"), QStringLiteral("FTaskSortMode"),
                                QStringLiteral("4"));
    TFormMain& form = Start();
    form.ActionSortTitle->trigger();
    Stop();
    const SettingsValue stored =
        SettingsStore()
            .backend()
            .read(QStringLiteral("Settings"), QStringLiteral("FTaskSortMode"))
            .value_or(SettingsValue{});
    EXPECT_EQ(stored.type, SettingsValue::Type::String);
    EXPECT_EQ(stored.text, QStringLiteral("5"));
}

TEST_F(AppTest, MenusInTheirOrder)
{
    TFormMain& form = Start();
    std::function<QString(QMenu*)> describe = [&](QMenu* menu) {
        QStringList items;
        for (QAction* action : menu->actions()) {
            if (action->isSeparator())
                items.append(QStringLiteral("-"));
            else if (action->menu())
                items.append(StripAccessKey(action->text()) + QStringLiteral(" [") +
                             describe(action->menu()) + QStringLiteral("]"));
            else
                items.append(StripAccessKey(action->text()));
        }
        return items.join(QStringLiteral(", "));
    };
    QStringList bar;
    for (QAction* action : form.menuBar()->actions())
        bar.append(StripAccessKey(action->text()) + QStringLiteral(": ") +
                   describe(action->menu()));
    EXPECT_EQ(bar,
              (QStringList{
                  "File: Open ToDo List..., New ToDo List..., -, Open Recent [], -, Import "
                  "Tasks..., Export Tasks..., -, Print..., -, Exit",
                  "Edit: Copy, Select All, Find..., -, Set Display Font",
                  "Tasks: New Task..., Current Task [Edit Task, Mark Task Complete, Mark Task "
                  "Uncomplete, Do Task Again, More Task Options, Delete This Task Forever], "
                  "Task List Display Order [Group by Category, Group by "
                  "Deadline, Group by Priority, Sort by Task Title, Sort by Most Recently "
                  "Created], -, Show Uncompleted Tasks, Show Completed Tasks, -, Delete "
                  "Completed Tasks [Delete Tasks Completed Over One Week Ago, Delete All "
                  "Completed Tasks]",
                  "Help: Open Help, -, Quillmark Website, Email Technical Support, -, About",
              }));
    EXPECT_EQ(describe(form.PopupMenuTaskView), QStringLiteral("Copy"));

    struct Expected {
        QAction* action;
        const char* hint;
        QKeySequence shortcut;
    };
    const Expected expected[] = {
        {form.ActionExit, "Exits program", {}},
        {form.ActionToDoNewItem, "Create a new task in the todo list", QKeySequence(Qt::Key_F9)},
        {form.ActionOpen, "Open an existing todo list", QKeySequence(Qt::CTRL | Qt::Key_O)},
        {form.ActionNewList, "Create a new todo list", QKeySequence(Qt::CTRL | Qt::Key_N)},
        {form.ActionCopySelectedText, "", QKeySequence(Qt::CTRL | Qt::Key_C)},
        {form.ActionSelectAll, "Select all the text of the page",
         QKeySequence(Qt::CTRL | Qt::Key_A)},
        {form.ActionFind, "Show only the tasks that match what you type",
         QKeySequence(Qt::CTRL | Qt::Key_F)},
        {form.ActionPrint, "Print the currently visible list", {}},
        {form.ActionAbout, "", {}},
    };
    for (const Expected& e : expected) {
        EXPECT_EQ(e.action->statusTip(), QString::fromLatin1(e.hint))
            << e.action->objectName().toStdString();
        EXPECT_EQ(e.action->shortcut(), e.shortcut) << e.action->objectName().toStdString();
    }
}

TEST_F(AppTest, UnreadableSettingsStoreIsReportedAndTheWindowComesUp)
{
    // A folder where the settings file belongs: every read and write of the store fails.
    ASSERT_TRUE(QDir().mkpath(settingsFile()));
    TFormMain& form = Start();
    EXPECT_TRUE(form.taskViewer().documentSource().contains(QStringLiteral("qmk:createlist")));
    EXPECT_EQ(form.TaskSortModeField(), smDePrTiCr);
    ASSERT_FALSE(Prompts::shown().isEmpty());
    EXPECT_EQ(Prompts::shown().front().kind, Prompts::Kind::Error);
    Prompts::clearShown();
    Stop();
    ASSERT_FALSE(Prompts::shown().isEmpty()) << "the failed save is reported, closing goes on";
    EXPECT_EQ(Prompts::shown().front().kind, Prompts::Kind::Error);
}
