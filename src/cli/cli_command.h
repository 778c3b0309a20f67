#pragma once
// The commands of qmtd. The table in command_table.cpp names them.
//
// A command on a list comes in two halves. Its preparation parses and checks the arguments
// before any file is touched; the action it returns then works on a list that is already open
// (a table in, output and an exit status out) and knows nothing of how the list was opened. The
// runner opens the file between the two, so the same action can run on any open table.

#include "shared/todo_global.h"
#include "store/task_table.h"

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <functional>
#include <stdexcept>

// A wrong command line: reported in one line, exit status 2.
class CliUsageError : public std::runtime_error {
public:
    explicit CliUsageError(const QString& message)
        : std::runtime_error(message.toStdString()), FMessage(message)
    {
    }
    const QString& message() const { return FMessage; }

private:
    QString FMessage;
};

// The arguments of one command: its positional arguments and its --options.
class CliArgs {
public:
    QString command;
    QStringList positional;

    // The value of --name, or `fallback` when absent.
    QString option(const QString& name, const QString& fallback = {}) const;
    bool flag(const QString& name) const;
    bool has(const QString& name) const;

    // The positional argument at `index`, or a usage error naming `what`.
    QString required(int index, const QString& what) const;
    // Positional argument `index` as a record index (a positive whole number).
    int recordIndex(int index) const;
    // Refuses positional arguments beyond `count`.
    void expectPositional(int count) const;

    // Parsed options in the order given: name without the dashes, value (empty for a flag).
    QList<QPair<QString, QString>> options;
};

// Where the output goes, as far as its look depends on it.
struct CliTerminal {
    bool isTerminal = false; // standard output is a terminal
    int columns = 0;         // the terminal's width; 0 when unknown
    bool noColor = false;    // NO_COLOR is set (and not empty)
    bool dumb = false;       // TERM is "dumb"
};

// The standard output of this process.
CliTerminal DetectTerminal();

// What a command that changes a list did, for a front end that shows it (the window's status
// bar, for commands qmtd hands to it).
enum class CliChange { None, Added, Edited, Completed, Uncompleted, DoneAgain, Deleted, Purged };
struct CliOutcome {
    bool ran = false; // a changing action was started (the table may have changed)
    CliChange change = CliChange::None;
    QString title; // of the task concerned
    int count = 0; // tasks purged
};

struct CliIo {
    QTextStream& out;
    QTextStream& err;
    CliTerminal terminal = {};
    CliOutcome* outcome = nullptr; // told what a changing command did, when given
};

// Tells io.outcome, if any, what a changing command did.
void ReportChange(CliIo& io, CliChange change, const QString& title, int count = 0);

// One open list as an action sees it.
struct CliList {
    TaskTable& table;
    QString fileName;
    int schemaLevel = 2; // as the file's signature gave it
};

enum class ListAccess {
    // Reads the list as the program sees it once open (an old file upgraded, deadlines without
    // time of day, the six orders defined) without changing the file.
    Read,
    // Reads the table exactly as the file stores it.
    ReadStored,
    // Changes the list through the store's operations, each of which saves it.
    Change,
};

using CliListAction = std::function<int(CliList& list, CliIo& io)>;

struct CliListCommand {
    ListAccess access = ListAccess::Read;
    // A record index the action will use, checked before an old file is upgraded on disk.
    int recIndex = 0;
    CliListAction action;
    // For a deletion that a running program carries out for qmtd: the question the person
    // answers first, unless --yes is given (empty: nothing to ask, as when nothing would go).
    std::function<QString(CliList& list)> question = {};
};

// A command on a list: checks its arguments (positional 0 is the list file) and returns what it
// will do once the list is open.
using CliPrepare = CliListCommand (*)(const CliArgs& args);
// A command that handles its files itself.
using CliCommandFunction = int (*)(const CliArgs& args, CliIo& io);

struct CliCommand {
    const char* name;
    const char* usage;      // the arguments, as --help shows them
    const char* summary;    // one line
    CliPrepare prepare;     // a command on one list...
    CliCommandFunction run; // ...or one that opens its files itself
    // Options the command takes: those taking a value and those that are flags.
    QStringList valueOptions;
    QStringList flagOptions;
};

const std::vector<CliCommand>& CliCommands();

class CliForwarder;

// Runs qmtd with `arguments` (without the program name); returns the exit status. With a
// forwarder, a command on a list that a running program holds is handed to that program.
int RunQmtd(const QStringList& arguments, QTextStream& out, QTextStream& err,
            const CliTerminal& terminal = {}, const CliForwarder* forwarder = nullptr);

// --- helpers the commands share ----------------------------------------------------------------

// The sort mode an --order name gives: a word (deadline, priority, title, category, created) or
// the name of a table order (smDePrTiCr, ...); -1 for anything else.
int SortModeFromOrderName(const QString& name);
// The sort mode of --order, the default one when it is absent, or a usage error.
TSortMode OrderOf(const CliArgs& args);
// The word for a sort mode (the table order's name where it has none).
QString OrderWord(int mode);
// Makes `mode` the table's current order, in which record indexes count.
void UseOrder(TaskTable& table, TSortMode mode);

// "YYYY-MM-DD" as a date-time, or a usage error.
double ParseDeadline(const QString& text);
// A deadline option's value: "none" or a date.
double ParseDeadlineOrNone(const QString& text);
// "high", "normal" or "low" (any case) as 0, 1 or 2, or a usage error.
int ParsePriority(const QString& text);
// Checks the lengths the task edit dialog allows, raising a usage error.
void CheckTitleAndCategory(const QString& title, const QString& category);
// Details as given on a command line, with every line break stored as CR LF.
QString DetailsFromArgument(const QString& text);

// The list a command opened through the store; closed on every way out, so that the hold is
// released before the status is returned.
struct OpenList {
    TaskTable table;
    ~OpenList();
};

// Checks that a file exists, raising the error the store gives for a missing list.
void RequireExistingFile(const QString& fileName);

// --- the commands ------------------------------------------------------------------------------
int CmdNew(const CliArgs& args, CliIo& io);
CliListCommand PrepareAdd(const CliArgs& args);
CliListCommand PrepareEdit(const CliArgs& args);
CliListCommand PrepareDone(const CliArgs& args);
CliListCommand PrepareUndo(const CliArgs& args);
CliListCommand PrepareDelete(const CliArgs& args);
CliListCommand PrepareAgain(const CliArgs& args);
CliListCommand PreparePurge(const CliArgs& args);
CliListCommand PrepareList(const CliArgs& args);
CliListCommand PrepareDump(const CliArgs& args);
CliListCommand PreparePage(const CliArgs& args);
CliListCommand PrepareExport(const CliArgs& args);
CliListCommand PrepareImport(const CliArgs& args);
