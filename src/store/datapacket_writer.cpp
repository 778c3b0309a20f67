#include "store/datapacket_writer.h"

#include "store/datapacket_format.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <limits>

using namespace DataPacket;

namespace {

// Appends to a byte array without a size check per value: room is made in large steps.
class PacketBuffer {
public:
    explicit PacketBuffer(QByteArray& out) : FOut(out), FLength(out.size()) {}
    ~PacketBuffer() { FOut.resize(FLength); }

    qsizetype length() const { return FLength; }
    char* at(qsizetype pos) { return FOut.data() + pos; }

    char* grow(qsizetype n)
    {
        if (FLength + n > FOut.size())
            FOut.resize(qMax<qsizetype>(FOut.size() * 2, FLength + n + 4096));
        char* p = FOut.data() + FLength;
        FLength += n;
        return p;
    }
    void bytes(const void* data, qsizetype n)
    {
        if (n > 0)
            std::memcpy(grow(n), data, size_t(n));
    }
    void u8(quint8 v) { *grow(1) = char(v); }
    void u16(quint16 v) { qToLittleEndian(v, grow(2)); }
    void u32(quint32 v) { qToLittleEndian(v, grow(4)); }
    void u64(quint64 v) { qToLittleEndian(v, grow(8)); }
    void f64(double v) { qToLittleEndian(v, grow(8)); }
    void unsignedOf(int size, quint64 v)
    {
        char* p = grow(size);
        for (int i = 0; i < size; ++i)
            p[i] = char(v >> (8 * i));
    }

private:
    QByteArray& FOut;
    qsizetype FLength;
};

// The most bytes a length prefix of `prefixSize` bytes can announce.
qint64 prefixLimit(quint32 prefixSize)
{
    switch (prefixSize) {
    case 1:
        return 0xFF;
    case 2:
        return 0xFFFF;
    default:
        return 0x7FFFFFFF;
    }
}

// Width in bytes of a string, byte-string or BLOB column; 0 for every other column.
int widthOf(const FieldDef& field, quint32 typeWord)
{
    const quint32 base = BaseOf(typeWord);
    if (base == btWideString)
        return field.size * 2;
    if (base == btAnsiString || base == btBytes)
        return field.size;
    return 0;
}

void writeProperties(PacketBuffer& out, const FieldDef& field, quint32 typeWord)
{
    const int width = widthOf(field, typeWord);
    const bool hasSubtype = BaseOf(typeWord) == btBytes && !field.subtype.isEmpty();
    out.u16(quint16((hasSubtype ? 1 : 0) + (width != 0 ? 1 : 0)));
    if (hasSubtype) {
        const QByteArray subtype = field.subtype.toLatin1().left(0xFFFE);
        out.u8(7);
        out.bytes("SUBTYPE", 7);
        out.u32(TypeSubtypeProperty);
        out.u16(quint16(subtype.size() + 1)); // the prefix counts the closing zero byte
        out.bytes(subtype.constData(), subtype.size());
        out.u8(0);
    }
    if (width != 0) {
        out.u8(5);
        out.bytes("WIDTH", 5);
        out.u32(TypeWidthProperty);
        out.u16(quint16(qMin(width, 0xFFFF)));
    }
}

// A double as a whole number, saturating instead of overflowing; NaN is 0.
qint64 saturatedInteger(double v)
{
    if (!(v == v))
        return 0;
    if (v >= 9.2e18)
        return std::numeric_limits<qint64>::max();
    if (v <= -9.2e18)
        return std::numeric_limits<qint64>::min();
    return qint64(v);
}

qint64 integerOf(const FieldValue& v)
{
    if (v.isInteger())
        return v.integer();
    if (v.isReal())
        return saturatedInteger(std::nearbyint(v.real()));
    return 0;
}

double realOf(const FieldValue& v)
{
    if (v.isReal())
        return v.real();
    if (v.isInteger())
        return double(v.integer());
    return 0.0;
}

struct ColumnPlan {
    quint32 typeWord = 0;
    quint32 base = 0;
    quint32 size = 0;
    bool varying = false;
    bool blob = false;   // a varying byte column with a 4-byte prefix: empty is written as null
    qint64 maxUnits = 0; // most characters (UTF-16) or bytes a value may have; 0: no limit
};

// A field is written as null when it is null, and a BLOB also when it is empty.
bool writtenAsNull(const ColumnPlan& c, const FieldValue& v)
{
    if (v.isNull())
        return true;
    if (!c.blob)
        return false;
    if (v.isText())
        return v.text().isEmpty();
    if (v.isBytes())
        return v.bytes().isEmpty();
    return false;
}

void writeValue(PacketBuffer& out, const ColumnPlan& c, const FieldValue& v)
{
    if (c.varying) {
        if (c.base == btWideString || (v.isText() && c.base == btBytes)) {
            const QString& text = v.isText() ? v.text() : QString();
            qsizetype n = text.size();
            qint64 limit = prefixLimit(c.size) / 2;
            if (c.maxUnits > 0)
                limit = qMin(limit, c.maxUnits);
            if (n > limit) {
                n = qsizetype(limit);
                // Never part a surrogate pair.
                if (n > 0 && text.at(n - 1).isHighSurrogate())
                    --n;
            }
            out.unsignedOf(int(c.size), quint64(n) * 2);
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
            out.bytes(text.utf16(), n * 2);
#else
            char* p = out.grow(n * 2);
            for (qsizetype i = 0; i < n; ++i)
                qToLittleEndian<quint16>(text.at(i).unicode(), p + 2 * i);
#endif
            return;
        }
        QByteArray bytes = v.isBytes() ? v.bytes() : QByteArray();
        if (v.isText()) // a text in a column kept as bytes: stored as it reads
            bytes = v.text().toUtf8();
        qint64 limit = prefixLimit(c.size);
        if (c.maxUnits > 0)
            limit = qMin(limit, c.maxUnits);
        const qsizetype n = qsizetype(qMin<qint64>(bytes.size(), limit));
        out.unsignedOf(int(c.size), quint64(n));
        out.bytes(bytes.constData(), n);
        return;
    }
    switch (c.base) {
    case btSigned:
    case btUnsigned:
        out.unsignedOf(int(c.size), quint64(integerOf(v)));
        return;
    case btBoolean:
        out.unsignedOf(int(c.size), integerOf(v) != 0 ? 1 : 0);
        return;
    case btFloat:
        if (c.size == 10)
            DoubleToExtended(realOf(v), reinterpret_cast<unsigned char*>(out.grow(10)));
        else
            out.f64(realOf(v));
        return;
    case btDate: {
        // Day numbers are 32 bits; every value that came from a file fits again.
        const qint64 day = saturatedInteger(std::floor(realOf(v))) + DateDelta;
        out.u32(quint32(std::clamp<qint64>(day, INT32_MIN, INT32_MAX)));
        return;
    }
    case btTime: {
        // Milliseconds of the day; values read from a file (even negative ones) come back as
        // they were.
        const double days = realOf(v);
        qint64 ms = saturatedInteger(std::nearbyint(days * MSecsPerDayInt));
        if (ms < INT32_MIN || ms > INT32_MAX) // a whole date-time: keep its time of day
            ms = saturatedInteger(std::nearbyint((days - std::floor(days)) * MSecsPerDayInt));
        out.u32(quint32(std::clamp<qint64>(ms, INT32_MIN, INT32_MAX)));
        return;
    }
    case btDateTime:
        out.f64(EncodeTimeStamp(realOf(v)));
        return;
    default: { // fixed-size bytes, cut or padded with zeros
        const QByteArray bytes = v.isBytes() ? v.bytes() : QByteArray();
        char* p = out.grow(c.size);
        const qsizetype n = qMin<qsizetype>(bytes.size(), c.size);
        std::memcpy(p, bytes.constData(), size_t(n));
        std::memset(p + n, 0, size_t(c.size - n));
        return;
    }
    }
}

} // namespace

