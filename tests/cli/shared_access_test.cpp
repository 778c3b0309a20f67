// qmtd on lists others hold or may not change: read-only files as an unprivileged user, and a
// file system without locks (the flock shim preloaded) with many qmtd processes at once, a
// running window, a holder that was killed and a holder on another computer.

#include <QtGlobal>

// Unix only: the flock shim and the lock file exist there alone.
#ifndef Q_OS_WIN

#include "../support/window_process.h"
#include "platform/lock_file.h"
#include "qmtd_process.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString InUse =
    QStringLiteral(" can not be opened. It may be in use by another application or is "
                   "inaccessible.");

int RecordCount(const QmtdResult& dump)
{
    return int(QJsonDocument::fromJson(dump.out.toUtf8())
                   .object()[QStringLiteral("tasks")]
                   .toArray()
                   .size());
}

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

class SharedAccessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FList = FDir.filePath("list.qmtd");
        ASSERT_EQ(RunQmtdProcess({"new", FList}).status, 0);
        ASSERT_EQ(RunQmtdProcess({"add", FList, "first"}).status, 0);
    }
    QTemporaryDir FDir;
    QString FList;
};

class NoLocksTest : public SharedAccessTest, public ::testing::WithParamInterface<const char*> {
protected:
    QmtdOptions shim() const { return QmtdOptions{false, QString::fromLatin1(GetParam())}; }
    QmtdResult run(const QStringList& args) const { return RunQmtdProcess(args, shim()); }
};

} // namespace

TEST_F(SharedAccessTest, ReadOnlyFilesCanBeShownByAnUnprivilegedUser)
{
    if (getuid() != 0)
        GTEST_SKIP() << "needs root to become the user nobody";
    const QString old = FDir.filePath("old.qmtd");
    ASSERT_TRUE(QFile::copy(QStringLiteral(QM_TEST_DATA_DIR "/store/schema1_list.qmtd"), old));
    for (const QString& file : {FList, old})
        ASSERT_EQ(chmod(QFile::encodeName(file).constData(), 0444), 0);
    ASSERT_EQ(chmod(QFile::encodeName(FDir.path()).constData(), 0755), 0);
    const QByteArray listBytes = FileBytes(FList);
    const QByteArray oldBytes = FileBytes(old);
    const QStringList entries = Entries(FDir.path());
    const QmtdOptions nobody{true, {}};

    const QmtdResult dump = RunQmtdProcess({"dump", FList}, nobody);
    EXPECT_EQ(dump.status, 0) << dump.err.toStdString();
    EXPECT_EQ(RecordCount(dump), 1);
    const QmtdResult page = RunQmtdProcess({"page", FList}, nobody);
    EXPECT_EQ(page.status, 0) << page.err.toStdString();
    EXPECT_TRUE(page.out.contains("first"));
    // An old list is shown upgraded, and stays as it is on disk.
    const QmtdResult oldDump = RunQmtdProcess({"dump", old}, nobody);
    EXPECT_EQ(oldDump.status, 0) << oldDump.err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(oldDump.out.toUtf8()).object()["schema"].toInt(), 1);
    const QmtdResult oldPage = RunQmtdProcess({"page", old}, nobody);
    EXPECT_EQ(oldPage.status, 0) << oldPage.err.toStdString();
    EXPECT_TRUE(oldPage.out.contains("Pay rent"));

    // A change is refused with the system's reason.
    const QmtdResult add = RunQmtdProcess({"add", FList, "second"}, nobody);
    EXPECT_EQ(add.status, 1);
    EXPECT_EQ(add.err.trimmed(), "qmtd: " + FList + " can not be opened: permission denied.");

    EXPECT_EQ(FileBytes(FList), listBytes);
    EXPECT_EQ(FileBytes(old), oldBytes);
    EXPECT_EQ(Entries(FDir.path()), entries); // nothing created, not even for a moment's lock
}

TEST_F(SharedAccessTest, PageDoesNotUpgradeAnOldListOnDisk)
{
    const QString old = FDir.filePath("old.qmtd");
    ASSERT_TRUE(QFile::copy(QStringLiteral(QM_TEST_DATA_DIR "/store/schema1_list.qmtd"), old));
    ASSERT_TRUE(QFile::setPermissions(old, QFile::ReadOwner | QFile::WriteOwner));
    const QByteArray before = FileBytes(old);
    for (const QStringList& args :
         {QStringList{"page", old}, QStringList{"page", old, "--completed"},
          QStringList{"dump", old}})
        EXPECT_EQ(RunQmtdProcess(args).status, 0) << args.join(' ').toStdString();
    EXPECT_EQ(FileBytes(old), before);
}

TEST_F(SharedAccessTest, CanNotBeOpenedSaysWhyUnlessTheListIsInUse)
{
    const QString folder = FDir.filePath("folder.qmtd");
    ASSERT_TRUE(QDir().mkdir(folder));
    for (const char* command : {"dump", "page", "add", "done"}) {
        QStringList args = {command, folder};
        if (args[0] == "add")
            args << "t";
        if (args[0] == "done")
            args << "1";
        const QmtdResult r = RunQmtdProcess(args);
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_EQ(r.err.trimmed(), "qmtd: " + folder + " can not be opened: it is a folder.")
            << command;
    }
}

