// qmtd dump: the tasks as JSON for other programs (the schema is docs/qmtd-dump.schema.json), or
// with --raw every record with its stored values, in insertion order, and the schema level the
// signature gave. With --find, only the tasks the query matches, in the order --order names, each
// with its record index there. Neither changes the file.

#include "cli/cli_command.h"
#include "cli/find_option.h"
#include "shared/datetime.h"
#include "store/details_text.h"
#include "store/task_fields.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString kindName(FieldKind kind)
{
    switch (kind) {
    case FieldKind::WideString:
        return QStringLiteral("WideString");
    case FieldKind::AnsiString:
        return QStringLiteral("AnsiString");
    case FieldKind::WideMemo:
        return QStringLiteral("WideMemo");
    case FieldKind::AnsiMemo:
        return QStringLiteral("AnsiMemo");
    case FieldKind::Bytes:
        return QStringLiteral("Bytes");
    case FieldKind::DateTime:
        return QStringLiteral("DateTime");
    case FieldKind::Date:
        return QStringLiteral("Date");
    case FieldKind::Time:
        return QStringLiteral("Time");
    case FieldKind::Integer:
        return QStringLiteral("Integer");
    case FieldKind::Unsigned:
        return QStringLiteral("Unsigned");
    case FieldKind::Boolean:
        return QStringLiteral("Boolean");
    case FieldKind::Float:
        return QStringLiteral("Float");
    }
    return {};
}

QJsonValue jsonValue(const FieldValue& v, FieldKind kind)
{
    if (v.isNull())
        return QJsonValue(QJsonValue::Null);
    if (v.isText())
        return v.text();
    if (v.isReal())
        return v.real();
    if (v.isInteger())
        return double(v.integer());
    // 8-bit texts as they read; binary values in base 64.
    if (kind == FieldKind::AnsiString || kind == FieldKind::AnsiMemo) {
        const qsizetype zero = v.bytes().indexOf('\0');
        return QString::fromLatin1(zero < 0 ? v.bytes() : v.bytes().left(zero));
    }
    return QString::fromLatin1(v.bytes().toBase64());
}

// One record's fields; `value(field)` gives each value.
template <typename Value> QJsonObject jsonRecord(const TaskTable& table, Value value)
{
    QJsonObject o;
    const std::vector<FieldDef>& fields = table.Fields();
    for (int j = 0; j < int(fields.size()); ++j)
        o.insert(fields[j].name, jsonValue(value(j), fields[j].kind));
    return o;
}

// Writes a JSON object exactly as QJsonDocument's indented text of it would read, with the
// records of its "records" array given one by one, so that the whole text of a long list never
// has to exist at once.
class RawDumpWriter {
public:
    RawDumpWriter(QTextStream& out, QJsonObject root) : FOut(out)
    {
        root.insert(QStringLiteral("records"), QJsonArray());
        const QByteArray whole = QJsonDocument(root).toJson(QJsonDocument::Indented);
        const QByteArray marker = "\n    \"records\": [\n";
        const qsizetype at = whole.indexOf(marker) + marker.size();
        FOut << whole.left(at);
        FTail = whole.mid(at);
    }
    void add(const QJsonObject& record)
    {
        // Alone in an array at the same depth, a record is written as it is among the others.
        static const qsizetype head = QByteArray("{\n    \"records\": [\n").size();
        static const qsizetype tail = QByteArray("\n    ]\n}\n").size();
        const QByteArray text =
            QJsonDocument(QJsonObject{{QStringLiteral("records"), QJsonArray{record}}})
                .toJson(QJsonDocument::Indented);
        if (FAny)
            FOut << ",\n";
        FOut << text.mid(head, text.size() - head - tail);
        FAny = true;
    }
    void finish()
    {
        if (FAny)
            FOut << "\n";
        FOut << FTail;
    }

private:
    QTextStream& FOut;
    QByteArray FTail;
    bool FAny = false;
};

