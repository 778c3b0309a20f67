#include "platform/exclusive_file_hold.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifndef Q_OS_WIN
#include <sys/wait.h>
#include <unistd.h>
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

#ifndef Q_OS_WIN
TEST(ExclusiveFileHold, AnotherProcessIsRefusedAndTheHoldEndsWithItsHolder)
{
    QTemporaryDir dir;
    const QString p = dir.filePath("f.bin");
    ExclusiveFileHold hold;
    ASSERT_TRUE(hold.open(p, ExclusiveFileHold::Mode::CreateOrOpen));

    // The child reports 1 when it got the file, 0 when it was refused as held.
    const auto childTries = [&] {
        const pid_t pid = fork();
        if (pid == 0) {
            ExclusiveFileHold other;
            const bool got = other.open(p, ExclusiveFileHold::Mode::OpenExisting);
            _exit(got ? 1 : (other.heldElsewhere() ? 0 : 2));
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(childTries(), 0);
    hold.close();
    EXPECT_EQ(childTries(), 1);

    // A holder that is killed releases the file.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = fork();
    if (holder == 0) {
        ExclusiveFileHold held;
        const bool got = held.open(p, ExclusiveFileHold::Mode::OpenExisting);
        (void)!write(ready[1], got ? "1" : "0", 1);
        pause();
        _exit(0);
    }
    char answer = 0;
    ASSERT_EQ(read(ready[0], &answer, 1), 1);
    ASSERT_EQ(answer, '1');
    EXPECT_EQ(childTries(), 0);
    EXPECT_FALSE(hold.open(p, ExclusiveFileHold::Mode::OpenExisting));
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    EXPECT_TRUE(hold.open(p, ExclusiveFileHold::Mode::OpenExisting));
    close(ready[0]);
    close(ready[1]);
}
#endif
