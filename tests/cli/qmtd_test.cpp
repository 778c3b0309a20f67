#include "platform/exclusive_file_hold.h"
#include "qt_printers.h"
#include "shared/todo_global.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct QmtdRun {
    int status = -1;
    QString out;
    QString err;
};

QmtdRun qmtd(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(QM_QMTD), args);
    QmtdRun r;
    if (!p.waitForFinished(30000))
        return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QJsonObject dumpRaw(const QString& file)
{
    const QmtdRun r = qmtd({"dump", file, "--raw"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    return QJsonDocument::fromJson(r.out.toUtf8()).object();
}

QStringList titles(const QJsonObject& d)
{
    QStringList t;
    for (const QJsonValue& v : d["records"].toArray())
        t.append(v.toObject()["Task Title"].toString());
    return t;
}

class QmtdTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FList = FDir.filePath("list.qmtd");
    }
    QTemporaryDir FDir;
    QString FList;
};

} // namespace

TEST_F(QmtdTest, EveryCommandOnARealFile)
{
    ASSERT_EQ(qmtd({"new", FList}).status, 0);
    EXPECT_EQ(bytesOf(FList).size(), SignatureSchema2.size() + 196);
    ASSERT_EQ(qmtd({"add", FList, "Pay rent", "--category", "Home", "--deadline", "2024-02-01",
                    "--priority", "high", "--details", "by transfer\nbefore noon"})
                  .status,
              0);
    ASSERT_EQ(qmtd({"add", FList, "Buy milk"}).status, 0);
    ASSERT_EQ(qmtd({"add", FList, "Call Anna", "--deadline=2024-01-15", "--priority=low"}).status,
              0);

    QJsonObject d = dumpRaw(FList);
    EXPECT_EQ(d["schema"].toInt(), 2);
    ASSERT_EQ(titles(d), QStringList({"Pay rent", "Buy milk", "Call Anna"}));
    const QJsonObject first = d["records"].toArray()[0].toObject();
    EXPECT_EQ(first["Category"].toString(), "Home");
    EXPECT_EQ(first["Complete By"].toDouble(),
              double(QDate(1899, 12, 30).daysTo(QDate(2024, 2, 1))));
    EXPECT_EQ(first["Priority"].toInt(), 0);
    EXPECT_EQ(first["Completed"].toDouble(), NullDate);
    // Stored with the CR LF line breaks the window writes.
    EXPECT_EQ(first["Details"].toString(), "by transfer\r\nbefore noon");
    const QJsonObject second = d["records"].toArray()[1].toObject();
    EXPECT_TRUE(second["Details"].isNull()); // empty details are stored as null
    EXPECT_EQ(second["Category"].toString(), "");
    EXPECT_EQ(second["Complete By"].toDouble(), NullDate);
    EXPECT_EQ(second["Priority"].toInt(), 1);
    EXPECT_GT(second["Created"].toDouble(), 45000.0);

    // Default order smDePrTiCr: Call Anna (15 Jan), Pay rent (1 Feb), Buy milk (none).
    ASSERT_EQ(qmtd({"done", FList, "1"}).status, 0);
    d = dumpRaw(FList);
    EXPECT_NE(d["records"].toArray()[2].toObject()["Completed"].toDouble(), NullDate);
    // By title, Call Anna is 2.
    ASSERT_EQ(qmtd({"undo", FList, "2", "--order", "smTiDePrCr"}).status, 0);
    EXPECT_EQ(dumpRaw(FList)["records"].toArray()[2].toObject()["Completed"].toDouble(), NullDate);

    // Do again: the task is completed and a copy with the new deadline appended.
    ASSERT_EQ(qmtd({"again", FList, "2", "--deadline", "2024-03-01"}).status, 0);
    d = dumpRaw(FList);
    ASSERT_EQ(titles(d), QStringList({"Pay rent", "Buy milk", "Call Anna", "Pay rent"}));
    EXPECT_NE(d["records"].toArray()[0].toObject()["Completed"].toDouble(), NullDate);
    const QJsonObject copy = d["records"].toArray()[3].toObject();
    EXPECT_EQ(copy["Complete By"].toDouble(),
              double(QDate(1899, 12, 30).daysTo(QDate(2024, 3, 1))));
    EXPECT_EQ(copy["Completed"].toDouble(), NullDate);
    EXPECT_EQ(copy["Details"].toString(), "by transfer\r\nbefore noon");
    ASSERT_EQ(
        qmtd({"again", FList, "1", "--deadline", "none", "--order", "smCompletedDesc"}).status, 0);
    d = dumpRaw(FList);
    EXPECT_EQ(titles(d).size(), 5);
    EXPECT_EQ(d["records"].toArray()[4].toObject()["Complete By"].toDouble(), NullDate);

    // Completed first in smCompletedDesc: deleting 1 removes a completed task.
    ASSERT_EQ(qmtd({"delete", FList, "1", "--order", "smCompletedDesc"}).status, 0);
    EXPECT_EQ(titles(dumpRaw(FList)).size(), 4);
    ASSERT_EQ(qmtd({"purge", FList, "--older-than-week"}).status, 0);
    EXPECT_EQ(titles(dumpRaw(FList)).size(), 4); // completed today: kept
    ASSERT_EQ(qmtd({"purge", FList}).status, 0);
    d = dumpRaw(FList);
    for (const QJsonValue& v : d["records"].toArray())
        EXPECT_EQ(v.toObject()["Completed"].toDouble(), NullDate);
}

