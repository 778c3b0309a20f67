// The cascade: specificity, order, inline styles, importance, presentational attributes,
// inheritance and the computed values the page relies on.

#include "htmlview/css.h"
#include "htmlview/html_parser.h"
#include "htmlview/style.h"
#include "test_app.h"

#include <gtest/gtest.h>

using namespace htmlview;

namespace {

struct Styled {
    std::unique_ptr<Dom> dom;
    std::unique_ptr<StyleResolver> styles;
    explicit Styled(const QString& html)
        : dom(parseHtml(html)), styles(std::make_unique<StyleResolver>(*dom))
    {
        styles->resolveAll();
    }
    // The n-th element with this tag.
    const ComputedStyle& of(Tag tag, int n = 0) const
    {
        for (uint32_t i = 0; i < dom->nodeCount(); ++i) {
            if (dom->node(i).tag == tag && n-- == 0)
                return *styles->style(i);
        }
        ADD_FAILURE() << "no such element";
        static ComputedStyle none;
        return none;
    }
};

QString page(const QString& css, const QString& body)
{
    return u"<html><header><style type=\"text/css\"><!--\r\n"_qs + css +
           u"\r\n--></style></header><body>"_qs + body + u"</body></html>"_qs;
}

TEST(Style, CascadeOrderTable)
{
    struct Case {
        const char* name;
        QString css;
        QString body;
        QRgb spanColor;
    };
    const Case cases[] = {
        {"class beats type whatever the order", u".c{color:#00FF00} span{color:#FF0000}"_qs,
         u"<span class=\"c\">x</span>"_qs, 0xFF00FF00},
        {"later rule wins at equal specificity", u".a{color:#0000FF} .b{color:#FF0000}"_qs,
         u"<span class=\"b a\">x</span>"_qs, 0xFFFF0000},
        {"inline style beats classes", u".c{color:#00FF00}"_qs,
         u"<span class=\"c\" style=\"color:#123456\">x</span>"_qs, 0xFF123456},
        {"important beats inline", u"span{color:#00FF00 !important}"_qs,
         u"<span style=\"color:#123456\">x</span>"_qs, 0xFF00FF00},
        {"descendant selector", u"td span{color:Red} span{color:black}"_qs,
         u"<table><tr><td><span>x</span></td></tr></table>"_qs, 0xFFFF0000},
        {"descendant selector not matching", u".button span{color:Red}"_qs,
         u"<p><span>x</span></p>"_qs, 0xFF000000},
        {"selector group", u"p, span { color: Yellow }"_qs, u"<span>x</span>"_qs, 0xFFFFFF00},
        {"inherited from the body", u"body{color:#ABCDEF}"_qs, u"<span>x</span>"_qs, 0xFFABCDEF},
        {"invalid selector drops the rule", u"span!!{color:Red} span{}"_qs, u"<span>x</span>"_qs,
         0xFF000000},
        {"unsupported pseudo class never matches", u"span:hover{color:Red}"_qs,
         u"<span>x</span>"_qs, 0xFF000000},
        {"class names ignore case", u".Alert{color:Red}"_qs, u"<span class=\"alert\">x</span>"_qs,
         0xFFFF0000},
        {"short hex colour", u"span{color:#f00}"_qs, u"<span>x</span>"_qs, 0xFFFF0000},
        {"bad colour ignored", u"span{color:#GG0000} span{color:nonsense}"_qs, u"<span>x</span>"_qs,
         0xFF000000},
        {"comments and junk around rules",
         u"/* c */ @media print { span{color:Red} } span{color:#010203} }"_qs, u"<span>x</span>"_qs,
         0xFF010203},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Styled s(page(c.css, c.body));
        EXPECT_EQ(s.of(Tag::Span).color, c.spanColor);
    }
}

TEST(Style, TaskPageRules)
{
    const QString css = u"body { background-color: #F0F0F0; font-family: DejaVu Sans; font-size: "
                        u"12pt; color:#000000 }"
                        u"table { background-color: #FFFFFF; font-size: 12pt; padding: 0px; }"
                        u"td { border: 0px; margin: 0px 0px 0px 0px; padding: 5px 5px 5px 5px; "
                        u"text-align: left; vertical-align: top; }"
                        u".action { margin: 0px 0px 0px 0px; padding: 0px 0px 0px 0px; }"
                        u".alert {color: Yellow; background-color: Red; }"
                        u".button { border: 0px; font-size: smaller; text-decoration: none; }"
                        u".button img{ border: 0px; }"
                        u".details { font-size: smaller; }"
                        u".tasktitle { font-weight: bold; }"_qs;
    const QString body =
        u"<table cellspacing=\"0\" style=\"border: 1px solid black; margin: 3px\"><tr>"
        u"<td class=\"tasktitle\"><span style=\"font-size:smaller\">&nbsp;<br></span>T</td>"
        u"<td width=\"96\" align=\"right\"><table border=\"0\"><tr><td class=\"action\">"
        u"<a href=\"act:edit/1\" class=\"button\"><img src=\"/x.png\" "
        u"border=\"1\"></a></td></tr></table></td>"
        u"<td class=\"details\"><a href=\"http://x\">http://x</a> <span "
        u"class=\"alert\">d</span></td>"
        u"</tr></table>"_qs;
    Styled s(page(css, body));
    const ComputedStyle& outer = s.of(Tag::Table, 0);
    EXPECT_FLOAT_EQ(outer.fontSize, 16.0f); // 12pt
    for (int side = 0; side < 4; ++side) {
        EXPECT_FLOAT_EQ(outer.border[side], 1.0f);
        EXPECT_EQ(outer.borderColor[side], 0xFF000000);
        EXPECT_FLOAT_EQ(outer.margin[side], 3.0f);
    }
    EXPECT_EQ(outer.background, 0xFFFFFFFF);
    const ComputedStyle& title = s.of(Tag::Td, 0);
    EXPECT_TRUE(title.bold);
    EXPECT_FLOAT_EQ(title.padding[3], 5.0f);
    EXPECT_EQ(title.verticalAlign, kw::Top);
    const ComputedStyle& caption = s.of(Tag::Span, 0);
    EXPECT_NEAR(caption.fontSize, 16.0f / 1.2f, 0.01);
    EXPECT_TRUE(caption.bold); // inherited from the title cell
    // The stylesheet's td rule beats the align attribute, as in browsers.
    const ComputedStyle& buttons = s.of(Tag::Td, 1);
    EXPECT_EQ(buttons.textAlign, kw::Left);
    EXPECT_EQ(buttons.width.unit, Length::Px);
    EXPECT_FLOAT_EQ(buttons.width.value, 96.0f);
    const ComputedStyle& action = s.of(Tag::Td, 2);
    EXPECT_FLOAT_EQ(action.padding[0], 0.0f);
    const ComputedStyle& button = s.of(Tag::A, 0);
    EXPECT_EQ(button.decoration & DecoUnderline, 0);
    EXPECT_EQ(button.color, 0xFF0000EE);             // still a link colour
    EXPECT_FLOAT_EQ(s.of(Tag::Img).border[0], 0.0f); // .button img beats border="1"
    const ComputedStyle& details = s.of(Tag::Td, 3);
    EXPECT_NEAR(details.fontSize, 16.0f / 1.2f, 0.01);
    const ComputedStyle& web = s.of(Tag::A, 1);
    EXPECT_NE(web.decoration & DecoUnderline, 0);
    EXPECT_EQ(web.color, 0xFF0000EE);
    EXPECT_NEAR(web.fontSize, 16.0f / 1.2f, 0.01);
    const ComputedStyle& alert = s.of(Tag::Span, 1);
    EXPECT_EQ(alert.color, 0xFFFFFF00);
    EXPECT_EQ(alert.background, 0xFFFF0000);
}

TEST(Style, DefaultsAndShorthands)
{
    Styled s(page(
        u"p{margin:2px 4px} div{padding:1px 2px 3px} b{font-weight:normal} i{font-size:150%}"_qs,
        u"<p>p</p><div>d</div><b>b</b><i>i</i><table border=\"2\"><tr><td>c</td></tr></table>"_qs));
    EXPECT_FLOAT_EQ(s.of(Tag::Body).margin[0], 0.0f); // no margin around the document
    const ComputedStyle& p = s.of(Tag::P);
    EXPECT_FLOAT_EQ(p.margin[0], 2.0f);
    EXPECT_FLOAT_EQ(p.margin[1], 4.0f);
    EXPECT_FLOAT_EQ(p.margin[2], 2.0f);
    EXPECT_FLOAT_EQ(p.margin[3], 4.0f);
    const ComputedStyle& div = s.of(Tag::Div);
    EXPECT_FLOAT_EQ(div.padding[1], 2.0f);
    EXPECT_FLOAT_EQ(div.padding[2], 3.0f);
    EXPECT_FLOAT_EQ(div.padding[3], 2.0f);
    EXPECT_FALSE(s.of(Tag::B).bold); // author beats the default
    EXPECT_FLOAT_EQ(s.of(Tag::I).fontSize, 24.0f);
    EXPECT_TRUE(s.of(Tag::I).italic);
    EXPECT_FLOAT_EQ(s.of(Tag::Table).border[0], 2.0f);
    EXPECT_FLOAT_EQ(s.of(Tag::Td).border[0], 1.0f); // border attribute gives cells a border
}

TEST(Style, SharedContextsStaySeparateWhenAncestryDiffers)
{
    // Same tag and attributes, different ancestors: the descendant rule must tell them apart.
    Styled s(page(
        u".button img{border:0px} img{border:3px solid}"_qs,
        u"<a class=\"button\" href=\"a\"><img src=\"x\"></a><a href=\"b\"><img src=\"x\"></a>"_qs));
    EXPECT_FLOAT_EQ(s.of(Tag::Img, 0).border[0], 0.0f);
    EXPECT_FLOAT_EQ(s.of(Tag::Img, 1).border[0], 3.0f);
}

TEST(Style, LongDescendantChainsOnDeepTreesFinish)
{
    QString body;
    for (int i = 0; i < 150; ++i)
        body += u"<span>"_qs;
    Styled s(page(u"span span span span span span span span span span p {color:Red}"_qs,
                  body + u"x"_qs));
    EXPECT_EQ(s.of(Tag::Span, 149).color, 0xFF000000);
}

TEST(Style, ColourAndLengthParsing)
{
    struct Case {
        const char* text;
        bool ok;
        QRgb rgb;
    };
    const Case colours[] = {{"#0078D7", true, 0xFF0078D7},
                            {"Yellow", true, 0xFFFFFF00},
                            {"RED", true, 0xFFFF0000},
                            {"black", true, 0xFF000000},
                            {"rgb(1,2,3)", true, 0xFF010203},
                            {"#12345", false, 0},
                            {"", false, 0},
                            {"notacolour", false, 0}};
    for (const Case& c : colours) {
        SCOPED_TRACE(c.text);
        QRgb rgb = 0;
        EXPECT_EQ(parseColor(QString::fromLatin1(c.text), rgb), c.ok);
        if (c.ok) {
            EXPECT_EQ(rgb, c.rgb);
        }
    }
    Length l;
    ASSERT_TRUE(parseLength(u"10pt", l));
    EXPECT_NEAR(l.value, 13.333f, 0.01);
    ASSERT_TRUE(parseLength(u"1.5em", l));
    EXPECT_EQ(l.unit, Length::Em);
    EXPECT_FALSE(parseLength(u"1e999px", l));
    EXPECT_FALSE(parseLength(u"px", l));
}

} // namespace
