#pragma once
// The one-line style sheet shared by the task list page and the greeting page, and the
// hue-luminance-saturation shift that derives the table and alternate-row shades from the
// button-face colour.

#include <QString>
#include <cstdint>

struct RgbColor {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(const RgbColor&, const RgbColor&) = default;
};

// The four system colours the page uses.
struct PageColors {
    RgbColor buttonFace;
    RgbColor windowText;
    RgbColor highlight;
    RgbColor highlightedText;
};

// The colours used where no window tells the system's: button face F0F0F0, window text 000000,
// highlight 0078D7, highlighted text FFFFFF (the usual desktop defaults).
PageColors DefaultPageColors();

// "#RRGGBB" with upper-case hexadecimal digits.
QString HtmlColor(const RgbColor& color);

// Converts to hue, luminance and saturation on a 0..240 scale, adds `delta` to the luminance
// (kept within 0..240) and converts back.
RgbColor ShiftLuminance(const RgbColor& color, int delta);

QString PageStyleSheet(const PageColors& colors, const QString& fontName, int fontSize);

// The rule for the marks a filter puts on the words it matched, in the highlight colours. A
// filtered page's style sheet is PageStyleSheet followed by this rule.
QString MatchMarkStyle(const PageColors& colors);
