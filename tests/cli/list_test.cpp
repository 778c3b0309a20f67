// qmtd list: the table a person reads, with and without a terminal.

#include "cli/terminal_text.h"
#include "cli_fixture.h"

#include <QProcess>
#include <QRegularExpression>

namespace {

class ListTest : public CliFixture {
protected:
    void SetUp() override
    {
        CliFixture::SetUp();
        ok({"new", FList});
        const QDate day(2026, 3, 1);
        const QStringList adds[] = {
            {"Pay rent", "--category", "Home", "--deadline", "2026-03-12", "--priority", "high"},
            {"Buy milk"},
            {"Call Anna", "--deadline", "2026-03-15", "--priority", "low"},
            {"Book flights for the summer holiday in Portugal", "--category", "Travel",
             "--deadline", "2026-03-16"},
            {"File taxes", "--deadline", "2026-04-30"},
        };
        int minute = 0;
        for (const QStringList& a : adds) {
            at(QDateTime(day, QTime(9, minute++)));
            ok(QStringList{"add", FList, "--quiet"} + a);
        }
        at(QDateTime(QDate(2026, 3, 14), QTime(10, 0)));
        ok({"done", FList, "5"}); // Buy milk: no deadline, last by deadline
        at(QDateTime(QDate(2026, 3, 15), QTime(8, 0)));
        ok({"done", FList, "4"}); // File taxes
        at(QDateTime(QDate(2026, 3, 15), QTime(12, 0)));
    }
};

const CliTerminal Terminal50{true, 50, false, false};

} // namespace

TEST_F(ListTest, WithoutATerminalTheTableIsPlainAndWhole)
{
    EXPECT_EQ(
        ok({"list", FList}),
        "N  Title                                            Category  Deadline     Priority\n"
        "1  Pay rent                                         Home      Overdue 3 d  High\n"
        "2  Call Anna                                                  Today        Low\n"
        "3  Book flights for the summer holiday in Portugal  Travel    Tomorrow     Normal\n");
    // Newest completion first; the numbers are those of the deadline order, as undo takes them.
    EXPECT_EQ(ok({"list", FList, "--completed"}),
              "N  Title       Category  Deadline    Priority  Completed\n"
              "4  File taxes            2026-04-30  Normal    2026-03-15\n"
              "5  Buy milk                          Normal    2026-03-14\n");
    ok({"undo", FList, "4"});
    EXPECT_TRUE(ok({"list", FList}).contains("4  File taxes"));
    // Numbers follow the order asked for.
    EXPECT_EQ(ok({"list", FList, "--order", "title"}).section(u'\n', 1, 1).left(26),
              "1  Book flights for the su");
}

TEST_F(ListTest, OnATerminalTitlesAreCutToTheWidthAndDueTasksStandOut)
{
    const QString out = ok({"list", FList}, Terminal50);
    EXPECT_EQ(out, "N  Title           Category  Deadline     Priority\n"
                   "\x1b[31m1  Pay rent        Home      Overdue 3 d  High\x1b[0m\n"
                   "\x1b[1m2  Call Anna                 Today        Low\x1b[0m\n"
                   "3  Book flights…   Travel    Tomorrow     Normal\n");
    for (const QString& line : out.split(u'\n'))
        EXPECT_LE(DisplayWidth(QString(line).remove(QRegularExpression("\x1b\\[[0-9]*m"))), 50);
}

TEST_F(ListTest, ColoursOnlyWhereWantedAndAllowed)
{
    struct Case {
        CliTerminal terminal;
        QStringList options;
        bool colored;
    };
    const Case cases[] = {
        {Terminal50, {}, true},
        {{true, 50, true, false}, {}, false}, // NO_COLOR
        {{true, 50, false, true}, {}, false}, // TERM=dumb
        {Terminal50, {"--color=never"}, false},
        {Terminal50, {"--color", "never"}, false},
        {{}, {}, false},
        {{}, {"--color=always"}, true},
        {{true, 50, true, false}, {"--color=always"}, true},
    };
    for (const Case& c : cases) {
        const QString out = ok(QStringList{"list", FList} + c.options, c.terminal);
        EXPECT_EQ(out.contains(u'\x1b'), c.colored) << c.options.join(' ').toStdString();
    }
    EXPECT_EQ(run({"list", FList, "--color=sometimes"}).status, 2);
}

TEST_F(ListTest, TextsCannotSteerTheTerminal)
{
    ok({"add", FList, "Evil\x1b]0;owned\x07 title\nsecond line", "--category", "a\tb"});
    const QString out = ok({"list", FList}, Terminal50);
    EXPECT_TRUE(out.contains(QStringLiteral("6  Evil\uFFFD]0;owned…  a b"))) << out.toStdString();
    EXPECT_FALSE(out.contains(u'\a'));
    EXPECT_FALSE(out.contains(QStringLiteral("\x1b]")));
    EXPECT_EQ(out.count(u'\n'), 5);
}

TEST_F(ListTest, SaysSoWhenNothingIsShown)
{
    const QString empty = FDir.filePath("empty.qmtd");
    ok({"new", empty});
    EXPECT_EQ(ok({"list", empty}), "The list has no tasks.\n");
    EXPECT_EQ(ok({"list", empty, "--completed"}), "The list has no tasks.\n");
    ok({"purge", FList});
    EXPECT_EQ(ok({"list", FList, "--completed"}), "There are no completed tasks.\n");
    for (const char* n : {"1", "2", "3"}) // completed tasks keep their numbers
        ok({"done", FList, n});
    EXPECT_EQ(ok({"list", FList}), "There are no uncompleted tasks.\n");
}

