// The list file commands: opening, failed opens, recent files, new lists and held files.

#include "app/access_keys.h"
#include "app_test_support.h"
#include "htmlview/html_view.h"
#include "platform/exclusive_file_hold.h"
#include "shared/todo_global.h"
#include "store/list_file_save.h"
#include "store/side_file_format.h"
#include "store/todo_db.h"
#include "tasks/prompts.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QTabBar>
#include <cstdio>
#include <cstdlib>

namespace {

// The test program doubles as a second process that holds a list file: started with
// QM_TEST_HOLD_FILE set, it takes the hold, says "held" and keeps it until its input closes.
const bool holdChildDone = [] {
    const QByteArray file = qgetenv("QM_TEST_HOLD_FILE");
    if (file.isEmpty())
        return false;
    ExclusiveFileHold hold;
    if (!hold.open(QString::fromLocal8Bit(file), ExclusiveFileHold::Mode::OpenExisting))
        std::exit(3);
    std::printf("held\n");
    std::fflush(stdout);
    char buffer[16];
    while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
    }
    std::exit(0);
}();

QStringList RecentMenuCaptions(TFormMain& form)
{
    QStringList captions;
    for (QAction* item : form.OpenRecent1->actions())
        captions.append(StripAccessKey(item->text()));
    return captions;
}

QByteArray Content(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST_F(AppTest, FailedOpenIsShownOnlyWhenAsked)
{
    WriteSimpleList(path("Work.qmtd"), 2, 0);
    WriteSimpleList(path("Home.qmtd"), 1, 0);
    {
        QFile garbage(path("Bad.qmtd"));
        ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
        garbage.write("not a list at all, just text that is long enough to read a signature");
    }
    StoreRecentFiles({path("Work.qmtd"), path("Home.qmtd")}, path("Work.qmtd"));
    TFormMain& form = Start();
    ASSERT_EQ(CurrentListFileName(), path("Work.qmtd"));

    EXPECT_FALSE(form.OpenToDoList(path("Bad.qmtd"), false));
    EXPECT_TRUE(Prompts::shown().isEmpty());
    EXPECT_TRUE(form.OpenToDoList(path("Work.qmtd"), true));

    EXPECT_FALSE(form.OpenToDoList(path("Bad.qmtd"), true));
    ASSERT_EQ(Messages().size(), 1);
    EXPECT_FALSE(Messages().front().isEmpty());
    EXPECT_EQ(Prompts::shown().front().caption, QStringLiteral("Quillmark"));
    Idle();
    // No list is open now: blank page, no new task, and every existing recent file is offered.
    EXPECT_EQ(CurrentListFileName(), QString());
    EXPECT_TRUE(form.taskViewer().documentSource().isEmpty());
    EXPECT_FALSE(form.ActionToDoNewItem->isEnabled());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Quillmark"));
    EXPECT_EQ(RecentMenuCaptions(form), (QStringList{"Work", "Home"}));
    EXPECT_FALSE(RecentFiles.contains(path("Bad.qmtd")));
    EXPECT_EQ(LastOpenFileName, path("Work.qmtd")) << "the next start reopens the last good list";
}

TEST_F(AppTest, RecentFilesOrderAndCaseFolding)
{
    for (const char* name :
         {"Work.qmtd", "WORK.qmtd", "Home.qmtd", "\u00C4rger.qmtd", "\u00E4rger.qmtd", "notes.txt"})
        WriteSimpleList(path(QString::fromUtf8(name)), 1, 0);
    StoreRecentFiles({path("Home.qmtd")}, path("Home.qmtd"));
    TFormMain& form = Start();

    form.OpenToDoList(path("Work.qmtd"), true);
    form.OpenToDoList(path("Home.qmtd"), true);
    EXPECT_EQ(RecentFiles, (QStringList{path("Home.qmtd"), path("Work.qmtd")}));
    // The same name in other ASCII letter case replaces the entry, in its new spelling.
    form.OpenToDoList(path("WORK.qmtd"), true);
    EXPECT_EQ(RecentFiles, (QStringList{path("WORK.qmtd"), path("Home.qmtd")}));
    // A difference in a non-ASCII letter makes another entry.
    form.OpenToDoList(path("\u00C4rger.qmtd"), true);
    form.OpenToDoList(path("\u00E4rger.qmtd"), true);
    EXPECT_EQ(RecentFiles.size(), 4);
    // The open list is left out of the menu; a name without the extension keeps its full name.
    form.OpenToDoList(path("notes.txt"), true);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("notes.txt - Quillmark"));
    EXPECT_EQ(RecentMenuCaptions(form),
              (QStringList{QString::fromUtf8("\u00E4rger"), QString::fromUtf8("\u00C4rger"), "WORK",
                           "Home"}));
    // Reopening the open list keeps it on top.
    form.OpenToDoList(path("notes.txt"), true);
    EXPECT_EQ(RecentFiles.front(), path("notes.txt"));
    EXPECT_EQ(RecentFiles.size(), 5);
    EXPECT_TRUE(Messages().isEmpty());
}