TEST_F(QmtdTest, FailedCommandsSayWhyInOneLineAndTouchNothing)
{
    ASSERT_EQ(qmtd({"new", FList}).status, 0);
    ASSERT_EQ(qmtd({"add", FList, "only task"}).status, 0);
    const QString bad = FDir.filePath("bad.qmtd");
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a list at all, but longer than a signature is, so that it is read...");
    f.close();
    const QString missing = FDir.filePath("missing.qmtd");
    struct Case {
        QStringList args;
        int status;
        QString message; // part of the one line on stderr
    };
    const Case cases[] = {
        {{"done", FList, "2"}, 1, "Task number 2 is outside the list (1 to 1)."},
        {{"delete", FList, "0"}, 2, "record index"},
        {{"undo", FList, "x"}, 2, "record index"},
        {{"done", missing, "1"}, 1, missing + " does not exist."},
        {{"dump", bad}, 1, bad + " is not a valid Quillmark file."},
        {{"new", FList}, 1, FList + " already exists."},
        {{"add", FList, "t", "--priority", "urgent"}, 2, "high, normal or low"},
        {{"add", FList, "t", "--deadline", "2024-13-01"}, 2, "YYYY-MM-DD"},
        {{"add", FList, QString(201, 'x')}, 2, "at most 200"},
        {{"add", FList, "t", "--category", QString(51, 'c')}, 2, "at most 50"},
        {{"add", FList}, 2, "TITLE is missing"},
        {{"add", FList, "t", "--colour", "red"}, 2, "unknown option --colour"},
        {{"done", FList, "1", "--order", "smNothing"}, 2, "unknown order"},
        {{"frobnicate", FList}, 2, "unknown command"},
        {{"purge", FList, "extra"}, 2, "unexpected argument"},
    };
    const QByteArray before = bytesOf(FList);
    for (const Case& c : cases) {
        const QmtdRun r = qmtd(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
        EXPECT_EQ(bytesOf(FList), before) << c.args.join(' ').toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(missing));
}

TEST_F(QmtdTest, RefusesAListHeldByAnotherProcess)
{
    ASSERT_EQ(qmtd({"new", FList}).status, 0);
    const QByteArray before = bytesOf(FList);
    ExclusiveFileHold hold;
    ASSERT_TRUE(hold.open(FList, ExclusiveFileHold::Mode::OpenExisting));
    for (const QStringList& args : {QStringList{"add", FList, "t"}, QStringList{"dump", FList}}) {
        const QmtdRun r = qmtd(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err.trimmed(), "qmtd: " + FList +
                                       " can not be opened. It may be in use by another "
                                       "application or is inaccessible.");
    }
    hold.close();
    EXPECT_EQ(bytesOf(FList), before);
    EXPECT_EQ(qmtd({"add", FList, "t"}).status, 0);
}

TEST_F(QmtdTest, DumpShowsTheSchemaOfAnOldFileWithoutUpgradingIt)
{
    const QString old = FDir.filePath("old.qmtd");
    ASSERT_TRUE(QFile::copy(QStringLiteral(QM_TEST_DATA_DIR "/store/schema1_list.qmtd"), old));
    const QByteArray before = bytesOf(old);
    const QJsonObject d = dumpRaw(old);
    EXPECT_EQ(d["schema"].toInt(), 1);
    EXPECT_EQ(titles(d), QStringList({"Pay rent", QStringLiteral("Café order"), "Old deadline"}));
    // The raw value: the deadline still has its time of day.
    EXPECT_EQ(d["records"].toArray()[0].toObject()["Complete By"].toDouble(), 45307.75);
    EXPECT_EQ(bytesOf(old), before);

    // A command that fails on its record index leaves the old file as it was, too.
    const QmtdRun r = qmtd({"done", old, "4"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("outside the list (1 to 3)")) << r.err.toStdString();
    EXPECT_EQ(bytesOf(old), before);
    // One that succeeds upgrades it.
    ASSERT_EQ(qmtd({"done", old, "3"}).status, 0);
    EXPECT_EQ(dumpRaw(old)["schema"].toInt(), 2);
}

TEST_F(QmtdTest, HelpAndVersion)
{
    const QmtdRun help = qmtd({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* command : {"new", "add", "done", "undo", "delete", "again", "purge", "dump"})
        EXPECT_TRUE(help.out.contains(QStringLiteral("  %1 ").arg(command))) << command;
    const QmtdRun version = qmtd({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.trimmed(), "qmtd 1.2.2.9");
}

TEST_F(QmtdTest, OrdersGoByWordsAndByTheirTableNames)
{
    ASSERT_EQ(qmtd({"new", FList}).status, 0);
    // Each order puts a different task first.
    const QStringList adds[] = {
        {"d", "--category", "W", "--deadline", "2024-01-01", "--priority", "low"},
        {"c", "--category", "Z", "--deadline", "2024-03-01", "--priority", "high"},
        {"a", "--category", "Y"},
        {"b", "--category", "A", "--deadline", "2024-02-01"},
        {"e", "--category", "X", "--priority", "low"},
    };
    for (const QStringList& a : adds)
        ASSERT_EQ(qmtd(QStringList{"add", FList} + a).status, 0);
    struct Case {
        const char* word;
        const char* name;
        const char* first;
    };
    const Case cases[] = {
        {"deadline", "smDePrTiCr", "d"}, {"priority", "smPrDeTiCr", "c"},
        {"title", "smTiDePrCr", "a"},    {"category", "smCaDePrTiCr", "b"},
        {"created", "smCreated", "e"},
    };
    const QStringList all = titles(dumpRaw(FList));
    for (const Case& c : cases) {
        for (const char* order : {c.word, c.name}) {
            const QString copy = FDir.filePath(QStringLiteral("%1.qmtd").arg(order));
            ASSERT_TRUE(QFile::copy(FList, copy));
            ASSERT_EQ(qmtd({"delete", copy, "1", "--order", order}).status, 0) << order;
            QStringList expected = all;
            expected.removeOne(c.first);
            EXPECT_EQ(titles(dumpRaw(copy)), expected) << order;
        }
    }
    // Without --order the order is by deadline.
    ASSERT_EQ(qmtd({"delete", FList, "1"}).status, 0);
    EXPECT_FALSE(titles(dumpRaw(FList)).contains("d"));
}
