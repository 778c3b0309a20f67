#include "cli/cli_command.h"
#include "platform/file_names.h"
#include "shared/datetime.h"
#include "shared/todo_global.h"
#include "store/datapacket_reader.h"
#include "store/todo_db.h"

#include <QDate>
#include <QFileInfo>

namespace {

const QString OrderOption = QStringLiteral("order");

// The orders by the word a person would use, and the sort mode each one names.
struct OrderWord {
    const char* word;
    TSortMode mode;
};
constexpr OrderWord OrderWords[] = {
    {"deadline", smDePrTiCr},   {"priority", smPrDeTiCr}, {"title", smTiDePrCr},
    {"category", smCaDePrTiCr}, {"created", smCreated},
};

void printHelp(QTextStream& out)
{
    out << "Usage: qmtd COMMAND FILE [ARGUMENTS] [OPTIONS]\n"
        << "       qmtd --help | --version\n\n"
        << "Commands:\n";
    for (const CliCommand& c : CliCommands())
        out << "  " << c.name << ' ' << c.usage << "\n      " << c.summary << '\n';
    out << "\nN is a record index: the 1-based position of a task among all tasks of the list in "
           "the order\n--order names: ";
    for (const OrderWord& o : OrderWords)
        out << o.word << (&o == std::end(OrderWords) - 1 ? " (by deadline unless given).\n" : ", ");
    out << "The names";
    for (int mode = 0; mode < SortModeCount; ++mode)
        out << ' ' << SortModeName(mode);
    out << " work too.\nErrors go to standard error in one line; the exit status is then 1 (2 for "
           "a "
           "wrong command line).\n";
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
        if (!a.startsWith(QLatin1String("--")) || a.size() == 2) {
            args.positional.append(a);
            continue;
        }
        QString name = a.mid(2);
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

} // namespace

QString CliArgs::option(const QString& name, const QString& fallback) const
{
    for (auto it = options.crbegin(); it != options.crend(); ++it)
        if (it->first == name)
            return it->second;
    return fallback;
}

bool CliArgs::has(const QString& name) const
{
    for (const auto& o : options)
        if (o.first == name)
            return true;
    return false;
}

bool CliArgs::flag(const QString& name) const
{
    return has(name);
}

QString CliArgs::required(int index, const QString& what) const
{
    if (index >= positional.size())
        throw CliUsageError(QStringLiteral("%1: %2 is missing").arg(command, what));
    return positional[index];
}

int CliArgs::recordIndex(int index) const
{
    const QString text = required(index, QStringLiteral("the record index N"));
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < 1)
        throw CliUsageError(
            QStringLiteral("%1: the record index must be a whole number of 1 or more, not \"%2\"")
                .arg(command, text));
    return n;
}

void CliArgs::expectPositional(int count) const
{
    if (positional.size() > count)
        throw CliUsageError(
            QStringLiteral("%1: unexpected argument \"%2\"").arg(command, positional[count]));
}

void OpenExistingList(const CliArgs& args, const QString& fileName, TaskTable& table, int recIndex)
{
    const QString order = SortModeName(OrderOf(args));
    if (!PathExists(fileName))
        throw TaskStoreError(QStringLiteral("%1 does not exist.").arg(fileName));
    if (recIndex > 0) {
        // Opening a schema-1 list rewrites it; check the index on the file as it is first.
        TdbToDoFile probe(fileName);
        if (probe.SchemaLevel() < 2) {
            TaskTable scratch;
            DataPacketReader::Read(probe.ReadDataPacket(), scratch, fileName);
            scratch.SetRecNo(recIndex);
        }
    }
    OpenTaskTable(fileName, table);
    table.SetIndexName(order);
}

int SortModeFromOrderName(const QString& name)
{
    for (const OrderWord& o : OrderWords)
        if (name == QLatin1String(o.word))
            return o.mode;
    return SortModeFromName(name);
}

TSortMode OrderOf(const CliArgs& args)
{
    if (!args.has(OrderOption))
        return DefaultSortMode;
    const QString name = args.option(OrderOption);
    const int mode = SortModeFromOrderName(name);
    if (mode < 0)
        throw CliUsageError(QStringLiteral("unknown order \"%1\" (try deadline, priority, title, "
                                           "category or created)")
                                .arg(name));
    return TSortMode(mode);
}

double ParseDeadline(const QString& text)
{
    const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid())
        throw CliUsageError(
            QStringLiteral("\"%1\" is not a date of the form YYYY-MM-DD").arg(text));
    return EncodeDateTime(date);
}

int RunQmtd(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
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
        CliIo io{out, err};
        status = command->run(args, io);
    } catch (const CliUsageError& e) {
        err << "qmtd: " << oneLine(e.message()) << '\n';
        status = 2;
    } catch (const TaskStoreError& e) {
        err << "qmtd: " << oneLine(e.message()) << '\n';
        status = 1;
    } catch (const std::exception& e) {
        err << "qmtd: " << oneLine(QString::fromLocal8Bit(e.what())) << '\n';
        status = 1;
    }
    out.flush();
    err.flush();
    return status;
}
