#include "store/datapacket_reader.h"

#include "store/datapacket_format.h"

#include <QIODevice>
#include <QtEndian>

using namespace DataPacket;

namespace {

constexpr int MaxFieldNameBytes = 31;

class PacketParser {
public:
    PacketParser(QByteArrayView packet, const QString& sourceName)
        : FData(reinterpret_cast<const uchar*>(packet.data())), FSize(packet.size()),
          FSource(sourceName.isEmpty() ? QStringLiteral("The datapacket") : sourceName)
    {
    }

    [[noreturn]] void damaged(const QString& reason) const
    {
        throw TaskStoreError(
            QStringLiteral("%1 is damaged and cannot be read: %2.").arg(FSource, reason));
    }
    [[noreturn]] void tooLarge() const
    {
        throw TaskStoreError(QStringLiteral("%1 is too large to open.").arg(FSource));
    }
    // Refuses a count of items of at least `minSize` bytes each that the data cannot hold.
    void expectRoomFor(quint64 count, quint64 minSize, const QString& what) const
    {
        if (count * minSize > quint64(remaining()))
            damaged(QStringLiteral("it announces %1 %2 but the data ends before them")
                        .arg(count)
                        .arg(what));
    }

    qint64 remaining() const { return FSize - FPos; }
    qint64 pos() const { return FPos; }
    void seek(qint64 pos, const char* where)
    {
        if (pos < 0 || pos > FSize)
            damaged(QStringLiteral("%1 lies outside the data").arg(QLatin1String(where)));
        FPos = pos;
    }

    const uchar* take(qint64 n, const char* where)
    {
        if (n < 0 || n > remaining())
            damaged(QStringLiteral("the data ends inside %1").arg(QLatin1String(where)));
        const uchar* p = FData + FPos;
        FPos += n;
        return p;
    }
    quint8 u8(const char* where) { return *take(1, where); }
    quint16 u16(const char* where) { return qFromLittleEndian<quint16>(take(2, where)); }
    quint32 u32(const char* where) { return qFromLittleEndian<quint32>(take(4, where)); }

    // An unsigned number of 1, 2, 4 or 8 bytes.
    quint64 unsignedOf(int size, const char* where)
    {
        const uchar* p = take(size, where);
        switch (size) {
        case 1:
            return *p;
        case 2:
            return qFromLittleEndian<quint16>(p);
        case 4:
            return qFromLittleEndian<quint32>(p);
        case 8:
            return qFromLittleEndian<quint64>(p);
        }
        damaged(QStringLiteral("a number of %1 bytes in %2").arg(size).arg(QLatin1String(where)));
    }

