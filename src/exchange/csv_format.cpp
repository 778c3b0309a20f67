// CSV as RFC 4180 has it: a header row naming the columns, fields quoted where they hold a comma,
// a quote or a line break, records ending in CR LF. UTF-8 with a byte order mark, by which
// spreadsheets (LibreOffice Calc, Excel) know the encoding; ISO dates, which they read as dates.
// The reader also takes LF line ends, a semicolon or tab as the separator (as some spreadsheets
// save) and the columns in any order.

#include "exchange/exchange_formats.h"
#include "shared/datetime.h"
#include "shared/todo_global.h"
#include "store/details_text.h"

namespace {

enum Column { Title, Category, Created, Deadline, Priority, Completed, Details, ColumnCount };

const char* const Headers[ColumnCount] = {"Title",    "Category",  "Created", "Deadline",
                                          "Priority", "Completed", "Details"};

// Other names a column goes by: the list's own field names and common words.
int columnOf(const QString& header)
{
    const QString h = header.trimmed().toLower();
    for (int c = 0; c < ColumnCount; ++c)
        if (h.compare(QLatin1String(Headers[c]), Qt::CaseInsensitive) == 0)
            return c;
    struct Alias {
        const char* name;
        Column column;
    };
    static constexpr Alias aliases[] = {
        {"task title", Title}, {"task", Title},          {"summary", Title},
        {"subject", Title},    {"categories", Category}, {"complete by", Deadline},
        {"due", Deadline},     {"due date", Deadline},   {"description", Details},
        {"notes", Details},
    };
    for (const Alias& a : aliases)
        if (h == QLatin1String(a.name))
            return a.column;
    return -1;
}

QString field(const QString& value)
{
    bool quote = value.startsWith(u' ') || value.endsWith(u' ');
    for (const QChar c : value)
        quote = quote || c == u',' || c == u'"' || c == u'\r' || c == u'\n';
    if (!quote)
        return value;
    QString out = value;
    out.replace(QLatin1String("\""), QLatin1String("\"\""));
    return u'"' + out + u'"';
}

QString dateTimeText(double value)
{
    return value == NullDate ? QString() : FormatIsoDateTime(value).replace(u'T', u' ');
}

// A priority word in any case (none is normal), or a stored number as the export writes one that
// is none of the three.
std::optional<int> priorityOf(const QString& text)
{
    const QString word = text.toLower();
    if (word.isEmpty() || word == QLatin1String("normal"))
        return 1;
    if (word == QLatin1String("high"))
        return 0;
    if (word == QLatin1String("low"))
        return 2;
    bool number = false;
    const int stored = word.toInt(&number);
    return number && stored >= 0 ? std::optional<int>(stored) : std::nullopt;
}

struct Record {
    int line = 0;
    QStringList fields;
};

// Splits the text into records of fields, each record with the line it starts on.
std::vector<Record> records(const QString& text, QChar separator, const QString& source)
{
    std::vector<Record> out;
    Record record;
    QString current;
    int line = 1;
    record.line = 1;
    bool fieldStarted = false;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == u'"' && current.isEmpty() && !fieldStarted) {
            const int startLine = line;
            ++i;
            for (;; ++i) {
                if (i >= n)
                    throw SourceError(source, startLine,
                                      QStringLiteral("a quoted field that never ends"));
                const QChar q = text.at(i);
                if (q == u'"') {
                    if (i + 1 < n && text.at(i + 1) == u'"') {
                        current.append(u'"');
                        ++i;
                        continue;
                    }
                    break;
                }
                if (q == u'\n')
                    ++line;
                current.append(q);
            }
            fieldStarted = true;
            if (i + 1 < n && text.at(i + 1) != separator && text.at(i + 1) != u'\r' &&
                text.at(i + 1) != u'\n')
                throw SourceError(source, line,
                                  QStringLiteral("text after the closing quote of a field"));
            continue;
        }
        if (c == separator) {
            record.fields.append(current);
            current.clear();
            fieldStarted = false;
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
                ++i;
            record.fields.append(current);
            current.clear();
            fieldStarted = false;
            out.push_back(record);
            record = Record{++line, {}};
        } else {
            current.append(c);
            fieldStarted = true;
        }
    }
    if (fieldStarted || !record.fields.isEmpty()) {
        record.fields.append(current);
        out.push_back(record);
    }
    return out;
}

} // namespace

