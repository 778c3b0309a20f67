// The bash completion script, loaded by a real bash and asked as bash asks it at a Tab.

#include "cli/cli_command.h"
#include "qt_printers.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Loads the script, finds the function it registered for qmtd, runs it over `words` (split as
// bash splits a command line, the last one being the word under the cursor) in `folder`, and
// returns the offered completions, sorted.
QStringList complete(const QStringList& words, const QString& folder = QDir::tempPath())
{
    const char* driver = R"(source "$1" || exit 3
spec=$(complete -p qmtd) || exit 4
function=${spec#*-F }
function=${function%% *}
shift
COMP_WORDS=("$@")
COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
COMP_LINE="$*"
COMP_POINT=${#COMP_LINE}
"$function" qmtd "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
printf '%s\n' "${COMPREPLY[@]}"
)";
    QProcess bash;
    bash.setWorkingDirectory(folder);
    bash.start(QStringLiteral("bash"),
               QStringList{QStringLiteral("--norc"), QStringLiteral("--noprofile"),
                           QStringLiteral("-c"), QString::fromLatin1(driver),
                           QStringLiteral("bash"), QStringLiteral(QM_COMPLETION_SCRIPT)} +
                   words);
    EXPECT_TRUE(bash.waitForFinished(30000));
    EXPECT_EQ(bash.exitCode(), 0) << bash.readAllStandardError().toStdString();
    QStringList offered = QString::fromUtf8(bash.readAllStandardOutput()).split(QLatin1Char('\n'));
    offered.removeAll(QString());
    offered.sort();
    return offered;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

} // namespace

TEST(CompletionScript, CompletesCommandsFromTheirFirstLetters)
{
    EXPECT_EQ(complete({"qmtd", "d"}), QStringList({"delete", "done", "dump"}));
    QStringList all{"--help", "--version"};
    for (const CliCommand& c : CliCommands())
        all.append(QString::fromLatin1(c.name));
    EXPECT_EQ(complete({"qmtd", ""}), sorted(all));
}

// Every command's options, exactly as qmtd accepts them: an option added to qmtd without the
// script (or the other way round) shows here.
TEST(CompletionScript, OffersEachCommandsOwnOptions)
{
    for (const CliCommand& c : CliCommands()) {
        QStringList expected;
        for (const QString& o : c.valueOptions + c.flagOptions)
            expected.append(QStringLiteral("--") + o);
        EXPECT_EQ(complete({"qmtd", QString::fromLatin1(c.name), "list.qmtd", "--"}),
                  sorted(expected))
            << c.name;
    }
}

TEST(CompletionScript, CompletesOptionValues)
{
    struct Case {
        QStringList words;
        QStringList offered;
    };
    const QStringList words{"category", "created", "deadline", "priority", "title"};
    const Case cases[] = {
        {{"qmtd", "done", "l.qmtd", "--order", ""}, words},
        {{"qmtd", "done", "l.qmtd", "--order", "p"}, {"priority"}},
        // bash splits "--order=pr" at the "=".
        {{"qmtd", "done", "l.qmtd", "--order", "=", "pr"}, {"priority"}},
        {{"qmtd", "done", "l.qmtd", "--order", "="}, words},
        // Without "=" among the word breaks the word stays whole, and so does the completion.
        {{"qmtd", "done", "l.qmtd", "--order=ti"}, {"--order=title"}},
        {{"qmtd", "done", "l.qmtd", "--order", "smC"},
         {"smCaDePrTiCr", "smCompletedDesc", "smCreated"}},
        {{"qmtd", "add", "l.qmtd", "t", "--priority", ""}, {"high", "low", "normal"}},
        {{"qmtd", "again", "l.qmtd", "2", "--deadline", "n"}, {"none"}},
        {{"qmtd", "export", "l.qmtd", "--format", ""}, {"csv", "ics", "todotxt"}},
        {{"qmtd", "list", "l.qmtd", "--color", "a"}, {"always", "auto"}},
        // A value is not taken for an option or a file.
        {{"qmtd", "add", "l.qmtd", "t", "--details", "--"}, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(complete(c.words), sorted(c.offered)) << c.words.join(' ').toStdString();
}

TEST(CompletionScript, CompletesListFilesAndFolders)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char* name : {"home.qmtd", "Work.QMTD", "with space.qmtd", "notes.txt", "qmtd"})
        QFile(dir.filePath(name)).open(QIODevice::WriteOnly);
    QDir(dir.path()).mkdir("lists");
    const QStringList lists{"Work.QMTD", "home.qmtd", "lists", "with space.qmtd"};
    EXPECT_EQ(complete({"qmtd", "done", ""}, dir.path()), lists);
    EXPECT_EQ(complete({"qmtd", "dump", "h"}, dir.path()), QStringList({"home.qmtd"}));
    // The list file comes after options and their values, too; the argument after it is no file.
    EXPECT_EQ(complete({"qmtd", "done", "--order", "title", ""}, dir.path()), lists);
    EXPECT_EQ(complete({"qmtd", "done", "--order", "=", "title", ""}, dir.path()), lists);
    EXPECT_EQ(complete({"qmtd", "done", "home.qmtd", ""}, dir.path()), QStringList());
    // import takes a list and then a file of another program; export -o any file.
    for (const char* name : {"tasks.ics", "sheet.CSV", "todo.txt", "report.pdf"})
        QFile(dir.filePath(name)).open(QIODevice::WriteOnly);
    EXPECT_EQ(complete({"qmtd", "import", "home.qmtd", ""}, dir.path()),
              QStringList({"lists", "notes.txt", "sheet.CSV", "tasks.ics", "todo.txt"}));
    EXPECT_EQ(complete({"qmtd", "import", "--format", "csv", "home.qmtd", "t"}, dir.path()),
              QStringList({"tasks.ics", "todo.txt"}));
    EXPECT_EQ(complete({"qmtd", "export", "home.qmtd", "-o", "r"}, dir.path()),
              QStringList({"report.pdf"}));
}
