// qmtd edit and add: what they change, what they keep, and what they say.

#include "cli_fixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

class EditTest : public CliFixture {
protected:
    void SetUp() override
    {
        CliFixture::SetUp();
        ok({"new", FList});
        at(QDateTime(QDate(2026, 3, 1), QTime(9, 0)));
        ok({"add", FList, "-q", "Pay rent", "--category", "Home", "--deadline", "2026-03-20",
            "--priority", "high", "--details", "by transfer"});
        at(QDateTime(QDate(2026, 3, 2), QTime(9, 0)));
        ok({"add", FList, "-q", "Water plants", "--deadline", "2026-03-25"});
        at(QDateTime(QDate(2026, 3, 15), QTime(12, 0)));
    }
    // The stored record of the task with this title.
    QJsonObject record(const QString& title, const QString& file = {})
    {
        const QJsonDocument d =
            QJsonDocument::fromJson(ok({"dump", file.isEmpty() ? FList : file, "--raw"}).toUtf8());
        for (const QJsonValue& r : d["records"].toArray())
            if (r.toObject()["Task Title"].toString() == title)
                return r.toObject();
        return {};
    }
};

double day(int y, int m, int d)
{
    return EncodeDateTime(QDate(y, m, d));
}

} // namespace

TEST_F(EditTest, ChangesTheGivenFieldsAndKeepsTheOthers)
{
    const QJsonObject before = record("Pay rent");
    struct Case {
        QStringList options;
        QString field;
        QJsonValue value;
    };
    const Case cases[] = {
        {{"--category", "Flat"}, "Category", "Flat"},
        {{"--category", ""}, "Category", ""},
        {{"--deadline", "2026-04-01"}, "Complete By", day(2026, 4, 1)},
        {{"--deadline", "none"}, "Complete By", NullDate},
        {{"--priority", "LOW"}, "Priority", 2},
        {{"--details", "first\nsecond"}, "Details", "first\r\nsecond"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString copy = FDir.filePath(QStringLiteral("copy%1.qmtd").arg(++n));
        ASSERT_TRUE(QFile::copy(FList, copy));
        ok(QStringList{"edit", copy, "1", "-q"} + c.options);
        const QJsonObject after = record("Pay rent", copy);
        for (const QString& field : before.keys()) {
            if (field != c.field) {
                EXPECT_EQ(after[field], before[field]) << field.toStdString();
            }
        }
        EXPECT_EQ(after[c.field], c.value) << c.options.join(' ').toStdString();
        EXPECT_EQ(record("Water plants", copy), record("Water plants"));
    }
    ok({"edit", FList, "1", "-q", "--title", "Pay the rent"});
    QJsonObject renamed = record("Pay the rent");
    EXPECT_EQ(renamed["Created"], before["Created"]);
    EXPECT_EQ(renamed["Details"], before["Details"]);
}

TEST_F(EditTest, ACompletedTaskStaysCompleted)
{
    at(QDateTime(QDate(2026, 3, 15), QTime(13, 0)));
    ok({"done", FList, "2"});
    const double completed = record("Water plants")["Completed"].toDouble();
    ok({"edit", FList, "2", "--title", "Water the plants"});
    EXPECT_EQ(record("Water the plants")["Completed"].toDouble(), completed);
}

TEST_F(EditTest, SaysWhichNumberTheTaskHasNow)
{
    EXPECT_EQ(ok({"edit", FList, "1", "--priority", "low"}), "Edited task 1: Pay rent\n");
    EXPECT_EQ(ok({"edit", FList, "1", "--deadline", "none"}),
              "Edited task 1 (now task 2): Pay rent\n");
    // By title: Pay rent, Water plants.
    EXPECT_EQ(ok({"edit", FList, "2", "--title", "Aardvark", "--order", "title"}),
              "Edited task 2 (now task 1): Aardvark\n");
    EXPECT_EQ(ok({"edit", FList, "1", "--quiet", "--title", "Zebra", "--order", "title"}), "");
}

TEST_F(EditTest, AddSaysWhichNumberTheNewTaskHas)
{
    EXPECT_EQ(ok({"add", FList, "Call Anna", "--deadline", "2026-03-16"}),
              "Added task 1: Call Anna\n");
    EXPECT_EQ(ok({"add", FList, "Zebra", "--order", "title"}), "Added task 4: Zebra\n");
    EXPECT_EQ(ok({"add", FList, "Quiet one", "--quiet"}), "");
    EXPECT_EQ(ok({"add", FList, "Quiet two", "-q"}), "");
    // The number is the one done takes.
    ok({"done", FList, "1"});
    EXPECT_NE(record("Call Anna")["Completed"].toDouble(), NullDate);
}

TEST_F(EditTest, AFailedEditChangesNothing)
{
    const QByteArray before = bytesOf(FList);
    struct Case {
        QStringList args;
        int status;
        QString message;
    };
    const Case cases[] = {
        {{"edit", FList, "1"}, 2, "nothing to change"},
        {{"edit", FList, "3", "--title", "x"}, 1, "outside the list (1 to 2)"},
        {{"edit", FList, "1", "--deadline", "tomorrow"}, 2, "YYYY-MM-DD"},
        {{"edit", FList, "1", "--priority", "urgent"}, 2, "high, normal or low"},
        {{"edit", FList, "1", "--title", QString(201, u'x')}, 2, "at most 200"},
        {{"edit", FList, "1", "--category", QString(51, u'c')}, 2, "at most 50"},
        {{"edit", FList, "--title", "x"}, 2, "record index"},
        {{"edit", FList, "1", "--completed"}, 2, "unknown option --completed"},
    };
    for (const Case& c : cases) {
        const CliRun r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(bytesOf(FList), before);
}
