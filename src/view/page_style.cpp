#include "view/page_style.h"

#include <algorithm>
#include <cmath>

namespace {
// Halves go to the even neighbour under the default floating-point rounding mode.
double roundEven(double value)
{
    return std::nearbyint(value);
}

struct Hls {
    double h = 0;
    double l = 0;
    double s = 0;
};

constexpr double HlsMax = 240.0;
constexpr double RgbMax = 255.0;
constexpr double Undefined = HlsMax * 2.0 / 3.0; // hue of a grey

Hls toHls(const RgbColor& c)
{
    const double r = c.r, g = c.g, b = c.b;
    const double mx = std::max({r, g, b});
    const double mn = std::min({r, g, b});
    Hls out;
    out.l = std::trunc(((mx + mn) * HlsMax + RgbMax) / (2.0 * RgbMax));
    if (mx == mn) {
        out.s = 0;
        out.h = Undefined;
        return out;
    }
    const double d = mx - mn;
    if (out.l <= HlsMax / 2.0)
        out.s = std::trunc((d * HlsMax + (mx + mn) / 2.0) / (mx + mn));
    else
        out.s =
            std::trunc((d * HlsMax + (2.0 * RgbMax - mx - mn) / 2.0) / (2.0 * RgbMax - mx - mn));
    const double rd = std::trunc(((mx - r) * (HlsMax / 6.0) + d / 2.0) / d);
    const double gd = std::trunc(((mx - g) * (HlsMax / 6.0) + d / 2.0) / d);
    const double bd = std::trunc(((mx - b) * (HlsMax / 6.0) + d / 2.0) / d);
    if (r == mx)
        out.h = bd - gd;
    else if (g == mx)
        out.h = HlsMax / 3.0 + rd - bd;
    else
        out.h = 2.0 * HlsMax / 3.0 + gd - rd;
    if (out.h < 0)
        out.h += HlsMax;
    else if (out.h > HlsMax)
        out.h -= HlsMax;
    out.h = roundEven(out.h);
    return out;
}

double hueToChannel(double m1, double m2, double h)
{
    if (h < 0)
        h += HlsMax;
    else if (h > HlsMax)
        h -= HlsMax;
    double v;
    if (h < HlsMax / 6.0)
        v = m1 + ((m2 - m1) * h + HlsMax / 12.0) / (HlsMax / 6.0);
    else if (h < HlsMax / 2.0)
        v = m2;
    else if (h < 2.0 * HlsMax / 3.0)
        v = m1 + ((m2 - m1) * (2.0 * HlsMax / 3.0 - h) + HlsMax / 12.0) / (HlsMax / 6.0);
    else
        v = m1;
    return roundEven(v);
}

std::uint8_t channel(double value)
{
    return static_cast<std::uint8_t>(std::clamp(roundEven(value), 0.0, RgbMax));
}

RgbColor fromHls(const Hls& c)
{
    if (c.s == 0) {
        const std::uint8_t v = channel(c.l * RgbMax / HlsMax);
        return {v, v, v};
    }
    const double m2 = c.l <= HlsMax / 2.0 ? (c.l * (HlsMax + c.s) + HlsMax / 2.0) / HlsMax
                                          : c.l + c.s - (c.l * c.s + HlsMax / 2.0) / HlsMax;
    const double m1 = 2.0 * c.l - m2;
    const auto part = [&](double h) {
        return channel((hueToChannel(m1, m2, h) * RgbMax + HlsMax / 2.0) / HlsMax);
    };
    return {part(c.h + HlsMax / 3.0), part(c.h), part(c.h - HlsMax / 3.0)};
}
} // namespace

PageColors DefaultPageColors()
{
    return {{0xF0, 0xF0, 0xF0}, {0x00, 0x00, 0x00}, {0x00, 0x78, 0xD7}, {0xFF, 0xFF, 0xFF}};
}

QString HtmlColor(const RgbColor& color)
{
    static const char digits[] = "0123456789ABCDEF";
    QString out(7, QLatin1Char('#'));
    const std::uint8_t parts[3] = {color.r, color.g, color.b};
    for (int i = 0; i < 3; ++i) {
        out[1 + 2 * i] = QLatin1Char(digits[parts[i] >> 4]);
        out[2 + 2 * i] = QLatin1Char(digits[parts[i] & 0xF]);
    }
    return out;
}

RgbColor ShiftLuminance(const RgbColor& color, int delta)
{
    Hls hls = toHls(color);
    // A shift past either end would give channels outside 0..255; keep to the model's range.
    hls.l = std::clamp(hls.l + delta, 0.0, HlsMax);
    return fromHls(hls);
}

QString PageStyleSheet(const PageColors& colors, const QString& fontName, int fontSize)
{
    const QString size = QString::number(fontSize);
    QString sheet;
    sheet.reserve(900);
    sheet += QStringLiteral("body { background-color: ") + HtmlColor(colors.buttonFace) +
             QStringLiteral("; font-family: ") + fontName + QStringLiteral("; font-size: ") + size +
             QStringLiteral("pt; color:") + HtmlColor(colors.windowText) + QStringLiteral(" }");
    sheet += QStringLiteral("table { background-color: ") +
             HtmlColor(ShiftLuminance(colors.buttonFace, 15)) + QStringLiteral("; font-size: ") +
             size + QStringLiteral("pt; padding: 0px; }");
    sheet += QStringLiteral("td { border: 0px; margin: 0px 0px 0px 0px; padding: 5px 5px 5px 5px; "
                            "text-align: left; vertical-align: top; }");
    sheet += QStringLiteral(".action { margin: 0px 0px 0px 0px; padding: 0px 0px 0px 0px; }");
    sheet += QStringLiteral(".alert {color: Yellow; background-color: Red; }");
    sheet += QStringLiteral(".alternate { background-color: ") +
             HtmlColor(ShiftLuminance(colors.buttonFace, -15)) + QStringLiteral("; }");
    sheet += QStringLiteral(".button { border: 0px; font-size: smaller; text-decoration: none; }");
    sheet += QStringLiteral(".button img{ border: 0px; }");
    sheet += QStringLiteral(".details { font-size: smaller; }");
    sheet += QStringLiteral(".group { background-color: ") + HtmlColor(colors.highlight) +
             QStringLiteral("; color: ") + HtmlColor(colors.highlightedText) + QStringLiteral("}");
    sheet += QStringLiteral(".tasktitle { font-weight: bold; }");
    return sheet;
}

QString MatchMarkStyle(const PageColors& colors)
{
    return QStringLiteral(".match { background-color: ") + HtmlColor(colors.highlight) +
           QStringLiteral("; color: ") + HtmlColor(colors.highlightedText) + QStringLiteral("; }");
}
