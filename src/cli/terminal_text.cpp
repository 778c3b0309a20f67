#include "cli/terminal_text.h"

#include <QList>

namespace {

bool isControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c < 0xA0);
}

int charWidth(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_Enclosing:
    case QChar::Other_Format:
        return 0;
    default:
        break;
    }
    // The wide and full-width blocks of East Asian scripts, and the emoji pictographs.
    struct Range {
        char32_t first, last;
    };
    static constexpr Range wide[] = {
        {0x1100, 0x115F},   {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},
        {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},
        {0xFE30, 0xFE4F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x1F300, 0x1F64F},
        {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
    };
    for (const Range& r : wide)
        if (c >= r.first && c <= r.last)
            return 2;
    return 1;
}

} // namespace

QString LineText(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'\t' || c == u'\n' || c == u'\r')
            out.append(u' ');
        else if (isControl(c.unicode()))
            out.append(QChar::ReplacementCharacter);
        else
            out.append(c);
    }
    return out;
}

int DisplayWidth(const QString& text)
{
    int width = 0;
    for (const char32_t c : text.toUcs4())
        width += charWidth(c);
    return width;
}

QString CutToWidth(const QString& text, int width)
{
    if (DisplayWidth(text) <= width)
        return text;
    if (width <= 0)
        return {};
    // Room for the ellipsis; zero-width marks stay with the character before them.
    const int room = width - 1;
    int used = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        const bool pair = text.at(end).isHighSurrogate() && end + 1 < text.size() &&
                          text.at(end + 1).isLowSurrogate();
        const char32_t c =
            pair ? QChar::surrogateToUcs4(text.at(end), text.at(end + 1)) : text.at(end).unicode();
        const int w = charWidth(c);
        if (used + w > room)
            break;
        used += w;
        end += pair ? 2 : 1;
    }
    // "…" right after the last word rather than after a space.
    while (end > 0 && text.at(end - 1) == u' ')
        --end;
    return text.left(end) + QChar(0x2026);
}

QString PadToWidth(const QString& text, int width)
{
    const int w = DisplayWidth(text);
    return w >= width ? text : text + QString(width - w, u' ');
}