// Writes the raw dump: field definitions and the stored values of every record, or of those
// `query` matches in the order --order names, each with its record index there.
int writeRaw(CliList& list, const TaskQuery* query, TSortMode order, CliIo& io)
{
    TaskTable& table = list.table;
    QJsonArray fields;
    for (const FieldDef& f : table.Fields()) {
        QJsonObject o;
        o.insert(QStringLiteral("name"), f.name);
        o.insert(QStringLiteral("kind"), kindName(f.kind));
        o.insert(QStringLiteral("size"), f.size);
        fields.append(o);
    }
    QJsonObject root;
    root.insert(QStringLiteral("file"), list.fileName);
    root.insert(QStringLiteral("schema"), list.schemaLevel);
    root.insert(QStringLiteral("fields"), fields);
    RawDumpWriter writer(io.out, root);
    if (query) {
        AddSortIndexes(table);
        table.SetIndexName(SortModeName(order));
        const double today = Today();
        int recIndex = 0;
        for (table.First(); !table.Eof(); table.Next()) {
            ++recIndex;
            if (!query->Matches(QueryValues(table), today))
                continue;
            QJsonObject o = jsonRecord(
                table, [&](int field) -> const FieldValue& { return table.CurrentValue(field); });
            o.insert(QStringLiteral("recIndex"), recIndex);
            writer.add(o);
        }
    } else {
        for (int r = 0; r < table.RecordCount(); ++r)
            writer.add(jsonRecord(
                table, [&](int field) -> const FieldValue& { return table.RawValue(r, field); }));
    }
    writer.finish();
    return 0;
}

// A JSON string literal.
QString quoted(const QString& text)
{
    QString out;
    out.reserve(text.size() + 2);
    out.append(u'"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"':
            out.append(QLatin1String("\\\""));
            break;
        case '\\':
            out.append(QLatin1String("\\\\"));
            break;
        case '\n':
            out.append(QLatin1String("\\n"));
            break;
        case '\r':
            out.append(QLatin1String("\\r"));
            break;
        case '\t':
            out.append(QLatin1String("\\t"));
            break;
        default:
            if (c.unicode() < 0x20)
                out.append(QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0')));
            else
                out.append(c);
        }
    }
    out.append(u'"');
    return out;
}

// A stored date-time as an ISO 8601 local date-time; null for none (or no date at all).
QString dateTime(double value)
{
    const QString text = value == NullDate ? QString() : FormatIsoDateTime(value);
    return text.isEmpty() ? QStringLiteral("null") : quoted(text);
}

QString priorityValue(qint64 priority)
{
    switch (priority) {
    case 0:
        return quoted(QStringLiteral("high"));
    case 1:
        return quoted(QStringLiteral("normal"));
    case 2:
        return quoted(QStringLiteral("low"));
    default:
        return QString::number(priority); // a value only a foreign file holds
    }
}

// Writes the tasks (those `query` matches, when given) in the order --order names, one object per
// line, as each is reached.
int writeTasks(const CliList& list, const TaskQuery* query, TSortMode order, CliIo& io)
{
    TaskTable& table = list.table;
    UseOrder(table, order);
    const TaskFieldIndexes f(table);
    const double today = Today();
    io.out << "{\n  \"file\": " << quoted(list.fileName) << ",\n  \"schema\": " << list.schemaLevel
           << ",\n  \"order\": " << quoted(OrderWord(order)) << ",\n  \"tasks\": [";
    const char* separator = "\n";
    bool any = false;
    for (table.First(); !table.Eof(); table.Next()) {
        if (query && !query->Matches(QueryValues(table), today))
            continue;
        any = true;
        io.out << separator << "    {\"index\": " << table.RecNo()
               << ", \"title\": " << quoted(table.AsString(f.title))
               << ", \"category\": " << quoted(table.AsString(f.category))
               << ", \"created\": " << dateTime(table.AsDateTime(f.created))
               << ", \"deadline\": " << dateTime(table.AsDateTime(f.completeBy))
               << ", \"priority\": " << priorityValue(table.AsInteger(f.priority))
               << ", \"completed\": " << dateTime(table.AsDateTime(f.completed))
               << ", \"details\": " << quoted(DetailsWithLf(table.AsString(f.details))) << '}';
        separator = ",\n";
    }
    io.out << (any ? "\n  ]\n}\n" : "]\n}\n");
    return 0;
}

} // namespace

CliListCommand PrepareDump(const CliArgs& args)
{
    args.required(0, QStringLiteral("FILE"));
    args.expectPositional(1);
    const bool find = args.has(QStringLiteral("find"));
    const TaskQuery query = FindQuery(args);
    const TSortMode order = OrderOf(args);
    // Without --find the raw dump lists the records as stored, in insertion order.
    if (args.flag(QStringLiteral("raw")))
        return {ListAccess::ReadStored, 0, [=](CliList& list, CliIo& io) {
                    return writeRaw(list, find ? &query : nullptr, order, io);
                }};
    return {ListAccess::Read, 0, [=](CliList& list, CliIo& io) {
                return writeTasks(list, find ? &query : nullptr, order, io);
            }};
}
