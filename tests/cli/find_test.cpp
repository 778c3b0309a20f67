// qmtd page --find and dump --find: the filter bar's queries from the command line.

#include "cli/cli_command.h"
#include "shared/datetime.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class FindOptionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetShortDateFormat(QStringLiteral("dd/MM/yyyy"));
        SetClock([] { return QDateTime(QDate(2026, 3, 15), QTime(12, 0)); });
        ASSERT_TRUE(FDir.isValid());
        FList = FDir.filePath(QStringLiteral("list.qmtd"));
        ASSERT_EQ(run({"new", FList}), 0) << FErr.toStdString();
        ASSERT_EQ(run({"add", FList, "Buy milk", "--category", "Home", "--details", "Café au lait",
                       "--deadline", "2026-03-15"}),
                  0);
        ASSERT_EQ(run({"add", FList, "Fix bike", "--priority", "high", "--deadline", "2026-03-01"}),
                  0);
        ASSERT_EQ(run({"add", FList, "Milk run", "--category", "Errands"}), 0);
        ASSERT_EQ(run({"add", FList, "Old milk", "--deadline", "2026-02-01"}), 0);
        ASSERT_EQ(run({"done", FList, "1"}), 0); // Old milk, first by deadline
    }
    void TearDown() override
    {
        SetClock({});
        SetShortDateFormat(QString());
    }

    int run(const QStringList& arguments)
    {
        FOut.clear();
        FErr.clear();
        QTextStream out(&FOut), err(&FErr);
        const int status = RunQmtd(arguments, out, err);
        out.flush();
        err.flush();
        return status;
    }

    QJsonArray dumpRecords(const QStringList& arguments)
    {
        EXPECT_EQ(run(QStringList{"dump", FList, "--raw"} + arguments), 0) << FErr.toStdString();
        return QJsonDocument::fromJson(FOut.toUtf8()).object()[QStringLiteral("records")].toArray();
    }

    QTemporaryDir FDir;
    QString FList;
    QString FOut;
    QString FErr;
};

QStringList titlesAndIndexes(const QJsonArray& records)
{
    QStringList out;
    for (const QJsonValue& v : records) {
        const QJsonObject o = v.toObject();
        out.append(o[QStringLiteral("Task Title")].toString() + QLatin1Char('/') +
                   QString::number(o[QStringLiteral("recIndex")].toInt()));
    }
    return out;
}

TEST_F(FindOptionTest, PageIsNarrowedAndMarked)
{
    ASSERT_EQ(run({"page", FList}), 0);
    const QString unfiltered = FOut;
    // A query without terms leaves the page exactly as it is.
    ASSERT_EQ(run({"page", FList, "--find", " - "}), 0);
    EXPECT_EQ(FOut, unfiltered);

    ASSERT_EQ(run({"page", FList, "--find", "MILK -c:errands"}), 0) << FErr.toStdString();
    EXPECT_TRUE(FOut.contains(QStringLiteral("Buy <span class=\"match\">milk</span>")));
    EXPECT_FALSE(FOut.contains(QStringLiteral("Milk run")));
    EXPECT_FALSE(FOut.contains(QStringLiteral("Fix bike")));
    EXPECT_TRUE(
        FOut.contains(QStringLiteral(".match { background-color: #0078D7; color: #FFFFFF; }")));

    ASSERT_EQ(run({"page", FList, "--completed", "--find", "done:today milk"}), 0);
    EXPECT_TRUE(FOut.contains(QStringLiteral("Old <span class=\"match\">milk</span>")));

    ASSERT_EQ(run({"page", FList, "--find", "\"no such\""}), 0);
    EXPECT_TRUE(
        FOut.contains(QStringLiteral("<tr><td>No tasks match “&quot;no such&quot;”.</td></tr>")));
}

TEST_F(FindOptionTest, DumpGivesTheMatchingRecordsWithTheirIndexes)
{
    // The raw dump without --find: every record, in insertion order, without indexes.
    const QJsonArray all = dumpRecords({});
    ASSERT_EQ(all.size(), 4);
    EXPECT_FALSE(all[0].toObject().contains(QStringLiteral("recIndex")));

    EXPECT_EQ(titlesAndIndexes(dumpRecords({"--find", "milk"})),
              (QStringList{"Old milk/1", "Buy milk/3", "Milk run/4"}));
    EXPECT_EQ(titlesAndIndexes(dumpRecords({"--find", "milk", "--order", "smTiDePrCr"})),
              (QStringList{"Buy milk/1", "Milk run/3", "Old milk/4"}));
    EXPECT_EQ(titlesAndIndexes(dumpRecords({"--find", "due:overdue -done:today"})),
              (QStringList{"Fix bike/2"}));
    EXPECT_EQ(titlesAndIndexes(dumpRecords({"--find", "cafe p:n"})), (QStringList{"Buy milk/3"}));
    // The index is the one the record commands take.
    ASSERT_EQ(run({"undo", FList, "1"}), 0);
    EXPECT_EQ(titlesAndIndexes(dumpRecords({"--find", "-done:today c:"})),
              (QStringList{"Old milk/1", "Fix bike/2"}));
}

TEST_F(FindOptionTest, BadQueriesAreUsageErrors)
{
    for (const char* command : {"page", "dump"}) {
        EXPECT_EQ(run({command, FList, "--find", "due:someday"}), 2) << command;
        EXPECT_TRUE(
            FErr.startsWith(QStringLiteral("qmtd: --find: “due:someday” is not understood.")))
            << FErr.toStdString();
        EXPECT_TRUE(FOut.isEmpty());
        EXPECT_EQ(run({command, FList, "--find", "x:1"}), 2) << command;
        EXPECT_TRUE(FErr.startsWith(QStringLiteral("qmtd: --find: Unknown filter “x:”.")))
            << FErr.toStdString();
    }
    EXPECT_EQ(run({"dump", FList, "--find", "milk", "--order", "nonsense"}), 2);
}

} // namespace
