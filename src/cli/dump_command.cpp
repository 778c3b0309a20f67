// qmtd dump: every record with its raw values, in insertion order, and the schema level the
// signature gave. It reads the file without upgrading or otherwise changing it.

#include "cli/cli_command.h"
#include "platform/file_names.h"
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

QJsonValue jsonValue(const TaskTable& table, int record, int field)
{
    const FieldValue& v = table.RawValue(record, field);
    if (v.isNull())
        return QJsonValue(QJsonValue::Null);
    if (v.isText())
        return v.text();
    if (v.isReal())
        return v.real();
    if (v.isInteger())
        return double(v.integer());
    // 8-bit texts as they read; binary values in base 64.
    const FieldKind kind = table.Fields()[field].kind;
    if (kind == FieldKind::AnsiString || kind == FieldKind::AnsiMemo) {
        const qsizetype zero = v.bytes().indexOf('\0');
        return QString::fromLatin1(zero < 0 ? v.bytes() : v.bytes().left(zero));
    }
    return QString::fromLatin1(v.bytes().toBase64());
}

} // namespace

int CmdDump(const CliArgs& args, CliIo& io)
{
    const QString file = args.required(0, QStringLiteral("FILE"));
    args.expectPositional(1);
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
    const int fieldCount = int(table.Fields().size());
    for (int r = 0; r < table.RecordCount(); ++r) {
        QJsonObject o;
        for (int j = 0; j < fieldCount; ++j)
            o.insert(table.Fields()[j].name, jsonValue(table, r, j));
        records.append(o);
    }
    QJsonObject root;
    root.insert(QStringLiteral("file"), file);
    root.insert(QStringLiteral("schema"), listFile.SchemaLevel());
    root.insert(QStringLiteral("fields"), fields);
    root.insert(QStringLiteral("records"), records);
    io.out << QJsonDocument(root).toJson(QJsonDocument::Indented);
    return 0;
}