TEST_F(AppTest, EleventhListPushesTheOldestOut)
{
    QStringList stored;
    for (int i = 0; i < 12; ++i) {
        WriteSimpleList(path(QStringLiteral("L%1.qmtd").arg(i)), 1, 0);
        stored.append(path(QStringLiteral("L%1.qmtd").arg(i)));
    }
    // A longer stored list is loaded whole and offered whole...
    StoreRecentFiles(stored, path("Missing.qmtd"));
    TFormMain& form = Start();
    EXPECT_EQ(RecentFiles.size(), 12);
    EXPECT_EQ(form.OpenRecent1->actions().size(), 12);
    // ...until the next successful open cuts it to ten.
    form.OpenToDoList(path("L5.qmtd"), true);
    ASSERT_EQ(RecentFiles.size(), 10);
    EXPECT_EQ(RecentFiles.front(), path("L5.qmtd"));
    EXPECT_EQ(RecentFiles.back(), path("L9.qmtd"));

    WriteSimpleList(path("New.qmtd"), 1, 0);
    form.OpenToDoList(path("New.qmtd"), true);
    EXPECT_EQ(RecentFiles.size(), 10);
    EXPECT_FALSE(RecentFiles.contains(path("L9.qmtd")));

    // With one recent file, which is open, the submenu is empty and disabled.
    RecentFiles = QStringList{path("New.qmtd")};
    form.UpdateRecentFilesMenu();
    EXPECT_TRUE(form.OpenRecent1->actions().isEmpty());
    EXPECT_FALSE(form.OpenRecent1->isEnabled());
}

TEST_F(AppTest, OpenRecentItemOpensItsEntry)
{
    WriteSimpleList(path("A.qmtd"), 1, 0);
    WriteSimpleList(path("B.qmtd"), 2, 0);
    StoreRecentFiles({path("A.qmtd"), path("B.qmtd")}, path("A.qmtd"));
    TFormMain& form = Start();
    ASSERT_EQ(RecentMenuCaptions(form), QStringList{"B"});
    // Deleted after the menu was built: choosing it creates a new, empty list there.
    QFile::remove(path("B.qmtd"));
    form.OpenRecent1->actions().front()->trigger();
    EXPECT_EQ(CurrentListFileName(), path("B.qmtd"));
    EXPECT_TRUE(QFile::exists(path("B.qmtd")));
    EXPECT_TRUE(
        form.taskViewer().documentSource().contains(QStringLiteral("Your to-do list is empty.")));
    EXPECT_EQ(RecentMenuCaptions(form), QStringList{"A"});
}

