#pragma once

#include <QByteArray>
#include <QString>
#include <QtEndian>

// Builds packets by hand: any columns, properties, parameters and raw row bytes.
class PacketBuilder {
public:
    PacketBuilder& column(const QByteArray& name, quint32 typeWord,
                          const QByteArray& properties = {}, int propertyCount = 0)
    {
        FMeta +=
            char(name.size()) + name + le32(typeWord) + le16(0) + le16(propertyCount) + properties;
        ++FColumns;
        return *this;
    }
    static QByteArray width(quint16 w) { return "\x05WIDTH" + le32(0x00020002) + le16(w); }
    static QByteArray subtype(const QByteArray& s)
    {
        return "\x07SUBTYPE" + le32(0x00490002) + le16(s.size() + 1) + s + QByteArray(1, '\0');
    }
    PacketBuilder& parameters(const QByteArray& bytes, int count)
    {
        FParams = le16(count) + bytes;
        return *this;
    }
    PacketBuilder& row(const QByteArray& bytes)
    {
        FRows += bytes;
        ++FRowCount;
        return *this;
    }
    PacketBuilder& headerSize(int size)
    {
        FHeaderSize = size;
        return *this;
    }
    QByteArray build() const
    {
        QByteArray p = le32(0xBDE01996) + le16(1) + le16(0) + le32(FHeaderSize) + le16(FColumns) +
                       le32(FRowCount) + le32(3) + le16(0);
        p += QByteArray(FHeaderSize - 24, '\x55'); // never looked at
        p += FMeta + (FParams.isEmpty() ? le16(0) : FParams);
        return p + FRows;
    }
    static QByteArray le16(int v)
    {
        QByteArray b(2, 0);
        qToLittleEndian<quint16>(quint16(v), b.data());
        return b;
    }
    static QByteArray le32(quint32 v)
    {
        QByteArray b(4, 0);
        qToLittleEndian<quint32>(v, b.data());
        return b;
    }
    static QByteArray f64(double v)
    {
        QByteArray b(8, 0);
        qToLittleEndian<double>(v, b.data());
        return b;
    }
    static QByteArray utf16(const QString& s)
    {
        QByteArray b(s.size() * 2, 0);
        for (int i = 0; i < s.size(); ++i)
            qToLittleEndian<quint16>(s[i].unicode(), b.data() + 2 * i);
        return b;
    }

private:
    QByteArray FMeta, FParams, FRows;
    int FColumns = 0;
    quint32 FRowCount = 0;
    int FHeaderSize = 24;
};