TEST(TerminalText, WidthsAndCuts)
{
    struct Case {
        QString text;
        int width;
        QString cut;
    };
    const Case cases[] = {
        {"short", 10, "short"},
        {"exactly10!", 10, "exactly10!"},
        {"eleven char", 10, QStringLiteral("eleven ch…")},
        {"two words here", 10, QStringLiteral("two words…")},
        {"two words here", 11, QStringLiteral("two words…")},
        // Wide characters take two columns and are never split.
        {QStringLiteral("漢字タイトル"), 7, QStringLiteral("漢字タ…")},
        {QStringLiteral("漢字タイトル"), 6, QStringLiteral("漢字…")},
        // A combining mark stays with its letter; a character outside the BMP stays whole.
        {QStringLiteral("Cafe\u0301 au lait"), 7, QStringLiteral("Cafe\u0301 a…")},
        {QStringLiteral("ab\U0001F600cd"), 4, QStringLiteral("ab…")},
        {QStringLiteral("ab\U0001F600cd"), 5, QStringLiteral("ab\U0001F600…")},
        {"x", 0, ""},
    };
    for (const Case& c : cases) {
        const QString cut = CutToWidth(c.text, c.width);
        EXPECT_EQ(cut, c.cut) << c.text.toStdString() << " to " << c.width;
        EXPECT_LE(DisplayWidth(cut), c.width);
    }
}

// The real program under a pseudo-terminal and through a pipe.
TEST(ListOnATerminal, TheRealProgramSeesItsTerminal)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString list = dir.filePath("list.qmtd");
    const QString yesterday = QDate::currentDate().addDays(-1).toString(Qt::ISODate);
    const QString longTitle =
        QStringLiteral("A title much longer than the terminal is wide, by far");
    for (const QStringList& args :
         {QStringList{"new", list}, QStringList{"add", list, longTitle, "--deadline", yesterday}}) {
        QProcess p;
        p.start(QStringLiteral(QM_QMTD), args);
        ASSERT_TRUE(p.waitForFinished(30000));
        ASSERT_EQ(p.exitCode(), 0);
    }
    // Runs qmtd in a terminal of 60 columns and gives back what the terminal received.
    const char* script = R"(import fcntl, os, pty, struct, sys, termios
pid, fd = pty.fork()
if pid == 0:
    fcntl.ioctl(1, termios.TIOCSWINSZ, struct.pack('HHHH', 24, 60, 0, 0))
    os.execv(sys.argv[1], sys.argv[1:])
out = b''
while True:
    try:
        chunk = os.read(fd, 4096)
    except OSError:
        break
    if not chunk:
        break
    out += chunk
sys.stdout.buffer.write(out)
sys.exit(os.waitstatus_to_exitcode(os.waitpid(pid, 0)[1]))
)";
    const auto inTerminal = [&](const QProcessEnvironment& env) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral("/usr/bin/python3"),
                {"-c", QString::fromLatin1(script), QStringLiteral(QM_QMTD), "list", list});
        EXPECT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        return QString::fromUtf8(p.readAllStandardOutput()).replace("\r\n", "\n");
    };
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("NO_COLOR");
    env.insert("TERM", "xterm");
    env.remove("COLUMNS");
    const QString colored = inTerminal(env);
    EXPECT_TRUE(colored.contains("\x1b[31m1  A title much longer")) << colored.toStdString();
    EXPECT_TRUE(colored.contains(QStringLiteral("…  "))) << colored.toStdString();
    EXPECT_FALSE(colored.contains(longTitle));
    env.insert("NO_COLOR", "1");
    const QString plain = inTerminal(env);
    EXPECT_FALSE(plain.contains(u'\x1b')) << plain.toStdString();
    EXPECT_TRUE(plain.contains(QStringLiteral("…  "))) << plain.toStdString();

    // Through a pipe: no colours and the whole title, whatever the environment says.
    env.remove("NO_COLOR");
    env.insert("COLUMNS", "40");
    QProcess piped;
    piped.setProcessEnvironment(env);
    piped.start(QStringLiteral(QM_QMTD), {"list", list});
    ASSERT_TRUE(piped.waitForFinished(30000));
    const QString out = QString::fromUtf8(piped.readAllStandardOutput());
    EXPECT_FALSE(out.contains(u'\x1b'));
    EXPECT_TRUE(out.contains(longTitle + "  ")) << out.toStdString();
    EXPECT_TRUE(out.contains("Overdue 1 d")) << out.toStdString();
}

TEST_F(ListTest, FindKeepsTheMatchingTasksAndTheirNumbers)
{
    EXPECT_EQ(ok({"list", FList, "--find", "c:home"}),
              "N  Title     Category  Deadline     Priority\n"
              "1  Pay rent  Home      Overdue 3 d  High\n");
    EXPECT_EQ(ok({"list", FList, "--find", "due:today OR"}), "No tasks match \"due:today OR\".\n");
    EXPECT_EQ(ok({"list", FList, "--completed", "--find", "milk"}),
              "N  Title     Category  Deadline  Priority  Completed\n"
              "5  Buy milk                      Normal    2026-03-14\n");
    const CliRun bad = run({"list", FList, "--find", "due:someday"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_TRUE(bad.err.startsWith("qmtd: --find: ")) << bad.err.toStdString();
}