    // Skips one value of any type word.
    void skipValue(quint32 typeWord, const char* where)
    {
        const quint32 size = SizeOf(typeWord);
        if (IsArray(typeWord)) {
            const quint64 count = u32(where);
            const quint64 bytes = count * size; // both below 2^32: no overflow
            if (bytes > quint64(remaining()))
                damaged(QStringLiteral("the data ends inside %1").arg(QLatin1String(where)));
            take(qint64(bytes), where);
        } else if (IsVarying(typeWord)) {
            if (size != 1 && size != 2 && size != 4)
                damaged(QStringLiteral("%1 has a length prefix of %2 bytes")
                            .arg(QLatin1String(where))
                            .arg(size));
            take(qint64(unsignedOf(int(size), where)), where);
        } else {
            take(size, where);
        }
    }

private:
    const uchar* FData;
    qint64 FSize;
    qint64 FPos = 0;
    QString FSource;
};

struct Column {
    FieldDef def;
    quint32 base = 0;
    quint32 size = 0; // value size, or the length prefix size of a varying column
    bool varying = false;
};

QString unsupportedType(const QString& name, quint32 typeWord)
{
    return QStringLiteral("column \"%1\" has a type this program cannot read (0x%2)")
        .arg(name)
        .arg(typeWord, 8, 16, QLatin1Char('0'));
}

// Fills the column's kind from its type word, or explains why it cannot be read.
bool classify(Column& c, QString& problem)
{
    const quint32 t = c.def.typeWord;
    c.base = BaseOf(t);
    c.size = SizeOf(t);
    c.varying = IsVarying(t);
    problem = unsupportedType(c.def.name, t);
    if (IsArray(t))
        return false;
    if (c.varying) {
        if (c.size != 1 && c.size != 2 && c.size != 4)
            return false;
        switch (c.base) {
        case btAnsiString:
            c.def.kind = FieldKind::AnsiString;
            return true;
        case btWideString:
            c.def.kind = FieldKind::WideString;
            return true;
        case btBytes:
            c.def.kind = FieldKind::Bytes;
            return true;
        }
        return false;
    }
    switch (c.base) {
    case btSigned:
    case btUnsigned:
        if (c.size != 1 && c.size != 2 && c.size != 4 && c.size != 8)
            return false;
        c.def.kind = c.base == btSigned ? FieldKind::Integer : FieldKind::Unsigned;
        c.def.size = int(c.size);
        return true;
    case btBoolean:
        if (c.size != 1 && c.size != 2 && c.size != 4)
            return false;
        c.def.kind = FieldKind::Boolean;
        c.def.size = int(c.size);
        return true;
    case btFloat:
        if (c.size != 8 && c.size != 10)
            return false;
        c.def.kind = FieldKind::Float;
        c.def.size = int(c.size);
        return true;
    case btDate:
    case btTime:
        if (c.size != 4)
            return false;
        c.def.kind = c.base == btDate ? FieldKind::Date : FieldKind::Time;
        return true;
    case btDateTime:
        if (c.size != 8)
            return false;
        c.def.kind = FieldKind::DateTime;
        return true;
    case btBytes:
        if (c.size == 0)
            return false;
        c.def.kind = FieldKind::Bytes;
        c.def.size = int(c.size);
        return true;
    }
    return false;
}

// Width and subtype turn a varying column into its text or BLOB kind.
void finishColumn(Column& c, int width)
{
    if (!c.varying)
        return;
    switch (c.base) {
    case btWideString:
        c.def.size = width / 2;
        break;
    case btAnsiString:
        c.def.size = width;
        break;
    case btBytes:
        c.def.size = width;
        if (c.size == 4) {
            if (c.def.subtype == QLatin1String("WideText"))
                c.def.kind = FieldKind::WideMemo;
            else if (c.def.subtype == QLatin1String("Text"))
                c.def.kind = FieldKind::AnsiMemo;
        }
        break;
    }
}

FieldValue readValue(PacketParser& p, const Column& c)
{
    static const char* const where = "a row";
    if (c.varying) {
        const qint64 length = qint64(p.unsignedOf(int(c.size), where));
        const char* bytes = reinterpret_cast<const char*>(p.take(length, where));
        switch (c.def.kind) {
        case FieldKind::WideString:
        case FieldKind::WideMemo: {
            if (length % 2 != 0)
                p.damaged(QStringLiteral("a text of column \"%1\" has an odd number of bytes")
                              .arg(c.def.name));
            if (length == 0 && c.def.kind == FieldKind::WideMemo)
                return {};
            QString text(length / 2, Qt::Uninitialized);
            char16_t* out = reinterpret_cast<char16_t*>(text.data());
            std::memcpy(out, bytes, size_t(length));
#if Q_BYTE_ORDER == Q_BIG_ENDIAN
            for (qint64 i = 0; i < length / 2; ++i)
                out[i] = qFromLittleEndian(out[i]);
#endif
            return FieldValue::fromText(text);
        }
        default:
            if (length == 0 && c.size == 4)
                return {}; // an empty BLOB is null
            return FieldValue::fromBytes(QByteArray(bytes, length));
        }
    }
    const uchar* v = p.take(c.size, where);
    switch (c.base) {
    case btSigned:
        switch (c.size) {
        case 1:
            return FieldValue::fromInteger(qint8(v[0]));
        case 2:
            return FieldValue::fromInteger(qFromLittleEndian<qint16>(v));
        case 4:
            return FieldValue::fromInteger(qFromLittleEndian<qint32>(v));
        default:
            return FieldValue::fromInteger(qFromLittleEndian<qint64>(v));
        }
    case btUnsigned:
    case btBoolean: {
        quint64 n = 0;
        for (int i = int(c.size) - 1; i >= 0; --i)
            n = (n << 8) | v[i];
        if (c.base == btBoolean)
            return FieldValue::fromInteger(n != 0 ? 1 : 0);
        return FieldValue::fromInteger(qint64(n));
    }
    case btFloat:
        if (c.size == 10)
            return FieldValue::fromReal(ExtendedToDouble(v));
        return FieldValue::fromReal(qFromLittleEndian<double>(v));
    case btDate:
        return FieldValue::fromReal(double(qint64(qFromLittleEndian<qint32>(v)) - DateDelta));
    case btTime:
        return FieldValue::fromReal(double(qFromLittleEndian<qint32>(v)) / double(MSecsPerDayInt));
    case btDateTime: {
        double days = 0;
        if (!DecodeTimeStamp(qFromLittleEndian<double>(v), days))
            p.damaged(
                QStringLiteral("column \"%1\" holds a date-time that is no date").arg(c.def.name));
        return FieldValue::fromReal(days);
    }
    default: // fixed-size bytes
        return FieldValue::fromBytes(QByteArray(reinterpret_cast<const char*>(v), c.size));
    }
}

void readPacket(QByteArrayView packet, const QString& sourceName, qint64 maxRecords,
                TaskTable& table)
{
    PacketParser p(packet, sourceName);
    const uchar* header = p.take(HeaderSize, "its header");
    const quint32 magic = qFromLittleEndian<quint32>(header);
    const quint16 version1 = qFromLittleEndian<quint16>(header + 4);
    const quint16 version2 = qFromLittleEndian<quint16>(header + 6);
    if (magic != Magic || version1 > 3 || version2 > 3)
        throw TaskStoreError(QStringLiteral("Mismatch in datapacket."));
    const quint32 headerSize = qFromLittleEndian<quint32>(header + 8);
    const quint16 columnCount = qFromLittleEndian<quint16>(header + 12);
    const quint32 rowCount = qFromLittleEndian<quint32>(header + 14);
    const quint32 flags = qFromLittleEndian<quint32>(header + 18);
    if (!(flags & FlagMetaData))
        throw TaskStoreError(QStringLiteral("Datapacket contains no meta data."));
    if (headerSize < HeaderSize)
        p.damaged(QStringLiteral("its header is too short"));
    p.seek(headerSize, "the start of its column descriptions");
    if (columnCount == 0)
        throw TaskStoreError(QStringLiteral("Mismatch in datapacket."));

    // A column description: name length, at least one byte of name, type word, attributes and
    // property count; a property or a table parameter: name length, type word.
    constexpr int MinColumnSize = 1 + 1 + 4 + 2 + 2;
    constexpr int MinPropertySize = 1 + 4;
    p.expectRoomFor(columnCount, MinColumnSize, QStringLiteral("columns"));
    std::vector<Column> columns;
    columns.reserve(columnCount);
    for (int i = 0; i < columnCount; ++i) {
        static const char* const where = "its column descriptions";
        Column c;
        const quint8 nameLength = p.u8(where);
        if (nameLength == 0)
            throw TaskStoreError(
                QStringLiteral("Field name can't be null, datapacket may be corrupted"));
        const char* name = reinterpret_cast<const char*>(p.take(nameLength, where));
        c.def.name = QString::fromUtf8(name, qMin<int>(nameLength, MaxFieldNameBytes));
        c.def.typeWord = p.u32(where);
        c.def.attributes = p.u16(where);
        const quint16 propertyCount = p.u16(where);
        p.expectRoomFor(propertyCount, MinPropertySize, QStringLiteral("column properties"));
        int width = 0;
        for (int k = 0; k < propertyCount; ++k) {
            const quint8 propLength = p.u8(where);
            const QByteArray propName(reinterpret_cast<const char*>(p.take(propLength, where)),
                                      propLength);
            const quint32 propType = p.u32(where);
            const bool plainNumber =
                !IsArray(propType) && !IsVarying(propType) &&
                (BaseOf(propType) == btUnsigned || BaseOf(propType) == btSigned) &&
                (SizeOf(propType) == 1 || SizeOf(propType) == 2 || SizeOf(propType) == 4);
            const bool shortText = !IsArray(propType) && IsVarying(propType) &&
                                   BaseOf(propType) == btAnsiString &&
                                   (SizeOf(propType) == 1 || SizeOf(propType) == 2);
            if (propName == "WIDTH" && plainNumber) {
                width = int(qMin<quint64>(p.unsignedOf(int(SizeOf(propType)), where), 0x7FFFFFFF));
            } else if (propName == "SUBTYPE" && shortText) {
                const qint64 length = qint64(p.unsignedOf(int(SizeOf(propType)), where));
                QByteArray text(reinterpret_cast<const char*>(p.take(length, where)), length);
                const qsizetype zero = text.indexOf('\0');
                if (zero >= 0)
                    text.truncate(zero);
                c.def.subtype = QString::fromLatin1(text);
            } else {
                // DECIMALS and every other property: not needed by the table.
                p.skipValue(propType, where);
            }
        }
        QString problem;
        if (!classify(c, problem))
            p.damaged(problem);
        finishColumn(c, width);
        columns.push_back(c);
    }

    const quint16 parameterCount = p.u16("its table parameters");
    p.expectRoomFor(parameterCount, MinPropertySize, QStringLiteral("table parameters"));
    for (int k = 0; k < parameterCount; ++k) {
        static const char* const where = "its table parameters";
        const quint8 length = p.u8(where);
        p.take(length, where);
        p.skipValue(p.u32(where), where);
    }

    const int flagBytes = (columnCount + 3) / 4;
    // Every row has at least its status and flag bytes: a count the data cannot hold is refused
    // before anything is allocated for it.
    p.expectRoomFor(rowCount, 1 + flagBytes, QStringLiteral("rows"));
    if (qint64(rowCount) > maxRecords || qint64(rowCount) * columnCount > MaxPacketValues)
        p.tooLarge();

    std::vector<FieldDef> fields;
    for (const Column& c : columns)
        fields.push_back(c.def);
    table.CreateDataSet(fields);
    table.ReserveRecords(int(rowCount));
    for (quint32 r = 0; r < rowCount; ++r) {
        const quint8 status = p.u8("a row");
        const uchar* rowFlags = p.take(flagBytes, "a row");
        std::vector<FieldValue> values(columnCount);
        for (int j = 0; j < columnCount; ++j) {
            const int fieldFlags = (rowFlags[j / 4] >> (2 * (j % 4))) & 0x03;
            if (fieldFlags == 0)
                values[j] = readValue(p, columns[j]);
        }
        // Original versions of changed rows, deleted rows and unused slots are no records.
        if (status & (0x01 | 0x02 | 0x20))
            continue;
        table.AppendRecord(std::move(values));
    }
}

} // namespace

void DataPacketReader::Read(QByteArrayView packet, TaskTable& table, const QString& sourceName,
                            qint64 maxRecords)
{
    table.Close();
    try {
        readPacket(packet, sourceName, maxRecords, table);
        table.First();
    } catch (...) {
        table.Close();
        throw;
    }
}

void DataPacketReader::Read(QIODevice& device, TaskTable& table, const QString& sourceName)
{
    const QByteArray packet = device.readAll();
    Read(packet, table, sourceName);
}
