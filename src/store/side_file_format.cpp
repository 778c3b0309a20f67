#include "store/side_file_format.h"

#include <QtEndian>
#include <cstring>

namespace {

constexpr char Magic[16] = {'Q', 'u', 'i', 'l', 'l', 'm', 'a',  'r',
                            'k', ' ', 's', 'a', 'v', 'e', '\r', '\n'};
constexpr quint32 FormatVersion = 1;
constexpr char TrailerMagic[SideTrailerMagicSize] = {'Q', 'M', 'S', 'A', 'V', 'E', '\r', '\n'};
constexpr int FixedHeaderSize = 76;
constexpr int TrailerSize = 40;

inline quint64 rotl(quint64 x, int r)
{
    return (x << r) | (x >> (64 - r));
}

constexpr quint64 P1 = 11400714785074694791ull, P2 = 14029467366897019727ull,
                  P3 = 1609587929392839161ull, P4 = 9650029242287828579ull,
                  P5 = 2870177450012600261ull;
inline quint64 round64(quint64 acc, quint64 input)
{
    return rotl(acc + input * P2, 31) * P1;
}

inline quint64 read64(const char* p)
{
    return qFromLittleEndian<quint64>(p);
}

// The low half: XXH64's end once its four lanes have taken every whole 32-byte stripe.
quint64 finishLow(const quint64 (&v)[4], bool hadStripes, const char* p, const char* end,
                  qint64 length)
{
    quint64 h;
    if (hadStripes) {
        h = rotl(v[0], 1) + rotl(v[1], 7) + rotl(v[2], 12) + rotl(v[3], 18);
        for (quint64 lane : v)
            h = (h ^ round64(0, lane)) * P1 + P4;
    } else {
        h = P5;
    }
    h += quint64(length);
    for (; p + 8 <= end; p += 8)
        h = rotl(h ^ round64(0, read64(p)), 27) * P1 + P4;
    if (p + 4 <= end) {
        h = rotl(h ^ (quint64(qFromLittleEndian<quint32>(p)) * P1), 23) * P2 + P3;
        p += 4;
    }
    for (; p < end; ++p)
        h = rotl(h ^ (quint64(static_cast<uchar>(*p)) * P5), 11) * P1;
    h ^= h >> 33;
    h *= P2;
    h ^= h >> 29;
    h *= P3;
    h ^= h >> 32;
    return h;
}

// The high half: the same lanes and tail merged another way (other rotations, the lanes in the
// other order, another final mix), so that the two halves together tell 128 bits of the 256-bit
// state apart.
quint64 finishHigh(const quint64 (&v)[4], bool hadStripes, const char* p, const char* end,
                   qint64 length)
{
    constexpr quint64 M1 = 0xFF51AFD7ED558CCDull, M2 = 0xC4CEB9FE1A85EC53ull;
    quint64 h;
    if (hadStripes) {
        h = rotl(v[3], 3) + rotl(v[2], 17) + rotl(v[1], 29) + rotl(v[0], 43);
        for (int i = 3; i >= 0; --i)
            h = rotl(h ^ (v[i] * M1), 37) * P2 + P3;
    } else {
        h = P4;
    }
    h ^= quint64(length) * M2;
    for (; p + 8 <= end; p += 8)
        h = rotl(h + read64(p) * P3, 29) * M1;
    for (; p < end; ++p)
        h = rotl(h ^ (quint64(static_cast<uchar>(*p)) * P1), 13) * M2;
    h ^= h >> 33;
    h *= M1;
    h ^= h >> 33;
    h *= M2;
    h ^= h >> 33;
    return h;
}

void put32(QByteArray& out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

void put64(QByteArray& out, quint64 v)
{
    char b[8];
    qToLittleEndian(v, b);
    out.append(b, 8);
}

// The length of the longest common start of two byte ranges of length n.
qint64 sharedStartOf(const char* a, const char* b, qint64 n)
{
    constexpr qint64 Chunk = 4096;
    qint64 i = 0;
    while (i + Chunk <= n && std::memcmp(a + i, b + i, Chunk) == 0)
        i += Chunk;
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

// The length of the longest common end of two byte ranges that end at `a` and `b`, at most n.
qint64 sharedEndOf(const char* a, const char* b, qint64 n)
{
    constexpr qint64 Chunk = 4096;
    qint64 i = 0;
    while (i + Chunk <= n && std::memcmp(a - i - Chunk, b - i - Chunk, Chunk) == 0)
        i += Chunk;
    while (i < n && a[-i - 1] == b[-i - 1])
        ++i;
    return i;
}

} // namespace

ContentDigest DigestOf(const char* data, qint64 length)
{
    quint64 v[4] = {P1 + P2, P2, 0, 0 - P1};
    const char* p = data;
    const char* const end = data + length;
    if (length >= 32) {
        const char* const limit = end - 32;
        do {
            v[0] = round64(v[0], read64(p));
            v[1] = round64(v[1], read64(p + 8));
            v[2] = round64(v[2], read64(p + 16));
            v[3] = round64(v[3], read64(p + 24));
            p += 32;
        } while (p <= limit);
    }
    return {finishLow(v, length >= 32, p, end, length),
            finishHigh(v, length >= 32, p, end, length)};
}

ReplacedContent DescribeReplaced(const QByteArray& oldContent, const ContentDigest& oldDigest,
                                 const QByteArray& newContent)
{
    ReplacedContent r;
    r.length = oldContent.size();
    r.digest = oldDigest;
    const qint64 common = qMin(oldContent.size(), newContent.size());
    r.sharedStart = sharedStartOf(oldContent.constData(), newContent.constData(), common);
    r.sharedEnd = sharedEndOf(oldContent.constData() + oldContent.size(),
                              newContent.constData() + newContent.size(), common - r.sharedStart);
    r.middle = oldContent.mid(r.sharedStart, r.length - r.sharedStart - r.sharedEnd);
    return r;
}

QByteArray SideFileStart()
{
    QByteArray start(Magic, sizeof Magic);
    put32(start, FormatVersion);
    return start;
}

QByteArray SideFileHeader(const QByteArray& listPath, const ReplacedContent& replaced,
                          qint64 contentLength)
{
    QByteArray h = SideFileStart();
    h.reserve(FixedHeaderSize + listPath.size() + replaced.middle.size());
    put32(h, quint32(FixedHeaderSize + listPath.size() + replaced.middle.size()));
    put64(h, quint64(replaced.length));
    put64(h, replaced.digest.low);
    put64(h, replaced.digest.high);
    put64(h, quint64(replaced.sharedStart));
    put64(h, quint64(replaced.sharedEnd));
    put64(h, quint64(contentLength));
    put32(h, quint32(listPath.size()));
    h.append(listPath);
    h.append(replaced.middle);
    return h;
}

QByteArray SideFileTrailer(const QByteArray& header, const ContentDigest& contentDigest,
                           qint64 contentLength)
{
    QByteArray t(TrailerMagic, sizeof TrailerMagic);
    put64(t, quint64(header.size() + contentLength));
    put64(t, contentDigest.low);
    put64(t, contentDigest.high);
    put64(t, DigestOf(header).low);
    return t;
}

qint64 SideTrailerOffset(const QByteArray& header, qint64 contentLength)
{
    return header.size() + contentLength;
}

QByteArray SideFileBytes(const QByteArray& listPath, const QByteArray& oldContent,
                         const QByteArray& newContent)
{
    const QByteArray header =
        SideFileHeader(listPath, DescribeReplaced(oldContent, DigestOf(oldContent), newContent),
                       newContent.size());
    return header + newContent + SideFileTrailer(header, DigestOf(newContent), newContent.size());
}

ParsedSideFile ParseSideFile(const QByteArray& bytes)
{
    ParsedSideFile side;
    // A file that holds no more than the beginning of the start was cut short as it was begun.
    const QByteArray start = SideFileStart();
    if (!bytes.startsWith(start) && !start.startsWith(bytes))
        return side;
    side.state = ParsedSideFile::State::Incomplete;
    const qint64 size = bytes.size();
    if (size < FixedHeaderSize + TrailerSize)
        return side;
    const char* b = bytes.constData();
    const qint64 headerSize = qFromLittleEndian<quint32>(b + 20);
    if (headerSize < FixedHeaderSize || headerSize > size - TrailerSize)
        return side;
    // The trailer first: it vouches for everything before it.
    const char* trailer = b + size - TrailerSize;
    const qint64 contentLength = size - TrailerSize - headerSize;
    if (std::memcmp(trailer, TrailerMagic, sizeof TrailerMagic) != 0 ||
        qFromLittleEndian<quint64>(trailer + 8) != quint64(size - TrailerSize) ||
        qFromLittleEndian<quint64>(trailer + 32) != DigestOf(b, headerSize).low)
        return side;
    const ContentDigest recorded{qFromLittleEndian<quint64>(trailer + 16),
                                 qFromLittleEndian<quint64>(trailer + 24)};
    if (DigestOf(b + headerSize, contentLength) != recorded)
        return side;

    ReplacedContent& r = side.replaced;
    r.length = qint64(qFromLittleEndian<quint64>(b + 24));
    r.digest = {qFromLittleEndian<quint64>(b + 32), qFromLittleEndian<quint64>(b + 40)};
    r.sharedStart = qint64(qFromLittleEndian<quint64>(b + 48));
    r.sharedEnd = qint64(qFromLittleEndian<quint64>(b + 56));
    const quint64 recordedContentLength = qFromLittleEndian<quint64>(b + 64);
    const qint64 pathLength = qFromLittleEndian<quint32>(b + 72);
    if (recordedContentLength != quint64(contentLength) ||
        pathLength > headerSize - FixedHeaderSize)
        return side;
    side.listPath = bytes.mid(FixedHeaderSize, pathLength);
    r.middle = bytes.mid(FixedHeaderSize + pathLength, headerSize - FixedHeaderSize - pathLength);
    side.content = bytes.mid(headerSize, contentLength);
    side.state = ParsedSideFile::State::Complete;
    return side;
}

bool RebuildReplaced(const ParsedSideFile& side, QByteArray& oldContent)
{
    const ReplacedContent& r = side.replaced;
    const qint64 n = side.content.size();
    // Unsigned sums: recorded values near 2^63 must not wrap into plausible ones.
    if (r.sharedStart < 0 || r.sharedEnd < 0 || r.length < 0 ||
        quint64(r.sharedStart) + quint64(r.sharedEnd) > quint64(n) ||
        quint64(r.sharedStart) + quint64(r.sharedEnd) + quint64(r.middle.size()) !=
            quint64(r.length))
        return false;
    oldContent.clear();
    oldContent.reserve(r.length);
    oldContent.append(side.content.constData(), r.sharedStart);
    oldContent.append(r.middle);
    oldContent.append(side.content.constData() + n - r.sharedEnd, r.sharedEnd);
    return DigestOf(oldContent) == r.digest;
}

bool IsTornRewrite(const QByteArray& list, const QByteArray& oldContent,
                   const QByteArray& newContent)
{
    const qint64 shorter = qMin(oldContent.size(), newContent.size());
    const QByteArray& longer = oldContent.size() > newContent.size() ? oldContent : newContent;
    if (list.size() < shorter || list.size() > longer.size())
        return false;
    const char* l = list.constData();
    const char* o = oldContent.constData();
    const char* n = newContent.constData();
    for (qint64 i = 0; i < shorter; ++i)
        if (l[i] != o[i] && l[i] != n[i])
            return false;
    for (qint64 i = shorter; i < list.size(); ++i)
        if (l[i] != longer[i] && l[i] != '\0')
            return false;
    return true;
}
