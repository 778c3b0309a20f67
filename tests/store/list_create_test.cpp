// New list files: whole or not at all, and an empty file in their way.

#include "platform/exclusive_file_hold.h"
#include "store/todo_db.h"
#include "store_test_support.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

class ListCreateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        qputenv("XDG_STATE_HOME", QFile::encodeName(FDir.filePath("state")));
    }
    void TearDown() override { CloseTaskStore(FTable); }
    QString path(const QString& name) const { return FDir.filePath(name); }
    QString openError(const QString& p)
    {
        try {
            OpenTaskTable(p, FTable);
        } catch (const TaskStoreError& e) {
            return e.message();
        }
        return "<opened>";
    }
    QString createError(const QString& p)
    {
        try {
            CreateListFile(p, NewListMode::ReplaceEmpty);
        } catch (const TaskStoreError& e) {
            return e.message();
        }
        return "<created>";
    }

    QTemporaryDir FDir;
    TaskTable FTable;
};

} // namespace

// A process that creates lists one after the other is killed at random moments: every name it
// used holds a whole empty list or does not exist, and nothing else is left in the folder.
TEST_F(ListCreateTest, KilledWhileCreatingLeavesAWholeListOrNone)
{
    QRandomGenerator random(7);
    const QString prefix = path("new");
    int lists = 0;
    for (int round = 0; round < 30; ++round) {
        QProcess child;
        child.start(QStringLiteral(QM_STORE_SAVE_CHILD), {QStringLiteral("new"), prefix});
        ASSERT_TRUE(child.waitForStarted(20000));
        ASSERT_TRUE(child.waitForReadyRead(20000)) << "the child created nothing";
        QThread::usleep(random.bounded(100, 20000));
        child.kill();
        ASSERT_TRUE(child.waitForFinished(20000));
        const QStringList lines =
            QString::fromLocal8Bit(child.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        ASSERT_FALSE(lines.isEmpty());
        const int created = lines.last().mid(8).toInt();
        for (const QString& name :
             QDir(FDir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
            const int n = name.mid(3).chopped(5).toInt();
            ASSERT_TRUE(name.startsWith("new") && name.endsWith(".qmtd") && n >= 1 &&
                        n <= created + 1)
                << "round " << round << ": " << name.toStdString();
            EXPECT_EQ(ReadFileBytes(path(name)), ListFileOf({})) << name.toStdString();
            QFile::remove(path(name));
            ++lists;
        }
    }
    EXPECT_GT(lists, 30);
}

TEST_F(ListCreateTest, AnEmptyFileIsReportedAndMayBeReplaced)
{
    const QString p = path("empty.qmtd");
    ASSERT_TRUE(WriteFileBytes(p, {}));
    EXPECT_EQ(openError(p), p + " is empty.");
    EXPECT_EQ(ReadFileBytes(p), QByteArray());

    struct Case {
        const char* what;
        QByteArray before;
        bool heldElsewhere;
        QString error; // empty: the file becomes a new list
    };
    const Case cases[] = {
        {"an empty file", "", false, {}},
        {"a list", ListFileOf({{"keep me", "", 1, NullDate, 1, NullDate, ""}}), false,
         p + " already exists."},
        {"some other file", "x", false, p + " already exists."},
        {"an empty file held by another instance", "", true,
         p + " can not be opened. It may be in use by another application or is "
             "inaccessible."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteFileBytes(p, c.before));
        ExclusiveFileHold other;
        if (c.heldElsewhere) {
            ASSERT_TRUE(other.open(p, ExclusiveFileHold::Mode::OpenExisting));
        }
        const QString error = createError(p);
        other.close();
        if (c.error.isEmpty()) {
            EXPECT_EQ(error, "<created>");
            EXPECT_EQ(ReadFileBytes(p), ListFileOf({}));
        } else {
            EXPECT_EQ(error, c.error);
            EXPECT_EQ(ReadFileBytes(p), c.before);
        }
    }
}

// A name that is a symbolic link gets the list where the link points; the link stays.
TEST_F(ListCreateTest, ANewListThroughASymbolicLinkGoesWhereItPoints)
{
    ASSERT_TRUE(QDir().mkpath(path("real")));
    struct Case {
        const char* what;
        QByteArray targetBefore; // "-" for no target
        std::function<void(const QString&)> create;
    };
    const Case cases[] = {
        {"open of a dangling link", "-", [&](const QString& l) { OpenTaskTable(l, FTable); }},
        {"replacing an empty target", "",
         [&](const QString& l) { CreateListFile(l, NewListMode::ReplaceEmpty); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString target = path("real/list.qmtd");
        const QString link = path("link.qmtd");
        QFile::remove(target);
        QFile::remove(link);
        if (c.targetBefore != "-") {
            ASSERT_TRUE(WriteFileBytes(target, c.targetBefore));
        }
        ASSERT_TRUE(QFile::link(target, link));
        c.create(link);
        CloseTaskStore(FTable);
        EXPECT_TRUE(QFileInfo(link).isSymLink());
        EXPECT_EQ(ReadFileBytes(target), ListFileOf({}));
    }
}
