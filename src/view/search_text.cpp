#include "view/search_text.h"

#include "shared/todo_global.h"

#include <algorithm>

namespace {

// Accents written as combining marks after a Latin, Greek or Cyrillic letter.
bool isDroppedMark(char32_t c)
{
    return (c >= 0x0300 && c <= 0x036F) || (c >= 0x1AB0 && c <= 0x1AFF) ||
           (c >= 0x1DC0 && c <= 0x1DFF) || (c >= 0x20D0 && c <= 0x20FF) ||
           (c >= 0xFE20 && c <= 0xFE2F);
}

// Lower-case letters that carry their accent or stroke built in, without a decomposition.
QStringView builtInAccent(char32_t c, bool turkic)
{
    switch (c) {
    case 0x00DF: // ß
        return u"ss";
    case 0x00E6: // æ
        return u"ae";
    case 0x0153: // œ
        return u"oe";
    case 0x00F8: // ø
        return u"o";
    case 0x0142: // ł
        return u"l";
    case 0x0111: // đ
        return u"d";
    case 0x0127: // ħ
        return u"h";
    case 0x0167: // ŧ
        return u"t";
    case 0x0131: // ı, a letter of its own in Turkish and Azerbaijani
        return turkic ? QStringView() : QStringView(u"i");
    default:
        return {};
    }
}

char32_t codePointAt(QStringView text, qsizetype i, qsizetype& length)
{
    const QChar c = text[i];
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        length = 2;
        return QChar::surrogateToUcs4(c, text[i + 1]);
    }
    length = 1;
    return c.unicode();
}

inline char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
}

bool isPlainAscii(const QString& text)
{
    char16_t any = 0;
    for (const QChar c : text)
        any |= c.unicode();
    return any < 0x80;
}

} // namespace

SearchFolding::SearchFolding(const QLocale& locale) : FLocale(locale)
{
    const QString upper = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    FAsciiPlain = FLocale.toLower(upper) == AsciiLower(upper);
}

const QString& SearchFolding::foldedChar(char32_t c) const
{
    auto it = FCache.constFind(c);
    if (it != FCache.constEnd())
        return it.value();

    const QString lowered = FLocale.toLower(QString::fromUcs4(&c, 1));
    const QString decomposed = lowered.normalized(QString::NormalizationForm_D);
    bool dropped = false;
    QString kept;
    for (qsizetype i = 0, n = 0; i < decomposed.size(); i += n) {
        const char32_t part = codePointAt(decomposed, i, n);
        if (isDroppedMark(part))
            dropped = true;
        else
            kept += QStringView(decomposed).mid(i, n);
    }
    // A character without accents keeps its composed form (Hangul syllables, for one).
    const QString base = dropped ? kept.normalized(QString::NormalizationForm_C) : lowered;
    const bool turkic = !FAsciiPlain;
    QString folded;
    for (qsizetype i = 0, n = 0; i < base.size(); i += n) {
        const char32_t part = codePointAt(base, i, n);
        const QStringView replacement = builtInAccent(part, turkic);
        if (!replacement.isNull())
            folded += replacement;
        else
            folded += QStringView(base).mid(i, n);
    }
    return FCache.insert(c, folded.toCaseFolded()).value();
}

QString SearchFolding::fold(QStringView text, std::vector<qsizetype>* origins) const
{
    QString out;
    out.reserve(text.size());
    if (origins) {
        origins->clear();
        origins->reserve(size_t(text.size()));
    }
    for (qsizetype i = 0, n = 0; i < text.size(); i += n) {
        const char32_t c = codePointAt(text, i, n);
        if (c < 0x80 && FAsciiPlain) {
            out += QChar(asciiLower(char16_t(c)));
            if (origins)
                origins->push_back(i);
            continue;
        }
        const QString& folded = foldedChar(c);
        out += folded;
        if (origins)
            origins->insert(origins->end(), size_t(folded.size()), i);
    }
    return out;
}

SearchText::SearchText(const QString& text, const SearchFolding& folding)
    : FText(text), FPlain(folding.asciiFoldsPlainly() && isPlainAscii(text))
{
    if (!FPlain)
        FFolded = folding.fold(text, &FOrigins);
}

qsizetype SearchText::indexOf(const QString& needle, qsizetype from) const
{
    if (!FPlain)
        return FFolded.indexOf(needle, from);
    // The needle is folded already, so a character beyond ASCII cannot occur in plain text.
    const qsizetype m = needle.size();
    const qsizetype n = FText.size();
    if (m == 0 || !isPlainAscii(needle))
        return m == 0 ? from : -1;
    const char16_t* t = reinterpret_cast<const char16_t*>(FText.constData());
    const char16_t* p = reinterpret_cast<const char16_t*>(needle.constData());
    for (qsizetype i = from; i + m <= n; ++i) {
        if (asciiLower(t[i]) != p[0])
            continue;
        qsizetype k = 1;
        while (k < m && asciiLower(t[i + k]) == p[k])
            ++k;
        if (k == m)
            return i;
    }
    return -1;
}

bool SearchText::startsWith(const QString& needle) const
{
    if (!FPlain)
        return FFolded.startsWith(needle);
    if (needle.size() > FText.size())
        return false;
    for (qsizetype k = 0; k < needle.size(); ++k)
        if (asciiLower(FText[k].unicode()) != needle[k].unicode())
            return false;
    return true;
}

TextRange SearchText::original(qsizetype begin, qsizetype end) const
{
    if (FPlain || begin >= end)
        return {begin, end};
    const qsizetype first = FOrigins[size_t(begin)];
    const qsizetype last = FOrigins[size_t(end - 1)];
    qsizetype length = 1;
    codePointAt(FText, last, length);
    qsizetype stop = last + length;
    while (stop < FText.size() && isDroppedMark(FText[stop].unicode()))
        ++stop;
    return {first, stop};
}

void SearchText::findAll(const QString& needle, std::vector<TextRange>& ranges) const
{
    if (needle.isEmpty())
        return;
    for (qsizetype at = indexOf(needle); at >= 0; at = indexOf(needle, at + needle.size()))
        ranges.push_back(original(at, at + needle.size()));
}

void MergeRanges(std::vector<TextRange>& ranges)
{
    if (ranges.size() < 2)
        return;
    std::sort(ranges.begin(), ranges.end(),
              [](const TextRange& a, const TextRange& b) { return a.begin < b.begin; });
    size_t last = 0;
    for (size_t i = 1; i < ranges.size(); ++i) {
        if (ranges[i].begin <= ranges[last].end)
            ranges[last].end = std::max(ranges[last].end, ranges[i].end);
        else
            ranges[++last] = ranges[i];
    }
    ranges.resize(last + 1);
}
