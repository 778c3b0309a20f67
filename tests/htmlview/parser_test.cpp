// Tolerant parsing: awkward markup gives the tree a browser would build, never a crash.

#include "htmlview/html_parser.h"
#include "test_app.h"

#include <QString>
#include <gtest/gtest.h>

using namespace htmlview;

namespace {

int countTag(const Dom& dom, Tag tag)
{
    int n = 0;
    for (uint32_t i = 0; i < dom.nodeCount(); ++i)
        n += dom.node(i).tag == tag ? 1 : 0;
    return n;
}

int depth(const Dom& dom)
{
    int deepest = 0;
    for (uint32_t i = 0; i < dom.nodeCount(); ++i) {
        int d = 0;
        for (uint32_t p = dom.node(i).parent; p != NoNode; p = dom.node(p).parent)
            ++d;
        deepest = std::max(deepest, d);
    }
    return deepest;
}

// Text of the body as shown: without style and script text.
QString bodyText(const Dom& dom)
{
    QString out;
    for (uint32_t i = 0; i < dom.nodeCount(); ++i) {
        const Node& n = dom.node(i);
        if (n.tag != Tag::Text)
            continue;
        Tag parent = dom.node(n.parent).tag;
        if (parent == Tag::Style || parent == Tag::Script || parent == Tag::Title)
            continue;
        out += n.text;
    }
    return out;
}

TEST(HtmlParser, AwkwardMarkupTable)
{
    struct Case {
        const char* name;
        QString html;
        QString text; // text content of the body
        Tag tag;      // a tag to count
        int tagCount;
    };
    const Case cases[] = {
        {"unclosed inline", u"<b>bold<i>both"_qs, u"boldboth"_qs, Tag::I, 1},
        {"stray end tags", u"a</b></table></td>b"_qs, u"ab"_qs, Tag::Table, 0},
        {"lone lt", u"a < b <"_qs, u"a < b <"_qs, Tag::Unknown, 0},
        {"lt before digit", u"x <3 y"_qs, u"x <3 y"_qs, Tag::Unknown, 0},
        {"unterminated comment", u"a<!-- b <b>c</b>"_qs, u"a"_qs, Tag::B, 0},
        {"empty comment", u"a<!---->b<!-->c"_qs, u"abc"_qs, Tag::Unknown, 0},
        {"doctype", u"<!DOCTYPE html><p>x"_qs, u"x"_qs, Tag::P, 1},
        {"unquoted attributes", u"<table><tr><td colspan=5 class=group>g</td></tr></table>"_qs,
         u"g"_qs, Tag::Td, 1},
        {"entities", u"&amp;&lt;&gt;&quot;&nbsp;&#65;&#x42;&bogus;&#0;&amp"_qs,
         QStringLiteral("&<>\"\u00A0AB&bogus;\uFFFD&"), Tag::Unknown, 0},
        {"huge numeric entity", u"&#99999999999;x"_qs, QStringLiteral("\uFFFDx"), Tag::Unknown, 0},
        {"tag cut off at the end", u"a<b class='x"_qs, u"a"_qs, Tag::B, 0},
        {"end br is a br", u"a</br>b"_qs, u"ab"_qs, Tag::Br, 1},
        {"p closes p", u"<p>one<p>two<p>three"_qs, u"onetwothree"_qs, Tag::P, 3},
        {"cell outside a table", u"<td>x</td>"_qs, u"x"_qs, Tag::Td, 0},
        {"cell without row", u"<table><td>a<td>b</table>"_qs, u"ab"_qs, Tag::Tr, 1},
        {"next cell closes cell", u"<table><tr><td>a<b>x<td>b</table>after"_qs, u"axbafter"_qs,
         Tag::Td, 2},
        {"text outside cells moves before the table", u"<table>lost<tr><td>c</td></tr></table>"_qs,
         u"lostc"_qs, Tag::Table, 1},
        {"style inside header",
         u"<html><header><style><!-- td{color:red} --></style></header><body>x"_qs, u"x"_qs,
         Tag::Style, 1},
        {"script text is not markup", u"<script>if (a<b) { x = '</p>'; }</script>y"_qs, u"y"_qs,
         Tag::P, 0},
        {"uppercase tags", u"<TABLE><TR><TD>X</TD></TR></TABLE>"_qs, u"X"_qs, Tag::Table, 1},
        {"tag name junk", u"<a\u0000b>t</a\u0000b>"_qs, u"t"_qs, Tag::Unknown, 1},
        {"nul and surrogates", QStringLiteral("a\u0000b") + QChar(0xD800) + u"c"_qs,
         QStringLiteral("a\u0000b") + QChar(0xD800) + u"c"_qs, Tag::Unknown, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto dom = parseHtml(c.html);
        EXPECT_EQ(bodyText(*dom), c.text);
        if (c.tag != Tag::Unknown) {
            EXPECT_EQ(countTag(*dom, c.tag), c.tagCount);
        }
    }
}

TEST(HtmlParser, AttributesAreReadAndDecoded)
{
    auto dom = parseHtml(u"<a href=\"act:done/12\" class=button title=x>t</a>"
                         u"<img src='/p/a&amp;b.png' border=\"0\"><td width=96>"_qs);
    uint32_t a = dom->find(Tag::A);
    ASSERT_NE(a, NoNode);
    EXPECT_EQ(dom->attribute(a, Attr::Href), u"act:done/12");
    EXPECT_EQ(dom->attribute(a, Attr::Class), u"button");
    uint32_t img = dom->find(Tag::Img);
    EXPECT_EQ(dom->attribute(img, Attr::Src), u"/p/a&b.png");
    EXPECT_EQ(dom->attribute(img, Attr::Border), u"0");
}

TEST(HtmlParser, SecondBodyTagAddsItsAttributes)
{
    // The page's unknown <header> opens the body before the body tag comes.
    auto dom = parseHtml(
        u"<html><header><style>p{}</style></header><body style=\"margin:10px\">x</body></html>"_qs);
    EXPECT_EQ(countTag(*dom, Tag::Body), 1);
    EXPECT_EQ(dom->attribute(dom->find(Tag::Body), Attr::Style), u"margin:10px");
}

TEST(HtmlParser, DeepNestingIsFlattened)
{
    QString html;
    for (int i = 0; i < 20000; ++i)
        html += u"<div><span>"_qs;
    html += u"end"_qs;
    auto dom = parseHtml(html);
    EXPECT_LE(depth(*dom), MaxTreeDepth + 2);
    EXPECT_EQ(bodyText(*dom), u"end"_qs);

    QString tables;
    for (int i = 0; i < 5000; ++i)
        tables += u"<table><tr><td>"_qs;
    auto nested = parseHtml(tables + u"x"_qs);
    EXPECT_LE(depth(*nested), MaxTreeDepth + 2);
}

TEST(HtmlParser, MuchContentOutsideCellsStaysInOrder)
{
    // Content between table parts goes before the table, in order, without slowing down.
    QString html = u"<p>first</p><table>"_qs;
    for (int i = 0; i < 100000; ++i)
        html += u"<b>x</b>"_qs;
    html += u"y<tr><td>cell</td></tr></table>"_qs;
    auto dom = parseHtml(html);
    QString text = dom->textContent(dom->find(Tag::Body));
    EXPECT_TRUE(text.startsWith(u"firstxxx"_qs));
    EXPECT_TRUE(text.endsWith(u"xxycell"_qs)) << text.right(20).toStdString();
}

TEST(HtmlParser, ArbitraryBytesNeverHang)
{
    // Every prefix of a page full of edge cases parses.
    const QString page =
        u"<html><header><style type=\"text/css\"><!-- .a{color:red} --></style></header>"
        u"<body><table cellspacing=\"0\"><tr class=\"alternate\"><td class=\"x\" colspan=\"5\">"
        u"<span style=\"font-size:smaller\">&nbsp;<br></span>T &lt;i&gt;<a href=\"x\">l</a>"
        u"</td></tr></table><!-- c --></body></html>"_qs;
    for (qsizetype n = 0; n <= page.size(); ++n) {
        auto dom = parseHtml(page.left(n));
        ASSERT_GE(dom->nodeCount(), 1u);
    }
}

} // namespace
