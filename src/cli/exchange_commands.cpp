// qmtd export and import: the list's tasks as iCalendar, CSV or todo.txt, and tasks from such a
// file into the list, by the same code as the window's File menu.

#include "cli/cli_command.h"
#include "exchange/exchange.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <memory>

namespace {

const QString FormatOption = QStringLiteral("format");

// The format --format names, or the one `fileName` suggests; a usage error when neither says.
ExchangeFormat formatOf(const CliArgs& args, const QString& fileName, const QString& what)
{
    const QString name = args.option(FormatOption);
    if (!name.isEmpty()) {
        if (const auto format = ExchangeFormatFromName(name))
            return *format;
        throw CliUsageError(
            QStringLiteral("unknown format \"%1\" (try ics, csv or todotxt)").arg(name));
    }
    if (const auto format = ExchangeFormatFromFileName(fileName))
        return *format;
    throw CliUsageError(QStringLiteral("%1: give --format ics, csv or todotxt (%2 does not say)")
                            .arg(args.command, what));
}

} // namespace

CliListCommand PrepareExport(const CliArgs& args)
{
    args.required(0, QStringLiteral("FILE"));
    args.expectPositional(1);
    const QString output = args.option(QStringLiteral("output"));
    const bool toStdout = output.isEmpty() || output == QLatin1String("-");
    const ExchangeFormat format =
        formatOf(args, toStdout ? QString() : output,
                 toStdout ? QStringLiteral("standard output") : QStringLiteral("the name of OUT"));
    return {ListAccess::Read, 0, [=](CliList& list, CliIo& io) {
                ExportResult result;
                if (toStdout) {
                    result = ExportTasks(list.table, format);
                    // As text for the stream, keeping CSV's byte order mark.
                    QStringDecoder utf8(QStringDecoder::Utf8,
                                        QStringConverter::Flag::ConvertInitialBom);
                    io.out << QString(utf8(result.data));
                } else {
                    result = ExportTasksToFile(list.table, format, output);
                    io.out << "Exported " << result.tasks
                           << (result.tasks == 1 ? " task" : " tasks") << " to " << output << ".\n";
                }
                for (const QString& note : result.notes)
                    io.err << "qmtd: " << note << '\n';
                return 0;
            }};
}

CliListCommand PrepareImport(const CliArgs& args)
{
    args.required(0, QStringLiteral("FILE"));
    const QString sourceFile = args.required(1, QStringLiteral("SOURCE"));
    args.expectPositional(2);
    const bool fromStdin = sourceFile == QLatin1String("-");
    const ExchangeFormat format = formatOf(args, fromStdin ? QString() : sourceFile,
                                           fromStdin ? QStringLiteral("standard input")
                                                     : QStringLiteral("the name of SOURCE"));
    // The whole source is read, and refused if malformed, before the list is opened.
    std::shared_ptr<const SourceTasks> source;
    QString sourceName;
    if (fromStdin) {
        QFile in;
        if (!in.open(stdin, QIODevice::ReadOnly))
            throw ExchangeError(QStringLiteral("standard input could not be read"));
        sourceName = QStringLiteral("standard input");
        source = std::make_shared<const SourceTasks>(ReadSource(in.readAll(), format, sourceName));
    } else {
        sourceName = QFileInfo(sourceFile).fileName();
        source = std::make_shared<const SourceTasks>(ReadSourceFile(sourceFile, format));
    }
    return {ListAccess::Change, 0, [=](CliList& list, CliIo& io) {
                const ImportReport report = ImportTasks(list.table, *source);
                io.out << report.Summary(sourceName) << '\n';
                return 0;
            }};
}
