#pragma once
// Constants and value conversions shared by the datapacket reader and writer.

#include <QtGlobal>
#include <cmath>
#include <cstring>

namespace DataPacket {

constexpr quint32 Magic = 0xBDE01996u;
constexpr int HeaderSize = 24;

// Header flags: metadata present; the row offset word is valid.
constexpr quint32 FlagMetaData = 0x01;
constexpr quint32 FlagRowOffsetValid = 0x02;

// Type word layout.
constexpr quint32 SizeMask = 0x0000FFFFu;
constexpr quint32 VaryingBit = 0x00400000u;
constexpr quint32 ArrayBit = 0x00800000u;
constexpr int BaseShift = 16;
constexpr quint32 BaseMask = 0x3Fu;

enum BaseType : quint32 {
    btSigned = 1,
    btUnsigned = 2,
    btBoolean = 3,
    btFloat = 4,
    btBcd = 5,
    btDate = 6,
    btTime = 7,
    btDateTime = 8,
    btAnsiString = 9,
    btWideString = 10,
    btBytes = 11,
};

constexpr quint32 MakeTypeWord(quint32 base, quint32 size, bool varying = false)
{
    return (base << BaseShift) | (varying ? VaryingBit : 0u) | (size & SizeMask);
}
constexpr quint32 BaseOf(quint32 typeWord)
{
    return (typeWord >> BaseShift) & BaseMask;
}
constexpr quint32 SizeOf(quint32 typeWord)
{
    return typeWord & SizeMask;
}
constexpr bool IsVarying(quint32 typeWord)
{
    return (typeWord & VaryingBit) != 0;
}
constexpr bool IsArray(quint32 typeWord)
{
    return (typeWord & ArrayBit) != 0;
}

constexpr quint32 TypeWidthProperty = MakeTypeWord(btUnsigned, 2);           // 0x00020002
constexpr quint32 TypeSubtypeProperty = MakeTypeWord(btAnsiString, 2, true); // 0x00490002
constexpr quint32 TypeDateTime = MakeTypeWord(btDateTime, 8);                // 0x00080008
constexpr quint32 TypeWideMemo = MakeTypeWord(btBytes, 4, true);             // 0x004B0004

constexpr qint64 MSecsPerDayInt = 86400000;
// Days from 1 January of year 1 (day 1) to 30 December 1899.
constexpr qint64 DateDelta = 693594;

// Table date-time (days since 1899-12-30) to the stored milliseconds since year 1, rounding to
// nearest with halves to even (the default floating-point rounding mode).
inline double EncodeTimeStamp(double days)
{
    const double ms = std::nearbyint(days * static_cast<double>(MSecsPerDayInt));
    return ms + static_cast<double>(DateDelta * MSecsPerDayInt);
}

// Stored milliseconds to a table date-time. Returns false for values that are no date at all
// (not finite or far outside any calendar).
inline bool DecodeTimeStamp(double stored, double& days)
{
    if (!std::isfinite(stored) || std::fabs(stored) > 4.0e18)
        return false;
    const qint64 m = std::llround(stored);
    const qint64 wholeDays = m / MSecsPerDayInt;
    const qint64 ms = m % MSecsPerDayInt;
    days = static_cast<double>((wholeDays - DateDelta) * MSecsPerDayInt + ms) /
           static_cast<double>(MSecsPerDayInt);
    return true;
}

// 80-bit extended floats, as some old files store floating-point columns.
double ExtendedToDouble(const unsigned char* bytes);
void DoubleToExtended(double value, unsigned char* bytes);

} // namespace DataPacket
