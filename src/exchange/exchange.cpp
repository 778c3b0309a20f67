#include "exchange/exchange.h"

#include "exchange/exchange_formats.h"
#include "exchange/task_uid.h"
#include "shared/datetime.h"
#include "store/task_fields.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QTimeZone>
#include <algorithm>

namespace {

struct FormatName {
    ExchangeFormat format;
    const char* name;
};
constexpr FormatName FormatNames[] = {
    {ExchangeFormat::ICalendar, "ics"},
    {ExchangeFormat::Csv, "csv"},
    {ExchangeFormat::TodoTxt, "todotxt"},
};

std::vector<TaskEntry> tasksOf(TaskTable& table)
{
    const InsertionOrderWalk walk(table);
    const TaskFieldIndexes f(table);
    std::vector<TaskEntry> tasks;
    tasks.reserve(table.RecordCount());
    for (table.First(); !table.Eof(); table.Next())
        tasks.push_back({table.AsString(f.title), table.AsString(f.category),
                         table.AsDateTime(f.created), table.AsDateTime(f.completeBy),
                         int(table.AsInteger(f.priority)), table.AsDateTime(f.completed),
                         table.AsString(f.details)});
    return tasks;
}

// "1 task", "2 tasks".
QString counted(int n, const QString& one, const QString& many)
{
    return QStringLiteral("%1 %2").arg(n).arg(n == 1 ? one : many);
}

} // namespace

InsertionOrderWalk::InsertionOrderWalk(TaskTable& table) : FTable(table), FOrder(table.IndexName())
{
    table.SetIndexName(QString());
}

InsertionOrderWalk::~InsertionOrderWalk()
{
    FTable.SetIndexName(FOrder);
}

QString ExchangeFormatName(ExchangeFormat format)
{
    for (const FormatName& f : FormatNames)
        if (f.format == format)
            return QString::fromLatin1(f.name);
    return {};
}

std::optional<ExchangeFormat> ExchangeFormatFromName(const QString& name)
{
    for (const FormatName& f : FormatNames)
        if (name.compare(QLatin1String(f.name), Qt::CaseInsensitive) == 0)
            return f.format;
    return std::nullopt;
}

std::optional<ExchangeFormat> ExchangeFormatFromFileName(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("ics") || suffix == QLatin1String("ical") ||
        suffix == QLatin1String("icalendar") || suffix == QLatin1String("ifb"))
        return ExchangeFormat::ICalendar;
    if (suffix == QLatin1String("csv"))
        return ExchangeFormat::Csv;
    if (suffix == QLatin1String("txt"))
        return ExchangeFormat::TodoTxt;
    return std::nullopt;
}

ExchangeFormat ChooseExchangeFormat(const QString& name, const QString& fileName)
{
    if (!name.isEmpty()) {
        if (const auto format = ExchangeFormatFromName(name))
            return *format;
        throw ExchangeError(
            QStringLiteral("Unknown format \"%1\": use ics, csv or todotxt.").arg(name));
    }
    if (const auto format = ExchangeFormatFromFileName(fileName))
        return *format;
    throw ExchangeError(QStringLiteral("The format of %1 is not known by its name: give ics, csv "
                                       "or todotxt.")
                            .arg(fileName));
}

ExportResult ExportTasks(TaskTable& table, ExchangeFormat format)
{
    const std::vector<TaskEntry> tasks = tasksOf(table);
    ExportResult result;
    result.tasks = int(tasks.size());
    switch (format) {
    case ExchangeFormat::ICalendar:
        result.data = WriteICalendar(tasks, TaskUids(table));
        break;
    case ExchangeFormat::Csv:
        result.data = WriteCsv(tasks);
        break;
    case ExchangeFormat::TodoTxt: {
        result.data = WriteTodoTxt(tasks);
        int withDetails = 0;
        for (const TaskEntry& t : tasks)
            withDetails += t.details.isEmpty() ? 0 : 1;
        if (withDetails)
            result.notes.append(
                QStringLiteral("todo.txt has no place for details: the details of %1 are not in "
                               "the file.")
                    .arg(counted(withDetails, QStringLiteral("task"), QStringLiteral("tasks"))));
        break;
    }
    }
    return result;
}