QByteArray WriteCsv(const std::vector<TaskEntry>& tasks)
{
    QString out;
    out.reserve(int(tasks.size()) * 96 + 64);
    out.append(QChar(0xFEFF));
    for (int c = 0; c < ColumnCount; ++c)
        out += (c ? QStringLiteral(",") : QString()) + QLatin1String(Headers[c]);
    out += QLatin1String("\r\n");
    for (const TaskEntry& t : tasks) {
        out += field(t.title) + u',' + field(t.category) + u',' + dateTimeText(t.created) + u',' +
               (t.deadline == NullDate ? QString() : FormatIsoDate(t.deadline)) + u',' +
               PriorityName(t.priority) + u',' + dateTimeText(t.completed) + u',' +
               field(DetailsWithLf(t.details)) + QLatin1String("\r\n");
    }
    return out.toUtf8();
}

SourceTasks ReadCsv(const QByteArray& data, const QString& sourceName)
{
    const QString text = SourceText(data);
    const QString firstLine = text.left(text.indexOf(u'\n'));
    QChar separator = u',';
    if (!firstLine.contains(u','))
        separator = firstLine.contains(u';') ? u';' : firstLine.contains(u'\t') ? u'\t' : u',';
    const std::vector<Record> rows = records(text, separator, sourceName);
    if (rows.empty())
        throw SourceError(sourceName, 1, QStringLiteral("no header row"));
    int columns[ColumnCount];
    std::fill(std::begin(columns), std::end(columns), -1);
    for (int i = 0; i < rows[0].fields.size(); ++i) {
        const int c = columnOf(rows[0].fields[i]);
        if (c >= 0 && columns[c] < 0)
            columns[c] = i;
    }
    if (columns[Title] < 0)
        throw SourceError(sourceName, 1, QStringLiteral("the header row names no Title column"));
    const qsizetype width = rows[0].fields.size();
    const double now = Now();
    SourceTasks out;
    for (size_t r = 1; r < rows.size(); ++r) {
        const Record& row = rows[r];
        if (row.fields.size() == 1 && row.fields[0].isEmpty())
            continue; // an empty line
        if (row.fields.size() > width)
            throw SourceError(sourceName, row.line,
                              QStringLiteral("%1 fields where the header names %2")
                                  .arg(row.fields.size())
                                  .arg(width));
        // A row may stop short of the header's width; the fields it leaves out are empty.
        const auto raw = [&](Column c) {
            return columns[c] >= 0 && columns[c] < row.fields.size() ? row.fields[columns[c]]
                                                                     : QString();
        };
        const auto value = [&](Column c) { return raw(c).trimmed(); };
        const auto dateTime = [&](Column c, double none) {
            const QString v = value(c);
            if (v.isEmpty())
                return none;
            const std::optional<double> parsed = ParseIsoDateTime(v);
            if (!parsed)
                throw SourceError(sourceName, row.line,
                                  QStringLiteral("%1 \"%2\" is not a date (YYYY-MM-DD, with "
                                                 "HH:MM:SS after it for a time)")
                                      .arg(QLatin1String(Headers[c]), v));
            return *parsed;
        };
        SourceTask t;
        t.task.title = raw(Title);
        t.task.category = value(Category);
        t.task.created = dateTime(Created, now);
        const double deadline = dateTime(Deadline, NullDate);
        t.task.deadline = deadline == NullDate ? NullDate : DateOf(deadline);
        const std::optional<int> priority = priorityOf(value(Priority));
        if (!priority)
            throw SourceError(
                sourceName, row.line,
                QStringLiteral("Priority \"%1\" is not High, Normal or Low").arg(value(Priority)));
        t.task.priority = *priority;
        t.task.completed = dateTime(Completed, NullDate);
        t.task.details = DetailsWithCrLf(raw(Details));
        FitTexts(t.task, out.notes);
        out.tasks.push_back(std::move(t));
    }
    return out;
}
