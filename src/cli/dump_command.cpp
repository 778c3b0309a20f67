// qmtd dump: every record with its raw values, in insertion order, and the schema level the
// signature gave. It reads the file without upgrading or otherwise changing it. With --find, only
// the records the query matches, in the order --order names, each with its record index there.

#include "cli/cli_command.h"
#include "cli/find_option.h"
#include "platform/file_names.h"
#include "shared/datetime.h"
#include "store/datapacket_reader.h"
#include "store/todo_db.h"

#include <QFileInfo>
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

QString textOf(const TaskTable& table, const QString& field)
{
    const int index = table.FindField(field);
    return index < 0 ? QString() : table.AsString(index);
}

double dateOf(const TaskTable& table, const QString& field)
{
    const int index = table.FindField(field);
    return index < 0 || table.IsNull(index) ? NullDate : table.AsDateTime(index);
}

// The records --find matches, in the order --order names, each with its record index there.
QJsonArray matchingRecords(TSortMode order, TaskTable& table, const TaskQuery& query)
{
    AddSortIndexes(table);
    table.SetIndexName(SortModeName(order));
    const int priority = table.FindField(TaskField::Priority);
    const double today = Today();
    QJsonArray records;
    int recIndex = 0;
    for (table.First(); !table.Eof(); table.Next()) {
        ++recIndex;
        const TaskValues task{textOf(table, TaskField::Title),
                              textOf(table, TaskField::Category),
                              textOf(table, TaskField::Details),
                              dateOf(table, TaskField::CompleteBy),
                              priority < 0 ? 1 : table.AsInteger(priority),
                              dateOf(table, TaskField::Completed)};
        if (!query.Matches(task, today))
            continue;
        QJsonObject o = jsonRecord(
            table, [&](int field) -> const FieldValue& { return table.CurrentValue(field); });
        o.insert(QStringLiteral("recIndex"), recIndex);
        records.append(o);
    }
    return records;
}

} // namespace

int CmdDump(const CliArgs& args, CliIo& io)
{
    const QString file = args.required(0, QStringLiteral("FILE"));
    args.expectPositional(1);
    const TaskQuery query = FindQuery(args);
    const TSortMode order = OrderOf(args);
    if (!PathExists(file))
        throw TaskStoreError(QStringLiteral("%1 does not exist.").arg(file));
    TdbToDoFile listFile(file);
    TaskTable table;
    DataPacketReader::Read(listFile.ReadDataPacket(), table, file);

    QJsonArray fields;
    for (const FieldDef& f : table.Fields()) {
        QJsonObject o;
        o.insert(QStringLiteral("name"), f.name);
        o.insert(QStringLiteral("kind"), kindName(f.kind));
        o.insert(QStringLiteral("size"), f.size);
        fields.append(o);
    }
    QJsonArray records;
    if (args.has(QStringLiteral("find"))) {
        records = matchingRecords(order, table, query);
    } else {
        for (int r = 0; r < table.RecordCount(); ++r)
            records.append(jsonRecord(
                table, [&](int field) -> const FieldValue& { return table.RawValue(r, field); }));
    }
    QJsonObject root;
    root.insert(QStringLiteral("file"), file);
    root.insert(QStringLiteral("schema"), listFile.SchemaLevel());
    root.insert(QStringLiteral("fields"), fields);
    root.insert(QStringLiteral("records"), records);
    io.out << QJsonDocument(root).toJson(QJsonDocument::Indented);
    return 0;
}
