#include "qstring_printer.h"
#include "view/page_style.h"

#include <gtest/gtest.h>

namespace {
RgbColor rgb(unsigned value)
{
    return {static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value)};
}

TEST(PageStyle, HtmlColorIsUpperCaseHex)
{
    EXPECT_EQ(HtmlColor(rgb(0x0078D7)), "#0078D7");
    EXPECT_EQ(HtmlColor(rgb(0xABCDEF)), "#ABCDEF");
    EXPECT_EQ(HtmlColor(rgb(0x000000)), "#000000");
}

// Expected values worked out by hand from the hue-luminance-saturation conversion, covering the
// grey path, each hue sector, both luminance halves, halves rounded to even and the clamp at both
// ends of the luminance range.
TEST(PageStyle, LuminanceShiftBothWays)
{
    struct Case {
        unsigned color, lighter, darker;
    };
    const Case cases[] = {
        {0xF0F0F0, 0xFFFFFF, 0xE0E0E0}, // the common button face
        {0xFFFFFF, 0xFFFFFF, 0xEFEFEF}, // lightening white stays white
        {0x000000, 0x101010, 0x000000}, // darkening black stays black (luminance kept at 0)
        {0x3A3A3A, 0x4A4A4A, 0x2A2A2A}, // 42.5 rounds to the even 42
        {0x0078D7, 0x0088F7, 0x0065B7}, // blue sector, luminance below half
        {0xFFC0C0, 0xFFE1E0, 0xFFA1A0}, // red sector, luminance above half, red capped at 255
        {0x40A040, 0x49B749, 0x378A37}, // green sector
        {0x0A0000, 0x2B0000, 0x000000}, // very dark red: darkening clamps instead of wrapping
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(HtmlColor(rgb(c.color)).toStdString());
        EXPECT_EQ(HtmlColor(ShiftLuminance(rgb(c.color), 15)), HtmlColor(rgb(c.lighter)));
        EXPECT_EQ(HtmlColor(ShiftLuminance(rgb(c.color), -15)), HtmlColor(rgb(c.darker)));
    }
}

TEST(PageStyle, StyleSheetForDefaultColours)
{
    const QString expected =
        "body { background-color: #F0F0F0; font-family: Verdana; font-size: 10pt; color:#000000 }"
        "table { background-color: #FFFFFF; font-size: 10pt; padding: 0px; }"
        "td { border: 0px; margin: 0px 0px 0px 0px; padding: 5px 5px 5px 5px; text-align: left; "
        "vertical-align: top; }"
        ".action { margin: 0px 0px 0px 0px; padding: 0px 0px 0px 0px; }"
        ".alert {color: Yellow; background-color: Red; }"
        ".alternate { background-color: #E0E0E0; }"
        ".button { border: 0px; font-size: smaller; text-decoration: none; }"
        ".button img{ border: 0px; }"
        ".details { font-size: smaller; }"
        ".group { background-color: #0078D7; color: #FFFFFF}"
        ".tasktitle { font-weight: bold; }";
    EXPECT_EQ(PageStyleSheet(DefaultPageColors(), "Verdana", 10), expected);
}

TEST(PageStyle, StyleSheetTakesEveryInput)
{
    const PageColors colors{rgb(0x3A3A3A), rgb(0x112233), rgb(0x445566), rgb(0x778899)};
    const QString sheet = PageStyleSheet(colors, "Courier New", 14);
    EXPECT_TRUE(sheet.startsWith("body { background-color: #3A3A3A; font-family: Courier New; "
                                 "font-size: 14pt; color:#112233 }table { background-color: "
                                 "#4A4A4A; font-size: 14pt; padding: 0px; }"));
    EXPECT_TRUE(sheet.contains(".alternate { background-color: #2A2A2A; }"));
    EXPECT_TRUE(sheet.contains(".group { background-color: #445566; color: #778899}"));
    EXPECT_FALSE(sheet.contains('\n'));
}
} // namespace
