#include "htmlview/css.h"

#include <QStringList>

namespace htmlview {

namespace {

bool isSpace(QChar c)
{
    return c == u' ' || c == u'\n' || c == u'\r' || c == u'\t' || c == u'\f';
}

QString stripComments(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        if (text[i] == u'/' && i + 1 < text.size() && text[i + 1] == u'*') {
            qsizetype end = text.indexOf(QLatin1StringView("*/"), i + 2);
            i = end < 0 ? text.size() : end + 2;
            out += u' ';
            continue;
        }
        out += text[i++];
    }
    return out;
}

// Splits at `sep` outside parentheses and quotes.
std::vector<QStringView> splitTop(QStringView text, QChar sep)
{
    std::vector<QStringView> parts;
    int depth = 0;
    QChar quote;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'(') {
            ++depth;
        } else if (c == u')') {
            depth = depth > 0 ? depth - 1 : 0;
        } else if (c == sep && depth == 0) {
            parts.push_back(text.mid(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(text.mid(start));
    return parts;
}

std::vector<QStringView> words(QStringView text)
{
    std::vector<QStringView> out;
    qsizetype i = 0;
    while (i < text.size()) {
        while (i < text.size() && isSpace(text[i]))
            ++i;
        if (i >= text.size())
            break;
        qsizetype start = i;
        int depth = 0;
        while (i < text.size() && (depth > 0 || !isSpace(text[i]))) {
            if (text[i] == u'(')
                ++depth;
            else if (text[i] == u')' && depth > 0)
                --depth;
            ++i;
        }
        out.push_back(text.mid(start, i - start));
    }
    return out;
}

struct NamedColor {
    const char* name;
    QRgb rgb;
};
const NamedColor kColors[] = {
    {"black", 0x000000},       {"white", 0xFFFFFF},     {"red", 0xFF0000},
    {"green", 0x008000},       {"blue", 0x0000FF},      {"yellow", 0xFFFF00},
    {"gray", 0x808080},        {"grey", 0x808080},      {"silver", 0xC0C0C0},
    {"maroon", 0x800000},      {"navy", 0x000080},      {"olive", 0x808000},
    {"purple", 0x800080},      {"teal", 0x008080},      {"aqua", 0x00FFFF},
    {"cyan", 0x00FFFF},        {"fuchsia", 0xFF00FF},   {"magenta", 0xFF00FF},
    {"lime", 0x00FF00},        {"orange", 0xFFA500},    {"brown", 0xA52A2A},
    {"pink", 0xFFC0CB},        {"lightgray", 0xD3D3D3}, {"lightgrey", 0xD3D3D3},
    {"darkgray", 0xA9A9A9},    {"darkgrey", 0xA9A9A9},  {"gold", 0xFFD700},
    {"darkblue", 0x00008B},    {"darkred", 0x8B0000},   {"darkgreen", 0x006400},
    {"lightyellow", 0xFFFFE0},
};

struct Keyword {
    const char* name;
    int value;
};
const Keyword kKeywords[] = {
    {"smaller", kw::Smaller},
    {"larger", kw::Larger},
    {"xx-small", kw::XXSmall},
    {"x-small", kw::XSmall},
    {"small", kw::Small},
    {"medium", kw::Medium},
    {"large", kw::Large},
    {"x-large", kw::XLarge},
    {"xx-large", kw::XXLarge},
    {"normal", kw::Normal},
    {"bold", kw::Bold},
    {"bolder", kw::Bolder},
    {"lighter", kw::Lighter},
    {"italic", kw::Italic},
    {"oblique", kw::Italic},
    {"left", kw::Left},
    {"right", kw::Right},
    {"center", kw::Center},
    {"justify", kw::Justify},
    {"start", kw::Left},
    {"end", kw::Right},
    {"-webkit-left", kw::Left},
    {"-webkit-right", kw::Right},
    {"-webkit-center", kw::Center},
    {"top", kw::Top},
    {"middle", kw::Middle},
    {"bottom", kw::Bottom},
    {"baseline", kw::Baseline},
    {"text-top", kw::Top},
    {"text-bottom", kw::Bottom},
    {"sub", kw::Baseline},
    {"super", kw::Baseline},
    {"nowrap", kw::Nowrap},
    {"pre", kw::Pre},
    {"pre-wrap", kw::Pre},
    {"pre-line", kw::Normal},
    {"none", kw::None},
    {"block", kw::Block},
    {"inline", kw::Inline},
    {"inline-block", kw::InlineBlock},
    {"table", kw::Table},
    {"table-row", kw::TableRow},
    {"table-cell", kw::TableCell},
    {"list-item", kw::ListItem},
    {"solid", kw::Solid},
    {"dashed", kw::Dashed},
    {"dotted", kw::Dotted},
    {"double", kw::Double},
    {"hidden", kw::Hidden},
    {"outset", kw::Outset},
    {"inset", kw::Inset},
    {"groove", kw::Groove},
    {"ridge", kw::Ridge},
};

int keywordOf(QStringView word)
{
    for (const Keyword& k : kKeywords) {
        if (word.compare(QLatin1StringView(k.name), Qt::CaseInsensitive) == 0)
            return k.value;
    }
    return 0;
}

bool isBorderStyle(int k)
{
    return k == kw::None || k == kw::Solid || k == kw::Dashed || k == kw::Dotted ||
           k == kw::Double || k == kw::Hidden || k == kw::Outset || k == kw::Inset ||
           k == kw::Groove || k == kw::Ridge;
}

CssValue lengthValue(Length l)
{
    CssValue v;
    v.kind = CssValue::Length;
    v.length = l;
    return v;
}
CssValue keywordValue(int k)
{
    CssValue v;
    v.kind = CssValue::Keyword;
    v.keyword = k;
    return v;
}
CssValue colorValue(QRgb c)
{
    CssValue v;
    v.kind = CssValue::Color;
    v.color = c;
    return v;
}

bool parseBorderWidth(QStringView w, Length& l)
{
    if (w.compare(u"thin", Qt::CaseInsensitive) == 0) {
        l = {1, Length::Px};
        return true;
    }
    if (w.compare(u"medium", Qt::CaseInsensitive) == 0) {
        l = {3, Length::Px};
        return true;
    }
    if (w.compare(u"thick", Qt::CaseInsensitive) == 0) {
        l = {5, Length::Px};
        return true;
    }
    return parseLength(w, l) && l.unit != Length::Percent && l.unit != Length::Auto && l.value >= 0;
}

void push(Declarations& out, Prop p, const CssValue& v, bool important)
{
    out.push_back({p, important, v});
}

// Four sides from one to four values, in the CSS order top right bottom left.
template <typename Parse>
bool sides(const std::vector<QStringView>& ws, Prop first, Declarations& out, bool important,
           Parse parse)
{
    if (ws.empty() || ws.size() > 4)
        return false;
    CssValue v[4];
    for (size_t i = 0; i < ws.size(); ++i) {
        if (!parse(ws[i], v[i]))
            return false;
    }
    static const int pick[5][4] = {
        {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 1, 0, 1}, {0, 1, 2, 1}, {0, 1, 2, 3}};
    for (int s = 0; s < 4; ++s)
        push(out, Prop(int(first) + s), v[pick[ws.size()][s]], important);
    return true;
}

bool parseSideLength(QStringView w, CssValue& v, bool allowNegative)
{
    Length l;
    if (w.compare(u"auto", Qt::CaseInsensitive) == 0) {
        v = lengthValue({0, Length::Auto});
        return true;
    }
    if (!parseLength(w, l) || (!allowNegative && l.value < 0))
        return false;
    v = lengthValue(l);
    return true;
}

// One value of each per-side property, shared by the shorthands and the single sides.
bool marginValue(QStringView w, CssValue& v)
{
    return parseSideLength(w, v, true);
}
bool paddingValue(QStringView w, CssValue& v)
{
    return parseSideLength(w, v, false);
}
bool borderWidthValue(QStringView w, CssValue& v)
{
    Length l;
    if (!parseBorderWidth(w, l))
        return false;
    v = lengthValue(l);
    return true;
}
bool borderStyleValue(QStringView w, CssValue& v)
{
    int k = keywordOf(w);
    if (!isBorderStyle(k))
        return false;
    v = keywordValue(k);
    return true;
}
bool borderColorValue(QStringView w, CssValue& v)
{
    QRgb c;
    if (!parseColor(w, c))
        return false;
    v = colorValue(c);
    return true;
}

// border / border-top ...: width, style and colour in any order.
bool borderShorthand(const std::vector<QStringView>& ws, int firstSide, int sideCount,
                     Declarations& out, bool important)
{
    Length width{3, Length::Px};
    int style = kw::None;
    QRgb color = 0; // currentColor, resolved later
    bool colorSet = false;
    for (QStringView w : ws) {
        Length l;
        QRgb c;
        int k = keywordOf(w);
        if (isBorderStyle(k))
            style = k;
        else if (parseBorderWidth(w, l))
            width = l;
        else if (parseColor(w, c)) {
            color = c;
            colorSet = true;
        } else
            return false;
    }
    for (int s = firstSide; s < firstSide + sideCount; ++s) {
        push(out, Prop(int(Prop::BorderTopWidth) + s), lengthValue(width), important);
        push(out, Prop(int(Prop::BorderTopStyle) + s), keywordValue(style), important);
        CssValue cv = colorValue(color);
        if (!colorSet)
            cv = keywordValue(0); // the element's colour
        push(out, Prop(int(Prop::BorderTopColor) + s), cv, important);
    }
    return true;
}

void parseDeclaration(QStringView name, QStringView value, Declarations& out)
{
    bool important = false;
    qsizetype bang = value.lastIndexOf(u'!');
    if (bang >= 0 &&
        value.mid(bang + 1).trimmed().compare(u"important", Qt::CaseInsensitive) == 0) {
        important = true;
        value = value.left(bang);
    }
    value = value.trimmed();
    if (value.isEmpty())
        return;
    const QString prop = name.trimmed().toString().toLower();
    std::vector<QStringView> ws = words(value);
    if (value.compare(u"inherit", Qt::CaseInsensitive) == 0) {
        static const struct {
            const char* name;
            Prop prop;
        } simple[] = {{"color", Prop::Color},
                      {"font-family", Prop::FontFamily},
                      {"font-size", Prop::FontSize},
                      {"font-weight", Prop::FontWeight},
                      {"font-style", Prop::FontStyle},
                      {"text-align", Prop::TextAlign},
                      {"white-space", Prop::WhiteSpace},
                      {"background-color", Prop::BackgroundColor},
                      {"vertical-align", Prop::VerticalAlign}};
        for (const auto& s : simple) {
            if (prop == QLatin1StringView(s.name)) {
                CssValue v;
                v.kind = CssValue::Inherit;
                push(out, s.prop, v, important);
            }
        }
        return;
    }
    auto keywordProp = [&](Prop p, std::initializer_list<int> allowed) {
        int k = ws.size() == 1 ? keywordOf(ws[0]) : 0;
        for (int a : allowed) {
            if (a == k) {
                push(out, p, keywordValue(k), important);
                return;
            }
        }
    };
    if (prop == u"color") {
        QRgb c;
        if (parseColor(value, c))
            push(out, Prop::Color, colorValue(c), important);
    } else if (prop == u"background-color" || prop == u"background") {
        for (QStringView w : ws) {
            QRgb c;
            if (parseColor(w, c)) {
                push(out, Prop::BackgroundColor, colorValue(c), important);
                break;
            }
        }
    } else if (prop == u"font-family") {
        CssValue v;
        v.kind = CssValue::Family;
        v.family = value.toString();
        push(out, Prop::FontFamily, v, important);
    } else if (prop == u"font-size") {
        int k = keywordOf(value);
        Length l;
        if (k >= kw::Smaller && k <= kw::XXLarge)
            push(out, Prop::FontSize, keywordValue(k), important);
        else if (parseLength(value, l) && l.value >= 0 && l.unit != Length::Auto)
            push(out, Prop::FontSize, lengthValue(l), important);
    } else if (prop == u"font-weight") {
        bool ok = false;
        int n = value.toInt(&ok);
        if (ok)
            push(out, Prop::FontWeight, keywordValue(n >= 600 ? kw::Bold : kw::Normal), important);
        else
            keywordProp(Prop::FontWeight, {kw::Normal, kw::Bold, kw::Bolder, kw::Lighter});
    } else if (prop == u"font-style") {
        keywordProp(Prop::FontStyle, {kw::Normal, kw::Italic});
    } else if (prop == u"text-decoration" || prop == u"text-decoration-line") {
        int flags = 0;
        for (QStringView w : ws) {
            if (w.compare(u"underline", Qt::CaseInsensitive) == 0)
                flags |= DecoUnderline;
            else if (w.compare(u"overline", Qt::CaseInsensitive) == 0)
                flags |= DecoOverline;
            else if (w.compare(u"line-through", Qt::CaseInsensitive) == 0)
                flags |= DecoLineThrough;
            else if (w.compare(u"none", Qt::CaseInsensitive) != 0) {
                QRgb c;
                if (!parseColor(w, c) && keywordOf(w) == 0)
                    return;
            }
        }
        CssValue v;
        v.kind = CssValue::Decoration;
        v.keyword = flags;
        push(out, Prop::TextDecoration, v, important);
    } else if (prop == u"text-align") {
        keywordProp(Prop::TextAlign, {kw::Left, kw::Right, kw::Center, kw::Justify});
    } else if (prop == u"vertical-align") {
        keywordProp(Prop::VerticalAlign, {kw::Top, kw::Middle, kw::Bottom, kw::Baseline});
    } else if (prop == u"white-space") {
        keywordProp(Prop::WhiteSpace, {kw::Normal, kw::Nowrap, kw::Pre});
    } else if (prop == u"display") {
        keywordProp(Prop::Display, {kw::None, kw::Block, kw::Inline, kw::InlineBlock, kw::Table,
                                    kw::TableRow, kw::TableCell, kw::ListItem});
    } else if (prop == u"width" || prop == u"height") {
        CssValue v;
        if (ws.size() == 1 && parseSideLength(ws[0], v, false))
            push(out, prop == u"width" ? Prop::Width : Prop::Height, v, important);
    } else if (prop == u"margin") {
        sides(ws, Prop::MarginTop, out, important, marginValue);
    } else if (prop == u"padding") {
        sides(ws, Prop::PaddingTop, out, important, paddingValue);
    } else if (prop == u"border-width") {
        sides(ws, Prop::BorderTopWidth, out, important, borderWidthValue);
    } else if (prop == u"border-style") {
        sides(ws, Prop::BorderTopStyle, out, important, borderStyleValue);
    } else if (prop == u"border-color") {
        sides(ws, Prop::BorderTopColor, out, important, borderColorValue);
    } else if (prop == u"border") {
        borderShorthand(ws, 0, 4, out, important);
    } else {
        // One side: margin-top, padding-left, border-right, border-bottom-width ...
        static const char* sideNames[] = {"top", "right", "bottom", "left"};
        static const char* marginNames[] = {"margin-top", "margin-right", "margin-bottom",
                                            "margin-left"};
        static const char* paddingNames[] = {"padding-top", "padding-right", "padding-bottom",
                                             "padding-left"};
        auto one = [&](Prop first, int side, QStringView text,
                       bool (*parse)(QStringView, CssValue&)) {
            CssValue v;
            if (parse(text, v))
                push(out, Prop(int(first) + side), v, important);
        };
        const QStringView single = ws.size() == 1 ? ws[0] : QStringView();
        for (int s = 0; s < 4; ++s) {
            if (prop == QLatin1StringView(marginNames[s])) {
                one(Prop::MarginTop, s, single, marginValue);
                return;
            }
            if (prop == QLatin1StringView(paddingNames[s])) {
                one(Prop::PaddingTop, s, single, paddingValue);
                return;
            }
            const QString border = QStringLiteral("border-") + QLatin1StringView(sideNames[s]);
            if (prop == border) {
                borderShorthand(ws, s, 1, out, important);
                return;
            }
            if (prop == border + QStringLiteral("-width")) {
                one(Prop::BorderTopWidth, s, single, borderWidthValue);
                return;
            }
            if (prop == border + QStringLiteral("-style")) {
                one(Prop::BorderTopStyle, s, single, borderStyleValue);
                return;
            }
            if (prop == border + QStringLiteral("-color")) {
                one(Prop::BorderTopColor, s, value, borderColorValue);
                return;
            }
        }
    }
}

bool isIdentChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'-' || c == u'_' || c.unicode() >= 0x80;
}

// Parses one selector; false when it is malformed.
bool parseSelector(QStringView text, Selector& sel)
{
    text = text.trimmed();
    if (text.isEmpty())
        return false;
    qsizetype i = 0;
    Selector::Combinator pending = Selector::Descendant;
    uint32_t ids = 0, classes = 0, types = 0;
    while (i < text.size()) {
        while (i < text.size() && isSpace(text[i]))
            ++i;
        if (i >= text.size())
            break;
        if (text[i] == u'>') {
            if (sel.parts.empty())
                return false;
            pending = Selector::Child;
            ++i;
            continue;
        }
        if (text[i] == u'+' || text[i] == u'~') {
            if (sel.parts.empty())
                return false;
            sel.parts.back().never = true; // sibling combinators are not supported
            ++i;
            continue;
        }
        Compound c;
        qsizetype start = i;
        while (i < text.size() && !isSpace(text[i]) && text[i] != u'>' && text[i] != u'+' &&
               text[i] != u'~') {
            QChar ch = text[i];
            if (ch == u'*') {
                ++i;
            } else if (ch == u'.' || ch == u'#' || ch == u':') {
                qsizetype s = ++i;
                if (ch == u':' && i < text.size() && text[i] == u':')
                    s = ++i;
                while (i < text.size() && isIdentChar(text[i]))
                    ++i;
                if (i == s)
                    return false;
                QString name = text.mid(s, i - s).toString();
                if (ch == u'.') {
                    c.classes.push_back(name);
                    ++classes;
                } else if (ch == u'#') {
                    c.id = name;
                    ++ids;
                } else {
                    ++classes;
                    if (name.compare(u"link", Qt::CaseInsensitive) == 0)
                        c.link = true;
                    else
                        c.never = true;
                    if (i < text.size() && text[i] == u'(') {
                        qsizetype close = text.indexOf(u')', i);
                        i = close < 0 ? text.size() : close + 1;
                    }
                }
            } else if (ch == u'[') {
                qsizetype close = text.indexOf(u']', i);
                if (close < 0)
                    return false;
                i = close + 1;
                c.never = true;
                ++classes;
            } else if (isIdentChar(ch) && i == start) {
                while (i < text.size() && isIdentChar(text[i]))
                    ++i;
                QString name = text.mid(start, i - start).toString().toLower();
                c.anyTag = false;
                c.tag = tagFromName(name);
                if (c.tag == Tag::Unknown)
                    c.tagName = name;
                ++types;
            } else {
                return false;
            }
        }
        if (!sel.parts.empty())
            sel.combinators.push_back(pending);
        pending = Selector::Descendant;
        sel.parts.push_back(std::move(c));
    }
    if (sel.parts.empty() || sel.combinators.size() + 1 != sel.parts.size())
        return false;
    sel.specificity =
        (std::min(ids, 255u) << 16) | (std::min(classes, 255u) << 8) | std::min(types, 255u);
    return true;
}

} // namespace

bool parseLength(QStringView text, Length& length)
{
    text = text.trimmed();
    qsizetype i = 0;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        ++i;
    while (i < text.size() && (text[i].isDigit() || text[i] == u'.'))
        ++i;
    bool ok = false;
    double v = text.left(i).toDouble(&ok);
    if (!ok)
        return false;
    QStringView unit = text.mid(i);
    if (unit.isEmpty() || unit.compare(u"px", Qt::CaseInsensitive) == 0)
        length = {float(v), Length::Px};
    else if (unit.compare(u"pt", Qt::CaseInsensitive) == 0)
        length = {float(v * 96.0 / 72.0), Length::Px};
    else if (unit.compare(u"pc", Qt::CaseInsensitive) == 0)
        length = {float(v * 16.0), Length::Px};
    else if (unit.compare(u"in", Qt::CaseInsensitive) == 0)
        length = {float(v * 96.0), Length::Px};
    else if (unit.compare(u"cm", Qt::CaseInsensitive) == 0)
        length = {float(v * 96.0 / 2.54), Length::Px};
    else if (unit.compare(u"mm", Qt::CaseInsensitive) == 0)
        length = {float(v * 96.0 / 25.4), Length::Px};
    else if (unit.compare(u"em", Qt::CaseInsensitive) == 0)
        length = {float(v), Length::Em};
    else if (unit.compare(u"ex", Qt::CaseInsensitive) == 0)
        length = {float(v), Length::Ex};
    else if (unit == u"%")
        length = {float(v), Length::Percent};
    else
        return false;
    if (!std::isfinite(length.value) || std::abs(length.value) > 1e6f)
        return false;
    return true;
}

bool parseColor(QStringView text, QRgb& color)
{
    text = text.trimmed();
    if (text.isEmpty())
        return false;
    if (text[0] == u'#') {
        QStringView hex = text.mid(1);
        bool ok = false;
        uint v = hex.toUInt(&ok, 16);
        if (!ok)
            return false;
        if (hex.size() == 6) {
            color = 0xFF000000u | v;
            return true;
        }
        if (hex.size() == 3) {
            uint r = (v >> 8) & 0xF, g = (v >> 4) & 0xF, b = v & 0xF;
            color = qRgb(int(r * 17), int(g * 17), int(b * 17));
            return true;
        }
        return false;
    }
    if (text.startsWith(u"rgb", Qt::CaseInsensitive)) {
        qsizetype open = text.indexOf(u'('), close = text.lastIndexOf(u')');
        if (open < 0 || close < open)
            return false;
        auto parts = splitTop(text.mid(open + 1, close - open - 1), u',');
        if (parts.size() < 3)
            return false;
        int c[3];
        for (int k = 0; k < 3; ++k) {
            QStringView p = parts[size_t(k)].trimmed();
            bool ok = false;
            double v;
            if (p.endsWith(u'%'))
                v = p.chopped(1).toDouble(&ok) * 2.55;
            else
                v = p.toDouble(&ok);
            if (!ok)
                return false;
            c[k] = int(std::clamp(v, 0.0, 255.0) + 0.5);
        }
        color = qRgb(c[0], c[1], c[2]);
        return true;
    }
    if (text.compare(u"transparent", Qt::CaseInsensitive) == 0) {
        color = 0;
        return true;
    }
    for (const NamedColor& n : kColors) {
        if (text.compare(QLatin1StringView(n.name), Qt::CaseInsensitive) == 0) {
            color = 0xFF000000u | n.rgb;
            return true;
        }
    }
    return false;
}

Declarations parseDeclarations(QStringView text)
{
    Declarations out;
    QString clean = stripComments(text);
    for (QStringView decl : splitTop(clean, u';')) {
        qsizetype colon = decl.indexOf(u':');
        if (colon <= 0)
            continue;
        parseDeclaration(decl.left(colon), decl.mid(colon + 1), out);
    }
    return out;
}

void parseStyleSheet(QStringView text, StyleSheet& sheet)
{
    QString clean = stripComments(text);
    QStringView s(clean);
    qsizetype i = 0;
    auto skipBlock = [&](qsizetype open) {
        int depth = 0;
        for (qsizetype k = open; k < s.size(); ++k) {
            if (s[k] == u'{')
                ++depth;
            else if (s[k] == u'}' && --depth == 0)
                return k + 1;
        }
        return s.size();
    };
    while (i < s.size()) {
        while (i < s.size() && isSpace(s[i]))
            ++i;
        if (i >= s.size())
            break;
        if (s.mid(i).startsWith(u"<!--")) {
            i += 4;
            continue;
        }
        if (s.mid(i).startsWith(u"-->")) {
            i += 3;
            continue;
        }
        if (s[i] == u'}') {
            ++i; // stray
            continue;
        }
        if (s[i] == u'@') {
            qsizetype k = i;
            while (k < s.size() && s[k] != u';' && s[k] != u'{')
                ++k;
            i = (k < s.size() && s[k] == u'{') ? skipBlock(k) : k + 1;
            continue;
        }
        qsizetype open = s.indexOf(u'{', i);
        if (open < 0)
            break;
        QStringView prelude = s.mid(i, open - i);
        qsizetype close = s.indexOf(u'}', open);
        qsizetype nested = s.indexOf(u'{', open + 1);
        qsizetype end = close < 0 ? s.size() : close;
        if (nested >= 0 && nested < end) {
            i = skipBlock(open); // a block inside a rule body: not valid here, skip it whole
            continue;
        }
        auto decls =
            std::make_shared<Declarations>(parseDeclarations(s.mid(open + 1, end - open - 1)));
        i = close < 0 ? s.size() : close + 1;
        std::vector<Selector> selectors;
        bool valid = true;
        for (QStringView part : splitTop(prelude, u',')) {
            Selector sel;
            if (!parseSelector(part, sel)) {
                valid = false;
                break;
            }
            selectors.push_back(std::move(sel));
        }
        if (!valid || decls->empty())
            continue;
        for (Selector& sel : selectors) {
            Rule r;
            r.selector = std::move(sel);
            r.declarations = decls;
            r.order = uint32_t(sheet.rules.size());
            sheet.rules.push_back(std::move(r));
        }
    }
}

} // namespace htmlview
