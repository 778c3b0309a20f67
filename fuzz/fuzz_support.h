#pragma once
// Helpers the fuzz targets share: turning the input into text, and failing loudly.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

// Any sequence of UTF-16 code units, lone surrogates included: what a QString can hold.
inline QString utf16Of(const uint8_t* data, size_t size)
{
    return QString(reinterpret_cast<const QChar*>(data), qsizetype(size / 2));
}

inline QByteArray bytesOf(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// Aborts with `what` so that the fuzzer keeps the input as a finding.
[[noreturn]] inline void fail(const char* what, const QString& detail = {})
{
    std::fprintf(stderr, "fuzz check failed: %s\n%s\n", what, detail.toUtf8().constData());
    std::abort();
}

inline void check(bool condition, const char* what, const QString& detail = {})
{
    if (!condition)
        fail(what, detail);
}

} // namespace fuzz
