// Crafted lists against the memory they may make qmtd take: counts that the bytes cannot hold,
// counts beyond what the program opens, rows as small as rows can be, long texts, and too little
// memory. Each runs the real qmtd in a child and reads its peak resident size.

#include <QtGlobal>

// Unix only: the child's peak memory comes from wait4().
#ifndef Q_OS_WIN

#include "../store/packet_builder.h"
#include "qmtd_process.h"
#include "shared/todo_global.h"

#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace {

using B = PacketBuilder;

// The bound qmtd keeps to for any list: peak resident size at most this many times the file's
// size, plus this much (the program itself, and the most records a list may have).
constexpr qint64 SizeFactor = 6;
constexpr qint64 FixedMiB = 220;

const QByteArray NullDateBytes = B::f64(146326435200000.0);

// The task record's columns, and `rows` raw rows behind them; `rowCount` is what the header
// announces.
QByteArray ListOf(quint32 rowCount, const QByteArray& rows)
{
    B packet;
    packet.column("Task Title", 0x004A0002, B::width(400), 1)
        .column("Category", 0x004A0001, B::width(100), 1)
        .column("Created", 0x00080008)
        .column("Complete By", 0x00080008)
        .column("Priority", 0x00020002)
        .column("Completed", 0x00080008)
        .column("Details", 0x004B0004, B::subtype("WideText"), 1);
    QByteArray bytes = SignatureSchema2 + packet.build();
    qToLittleEndian<quint32>(rowCount, bytes.data() + SignatureSchema2.size() + 14);
    return bytes + rows;
}

// Rows with every value null: the smallest a row can be.
QByteArray NullRows(int count)
{
    return QByteArray("\x00\xff\x3f", 3).repeated(count);
}

// Uncompleted tasks with a distinct title and category each, nothing else.
QByteArray TitledRows(int count)
{
    QByteArray rows;
    for (int i = 0; i < count; ++i)
        rows += QByteArray("\x00\xf0\x33", 3) + B::le16(14) +
                B::utf16(QStringLiteral("t%1").arg(i, 6, 10, QLatin1Char('0'))) + char(14) +
                B::utf16(QStringLiteral("c%1").arg(i, 6, 10, QLatin1Char('0'))) + NullDateBytes;
    return rows;
}

// One uncompleted task with `characters` characters of details.
QByteArray LongDetailsRow(int characters)
{
    return QByteArray("\x00\x04\x00", 3) + B::le16(2) + B::utf16("t") + NullDateBytes +
           NullDateBytes + B::le16(1) + NullDateBytes + B::le32(quint32(characters) * 2) +
           B::utf16("x").repeated(characters);
}

class MemoryBoundTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(FDir.isValid()); }
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = FDir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        EXPECT_EQ(f.write(bytes), bytes.size());
        return path;
    }
    QTemporaryDir FDir;
};

} // namespace

TEST_F(MemoryBoundTest, CraftedCountsStayWithinTheBound)
{
    struct Case {
        const char* what;
        std::function<QByteArray()> content;
        QStringList commands; // each run on the file
        QString error;        // the end of the one line on stderr; empty: succeeds
    };
    const Case cases[] = {
        {"8 million rows announced, 30 MB of zeros behind them",
         [] { return ListOf(8000000, QByteArray(30 * 1000 * 1000, '\0')); },
         {"page", "dump"},
         "is too large to open."},
        {"60 MB of rows with nothing in them",
         [] { return ListOf(20000000, NullRows(20000000)); },
         {"page"},
         "is too large to open."},
        {"one row more than a list may have",
         [] { return ListOf(250001, NullRows(250001)); },
         {"dump"},
         "is too large to open."},
        {"more rows announced than the bytes can hold",
         [] { return ListOf(4000000, NullRows(100)); },
         {"page"},
         "is damaged and cannot be read: it announces 4000000 rows but the data ends before "
         "them."},
        {"the most rows a list may have, all empty",
         [] { return ListOf(250000, NullRows(250000)); },
         {"page", "dump", "dump --raw"},
         {}},
        {"the most tasks a list may have, each with its own title and category",
         [] { return ListOf(250000, TitledRows(250000)); },
         {"page --order category", "dump --order title"},
         {}},
        {"one task with 10 million characters of details",
         [] { return ListOf(1, LongDetailsRow(10000000)); },
         {"page", "dump --raw"},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Made and let go of before qmtd starts: a child's peak counts what it was forked with.
        const qint64 size = [&] {
            const QByteArray content = c.content();
            write("crafted.qmtd", content);
            return content.size();
        }();
        const QString file = FDir.filePath("crafted.qmtd");
        const qint64 boundKiB = (SizeFactor * size) / 1024 + FixedMiB * 1024;
        for (const QString& command : c.commands) {
            QStringList args = command.split(' ');
            args.insert(1, file);
            const QmtdMeasured run = RunQmtdMeasured(args);
            if (c.error.isEmpty()) {
                EXPECT_EQ(run.status, 0) << command.toStdString() << ": " << run.err.toStdString();
            } else {
                EXPECT_EQ(run.status, 1) << command.toStdString();
                EXPECT_TRUE(run.err.trimmed().endsWith(c.error)) << run.err.toStdString();
            }
            EXPECT_LE(run.peakKiB, boundKiB)
                << command.toStdString() << ": " << run.peakKiB / 1024 << " MiB for "
                << size / (1024 * 1024) << " MiB of list";
            std::printf("[ memory   ] %s, qmtd %s: %ld MiB peak for %lld KiB\n", c.what,
                        qPrintable(command), run.peakKiB / 1024,
                        static_cast<long long>(size / 1024));
        }
    }
}

TEST_F(MemoryBoundTest, RunningOutOfMemorySaysTheListIsTooLarge)
{
    // The address space qmtd needs for itself (libraries, stacks, arenas), found on this machine.
    qint64 ownMiB = 40;
    while (ownMiB < 1000 && RunQmtdMeasured({"--version"}, ownMiB << 20).status != 0)
        ownMiB += 10;
    ASSERT_LT(ownMiB, 1000);
    // 20,000 tasks with 1,000 characters of details each: the file fits in what is left over,
    // its texts do not as well.
    const QByteArray content = ListOf(20000, LongDetailsRow(1000).repeated(20000));
    const QString file = write("large.qmtd", content);
    const qint64 limit = ((ownMiB + 10) << 20) + content.size() / 2;
    for (const char* command : {"page", "dump", "add"}) {
        QStringList args = {command, file};
        if (args[0] == "add")
            args << "one more";
        const QmtdMeasured run = RunQmtdMeasured(args, limit);
        EXPECT_EQ(run.status, 1) << command;
        EXPECT_EQ(run.err.trimmed(), "qmtd: " + file + " is too large to open.") << command;
    }
}

#endif
