#pragma once
// The bytes of a save side file, and the test of which list contents a save may have left.
//
// A side file is a header, the new content of the list, and a trailer:
//
//   header   "Quillmark save\r\n", format version (u32), header size (u32), then what the save
//            replaces: its length (u64) and digest (16 bytes); the bytes it shares with the new
//            content at the start and at the end (u64 each); the new content's length (u64);
//            the list's canonical path (u32 length, bytes); the rest of the replaced content
//   content  the new content of the list, as the save writes it in place
//   trailer  "QMSAVE\r\n", the length of header and content (u64), the content's digest, and
//            the low half of the header's digest
//
// All numbers are little-endian. The trailer proves the file complete; spoiling its first bytes
// marks the save as done. The replaced content is kept as the difference from the new content,
// which for a change to one task is a few bytes, so that an open can tell exactly whether the list
// is the content the save replaced, or that content partly overwritten by the save.

#include <QByteArray>
#include <QtGlobal>

// A 128-bit digest in one pass at XXH64's speed: XXH64's four 64-bit lanes, whose round is a
// bijection (so a change of one word per lane always changes the state), merged into two 64-bit
// halves, the low one XXH64 itself. Not a cryptographic hash: an open never trusts it alone, it
// compares the list's bytes with the content the side file describes.
struct ContentDigest {
    quint64 low = 0;
    quint64 high = 0;
    bool operator==(const ContentDigest&) const = default;
};
ContentDigest DigestOf(const char* data, qint64 length);
inline ContentDigest DigestOf(const QByteArray& bytes)
{
    return DigestOf(bytes.constData(), bytes.size());
}

// What a save replaces, described against the new content: both share their first `sharedStart`
// and last `sharedEnd` bytes; `middle` is the rest of the replaced content.
struct ReplacedContent {
    qint64 length = 0;
    ContentDigest digest;
    qint64 sharedStart = 0;
    qint64 sharedEnd = 0;
    QByteArray middle;
};
ReplacedContent DescribeReplaced(const QByteArray& oldContent, const ContentDigest& oldDigest,
                                 const QByteArray& newContent);

// The magic and version every side file of this format starts with.
QByteArray SideFileStart();
QByteArray SideFileHeader(const QByteArray& listPath, const ReplacedContent& replaced,
                          qint64 contentLength);
QByteArray SideFileTrailer(const QByteArray& header, const ContentDigest& contentDigest,
                           qint64 contentLength);
// Where the trailer's magic sits, to spoil it.
qint64 SideTrailerOffset(const QByteArray& header, qint64 contentLength);
constexpr int SideTrailerMagicSize = 8;

// A whole side file as a save writes it (the tests' fixtures use this too).
QByteArray SideFileBytes(const QByteArray& listPath, const QByteArray& oldContent,
                         const QByteArray& newContent);

struct ParsedSideFile {
    enum class State {
        NotOurs,    // not a side file of this format (someone else's file, or a later format)
        Incomplete, // ours (its first bytes, as far as they go, are a side file's), but cut
                    // short, torn or spoilt: the save it was for never reached the list
        Complete,
    };
    State state = State::NotOurs;
    QByteArray listPath;
    ReplacedContent replaced;
    QByteArray content;
};
ParsedSideFile ParseSideFile(const QByteArray& bytes);

// The replaced content rebuilt from a complete side file; false when the parts do not add up
// to the recorded length and digest.
bool RebuildReplaced(const ParsedSideFile& side, QByteArray& oldContent);

// Whether `list` is a content that rewriting `oldContent` in place with `newContent` can leave
// when it is cut short at any moment, including the rewrite back to `oldContent` after a failed
// save. Each byte is either the old or the new byte at its place (the disk may write a file's
// blocks in any order); the length is between the two lengths (the file grows as it is written
// and is cut to size last); a byte beyond the shorter content may also read as zero (a file
// system that grew the file but lost the data).
bool IsTornRewrite(const QByteArray& list, const QByteArray& oldContent,
                   const QByteArray& newContent);
