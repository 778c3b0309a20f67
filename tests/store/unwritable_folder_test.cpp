// A list in a folder its user cannot write, saved by an ordinary user (nobody) that is killed at
// random moments: the side file lives in the user's state folder and the list stays whole.

#include "store/list_file_save.h"
#include "store/todo_db.h"
#include "store_test_support.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#ifndef Q_OS_WIN
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(UnwritableFolderSaveTest, KilledWhileSavingAsAnOrdinaryUserTheListStaysWhole)
{
    const passwd* nobody = ::getpwnam("nobody");
    if (::geteuid() != 0 || !nobody || QStandardPaths::findExecutable("setpriv").isEmpty())
        GTEST_SKIP() << "needs root, the user nobody and setpriv to run as an ordinary user";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    const QString lists = dir.filePath("lists"), home = dir.filePath("home");
    ASSERT_TRUE(QDir().mkpath(lists));
    ASSERT_TRUE(QDir().mkpath(home));
    ASSERT_EQ(::chown(QFile::encodeName(home).constData(), nobody->pw_uid, nobody->pw_gid), 0);
    const QString list = lists + "/list.qmtd";
    ASSERT_TRUE(WriteFileBytes(list, ListFileOf({})));
    ASSERT_EQ(::chown(QFile::encodeName(list).constData(), nobody->pw_uid, nobody->pw_gid), 0);
    const QString state = home + "/state";
    qputenv("XDG_STATE_HOME", QFile::encodeName(state));

    QRandomGenerator random(4242);
    int acknowledged = 0;
    bool sawSideFile = false;
    for (int round = 0; round < 10; ++round) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home);
        env.insert("XDG_STATE_HOME", state);
        child.setProcessEnvironment(env);
        child.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                QStringLiteral(QM_STORE_SAVE_CHILD), "save", list});
        ASSERT_TRUE(child.waitForStarted(20000));
        ASSERT_TRUE(child.waitForReadyRead(20000))
            << "the child saved nothing: " << child.readAllStandardError().toStdString();
        QThread::msleep(random.bounded(1, 40));
        child.kill();
        ASSERT_TRUE(child.waitForFinished(20000));
        const QStringList lines =
            QString::fromLocal8Bit(child.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        ASSERT_TRUE(lines.last().startsWith("saved ")) << lines.last().toStdString();
        acknowledged = lines.last().mid(6).toInt();
        // Nothing beside the list; what a killed save left is in the state folder.
        EXPECT_EQ(QDir(lists).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList{"list.qmtd"});
        sawSideFile |= QFileInfo::exists(SideFilesOf(list).inStateFolder);

        TaskTable table;
        OpenTaskTable(list, table); // as root, which finds the same side file
        const int count = table.RecordCount();
        EXPECT_TRUE(count == acknowledged || count == acknowledged + 1)
            << "round " << round << ": " << count << " tasks, " << acknowledged << " saved";
        CloseTaskStore(table);
        EXPECT_FALSE(QFileInfo::exists(SideFilesOf(list).inStateFolder));
        ASSERT_EQ(::chown(QFile::encodeName(list).constData(), nobody->pw_uid, nobody->pw_gid), 0);
    }
    EXPECT_TRUE(sawSideFile);
    EXPECT_GT(acknowledged, 10);
}

#endif