quint32 DataPacketWriter::TypeWordOf(const FieldDef& field)
{
    if (field.typeWord != 0)
        return field.typeWord;
    const auto utf16Prefix = [](int widthBytes) { return widthBytes + 2 <= 254 ? 1u : 2u; };
    switch (field.kind) {
    case FieldKind::WideString:
        return MakeTypeWord(btWideString, utf16Prefix(field.size * 2), true);
    case FieldKind::AnsiString:
        return MakeTypeWord(btAnsiString, utf16Prefix(field.size), true);
    case FieldKind::WideMemo:
    case FieldKind::AnsiMemo:
        return TypeWideMemo;
    case FieldKind::Bytes:
        return field.size > 0 ? MakeTypeWord(btBytes, quint32(field.size))
                              : MakeTypeWord(btBytes, 4, true);
    case FieldKind::DateTime:
        return TypeDateTime;
    case FieldKind::Date:
        return MakeTypeWord(btDate, 4);
    case FieldKind::Time:
        return MakeTypeWord(btTime, 4);
    case FieldKind::Integer:
        return MakeTypeWord(btSigned, field.size > 0 ? quint32(field.size) : 4);
    case FieldKind::Unsigned:
        return MakeTypeWord(btUnsigned, field.size > 0 ? quint32(field.size) : 4);
    case FieldKind::Boolean:
        return MakeTypeWord(btBoolean, field.size > 0 ? quint32(field.size) : 2);
    case FieldKind::Float:
        return MakeTypeWord(btFloat, field.size == 10 ? 10 : 8);
    }
    return TypeWideMemo;
}

