#include "qstring_printer.h"
#include "view/html_text.h"

#include <gtest/gtest.h>

namespace {
TEST(HtmlText, SmallCaptionAndPriorityName)
{
    EXPECT_EQ(SmallCaption("Deadline:"), "<span style=\"font-size:smaller\">Deadline:<br></span>");
    const struct {
        qint64 priority;
        const char* name;
    } cases[] = {{0, "High"}, {1, "Normal"}, {2, "Low"}, {3, "3"}, {65535, "65535"}, {-1, "-1"}};
    for (const auto& c : cases)
        EXPECT_EQ(PriorityName(c.priority), c.name) << c.priority;
}

TEST(HtmlText, EscapeHtmlCoversMarkupCharacters)
{
    EXPECT_EQ(EscapeHtml("a < b & \"c\" > d's"), "a &lt; b &amp; &quot;c&quot; &gt; d's");
    EXPECT_EQ(EscapeHtml("&amp;"), "&amp;amp;");
    EXPECT_EQ(EscapeHtml(""), "");
}

TEST(HtmlText, DetailsToHtml)
{
    struct Case {
        const char* name;
        QString details;
        QString html;
    };
    const Case cases[] = {
        {"capital prefix, ampersand, trailing full stop, second line",
         "See HTTP://Example.com/a?b=1&c=2.\r\nSecond line",
         "See <a href=\"HTTP://Example.com/a?b=1&c=2\">HTTP://Example.com/a?b=1&amp;c=2</a>."
         "<br>Second line"},
        {"prefix and one character is not an address", "go http://x now", "go http://x now"},
        {"prefix and two characters is", "go http://xy now",
         "go <a href=\"http://xy\">http://xy</a> now"},
        {"prefix alone at the end", "http://", "http://"},
        {"address runs into an escaped <", "see http://a.com<x y",
         "see <a href=\"http://a.com&lt;x\">http://a.com&lt;x</a> y"},
        {"address runs into escaped markup", "go http://a.com<b>bold</b> now",
         // the final ";" of the entity counts as trailing punctuation
         "go <a href=\"http://a.com&lt;b&gt;bold&lt;/b&gt\">http://a.com&lt;b&gt;bold&lt;/b&gt"
         "</a>; now"},
        {"https, closing bracket dropped", "(https://s.org/x)",
         "(<a href=\"https://s.org/x\">https://s.org/x</a>)"},
        {"only one trailing character dropped", "http://a.b/c).",
         "<a href=\"http://a.b/c)\">http://a.b/c)</a>."},
        {"address at the very end", "x http://end.com",
         "x <a href=\"http://end.com\">http://end.com</a>"},
        {"quotes and apostrophes end an address and are not escaped",
         "say \"http://q.com\" or 'http://r.com'",
         "say \"<a href=\"http://q.com\">http://q.com</a>\" or "
         "'<a href=\"http://r.com\">http://r.com</a>'"},
        {"both prefixes", "http://one.org and Https://two.org",
         "<a href=\"http://one.org\">http://one.org</a> and "
         "<a href=\"Https://two.org\">Https://two.org</a>"},
        {"lone CR and LF stay", "a\nb\rc\r\nd\r\n\r\n", "a\nb\rc<br>d<br><br>"},
        {"tab ends an address", "http://tab.org\tx",
         "<a href=\"http://tab.org\">http://tab.org</a>\tx"},
        {"plain text with entities", "Fish & chips <i>", "Fish &amp; chips &lt;i&gt;"},
        {"prefix after a stray h, mixed case", "hhTtP://Ab",
         "h<a href=\"hTtP://Ab\">hTtP://Ab</a>"},
        {"http without the slashes", "http:x https:y", "http:x https:y"},
        {"empty", "", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DetailsToHtml(c.details), c.html) << c.name;
}

TEST(HtmlText, DetailsNeverNestOneLinkInAnother)
{
    // An https:// address inside an http:// one, in either case, stays part of that one link;
    // an https:// address written directly before an http:// one ends where the other begins.
    struct Case {
        const char* name;
        QString details;
        QString html;
    };
    const Case cases[] = {
        {"upper case inside", "http://a.com/?u=HTTPS://b.com x",
         "<a href=\"http://a.com/?u=HTTPS://b.com\">http://a.com/?u=HTTPS://b.com</a> x"},
        {"lower case inside", "http://a.com/?u=https://b.com x",
         "<a href=\"http://a.com/?u=https://b.com\">http://a.com/?u=https://b.com</a> x"},
        {"inside, with an ampersand", "HTTP://a.com/?u=Https://b.com&v=1",
         "<a href=\"HTTP://a.com/?u=Https://b.com&v=1\">HTTP://a.com/?u=Https://b.com&amp;v=1</a>"},
        {"directly before", "https://a.com/http://b.com",
         "<a href=\"https://a.com/\">https://a.com/</a><a href=\"http://b.com\">http://b.com</a>"},
        {"directly before, too short to link", "https://xhttp://b.com",
         "https://x<a href=\"http://b.com\">http://b.com</a>"},
        {"in turn, with line breaks", "https://a.org\r\nhttp://b.org\r\nhttps://c.org.",
         "<a href=\"https://a.org\">https://a.org</a><br><a href=\"http://b.org\">http://b.org</a>"
         "<br><a href=\"https://c.org\">https://c.org</a>."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DetailsToHtml(c.details), c.html) << c.name;
}

TEST(HtmlText, ManyAddressesAndLinesComeOutAsEachDoesAlone)
{
    // Pieces that end in a stop character are converted independently of what is around them.
    const QString pieces[] = {"See HTTP://a.com/?q=1&r=2.\r\n", "(https://b.org/x) ",
                              "http://c.net/?u=https://d.net \r", "x\nplain <b> text\r\n"};
    QString details;
    QString expected;
    for (int i = 0; i < 4000; ++i) {
        details += pieces[i % 4];
        expected += DetailsToHtml(pieces[i % 4]);
    }
    EXPECT_EQ(DetailsToHtml(details), expected);
}

TEST(HtmlText, DetailsAddressScanJudgesWholeCharacters)
{
    // U+2022 shares its low byte with the double quote but is not a stop character.
    EXPECT_EQ(DetailsToHtml(QString::fromUtf8("http://a.b/\u2022x y")),
              QString::fromUtf8("<a href=\"http://a.b/\u2022x\">http://a.b/\u2022x</a> y"));
    // U+00FF itself ends an address, U+01FF does not.
    EXPECT_EQ(DetailsToHtml(QString::fromUtf8("http://ab\u00FFc")),
              QString::fromUtf8("<a href=\"http://ab\">http://ab</a>\u00FFc"));
    EXPECT_EQ(DetailsToHtml(QString::fromUtf8("http://ab\u01FFc")),
              QString::fromUtf8("<a href=\"http://ab\u01FFc\">http://ab\u01FFc</a>"));
    // U+0120 has the low byte of a space.
    EXPECT_EQ(DetailsToHtml(QString::fromUtf8("http://ab\u0120c")),
              QString::fromUtf8("<a href=\"http://ab\u0120c\">http://ab\u0120c</a>"));
}
} // namespace
