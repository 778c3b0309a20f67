#include "platform/file_names.h"

#include <QFile>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr char16_t EscapeBase = 0xDC00; // byte b >= 0x80 is kept as U+DC00 + b

// The length of the valid UTF-8 sequence at data[i], or 0 when the byte there starts none.
// Overlong forms, encoded surrogates and code points past U+10FFFF are not valid.
int validSequenceAt(const uchar* data, qsizetype size, qsizetype i)
{
    const uchar lead = data[i];
    if (lead < 0x80)
        return 1;
    int length;
    char32_t code;
    char32_t least;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        code = lead & 0x1F;
        least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        code = lead & 0x0F;
        least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        code = lead & 0x07;
        least = 0x10000;
    } else {
        return 0;
    }
    if (size - i < length)
        return 0;
    for (int k = 1; k < length; ++k) {
        const uchar next = data[i + k];
        if ((next & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (next & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

bool isValidUtf8(const QByteArray& bytes)
{
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    for (qsizetype i = 0; i < bytes.size();) {
        const int length = validSequenceAt(data, bytes.size(), i);
        if (!length)
            return false;
        i += length;
    }
    return true;
}

// The escaped byte at text[i], or -1 when text[i] is an ordinary character. A low surrogate
// that completes a pair is a character, not an escape.
int escapedByteAt(const QString& text, qsizetype i)
{
    const char16_t c = text[i].unicode();
    if (c < EscapeBase + 0x80 || c > EscapeBase + 0xFF)
        return -1;
    if (i > 0 && text[i - 1].isHighSurrogate())
        return -1;
    return c - EscapeBase;
}

} // namespace

QString DecodeFileName(const QByteArray& native)
{
#ifndef Q_OS_WIN
    // Qt's decoding also drops a leading byte order mark, which is part of the name here.
    if (!isValidUtf8(native) || native.startsWith("\xEF\xBB\xBF")) {
        const auto* data = reinterpret_cast<const uchar*>(native.constData());
        QString name;
        name.reserve(native.size());
        for (qsizetype i = 0; i < native.size();) {
            const int length = validSequenceAt(data, native.size(), i);
            if (!length) {
                name += QChar(char16_t(EscapeBase + data[i++]));
                continue;
            }
            char32_t code = length == 1 ? data[i] : data[i] & (0x7F >> length);
            for (int k = 1; k < length; ++k)
                code = (code << 6) | (data[i + k] & 0x3F);
            name += QChar::fromUcs4(code);
            i += length;
        }
        return name;
    }
#endif
    return QFile::decodeName(native);
}

QByteArray EncodeFileName(const QString& name)
{
#ifndef Q_OS_WIN
    if (HasUndecodedBytes(name)) {
        QByteArray native;
        native.reserve(name.size());
        qsizetype run = 0;
        for (qsizetype i = 0; i < name.size(); ++i) {
            const int byte = escapedByteAt(name, i);
            if (byte < 0)
                continue;
            native += QFile::encodeName(name.mid(run, i - run));
            native += char(byte);
            run = i + 1;
        }
        native += QFile::encodeName(name.mid(run));
        return native;
    }
#endif
    return QFile::encodeName(name);
}

bool HasUndecodedBytes(const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        if (escapedByteAt(text, i) >= 0)
            return true;
    return false;
}

QString PrintableFileName(const QString& text)
{
    if (!HasUndecodedBytes(text))
        return text;
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int byte = escapedByteAt(text, i);
        if (byte < 0)
            out += text[i];
        else
            out += QStringLiteral("\\x") + QString::number(byte, 16).toUpper();
    }
    return out;
}

#ifdef Q_OS_WIN

bool PathExists(const QString& path)
{
    return QFileInfo::exists(path);
}

bool PathIsFolder(const QString& path)
{
    return QFileInfo(path).isDir();
}

bool PathIsFile(const QString& path)
{
    return QFileInfo(path).isFile();
}

bool RemoveFilePath(const QString& path)
{
    return QFile::remove(path);
}

#else

namespace {

bool statOf(const QString& path, struct stat& st)
{
    if (path.isEmpty())
        return false;
    int rc;
    do {
        rc = ::stat(EncodeFileName(path).constData(), &st);
    } while (rc < 0 && errno == EINTR);
    return rc == 0;
}

} // namespace

bool PathExists(const QString& path)
{
    struct stat st;
    return statOf(path, st);
}

bool PathIsFolder(const QString& path)
{
    struct stat st;
    return statOf(path, st) && S_ISDIR(st.st_mode);
}

bool PathIsFile(const QString& path)
{
    struct stat st;
    return statOf(path, st) && S_ISREG(st.st_mode);
}

bool RemoveFilePath(const QString& path)
{
    return !path.isEmpty() && ::unlink(EncodeFileName(path).constData()) == 0;
}

#endif