void DataPacketWriter::Write(const TaskTable& table, QByteArray& result)
{
    const std::vector<FieldDef>& fields = table.Fields();
    const int columnCount = int(fields.size());
    const int rowCount = table.RecordCount();

    std::vector<FieldDef> defs = fields;
    std::vector<ColumnPlan> plan(columnCount);
    for (int j = 0; j < columnCount; ++j) {
        FieldDef& def = defs[j];
        if (def.kind == FieldKind::AnsiMemo && def.subtype.isEmpty())
            def.subtype = QStringLiteral("Text");
        if (def.kind == FieldKind::WideMemo && def.subtype.isEmpty())
            def.subtype = QStringLiteral("WideText");
        ColumnPlan& c = plan[j];
        c.typeWord = TypeWordOf(def);
        c.base = BaseOf(c.typeWord);
        c.size = SizeOf(c.typeWord);
        c.varying = IsVarying(c.typeWord);
        c.blob = c.varying && c.size == 4 && c.base == btBytes;
        if (c.varying && c.size != 1 && c.size != 2)
            c.size = 4;
        if (def.kind == FieldKind::WideString || def.kind == FieldKind::AnsiString)
            c.maxUnits = def.size;
    }

    PacketBuffer out(result);
    const qsizetype start = out.length();
    out.u32(Magic);
    out.u16(1);
    out.u16(0);
    out.u32(HeaderSize);
    out.u16(quint16(columnCount));
    out.u32(quint32(rowCount));
    const qsizetype flagsAt = out.length();
    out.u32(0); // flags and row offset, known once the metadata is written
    out.u16(0);

    for (int j = 0; j < columnCount; ++j) {
        const FieldDef& def = defs[j];
        const QByteArray name = def.name.toUtf8().left(255);
        out.u8(quint8(name.size()));
        out.bytes(name.constData(), name.size());
        out.u32(plan[j].typeWord);
        out.u16(0); // attributes
        writeProperties(out, def, plan[j].typeWord);
    }
    out.u16(0); // table parameters

    const qint64 rowOffset = out.length() - start;
    quint32 flags = FlagMetaData;
    quint16 rowOffsetWord = 0;
    if (rowOffset <= 0xFFFF) {
        flags |= FlagRowOffsetValid;
        rowOffsetWord = quint16(rowOffset);
    }
    qToLittleEndian(flags, out.at(flagsAt));
    qToLittleEndian(rowOffsetWord, out.at(flagsAt + 4));

    const int flagBytes = (columnCount + 3) / 4;
    std::vector<const FieldValue*> values(columnCount); // nullptr: written as null
    for (int r = 0; r < rowCount; ++r) {
        out.u8(0); // status: a plain current row
        char* rowFlags = out.grow(flagBytes);
        std::memset(rowFlags, 0, size_t(flagBytes));
        for (int j = 0; j < columnCount; ++j) {
            const FieldValue& v = table.RawValue(r, j);
            const bool isNull = writtenAsNull(plan[j], v);
            if (isNull)
                rowFlags[j / 4] = char(rowFlags[j / 4] | (1 << (2 * (j % 4))));
            values[j] = isNull ? nullptr : &v;
        }
        // `rowFlags` may move when the buffer grows: it is written completely above.
        for (int j = 0; j < columnCount; ++j)
            if (values[j])
                writeValue(out, plan[j], *values[j]);
    }
}

QByteArray DataPacketWriter::Write(const TaskTable& table)
{
    QByteArray out;
    Write(table, out);
    return out;
}
