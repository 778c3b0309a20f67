// The hold where flock() is not supported: the lock file beside the list, its holders, stale
// locks, locks from other hosts, and many processes racing for one list. The flock shim linked
// into this executable fails flock() while QM_FLOCK_FAILS is set.

#include <QtGlobal>

// Unix only: the flock shim and the lock file exist there alone.
#ifndef Q_OS_WIN

#include "child_processes.h"
#include "platform/exclusive_file_hold.h"
#include "platform/lock_file.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Mode = ExclusiveFileHold::Mode;

QByteArray contentOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// A process number that no process has: a child that has been reaped.
qint64 deadPid()
{
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

class NoLocksTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FList = FDir.filePath("list.qmtd");
        ASSERT_TRUE(writeFile(FList, "content"));
        FLock = ListLockFile::nameFor(FList);
        setenv("QM_FLOCK_FAILS", GetParam(), 1);
    }
    void TearDown() override { unsetenv("QM_FLOCK_FAILS"); }

    QTemporaryDir FDir;
    QString FList;
    QString FLock;
};

} // namespace

TEST(LockFile, NameIsAHiddenFileBesideTheList)
{
    EXPECT_EQ(ListLockFile::nameFor("/a/b/Chores.qmtd"), "/a/b/.Chores.qmtd.lock");
}

TEST_P(NoLocksTest, AWriterHoldsThroughALockFileThatNamesIt)
{
    ExclusiveFileHold hold;
    ASSERT_TRUE(hold.open(FList, Mode::OpenExisting)) << hold.errorString().toStdString();
    ASSERT_TRUE(QFileInfo::exists(FLock));
    LockHolder holder;
    EXPECT_EQ(ListLockFile::inspect(FList, &holder), ListLockFile::State::HeldHere);
    EXPECT_EQ(holder.pid, qint64(getpid()));
    EXPECT_TRUE(holder.onThisHost());

    // Nobody else gets it, this process included, neither to write nor to read.
    ExclusiveFileHold second;
    for (Mode mode :
         {Mode::OpenExisting, Mode::CreateOrOpen, Mode::CreateTruncate, Mode::ReadShared}) {
        EXPECT_FALSE(second.open(FList, mode));
        EXPECT_TRUE(second.heldElsewhere());
        EXPECT_EQ(second.reason(), "it is in use");
        EXPECT_TRUE(second.otherHostHolder().isEmpty());
    }
    EXPECT_EQ(contentOf(FList), "content");

    hold.close();
    EXPECT_FALSE(QFileInfo::exists(FLock));
    EXPECT_TRUE(second.open(FList, Mode::OpenExisting));
}

TEST_P(NoLocksTest, ReadersMakeNothingAndShare)
{
    ExclusiveFileHold first, second;
    ASSERT_TRUE(first.open(FList, Mode::ReadShared));
    ASSERT_TRUE(second.open(FList, Mode::ReadShared));
    EXPECT_FALSE(QFileInfo::exists(FLock));
    QByteArray all;
    EXPECT_TRUE(first.readAll(all));
    EXPECT_EQ(all, "content");
    EXPECT_FALSE(first.writeAt(0, "x", 1));
    EXPECT_EQ(contentOf(FList), "content");
}

TEST_P(NoLocksTest, LocksLeftByProcessesThatNoLongerRunAreTakenOver)
{
    LockHolder dead = ListLockFile::thisProcess();
    dead.pid = deadPid();
    LockHolder reused = ListLockFile::thisProcess(); // this very number, a later start
    reused.started = "another boot/12345";
    LockHolder otherBoot = ListLockFile::thisProcess();
    otherBoot.pid = 1; // runs, but the lock says it started at another time
    otherBoot.started = "another boot/1";
    struct Case {
        const char* what;
        LockHolder holder;
    };
    std::vector<Case> cases = {{"process gone", dead}};
    // Where the system tells when a process started, a reused number is told apart too.
    if (!ListLockFile::thisProcess().started.isEmpty()) {
        cases.push_back({"process number reused", reused});
        cases.push_back({"started at another time", otherBoot});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(writeFile(FLock, ListLockFile::contentFor(c.holder)));
        EXPECT_EQ(ListLockFile::inspect(FList), ListLockFile::State::Stale);
        // A reader goes ahead and leaves the lock file as it is.
        ExclusiveFileHold reader;
        ASSERT_TRUE(reader.open(FList, Mode::ReadShared));
        reader.close();
        EXPECT_EQ(contentOf(FLock), ListLockFile::contentFor(c.holder));
        // A writer takes it over.
        ExclusiveFileHold hold;
        ASSERT_TRUE(hold.open(FList, Mode::OpenExisting)) << hold.errorString().toStdString();
        LockHolder now;
        EXPECT_EQ(ListLockFile::inspect(FList, &now), ListLockFile::State::HeldHere);
        EXPECT_EQ(now.pid, qint64(getpid()));
        hold.close();
        EXPECT_FALSE(QFileInfo::exists(FLock));
    }
}

