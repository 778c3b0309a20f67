#pragma once
// The commands of qmtd. Each command is a function over its parsed arguments; the table in
// command_table.cpp names them. Adding a command means one source file with its function and one
// line in that table.

#include "shared/todo_global.h"
#include "store/task_table.h"

#include <QString>
#include <QStringList>
#include <QTextStream>
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

struct CliIo {
    QTextStream& out;
    QTextStream& err;
};

using CliCommandFunction = int (*)(const CliArgs& args, CliIo& io);

struct CliCommand {
    const char* name;
    const char* usage;   // the arguments, as --help shows them
    const char* summary; // one line
    CliCommandFunction run;
    // Options the command takes: those taking a value and those that are flags.
    QStringList valueOptions;
    QStringList flagOptions;
};

const std::vector<CliCommand>& CliCommands();

// Runs qmtd with `arguments` (without the program name); returns the exit status.
int RunQmtd(const QStringList& arguments, QTextStream& out, QTextStream& err);

// --- helpers the commands share ----------------------------------------------------------------

// Opens an existing list into `table` (refusing a missing file without creating it) and selects
// the order named by --order (default smDePrTiCr), in which record indexes count. A record
// index the command will use is checked first, so that an old file is not upgraded on disk by a
// command that then fails.
void OpenExistingList(const CliArgs& args, const QString& fileName, TaskTable& table,
                      int recIndex = 0);
// The sort mode an --order name gives: a word (deadline, priority, title, category, created) or
// the name of a table order (smDePrTiCr, ...); -1 for anything else.
int SortModeFromOrderName(const QString& name);
// The sort mode of --order, the default one when it is absent, or a usage error.
TSortMode OrderOf(const CliArgs& args);
// "YYYY-MM-DD" as a date-time, or a usage error.
double ParseDeadline(const QString& text);

// --- the commands ------------------------------------------------------------------------------
int CmdNew(const CliArgs& args, CliIo& io);
int CmdAdd(const CliArgs& args, CliIo& io);
int CmdDone(const CliArgs& args, CliIo& io);
int CmdUndo(const CliArgs& args, CliIo& io);
int CmdDelete(const CliArgs& args, CliIo& io);
int CmdAgain(const CliArgs& args, CliIo& io);
int CmdPurge(const CliArgs& args, CliIo& io);
int CmdDump(const CliArgs& args, CliIo& io);
int CmdPage(const CliArgs& args, CliIo& io);
