// qmtd export and import on real files.

#include "cli_fixture.h"
#include "qmtd_process.h"

#include <QStringDecoder>

namespace {

class ExchangeCommandTest : public CliFixture {
protected:
    void SetUp() override
    {
        CliFixture::SetUp();
        ok({"new", FList});
        at(QDateTime(QDate(2026, 3, 1), QTime(9, 0)));
        ok({"add", FList, "-q", "Pay rent", "--category", "Home", "--deadline", "2026-03-20",
            "--priority", "high", "--details", "by transfer"});
        at(QDateTime(QDate(2026, 3, 2), QTime(9, 0)));
        ok({"add", FList, "-q", "Buy milk"});
        at(QDateTime(QDate(2026, 3, 15), QTime(12, 0)));
    }
    // The file's text, a byte order mark kept as U+FEFF.
    QString text(const QString& path) const
    {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom);
        return utf8(bytesOf(path));
    }
};

} // namespace

TEST_F(ExchangeCommandTest, ExportsToStandardOutputOrAFile)
{
    const QString csv = ok({"export", FList, "--format", "csv"});
    EXPECT_TRUE(csv.startsWith(QStringLiteral("\uFEFFTitle,Category,Created,Deadline,Priority,"
                                              "Completed,Details\r\n")));
    EXPECT_TRUE(csv.contains("Pay rent,Home,2026-03-01 09:00:00,2026-03-20,High,,by transfer\r\n"));
    // The format from the name of the file written.
    struct Case {
        QString name;
        QString start;
    };
    const Case cases[] = {
        {"out.ics", "BEGIN:VCALENDAR\r\n"},
        {"out.CSV", QStringLiteral("\uFEFFTitle,")},
        {"todo.txt", "(A) 2026-03-01 Pay rent +Home due:2026-03-20\n"},
    };
    for (const Case& c : cases) {
        const QString out = FDir.filePath(c.name);
        EXPECT_EQ(ok({"export", FList, "-o", out}), "Exported 2 tasks to " + out + ".\n");
        EXPECT_TRUE(text(out).startsWith(c.start)) << c.name.toStdString();
    }
    // --format wins over the name.
    ok({"export", FList, "--format", "todotxt", "--output", FDir.filePath("tasks.csv")});
    EXPECT_TRUE(text(FDir.filePath("tasks.csv")).startsWith("(A)"));
}

TEST_F(ExchangeCommandTest, TodoTxtSaysThatTheDetailsStayBehind)
{
    const CliRun r = run({"export", FList, "--format", "todotxt"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "qmtd: todo.txt has no place for details: the details of 1 task are not in "
                     "the file.\n");
    EXPECT_EQ(r.out, "(A) 2026-03-01 Pay rent +Home due:2026-03-20\n(B) 2026-03-02 Buy milk\n");
}

TEST_F(ExchangeCommandTest, ImportsOnceAndSays)
{
    const QString ics = FDir.filePath("out.ics");
    ok({"export", FList, "-o", ics});
    const QString other = FDir.filePath("other.qmtd");
    ok({"new", other});
    EXPECT_EQ(ok({"import", other, ics}), "Imported 2 tasks from out.ics.\n");
    EXPECT_EQ(ok({"import", other, ics}),
              "Imported 0 tasks from out.ics; skipped 2: 2 already in the list.\n");
    EXPECT_TRUE(ok({"list", other}).contains("Pay rent"));
    // A file of another program, by its extension; the format named where the name says nothing.
    const QString fixture = QStringLiteral(QM_TEST_DATA_DIR "/exchange/todotxt_style.txt");
    EXPECT_EQ(ok({"import", other, fixture}), "Imported 8 tasks from todotxt_style.txt.\n");
    const QString plain = FDir.filePath("tasks.list");
    ASSERT_TRUE(QFile::copy(QStringLiteral(QM_TEST_DATA_DIR "/exchange/apple_style.ics"), plain));
    EXPECT_EQ(ok({"import", other, plain, "--format=ics"}), "Imported 3 tasks from tasks.list.\n");
}

TEST_F(ExchangeCommandTest, FailuresAreOneLineAndLeaveTheListAlone)
{
    const QString bad = FDir.filePath("bad.csv");
    {
        QFile f(bad);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("Title,Deadline\r\nfine,2026-01-01\r\nnot fine,31/12/2026\r\n");
    }
    const QByteArray before = bytesOf(FList);
    struct Case {
        QStringList args;
        int status;
        QString message;
    };
    const Case cases[] = {
        {{"import", FList, bad},
         1,
         "qmtd: bad.csv line 3: Deadline \"31/12/2026\" is not a date (YYYY-MM-DD, with "
         "HH:MM:SS after it for a time)\n"},
        {{"import", FList, FDir.filePath("missing.ics")}, 1, "could not be read"},
        {{"import", FList, FDir.filePath("x.doc")}, 2, "import: give --format ics, csv or todotxt"},
        {{"import", FList, bad, "--format", "xls"}, 2, "unknown format \"xls\""},
        {{"import", FList}, 2, "SOURCE is missing"},
        {{"export", FList}, 2, "export: give --format ics, csv or todotxt"},
        {{"export", FList, "-o", FDir.filePath("out.pdf")}, 2, "export: give --format"},
        {{"export", FList, "--format", "ics", "-o", FDir.filePath("no/such/out.ics")},
         1,
         "could not be written"},
        {{"export", FList, "-x"}, 2, "unknown option -x"},
    };
    for (const Case& c : cases) {
        const CliRun r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        EXPECT_EQ(r.err.count(u'\n'), 1) << r.err.toStdString();
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(bytesOf(FList), before);
}

// The real program reads a source from standard input and asks nothing, also with no terminal.
TEST_F(ExchangeCommandTest, ImportsFromStandardInputWithoutAsking)
{
    QProcess p;
    p.start(QStringLiteral(QM_QMTD), {"import", FList, "-", "--format", "todotxt"});
    ASSERT_TRUE(p.waitForStarted());
    p.write("(A) From a pipe +Piped due:2026-04-01\nx 2026-03-10 Done already\n");
    p.closeWriteChannel();
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(p.readAllStandardOutput()),
              "Imported 2 tasks from standard input.\n");
    const QmtdResult dump = RunQmtdProcess({"dump", FList});
    EXPECT_TRUE(dump.out.contains("\"title\": \"From a pipe\", \"category\": \"Piped\""))
        << dump.out.toStdString();
    const QmtdResult noFormat = RunQmtdProcess({"import", FList, "-"});
    EXPECT_EQ(noFormat.status, 2);
}
