// Writes a few packets of the task table into the folder given, as the fuzzer's first corpus;
// with --list-files, whole list files (signature and packet) instead.

#include "shared/todo_global.h"
#include "store/datapacket_writer.h"
#include "store/todo_db.h"

#include <QDir>
#include <QFile>
#include <cstdio>

namespace {

bool listFiles = false;

void save(const QString& folder, const QString& name, const QByteArray& packet)
{
    const QByteArray bytes = listFiles ? SignatureSchema2 + packet : packet;
    QFile f(QDir(folder).filePath(listFiles ? QString(name).replace(".bin", ".qmtd") : name));
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        std::fprintf(stderr, "cannot write %s\n", qPrintable(f.fileName()));
}

} // namespace

int main(int argc, char* argv[])
{
    listFiles = argc == 3 && qstrcmp(argv[2], "--list-files") == 0;
    if (argc != 2 && !listFiles) {
        std::fprintf(stderr, "usage: datapacket_fuzz_seeds FOLDER [--list-files]\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    TaskTable table;
    CreateTaskTable(table);
    save(folder, QStringLiteral("empty.bin"), DataPacketWriter::Write(table));
    const char* titles[] = {"abc", "Pay rent", "", "Käse \xF0\x9F\x98\x80 order"};
    for (int i = 0; i < 4; ++i) {
        table.AppendRecord(
            {FieldValue::fromText(QString::fromUtf8(titles[i])),
             FieldValue::fromText(i % 2 ? QStringLiteral("Home") : QString()),
             FieldValue::fromReal(45306.5 + i), FieldValue::fromReal(i ? 45307.0 : NullDate),
             FieldValue::fromInteger(i % 3), FieldValue::fromReal(i == 2 ? 45310.25 : NullDate),
             i == 1 ? FieldValue::fromText(QStringLiteral("line 1\r\nline 2")) : FieldValue()});
        save(folder, QStringLiteral("tasks%1.bin").arg(i + 1), DataPacketWriter::Write(table));
    }
    // A table of other column kinds, as old files have.
    std::vector<FieldDef> fields;
    const std::pair<FieldKind, int> kinds[] = {
        {FieldKind::AnsiString, 20}, {FieldKind::AnsiMemo, 0}, {FieldKind::Date, 0},
        {FieldKind::Time, 0},        {FieldKind::Integer, 4},  {FieldKind::Boolean, 2},
        {FieldKind::Float, 10},      {FieldKind::Bytes, 4},
    };
    for (const auto& [kind, size] : kinds) {
        FieldDef f;
        f.name = QStringLiteral("F%1").arg(fields.size());
        f.kind = kind;
        f.size = size;
        fields.push_back(f);
    }
    TaskTable other;
    other.CreateDataSet(fields);
    other.AppendRecord({FieldValue::fromBytes("caf\xE9"), FieldValue::fromBytes("memo"),
                        FieldValue::fromReal(45000), FieldValue::fromReal(0.5),
                        FieldValue::fromInteger(-7), FieldValue::fromInteger(1),
                        FieldValue::fromReal(2.5), FieldValue::fromBytes("\x01\x02\x03\x04")});
    save(folder, QStringLiteral("kinds.bin"), DataPacketWriter::Write(other));
    return 0;
}
