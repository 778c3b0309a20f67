#include "platform/exclusive_file_hold.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifndef Q_OS_WIN
#include "child_processes.h"

#include <sys/stat.h>
#endif

namespace {

QByteArray contentOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

} // namespace

TEST(ExclusiveFileHold, OpenModes)
{
    QTemporaryDir dir;
    const QString p = dir.filePath("f.bin");
    ExclusiveFileHold hold;
    EXPECT_FALSE(hold.open(p, ExclusiveFileHold::Mode::OpenExisting));
    EXPECT_FALSE(hold.heldElsewhere());
    EXPECT_FALSE(hold.errorString().isEmpty());

    ASSERT_TRUE(hold.open(p, ExclusiveFileHold::Mode::CreateOrOpen));
    ASSERT_TRUE(hold.writeAt(0, "hello world", 11));
    EXPECT_TRUE(hold.flush());
    hold.close();
    ASSERT_TRUE(hold.open(p, ExclusiveFileHold::Mode::CreateOrOpen));
    EXPECT_EQ(hold.size(), 11); // kept
    hold.close();
    ASSERT_TRUE(hold.open(p, ExclusiveFileHold::Mode::CreateTruncate));
    EXPECT_EQ(hold.size(), 0);
}

TEST(ExclusiveFileHold, ReadWriteResize)
{
    QTemporaryDir dir;
    const QString p = dir.filePath("f.bin");
    ExclusiveFileHold hold;
    ASSERT_TRUE(hold.open(p, ExclusiveFileHold::Mode::CreateTruncate));
    ASSERT_TRUE(hold.writeAt(0, "abcdef", 6));
    ASSERT_TRUE(hold.writeAt(4, "XYZ", 3)); // overwrites and grows
    char buffer[8] = {};
    ASSERT_TRUE(hold.readAt(2, buffer, 5));
    EXPECT_EQ(QByteArray(buffer, 5), QByteArray("cdXYZ"));
    EXPECT_FALSE(hold.readAt(5, buffer, 4)); // only 2 bytes there
    ASSERT_TRUE(hold.resize(3));
    QByteArray all;
    ASSERT_TRUE(hold.readAll(all));
    EXPECT_EQ(all, QByteArray("abc"));
    EXPECT_TRUE(hold.flush());
    EXPECT_TRUE(ExclusiveFileHold::syncFolderOf(p));
    EXPECT_EQ(contentOf(p), QByteArray("abc")); // plain readers are not kept out
}

TEST(ExclusiveFileHold, SecondHolderInThisProcessIsRefusedUntilRelease)
{
    QTemporaryDir dir;
    const QString p = dir.filePath("f.bin");
    ExclusiveFileHold first, second;
    ASSERT_TRUE(first.open(p, ExclusiveFileHold::Mode::CreateOrOpen));
    ASSERT_TRUE(first.writeAt(0, "keep", 4));
    for (auto mode : {ExclusiveFileHold::Mode::OpenExisting, ExclusiveFileHold::Mode::CreateOrOpen,
                      ExclusiveFileHold::Mode::CreateTruncate}) {
        EXPECT_FALSE(second.open(p, mode));
        EXPECT_TRUE(second.heldElsewhere());
        EXPECT_FALSE(second.isOpen());
    }
    EXPECT_EQ(contentOf(p), QByteArray("keep")); // a refused truncating open truncates nothing
    first.close();
    EXPECT_TRUE(second.open(p, ExclusiveFileHold::Mode::OpenExisting));
}

