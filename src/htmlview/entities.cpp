#include "htmlview/entities.h"

namespace htmlview {

namespace {
struct Entity {
    const char* name;
    char32_t code;
    bool legacy; // recognised without the closing semicolon
};
const Entity kEntities[] = {
    {"nbsp", 0xA0, true},      {"amp", '&', true},       {"lt", '<', true},
    {"gt", '>', true},         {"quot", '"', true},      {"apos", '\'', false},
    {"copy", 0xA9, true},      {"reg", 0xAE, true},      {"trade", 0x2122, false},
    {"hellip", 0x2026, false}, {"mdash", 0x2014, false}, {"ndash", 0x2013, false},
    {"laquo", 0xAB, true},     {"raquo", 0xBB, true},    {"euro", 0x20AC, false},
    {"bull", 0x2022, false},   {"middot", 0xB7, true},   {"times", 0xD7, true},
    {"deg", 0xB0, true},       {"lsquo", 0x2018, false}, {"rsquo", 0x2019, false},
    {"ldquo", 0x201C, false},  {"rdquo", 0x201D, false}, {"shy", 0xAD, true},
    {"auml", 0xE4, true},      {"ouml", 0xF6, true},     {"uuml", 0xFC, true},
    {"Auml", 0xC4, true},      {"Ouml", 0xD6, true},     {"Uuml", 0xDC, true},
    {"szlig", 0xDF, true},     {"eacute", 0xE9, true},   {"egrave", 0xE8, true},
    {"agrave", 0xE0, true},    {"ccedil", 0xE7, true},   {"pound", 0xA3, true},
    {"sect", 0xA7, true},      {"para", 0xB6, true},     {"frac12", 0xBD, true},
};

void appendCode(QString& out, char32_t code)
{
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        code = 0xFFFD;
    if (code >= 0x80 && code <= 0x9F)
        code = 0xFFFD; // C1 controls are never meant literally
    if (code > 0xFFFF) {
        out += QChar(QChar::highSurrogate(code));
        out += QChar(QChar::lowSurrogate(code));
    } else {
        out += QChar(char16_t(code));
    }
}

// Decodes the reference at text[i] == '&'; returns the characters consumed (0 = not one).
qsizetype decodeOne(QStringView text, qsizetype i, QString& out)
{
    const qsizetype n = text.size();
    qsizetype j = i + 1;
    if (j < n && text[j] == u'#') {
        ++j;
        bool hex = false;
        if (j < n && (text[j] == u'x' || text[j] == u'X')) {
            hex = true;
            ++j;
        }
        qsizetype digitsStart = j;
        uint64_t value = 0;
        while (j < n) {
            char16_t c = text[j].unicode();
            int d = -1;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (hex && c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (hex && c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            if (d < 0)
                break;
            if (value <= 0x10FFFF)
                value = value * (hex ? 16 : 10) + uint64_t(d);
            ++j;
        }
        if (j == digitsStart)
            return 0;
        if (j < n && text[j] == u';')
            ++j;
        appendCode(out, value > 0x10FFFF ? 0xFFFD : char32_t(value));
        return j - i;
    }
    qsizetype nameStart = j;
    while (j < n && j - nameStart < 10 && text[j].isLetterOrNumber() && text[j].unicode() < 128)
        ++j;
    QStringView name = text.mid(nameStart, j - nameStart);
    bool semicolon = j < n && text[j] == u';';
    // Longest legacy prefix match when there is no semicolon ("&ampx" reads "&x").
    for (qsizetype len = name.size(); len > 0; --len) {
        QStringView candidate = name.left(len);
        for (const Entity& e : kEntities) {
            if (candidate == QLatin1StringView(e.name)) {
                bool exact = len == name.size() && semicolon;
                if (!exact && !e.legacy)
                    continue;
                appendCode(out, e.code);
                return 1 + len + (exact ? 1 : 0);
            }
        }
    }
    return 0;
}
} // namespace

void decodeEntities(QStringView text, QString& out)
{
    out.reserve(out.size() + text.size());
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < text.size();) {
        if (text[i] != u'&') {
            ++i;
            continue;
        }
        out += text.mid(runStart, i - runStart);
        qsizetype used = decodeOne(text, i, out);
        if (used == 0) {
            out += u'&';
            used = 1;
        }
        i += used;
        runStart = i;
    }
    out += text.mid(runStart);
}

} // namespace htmlview
