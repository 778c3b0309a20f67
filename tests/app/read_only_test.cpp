// A list that a process on another computer holds, on a file system without locks: the window
// shows it read-only, and nothing in the window changes it.

#include <QtGlobal>

// Unix only: the flock shim and the lock file exist there alone.
#ifndef Q_OS_WIN

#include "app_test_support.h"
#include "htmlview/html_view.h"
#include "platform/lock_file.h"
#include "store/todo_db.h"
#include "tasks/prompts.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <cstdlib>

namespace {

QByteArray Content(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The flock shim linked into this test makes flock() fail while QM_FLOCK_FAILS is set.
class ReadOnlyWindowTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        setenv("QM_FLOCK_FAILS", "ENOLCK", 1);
        FList = path("Work.qmtd");
        WriteSimpleList(FList, 2, 1);
        LockHolder remote;
        remote.host = "far-away-host";
        remote.machine = "0123456789abcdef0123456789abcdef";
        remote.pid = 4242;
        remote.since = "2026-03-10T12:00:00";
        QFile lock(ListLockFile::nameFor(FList));
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
        lock.write(ListLockFile::contentFor(remote));
    }
    void TearDown() override
    {
        AppTest::TearDown();
        unsetenv("QM_FLOCK_FAILS");
    }
    // Clicks a link of the page as the view reports it.
    void Click(TFormMain& form, const QString& link)
    {
        bool handled = false;
        emit form.TaskViewer->hotSpotClick(link, &handled);
        EXPECT_TRUE(handled);
    }

    QString FList;
};

} // namespace

TEST_F(ReadOnlyWindowTest, AtStartUpItOpensReadOnlyAndRefusesEveryChange)
{
    const QByteArray before = Content(FList);
    const QByteArray lock = Content(ListLockFile::nameFor(FList));
    StoreRecentFiles({FList}, FList);
    TFormMain& form = Start();
    ASSERT_EQ(CurrentListFileName(), FList);
    EXPECT_TRUE(CurrentListReadOnly());
    EXPECT_TRUE(Prompts::shown().isEmpty());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Work (read-only) - Quillmark"));
    EXPECT_TRUE(form.taskViewer().documentSource().contains(QStringLiteral("Open task 1")));
    EXPECT_EQ(form.CompletedTasks(), 1);
    EXPECT_FALSE(form.ActionToDoNewItem->isEnabled());
    EXPECT_FALSE(form.ActionDeleteCompleted->isEnabled());
    EXPECT_FALSE(form.ActionDeleteCompletedOverWeek->isEnabled());
    // Viewing goes on as usual.
    EXPECT_TRUE(form.ActionPrint->isEnabled());
    form.SetTaskViewFilter(tvfCompleted);
    EXPECT_TRUE(form.taskViewer().documentSource().contains(QStringLiteral("Done task 0")));
    form.SetTaskViewFilter(tvfUncompleted);

    for (const QString link : {"act:done/1", "act:edit/1", "act:doagain/1", "act:menu/2"}) {
        Prompts::clearShown();
        Click(form, link);
        ASSERT_EQ(Prompts::shown().size(), 1) << link.toStdString();
        EXPECT_EQ(
            Messages(),
            QStringList{FList + QStringLiteral(" is open read-only, so it cannot be changed.")})
            << link.toStdString();
    }
    Stop();
    EXPECT_EQ(Content(FList), before);
    EXPECT_EQ(Content(ListLockFile::nameFor(FList)), lock);
}

TEST_F(ReadOnlyWindowTest, TheKeysOfTheCurrentTaskRefuseToo)
{
    const QByteArray before = Content(FList);
    StoreRecentFiles({FList}, FList);
    TFormMain& form = Start();
    ASSERT_TRUE(CurrentListReadOnly());
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    form.TaskViewer->setFocus();
    for (const Qt::Key key : {Qt::Key_Space, Qt::Key_Delete, Qt::Key_F2, Qt::Key_A}) {
        Prompts::clearShown();
        QTest::keyClick(form.TaskViewer, key);
        EXPECT_EQ(Messages(), QStringList{FList + " is open read-only, so it cannot be changed."})
            << QTest::toString(key);
    }
    Stop();
    EXPECT_EQ(Content(FList), before);
}

TEST_F(ReadOnlyWindowTest, OpeningItByACommandAsksFirst)
{
    TFormMain& form = Start();
    Prompts::setNextConfirm(false);
    EXPECT_FALSE(form.OpenToDoList(FList, true));
    ASSERT_EQ(Prompts::shown().size(), 1);
    EXPECT_EQ(Prompts::shown().front().kind, Prompts::Kind::Confirm);
    EXPECT_EQ(Prompts::shown().front().text,
              FList + " can not be opened. It may be in use by another application or is "
                      "inaccessible. It is held by process 4242 on the computer \"far-away-host\" "
                      "since 2026-03-10 12:00.\n\nOpen it read-only?");
    EXPECT_EQ(CurrentListFileName(), QString());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Quillmark"));

    Prompts::setNextConfirm(true);
    EXPECT_TRUE(form.OpenToDoList(FList, true));
    EXPECT_TRUE(CurrentListReadOnly());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Work (read-only) - Quillmark"));
    EXPECT_TRUE(Messages().isEmpty());

    // Once the other computer lets go, the list opens for changing again.
    ASSERT_TRUE(QFile::remove(ListLockFile::nameFor(FList)));
    Prompts::clearShown();
    EXPECT_TRUE(form.OpenToDoList(FList, true));
    Idle();
    EXPECT_FALSE(CurrentListReadOnly());
    EXPECT_TRUE(Prompts::shown().isEmpty());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Work - Quillmark"));
    EXPECT_TRUE(form.ActionToDoNewItem->isEnabled());
    EXPECT_TRUE(QFileInfo::exists(ListLockFile::nameFor(FList))); // held by this window now
}

#endif