TEST(ExclusiveFileHold, ReadersShareAndKeepWritersOut)
{
    QTemporaryDir dir;
    const QString p = dir.filePath("f.bin");
    {
        ExclusiveFileHold create;
        ASSERT_TRUE(create.open(p, ExclusiveFileHold::Mode::CreateOrOpen));
        ASSERT_TRUE(create.writeAt(0, "abc", 3));
    }
    ExclusiveFileHold reader, secondReader, writer;
    ASSERT_TRUE(reader.open(p, ExclusiveFileHold::Mode::ReadShared));
    EXPECT_TRUE(reader.isReadOnly());
    ASSERT_TRUE(secondReader.open(p, ExclusiveFileHold::Mode::ReadShared));
    EXPECT_FALSE(writer.open(p, ExclusiveFileHold::Mode::OpenExisting));
    EXPECT_TRUE(writer.heldElsewhere());
    EXPECT_EQ(writer.reason(), "it is in use");
    QByteArray all;
    EXPECT_TRUE(reader.readAll(all));
    EXPECT_EQ(all, "abc");
    EXPECT_FALSE(reader.writeAt(0, "x", 1));
    EXPECT_FALSE(reader.resize(0));
    reader.close();
    secondReader.close();

    ASSERT_TRUE(writer.open(p, ExclusiveFileHold::Mode::OpenExisting));
    EXPECT_FALSE(reader.open(p, ExclusiveFileHold::Mode::ReadShared));
    EXPECT_TRUE(reader.heldElsewhere());
    EXPECT_EQ(contentOf(p), "abc");
}

TEST(ExclusiveFileHold, FailuresSayWhy)
{
    QTemporaryDir dir;
    struct Case {
        const char* what;
        QString path;
        ExclusiveFileHold::Mode mode;
        QString reason;
    };
    const Case cases[] = {
        {"a folder", dir.path(), ExclusiveFileHold::Mode::OpenExisting, "it is a folder"},
        {"a folder, to read", dir.path(), ExclusiveFileHold::Mode::ReadShared, "it is a folder"},
        {"missing", dir.filePath("none"), ExclusiveFileHold::Mode::OpenExisting,
         "it does not exist"},
        {"missing, to read", dir.filePath("none"), ExclusiveFileHold::Mode::ReadShared,
         "it does not exist"},
        {"missing folder", dir.filePath("none/f"), ExclusiveFileHold::Mode::CreateOrOpen,
         "it does not exist"},
    };
    for (const Case& c : cases) {
        ExclusiveFileHold hold;
        EXPECT_FALSE(hold.open(c.path, c.mode)) << c.what;
        EXPECT_FALSE(hold.heldElsewhere()) << c.what;
        EXPECT_EQ(hold.reason(), c.reason) << c.what;
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("none")));
}

#ifndef Q_OS_WIN
TEST(ExclusiveFileHold, AReadOnlyFileCanBeReadButNotHeldForWriting)
{
    if (getuid() != 0)
        GTEST_SKIP() << "needs root to become the user nobody";
    QTemporaryDir dir;
    const QString p = dir.filePath("f.bin");
    {
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("abc");
    }
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    ASSERT_EQ(chmod(QFile::encodeName(p).constData(), 0444), 0);
    const int status = RunInChild(
        [&] {
            ExclusiveFileHold writer, reader;
            if (writer.open(p, ExclusiveFileHold::Mode::OpenExisting) ||
                writer.reason() != "permission denied")
                return 1;
            QByteArray all;
            if (!reader.open(p, ExclusiveFileHold::Mode::ReadShared) || !reader.readAll(all) ||
                all != "abc")
                return 2;
            return 0;
        },
        true);
    EXPECT_EQ(status, 0);
}

TEST(ExclusiveFileHold, AnotherProcessIsRefusedAndTheHoldEndsWithItsHolder)
{
    QTemporaryDir dir;
    const QString p = dir.filePath("f.bin");
    ExclusiveFileHold hold;
    ASSERT_TRUE(hold.open(p, ExclusiveFileHold::Mode::CreateOrOpen));

    // The child reports 1 when it got the file, 0 when it was refused as held.
    const auto childTries = [&] {
        return RunInChild([&] {
            ExclusiveFileHold other;
            const bool got = other.open(p, ExclusiveFileHold::Mode::OpenExisting);
            return got ? 1 : (other.heldElsewhere() ? 0 : 2);
        });
    };
    EXPECT_EQ(childTries(), 0);
    hold.close();
    EXPECT_EQ(childTries(), 1);

    // A holder that is killed releases the file.
    HoldingChild holder(p);
    ASSERT_TRUE(holder.holds());
    EXPECT_EQ(childTries(), 0);
    EXPECT_FALSE(hold.open(p, ExclusiveFileHold::Mode::OpenExisting));
    holder.kill();
    EXPECT_TRUE(hold.open(p, ExclusiveFileHold::Mode::OpenExisting));
}
#endif