ExportResult ExportTasksToFile(TaskTable& table, ExchangeFormat format, const QString& fileName)
{
    // Written over the open list, the export would replace the tasks it was made from.
    const QString target = QFileInfo(fileName).canonicalFilePath();
    if (!target.isEmpty() && target == QFileInfo(CurrentListFileName()).canonicalFilePath())
        throw ExchangeError(
            QStringLiteral("%1 is the list itself: export to another file.").arg(fileName));
    ExportResult result = ExportTasks(table, format);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(result.data) != result.data.size() ||
        !file.commit())
        throw ExchangeError(
            QStringLiteral("%1 could not be written: %2").arg(fileName, file.errorString()));
    return result;
}

SourceTasks ReadSource(const QByteArray& data, ExchangeFormat format, const QString& sourceName)
{
    switch (format) {
    case ExchangeFormat::ICalendar:
        return ReadICalendar(data, sourceName);
    case ExchangeFormat::Csv:
        return ReadCsv(data, sourceName);
    case ExchangeFormat::TodoTxt:
        return ReadTodoTxt(data, sourceName);
    }
    return {};
}

SourceTasks ReadSourceFile(const QString& fileName, ExchangeFormat format)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw ExchangeError(
            QStringLiteral("%1 could not be read: %2").arg(fileName, file.errorString()));
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw ExchangeError(
            QStringLiteral("%1 could not be read: %2").arg(fileName, file.errorString()));
    return ReadSource(data, format, QFileInfo(fileName).fileName());
}

ImportReport ImportTasks(TaskTable& table, const SourceTasks& source)
{
    ImportReport report;
    const auto skip = [&](const QString& reason) {
        for (auto& [text, count] : report.skipped)
            if (text == reason) {
                ++count;
                return;
            }
        report.skipped.emplace_back(reason, 1);
    };
    QSet<QString> known;
    for (const QString& uid : TaskUids(table))
        known.insert(uid);
    QSet<QString> fromSource;
    std::vector<TaskEntry> tasks;
    // Skipped items of the source first, so that the report follows the source's own counts.
    for (const QString& reason : source.skipped)
        skip(reason);
    for (const SourceTask& t : source.tasks) {
        if (!t.uid.isEmpty() && fromSource.contains(t.uid)) {
            skip(QStringLiteral("repeating a UID met earlier in the file"));
            continue;
        }
        if (!t.uid.isEmpty())
            fromSource.insert(t.uid);
        if ((!t.uid.isEmpty() && known.contains(t.uid)) ||
            known.contains(TaskUid(t.task.created, t.task.title))) {
            skip(QStringLiteral("already in the list"));
            continue;
        }
        tasks.push_back(t.task);
    }
    report.notes = source.notes;
    if (!tasks.empty())
        AppendTasks(table, tasks);
    report.imported = int(tasks.size());
    return report;
}

QString ImportReport::Summary(const QString& sourceName) const
{
    QString text =
        QStringLiteral("Imported %1 from %2")
            .arg(counted(imported, QStringLiteral("task"), QStringLiteral("tasks")), sourceName);
    int total = 0;
    for (const auto& entry : skipped)
        total += entry.second;
    if (total) {
        QStringList parts;
        // A reason may come as "one|many" for its singular and plural.
        for (const auto& [reason, count] : skipped)
            parts.append(QStringLiteral("%1 %2").arg(count).arg(
                reason.section(u'|', count == 1 ? 0 : -1, count == 1 ? 0 : -1)));
        text += QStringLiteral("; skipped %1: %2").arg(total).arg(parts.join(QStringLiteral(", ")));
    }
    text += u'.';
    for (const QString& note : notes)
        text += u' ' + note;
    return text;
}