TEST_F(AppTest, NewListCases)
{
    struct Case {
        const char* name;
        const char* existing; // file present before, "" for none
        const char* typed;    // the name chosen in the dialog
        const char* expectOpen;
        bool expectKeptContent; // the list under expectOpen kept its tasks
    };
    const Case cases[] = {
        {"new name", "", "Fresh", "Fresh.qmtd", false},
        {"extension in other case kept", "", "Fresh.QMTD", "Fresh.QMTD", false},
        {"existing unheld list is replaced", "Old.qmtd", "Old.qmtd", "Old.qmtd", false},
        {"typed without extension opens the existing list", "Old.qmtd", "Old", "Old.qmtd", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        if (*c.existing)
            WriteSimpleList(path(c.existing), 3, 0);
        TFormMain& form = Start();
        Prompts::setNextFileName(path(c.typed));
        form.ActionNewListExecute();
        EXPECT_EQ(CurrentListFileName(), path(c.expectOpen));
        EXPECT_TRUE(Messages().isEmpty());
        EXPECT_EQ(form.taskViewer().documentSource().contains(QStringLiteral("Open task 0")),
                  c.expectKeptContent);
    }
}

TEST_F(AppTest, NewListCancelledChangesNothing)
{
    TFormMain& form = Start();
    Prompts::setNextFileName(QString());
    form.ActionNewListExecute();
    EXPECT_TRUE(form.taskViewer().documentSource().contains(QStringLiteral("qmk:createlist")));
    EXPECT_EQ(CurrentListFileName(), QString());
}

TEST_F(AppTest, NewListOverTheOpenListIsRefused)
{
    WriteSimpleList(path("Work.qmtd"), 3, 0);
    StoreRecentFiles({path("Work.qmtd")}, path("Work.qmtd"));
    TFormMain& form = Start();
    const QByteArray before = Content(path("Work.qmtd"));
    Prompts::setNextFileName(path("Work.qmtd"));
    form.ActionNewListExecute();
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("Unable to remove existing file.")});
    EXPECT_EQ(CurrentListFileName(), path("Work.qmtd"));
    EXPECT_EQ(Content(path("Work.qmtd")), before);
    EXPECT_TRUE(form.taskViewer().documentSource().contains(QStringLiteral("Open task 2")));
}

TEST_F(AppTest, NewListOverAListHeldByAnotherProcessIsRefused)
{
    WriteSimpleList(path("Shared.qmtd"), 2, 0);
    const QByteArray before = Content(path("Shared.qmtd"));
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QM_TEST_HOLD_FILE"), path("Shared.qmtd"));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {});
    ASSERT_TRUE(child.waitForStarted(10000));
    ASSERT_TRUE(child.waitForReadyRead(10000));
    ASSERT_EQ(child.readLine().trimmed(), QByteArray("held"));

    TFormMain& form = Start();
    Prompts::setNextFileName(path("Shared.qmtd"));
    form.ActionNewListExecute();
    EXPECT_EQ(Messages(), QStringList{QStringLiteral("Unable to remove existing file.")});
    EXPECT_EQ(Content(path("Shared.qmtd")), before);
    EXPECT_EQ(CurrentListFileName(), QString());

    child.closeWriteChannel();
    ASSERT_TRUE(child.waitForFinished(10000));
    // Once the other holder is gone the file can be replaced.
    Prompts::clearShown();
    Prompts::setNextFileName(path("Shared.qmtd"));
    form.ActionNewListExecute();
    EXPECT_TRUE(Messages().isEmpty());
    EXPECT_EQ(CurrentListFileName(), path("Shared.qmtd"));
    EXPECT_TRUE(
        form.taskViewer().documentSource().contains(QStringLiteral("Your to-do list is empty.")));
}