TEST_P(NoLocksTest, ALockFromAnotherHostKeepsWritersOutAndLetsReadersIn)
{
    LockHolder remote;
    remote.host = "far-away-host";
    remote.machine = "0123456789abcdef0123456789abcdef";
    remote.pid = getpid(); // the number means nothing on this host
    remote.since = "2026-03-10T12:00:00";
    const QByteArray lock = ListLockFile::contentFor(remote);
    ASSERT_TRUE(writeFile(FLock, lock));

    ExclusiveFileHold writer;
    EXPECT_FALSE(writer.open(FList, Mode::OpenExisting));
    EXPECT_TRUE(writer.heldElsewhere());
    EXPECT_EQ(writer.otherHostHolder(),
              "process " + QString::number(getpid()) +
                  " on the computer \"far-away-host\" since 2026-03-10 12:00");

    ExclusiveFileHold reader;
    ASSERT_TRUE(reader.open(FList, Mode::ReadShared));
    EXPECT_EQ(reader.otherHostHolder(), writer.otherHostHolder());
    QByteArray all;
    EXPECT_TRUE(reader.readAll(all));
    EXPECT_EQ(all, "content");
    reader.close();
    EXPECT_EQ(contentOf(FLock), lock); // never touched
}

TEST_P(NoLocksTest, ALockFileThatNamesNoHolderIsNeverTakenOrRemoved)
{
    for (const QByteArray& foreign :
         {QByteArray(), QByteArray("someone's notes"), QByteArray("Quillmark list lock\n")}) {
        ASSERT_TRUE(writeFile(FLock, foreign));
        ExclusiveFileHold writer, reader;
        EXPECT_FALSE(writer.open(FList, Mode::OpenExisting));
        EXPECT_TRUE(writer.heldElsewhere());
        EXPECT_TRUE(writer.errorString().contains(".list.qmtd.lock"))
            << writer.errorString().toStdString();
        EXPECT_FALSE(reader.open(FList, Mode::ReadShared));
        EXPECT_EQ(contentOf(FLock), foreign);
    }
}

TEST_P(NoLocksTest, AKilledHolderLeavesALockThatTheNextOpenTakesOver)
{
    HoldingChild holder(FList);
    ASSERT_TRUE(holder.holds());
    ExclusiveFileHold hold;
    EXPECT_FALSE(hold.open(FList, Mode::OpenExisting));
    EXPECT_TRUE(hold.heldElsewhere());
    holder.kill();
    EXPECT_TRUE(QFileInfo::exists(FLock));
    EXPECT_TRUE(hold.open(FList, Mode::OpenExisting)) << hold.errorString().toStdString();
}

// Processes that each add one to a counter in the file under the hold, as often as they get
// it: the count in the file is exactly the number of holds they report.
TEST_P(NoLocksTest, ParallelProcessesNeverHoldTogether)
{
    ASSERT_TRUE(writeFile(FList, QByteArray(8, '\0')));
    constexpr int Processes = 8;
    constexpr int Rounds = 40;
    std::vector<pid_t> children;
    for (int i = 0; i < Processes; ++i) {
        const pid_t child = fork();
        if (child == 0) {
            int got = 0;
            for (int round = 0; round < Rounds; ++round) {
                ExclusiveFileHold hold;
                if (!hold.open(FList, Mode::OpenExisting))
                    continue;
                quint64 count = 0;
                if (!hold.readAt(0, reinterpret_cast<char*>(&count), 8))
                    _exit(100);
                usleep(200); // widen the window a second holder would need
                ++count;
                if (!hold.writeAt(0, reinterpret_cast<const char*>(&count), 8))
                    _exit(101);
                ++got;
            }
            _exit(got);
        }
        children.push_back(child);
    }
    int reported = 0;
    for (pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_LE(WEXITSTATUS(status), Rounds);
        reported += WEXITSTATUS(status);
    }
    const QByteArray bytes = contentOf(FList);
    ASSERT_EQ(bytes.size(), 8);
    quint64 count = 0;
    std::memcpy(&count, bytes.constData(), 8);
    EXPECT_EQ(count, quint64(reported));
    EXPECT_GT(reported, 0);
    EXPECT_FALSE(QFileInfo::exists(FLock));
}

TEST_P(NoLocksTest, AFolderThatRefusesTheLockFileKeepsWritersOutButNotReaders)
{
    if (getuid() != 0)
        GTEST_SKIP() << "needs root to become the user nobody";
    ASSERT_EQ(chmod(QFile::encodeName(FDir.path()).constData(), 0755), 0);
    ASSERT_EQ(chmod(QFile::encodeName(FList).constData(), 0666), 0);
    const int status = RunInChild(
        [&] {
            ExclusiveFileHold writer, reader;
            if (writer.open(FList, Mode::OpenExisting))
                return 1;
            if (writer.heldElsewhere() ||
                writer.reason() != "no lock file can be made beside it (permission denied)")
                return 2;
            if (!reader.open(FList, Mode::ReadShared))
                return 3;
            return 0;
        },
        true);
    EXPECT_EQ(status, 0);
}

INSTANTIATE_TEST_SUITE_P(FlockErrors, NoLocksTest,
                         ::testing::Values("ENOLCK", "EOPNOTSUPP", "ENOSYS"));

#endif
