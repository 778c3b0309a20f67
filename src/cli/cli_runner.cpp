// Runs one qmtd command: parses the command line, opens the list the command works on, runs it,
// and reports a failure in one line.

#include "cli/cli_command.h"
#include "cli/forwarding.h"
#include "cli/held_list.h"
#include "exchange/exchange_task.h"
#include "platform/file_names.h"
#include "platform/local_endpoint.h"
#include "shared/datetime.h"
#include "shared/todo_global.h"
#include "store/datapacket_reader.h"
#include "store/store_warnings.h"
#include "store/task_field_check.h"
#include "store/todo_db.h"

#include <QFileInfo>
#include <optional>

namespace {

void printHelp(QTextStream& out)
{
    out << "Usage: qmtd COMMAND FILE [ARGUMENTS] [OPTIONS]\n"
        << "       qmtd --help | --version\n\n"
        << "Commands:\n";
    for (const CliCommand& c : CliCommands())
        out << "  " << c.name << ' ' << c.usage << "\n      " << c.summary << '\n';
    out << "\nN is a record index: the 1-based position of a task among all tasks of the list in "
           "the order\n--order names: ";
    for (int mode : {smDePrTiCr, smPrDeTiCr, smTiDePrCr, smCaDePrTiCr, smCreated})
        out << OrderWord(mode) << (mode == smCreated ? " (by deadline unless given).\n" : ", ");
    out << "The names";
    for (int mode = 0; mode < SortModeCount; ++mode)
        out << ' ' << SortModeName(mode);
    out << " work too.\nErrors go to standard error in one line; the exit status is then 1 (2 for "
           "a "
           "wrong command line).\n"
        << "While Quillmark has the list open, it carries out the command, with the same output; "
           "a\ndeletion then asks first on the terminal unless --yes is given.\n";
}

// Short options and the long options they stand for.
QString longOptionName(const QString& shortName)
{
    if (shortName == QLatin1String("o"))
        return QStringLiteral("output");
    if (shortName == QLatin1String("q"))
        return QStringLiteral("quiet");
    if (shortName == QLatin1String("y"))
        return QStringLiteral("yes");
    return {};
}

CliArgs parseArguments(const CliCommand& command, const QStringList& arguments)
{
    CliArgs args;
    args.command = QString::fromLatin1(command.name);
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--")) {
            args.positional += arguments.mid(i + 1);
            break;
        }
        QString name;
        if (a.startsWith(QLatin1String("--")) && a.size() > 2) {
            name = a.mid(2);
        } else if (a.size() == 2 && a.startsWith(QLatin1Char('-')) && a != QLatin1String("--")) {
            name = longOptionName(a.mid(1));
            if (name.isEmpty() || !(command.valueOptions + command.flagOptions).contains(name))
                throw CliUsageError(
                    QStringLiteral("unknown option %1 for the command %2").arg(a, args.command));
        } else {
            args.positional.append(a);
            continue;
        }
        QString value;
        bool hasValue = false;
        const qsizetype eq = name.indexOf(QLatin1Char('='));
        if (eq >= 0) {
            value = name.mid(eq + 1);
            name.truncate(eq);
            hasValue = true;
        }
        const bool takesValue = command.valueOptions.contains(name);
        if (!takesValue && !command.flagOptions.contains(name))
            throw CliUsageError(
                QStringLiteral("unknown option --%1 for the command %2").arg(name, args.command));
        if (takesValue && !hasValue) {
            if (i + 1 >= arguments.size())
                throw CliUsageError(QStringLiteral("the option --%1 needs a value").arg(name));
            value = arguments[++i];
        } else if (!takesValue && hasValue) {
            throw CliUsageError(QStringLiteral("the option --%1 takes no value").arg(name));
        }
        args.options.append({name, value});
    }
    return args;
}

// Only the list's file name may hold bytes that are not UTF-8: every other argument becomes text
// in the list or names an order, where such bytes could only turn into U+FFFD.
void refuseUndecodedText(const CliArgs& args)
{
    const auto check = [](const QString& text, const QString& what) {
        if (HasUndecodedBytes(text))
            throw CliUsageError(QStringLiteral("%1 \"%2\" is not valid UTF-8 text")
                                    .arg(what, PrintableFileName(text)));
    };
    for (qsizetype i = 1; i < args.positional.size(); ++i)
        check(args.positional[i], QStringLiteral("the argument"));
    for (const auto& [name, value] : args.options)
        check(value, QStringLiteral("the value of --%1").arg(name));
}