TEST_F(AppTest, OpeningSwitchesBackToUncompleted)
{
    WriteSimpleList(path("Work.qmtd"), 2, 2);
    WriteSimpleList(path("Home.qmtd"), 1, 1);
    StoreRecentFiles({path("Work.qmtd")}, path("Work.qmtd"));
    TFormMain& form = Start();
    form.ActionShowCompleted->trigger();
    ASSERT_EQ(form.TabSetFilter->currentIndex(), 1);
    ASSERT_EQ(form.TaskViewFilter(), tvfCompleted);
    Prompts::setNextFileName(path("Home.qmtd"));
    form.ActionOpenExecute();
    EXPECT_EQ(form.TabSetFilter->currentIndex(), 0);
    EXPECT_EQ(form.TaskViewFilter(), tvfUncompleted);
    EXPECT_TRUE(form.taskViewer().documentSource().contains(QStringLiteral("Open task 0")));
    EXPECT_FALSE(form.taskViewer().documentSource().contains(QStringLiteral("Done task 0")));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Home - Quillmark"));
}

TEST_F(AppTest, GreetingLinkCreatesTheFirstList)
{
    TFormMain& form = Start();
    Prompts::setNextFileName(path("First"));
    bool handled = false;
    emit form.taskViewer().hotSpotClick(QStringLiteral("qmk:createlist"), &handled);
    EXPECT_TRUE(handled);
    EXPECT_EQ(CurrentListFileName(), path("First.qmtd"));
    EXPECT_TRUE(
        form.taskViewer().documentSource().contains(QStringLiteral("Your to-do list is empty.")));
    Idle();
    EXPECT_TRUE(form.ActionToDoNewItem->isEnabled());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("First - Quillmark"));

    // A link the page cannot mean is reported, and the click still counts as handled.
    handled = false;
    emit form.taskViewer().hotSpotClick(QStringLiteral("act:explode/1"), &handled);
    EXPECT_TRUE(handled);
    ASSERT_FALSE(Prompts::shown().isEmpty());
    EXPECT_EQ(Prompts::shown().back().kind, Prompts::Kind::Error);
    EXPECT_EQ(Prompts::shown().back().text, QStringLiteral("Unknown action URI (act:explode/1)"));
}

TEST_F(AppTest, AnEmptyListFileIsReportedAndNewReplacesIt)
{
    QFile empty(path("Empty.qmtd"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    TFormMain& form = Start();
    Prompts::setNextFileName(path("Empty.qmtd"));
    form.ActionOpenExecute();
    EXPECT_EQ(Messages(), QStringList{path("Empty.qmtd") + " is empty."});
    EXPECT_EQ(CurrentListFileName(), QString());

    Prompts::clearShown();
    Prompts::setNextFileName(path("Empty.qmtd"));
    form.ActionNewListExecute();
    EXPECT_TRUE(Messages().isEmpty());
    EXPECT_EQ(CurrentListFileName(), path("Empty.qmtd"));
    EXPECT_EQ(Content(path("Empty.qmtd")).size(), SignatureSchema2.size() + 196);
}

// A save left beside the list that does not belong to it is set aside, and the user is told even
// by the silent open at start-up.
TEST_F(AppTest, ASaveSetAsideAtStartIsShownAsAWarning)
{
    WriteSimpleList(path("Work.qmtd"), 3, 0);
    WriteSimpleList(path("Other.qmtd"), 1, 0);
    const SideFilePlaces places = SideFilesOf(path("Work.qmtd"));
    const QByteArray other = Content(path("Other.qmtd"));
    QFile side(places.beside);
    ASSERT_TRUE(side.open(QIODevice::WriteOnly));
    side.write(SideFileBytes(QFile::encodeName(places.listPath), other, other + "x"));
    side.close();
    StoreRecentFiles({path("Work.qmtd")}, path("Work.qmtd"));
    TFormMain& form = Start();
    EXPECT_EQ(CurrentListFileName(), path("Work.qmtd"));
    EXPECT_TRUE(form.taskViewer().documentSource().contains(QStringLiteral("Open task 2")));
    QStringList warnings;
    for (const Prompts::Record& r : Prompts::shown())
        if (r.kind == Prompts::Kind::Warning)
            warnings.append(r.text);
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].endsWith("It is kept as " + path("Work (unapplied save).qmtd") + "."))
        << warnings[0].toStdString();
    EXPECT_FALSE(QFile::exists(places.beside));
}