ExchangeError SourceError(const QString& sourceName, int line, const QString& what)
{
    return ExchangeError(QStringLiteral("%1 line %2: %3").arg(sourceName).arg(line).arg(what));
}

void FitTexts(TaskEntry& task, QStringList& notes)
{
    // Line breaks and tabs as single spaces, and no spaces at the ends.
    const auto oneLine = [](QString& text) {
        const auto isBreak = [](QChar c) {
            return c == u'\r' || c == u'\n' || c == u'\t' || c == QChar::LineSeparator ||
                   c == QChar::ParagraphSeparator;
        };
        if (std::any_of(text.cbegin(), text.cend(), isBreak)) {
            QString out;
            for (const QChar c : text)
                if (!isBreak(c))
                    out += c;
                else if (!out.endsWith(u' '))
                    out += u' ';
            text = out;
        }
        if (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()))
            text = text.trimmed();
    };
    oneLine(task.title);
    oneLine(task.category);
    const auto cut = [&](QString& text, int size, const QString& what) {
        if (text.size() <= size)
            return;
        text.truncate(size);
        if (text.back().isHighSurrogate())
            text.chop(1);
        const QString note =
            QStringLiteral("Longer %1 were cut to %2 characters.").arg(what).arg(size);
        if (!notes.contains(note))
            notes.append(note);
    };
    cut(task.title, TaskTitleSize, QStringLiteral("titles"));
    cut(task.category, TaskCategorySize, QStringLiteral("categories"));
}

// --- dates ---------------------------------------------------------------------------------

namespace {

// The local zone as Qt's own time zone data has it: converting through it needs no call of the
// C library, which looks at the zone file again for every conversion.
const QTimeZone& localZone()
{
    static const QTimeZone zone = QTimeZone::systemTimeZone();
    return zone;
}

// The number `count` digits at `from` spell, or -1.
int digits(QStringView text, qsizetype from, qsizetype count)
{
    if (from + count > text.size())
        return -1;
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

} // namespace

QDateTime LocalDateTime(double value)
{
    const auto [date, time] = SplitDateTime(value);
    return QDateTime(date, time, localZone());
}

double StoredDateTime(const QDateTime& dateTime)
{
    return EncodeDateTime(dateTime.toTimeZone(localZone()));
}

std::optional<QDate> ParseIsoDate(const QString& text)
{
    if (text.size() != 10 || text[4] != u'-' || text[7] != u'-')
        return std::nullopt;
    const QDate date(digits(text, 0, 4), digits(text, 5, 2), digits(text, 8, 2));
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

std::optional<double> ParseIsoDateTime(const QString& text)
{
    const std::optional<QDate> date = ParseIsoDate(text.left(10));
    if (!date)
        return std::nullopt;
    if (text.size() == 10)
        return EncodeDateTime(*date);
    // [T ]HH:MM, then :SS, then .s to .sss
    if ((text[10] != u'T' && text[10] != u' ') || text.size() < 16 || text[13] != u':')
        return std::nullopt;
    const int hour = digits(text, 11, 2), minute = digits(text, 14, 2);
    int second = 0, ms = 0;
    qsizetype at = 16;
    if (at < text.size()) {
        if (text[at] != u':' || (second = digits(text, at + 1, 2)) < 0)
            return std::nullopt;
        at += 3;
    }
    if (at < text.size()) {
        const qsizetype fraction = text.size() - at - 1;
        if ((text[at] != u'.' && text[at] != u',') || fraction < 1 || fraction > 3 ||
            (ms = digits(text, at + 1, fraction)) < 0)
            return std::nullopt;
        ms *= fraction == 1 ? 100 : fraction == 2 ? 10 : 1;
    }
    const QTime time(hour, minute, second, ms);
    if (hour < 0 || minute < 0 || !time.isValid())
        return std::nullopt;
    return EncodeDateTime(*date, time);
}

QString SourceText(const QByteArray& data)
{
    QString text = QString::fromUtf8(data);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}