QString oneLine(QString text)
{
    text = PrintableFileName(text);
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text;
}

// Opens the list for a command that changes it. Opening an old list rewrites it, so a record
// index the command will use is checked on the file as it is first: a command that fails on it
// leaves the file untouched.
int runChanging(const QString& fileName, const CliListCommand& command, CliIo& io)
{
    RequireExistingFile(fileName);
    if (command.recIndex > 0) {
        TdbToDoFile probe(fileName);
        if (probe.SchemaLevel() < 2) {
            TaskTable scratch;
            DataPacketReader::Read(probe.ReadDataPacket(), scratch, fileName);
            scratch.SetRecNo(command.recIndex);
        }
    }
    OpenList open;
    OpenTaskTable(fileName, open.table);
    // Held here, the list has no program listening for it: a socket left by one that was
    // killed goes.
    RemoveStaleEndpoint(fileName);
    CliList list{open.table, fileName, 2};
    if (io.outcome)
        io.outcome->ran = true;
    return command.action(list, io);
}

// Opens the list for a command that only reads it; the file is left exactly as it is, an old one
// upgraded in memory only.
int runReading(const QString& fileName, const CliListCommand& command, CliIo& io)
{
    RequireExistingFile(fileName);
    TaskTable stored;
    int schemaLevel = 0;
    {
        TdbToDoFile listFile(fileName, TOpenAccess::ReadOnly);
        RemoveStaleEndpoint(fileName);
        schemaLevel = listFile.SchemaLevel();
        DataPacketReader::Read(listFile.ReadDataPacket(), stored, fileName);
    }
    CheckTaskFields(stored, fileName);
    if (command.access == ListAccess::ReadStored) {
        CliList list{stored, fileName, schemaLevel};
        return command.action(list, io);
    }
    TaskTable upgraded;
    TaskTable& table = schemaLevel < 2 ? upgraded : stored;
    if (schemaLevel < 2)
        UpgradeTaskTable(stored, upgraded);
    StripDeadlineTimes(table);
    AddSortIndexes(table);
    CliList list{table, fileName, schemaLevel};
    return command.action(list, io);
}

int runOnFile(const QString& fileName, const CliListCommand& command, CliIo& io)
{
    try {
        if (command.access == ListAccess::Change)
            return runChanging(fileName, command, io);
        return runReading(fileName, command, io);
    } catch (const std::bad_alloc&) {
        throw TaskStoreError(ListTooLargeMessage(fileName));
    }
}

// How a command on a list reaches its list once its arguments are checked.
using ListRunner =
    std::function<int(const CliArgs& args, const CliListCommand& command, CliIo& io)>;

// One command line, from finding the command to reporting a failure in one line. Commands that
// open their files themselves run only with `fileCommands`.
int runGuarded(const QStringList& arguments, CliIo io, bool fileCommands, const ListRunner& runList)
{
    QTextStream& out = io.out;
    QTextStream& err = io.err;
    if (arguments.isEmpty()) {
        printHelp(err);
        return 2;
    }
    const QString first = arguments.first();
    if (first == QLatin1String("--help") || first == QLatin1String("-h") ||
        first == QLatin1String("help")) {
        printHelp(out);
        return 0;
    }
    if (first == QLatin1String("--version")) {
        out << "qmtd " << QM_VERSION << '\n';
        return 0;
    }
    int status = 0;
    std::optional<QString> failure;
    try {
        const CliCommand* command = nullptr;
        for (const CliCommand& c : CliCommands())
            if (first == QLatin1String(c.name))
                command = &c;
        if (!command)
            throw CliUsageError(
                QStringLiteral("unknown command \"%1\" (try qmtd --help)").arg(first));
        const CliArgs args = parseArguments(*command, arguments);
        refuseUndecodedText(args);
        if (command->run) {
            if (!fileCommands)
                throw CliUsageError(
                    QStringLiteral("%1 is not a command on an open list").arg(args.command));
            status = command->run(args, io);
        } else {
            status = runList(args, command->prepare(args), io);
        }
    } catch (const CliUsageError& e) {
        failure = e.message();
        status = 2;
    } catch (const TaskStoreError& e) {
        failure = e.message();
        status = 1;
    } catch (const ExchangeError& e) {
        err << "qmtd: " << oneLine(e.message()) << '\n';
        status = 1;
    } catch (const std::bad_alloc&) {
        failure = QStringLiteral("there is not enough memory for this command");
        status = 1;
    } catch (const std::exception& e) {
        failure = QString::fromLocal8Bit(e.what());
        status = 1;
    }
    // What the store had to tell about the list comes first, whether the command went on or not.
    for (const QString& warning : TakeStoreWarnings())
        err << "qmtd: warning: " << oneLine(warning) << '\n';
    if (failure)
        err << "qmtd: " << oneLine(*failure) << '\n';
    out.flush();
    err.flush();
    return status;
}