TEST_P(NoLocksTest, ParallelAddsKeepExactlyTheTasksTheyReport)
{
    std::vector<QStringList> adds;
    for (int i = 0; i < 20; ++i)
        adds.push_back({"add", FList, QStringLiteral("task %1").arg(i)});
    const std::vector<QmtdResult> results = RunQmtdTogether(adds, shim());
    int succeeded = 0;
    for (const QmtdResult& r : results) {
        if (r.status == 0) {
            ++succeeded;
        } else {
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.err.trimmed(), "qmtd: " + FList + InUse);
        }
    }
    EXPECT_GT(succeeded, 0);
    const QmtdResult dump = run({"dump", FList});
    ASSERT_EQ(dump.status, 0) << dump.err.toStdString();
    EXPECT_EQ(RecordCount(dump), 1 + succeeded);
    EXPECT_FALSE(QFileInfo::exists(ListLockFile::nameFor(FList)));
}

TEST_P(NoLocksTest, ParallelAddsAndDeletesNeverLeaveTheListUnreadable)
{
    int expected = 1;
    for (int round = 0; round < 30; ++round) {
        std::vector<QStringList> commands;
        for (int i = 0; i < 3; ++i) {
            commands.push_back({"add", FList, QStringLiteral("r%1 t%2").arg(round).arg(i)});
            commands.push_back({"delete", FList, "1"});
        }
        const std::vector<QmtdResult> results = RunQmtdTogether(commands, shim());
        for (size_t i = 0; i < results.size(); ++i) {
            const bool isAdd = commands[i][0] == "add";
            if (results[i].status == 0)
                expected += isAdd ? 1 : -1;
            else
                EXPECT_TRUE(results[i].err.contains(InUse) ||
                            results[i].err.contains("the list is empty"))
                    << results[i].err.toStdString();
        }
        const QmtdResult dump = run({"dump", FList});
        ASSERT_EQ(dump.status, 0) << "round " << round << ": " << dump.err.toStdString();
        ASSERT_EQ(RecordCount(dump), expected) << "round " << round;
    }
}

TEST_P(NoLocksTest, TheWindowKeepsQmtdOutUntilItEnds)
{
    QTemporaryDir config;
    QProcess window;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LD_PRELOAD", QM_FLOCK_SHIM);
    env.insert("QM_FLOCK_FAILS", GetParam());
    // A window qmtd cannot reach: qmtd refuses as it does where no window takes its commands.
    QTemporaryDir windowRuntime;
    env.insert("XDG_RUNTIME_DIR", windowRuntime.path());
    window.setProcessEnvironment(env);
    ASSERT_TRUE(PrepareWindowProcess(window, config.path(), FList));
    window.start(QM_QUILLMARK, {FList});
    ASSERT_TRUE(window.waitForStarted());
    const QString lock = ListLockFile::nameFor(FList);
    for (int i = 0; i < 300 && !QFileInfo::exists(lock); ++i)
        QThread::msleep(50);
    ASSERT_TRUE(QFileInfo::exists(lock)) << "the window did not open the list";
    const QByteArray before = FileBytes(FList);

    for (const QStringList& args : {QStringList{"add", FList, "t"}, QStringList{"done", FList, "1"},
                                    QStringList{"dump", FList}, QStringList{"page", FList}}) {
        const QmtdResult r = run(args);
        EXPECT_EQ(r.status, 1) << args.join(' ').toStdString();
        EXPECT_EQ(r.err.trimmed(), "qmtd: " + FList + InUse) << args.join(' ').toStdString();
    }
    EXPECT_EQ(FileBytes(FList), before);

    // Killed, the window leaves its lock behind; the next qmtd takes it over.
    window.kill();
    window.waitForFinished();
    EXPECT_TRUE(QFileInfo::exists(lock));
    EXPECT_EQ(run({"add", FList, "after"}).status, 0);
    const QmtdResult dump = run({"dump", FList});
    EXPECT_EQ(RecordCount(dump), 2);
    EXPECT_FALSE(QFileInfo::exists(lock));
}

TEST_P(NoLocksTest, AListHeldFromAnotherComputerCanBeReadButNotChanged)
{
    LockHolder remote;
    remote.host = "far-away-host";
    remote.machine = "0123456789abcdef0123456789abcdef";
    remote.pid = 4242;
    remote.since = "2026-03-10T12:00:00";
    const QString lock = ListLockFile::nameFor(FList);
    {
        QFile f(lock);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ListLockFile::contentFor(remote));
    }
    const QByteArray lockBytes = FileBytes(lock);
    const QByteArray before = FileBytes(FList);

    for (const QStringList& args :
         {QStringList{"add", FList, "t"}, QStringList{"delete", FList, "1"},
          QStringList{"purge", FList}}) {
        const QmtdResult r = run(args);
        EXPECT_EQ(r.status, 1) << args.join(' ').toStdString();
        EXPECT_EQ(r.err.trimmed(), "qmtd: " + FList + InUse +
                                       " It is held by process 4242 on the computer "
                                       "\"far-away-host\" since 2026-03-10 12:00.");
    }
    const QmtdResult dump = run({"dump", FList});
    EXPECT_EQ(dump.status, 0) << dump.err.toStdString();
    EXPECT_EQ(RecordCount(dump), 1);
    const QmtdResult page = run({"page", FList});
    EXPECT_EQ(page.status, 0) << page.err.toStdString();
    EXPECT_TRUE(page.out.contains("first"));
    EXPECT_EQ(FileBytes(FList), before);
    EXPECT_EQ(FileBytes(lock), lockBytes);
}

INSTANTIATE_TEST_SUITE_P(FlockErrors, NoLocksTest, ::testing::Values("ENOLCK", "EOPNOTSUPP"));

#endif