// Keeps a table's order and cursor through a command that only reads it.
class TablePlace {
public:
    explicit TablePlace(TaskTable& table)
        : FTable(table), FIndex(table.IndexName()), FRecNo(table.RecNo())
    {
    }
    ~TablePlace()
    {
        try {
            FTable.SetIndexName(FIndex);
            if (FRecNo >= 1 && FRecNo <= FTable.RecordCount())
                FTable.SetRecNo(FRecNo);
        } catch (const TaskStoreError&) {
            // The order was the table's own a moment ago; nothing to put back otherwise.
        }
    }
    TablePlace(const TablePlace&) = delete;
    TablePlace& operator=(const TablePlace&) = delete;

private:
    TaskTable& FTable;
    QString FIndex;
    int FRecNo;
};

} // namespace

OpenList::~OpenList()
{
    CloseTaskStore(table);
}

void RequireExistingFile(const QString& fileName)
{
    if (!PathExists(fileName))
        throw TaskStoreError(QStringLiteral("%1 does not exist.").arg(fileName));
}

int RunQmtd(const QStringList& arguments, QTextStream& out, QTextStream& err,
            const CliTerminal& terminal, const CliForwarder* forwarder)
{
    CliIo io{out, err, terminal};
    return runGuarded(arguments, io, true,
                      [&](const CliArgs& args, const CliListCommand& command, CliIo& io) {
                          const QString fileName = args.required(0, QStringLiteral("FILE"));
                          // A program that let the list go meanwhile: the file is tried again.
                          for (int attempt = 1;; ++attempt) {
                              try {
                                  return runOnFile(fileName, command, io);
                              } catch (const ListInUseError&) {
                                  if (!forwarder)
                                      throw;
                                  const CliForwarder::Result forwarded =
                                      forwarder->forward(arguments, fileName, io);
                                  if (forwarded.reached)
                                      return forwarded.status;
                                  if (!forwarded.retry || attempt == 3)
                                      throw;
                              }
                          }
                      });
}

int RunQmtdOnHeldList(const QStringList& arguments, CliHeldList& held, CliIo io,
                      CliConfirmation& confirmation)
{
    return runGuarded(arguments, io, false,
                      [&](const CliArgs& args, const CliListCommand& command, CliIo& io) {
                          const QString fileName = args.required(0, QStringLiteral("FILE"));
                          // The holder opened the list for changing, which upgraded it.
                          if (command.access == ListAccess::ReadStored) {
                              TaskTable stored;
                              DataPacketReader::Read(held.storedPacket(), stored, fileName);
                              CliList list{stored, fileName, 2};
                              return command.action(list, io);
                          }
                          TaskTable& table = held.table();
                          CliList list{table, fileName, 2};
                          if (command.access == ListAccess::Read) {
                              const TablePlace place(table);
                              return command.action(list, io);
                          }
                          held.checkChangeAllowed();
                          if (command.question && !args.flag(QStringLiteral("yes"))) {
                              QString question;
                              {
                                  const TablePlace place(table);
                                  question = command.question(list);
                              }
                              if (!question.isEmpty() && question != confirmation.answered) {
                                  confirmation.asked = question;
                                  return 0;
                              }
                          }
                          if (io.outcome)
                              io.outcome->ran = true;
                          return command.action(list, io);
                      });
}

void ReportChange(CliIo& io, CliChange change, const QString& title, int count)
{
    if (!io.outcome)
        return;
    io.outcome->change = change;
    io.outcome->title = title;
    io.outcome->count = count;
}
