// The task page laid out as a browser lays it out: row heights, column widths and line breaks
// compared with the values Chromium gives for the same text.
//
// Where the expected numbers come from: Chromium 156 (Debian's package, headless, device scale
// 1, fonts from fonts-dejavu-core), loading the very page text these tests build, with the body
// given no margin (the view has none) and the width the test lays out at; rows and cells
// measured with getBoundingClientRect. The page has no doctype, so Chromium is in quirks mode,
// as the view is. Most cases use DejaVu Sans Mono at 9 pt (12 px; small captions 10 px): its
// advances are the same in Qt and Chromium to 1/64 px, and it has no kerning, so widths can be
// compared to half a pixel. Row heights are whole pixels in both and compared exactly.

#include "../../bench/htmlview_sample_page.h"
#include "htmlview/document.h"
#include "htmlview/image_cache.h"
#include "htmlview/text_measurer.h"
#include "test_app.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

using namespace htmlview;

namespace {

const QString Mono = u"DejaVu Sans Mono"_qs;

struct PageLayout {
    QtTextMeasurer measurer;
    ImageCache images;
    std::unique_ptr<Document> doc;
    DisplayList list;

    PageLayout(const QString& html, float width)
    {
        ensureTestApp();
        doc = std::make_unique<Document>(html, measurer, images);
        list = doc->layout(width);
    }

    std::vector<float> rowHeights() const
    {
        std::vector<float> out;
        for (const DisplayItem& d : list.items) {
            if (d.kind == DisplayItem::RowGuard)
                out.push_back(d.h);
        }
        return out;
    }
    // The text item that starts with `word`, skipping the first `skip` ones.
    const DisplayItem* text(const QString& word, int skip = 0) const
    {
        for (const DisplayItem& d : list.items) {
            if (d.kind == DisplayItem::Text && doc->boxes().items[d.first].text == word &&
                skip-- == 0)
                return &d;
        }
        ADD_FAILURE() << "no text " << word.toStdString();
        return nullptr;
    }
    std::vector<QRectF> imageRects() const
    {
        std::vector<QRectF> out;
        for (const DisplayItem& d : list.items) {
            if (d.kind == DisplayItem::Image)
                out.push_back(d.rect());
        }
        return out;
    }
    // The text of each line, top to bottom (pieces of one word joined as they are drawn).
    QStringList lines() const
    {
        std::map<float, QString> byY;
        for (const DisplayItem& d : list.items) {
            if (d.kind != DisplayItem::Text)
                continue;
            QString& line = byY[d.baseline];
            uint32_t begin, end;
            const auto& items = doc->boxes().items;
            if (list.partOf(d, begin, end)) {
                line += items[d.first].text.mid(begin, end - begin);
                continue;
            }
            for (uint32_t k = d.first; k <= d.last; ++k) {
                if (items[k].hasSpace && !line.isEmpty())
                    line += u' ';
                line += items[k].text;
            }
        }
        QStringList out;
        for (const auto& [y, line] : byY)
            out << line;
        return out;
    }
};

QString taskPage(const QString& family, int points, int tasks = 12)
{
    static QTemporaryDir dir;
    static const QString theme = [] {
        const QString t = dir.path() + u"/Theme"_qs;
        htmlview_sample::writeButtonImages(t);
        return t;
    }();
    return htmlview_sample::taskPage(tasks, family, points, theme);
}

TEST(ViewGeometry, RowHeightsAsChromiumGivesThem)
{
    // One entry per table row in document order: group header, task row, its nested row of
    // buttons, details row, and so on. Small caption lines take their own font's height
    // (11 px) and a row of buttons is as tall as its pictures, as in quirks mode.
    struct Case {
        const char* name;
        QString html;
        float width;
        std::vector<float> chromium;
    };
    const QString page = taskPage(Mono, 9);
    QString standards = page;
    standards.prepend(u"<!DOCTYPE html>\r\n"_qs);
    const Case cases[] = {
        {"566 px (the window's default, less a scroll bar)",
         page,
         566,
         {24, 49, 20, 32, 49, 20, 32, 49, 20, 10, 35, 20, 32, 49, 20, 32, 49, 20, 32,
          49, 20, 32, 49, 20, 10, 35, 20, 32, 49, 20, 32, 24, 49, 20, 32, 49, 20, 32}},
        {"450 px", page, 450, {24, 77, 20, 43, 63, 20, 43, 63, 20, 10, 49, 20, 43,
                               63, 20, 32, 77, 20, 43, 63, 20, 43, 63, 20, 10, 49,
                               20, 43, 63, 20, 32, 24, 77, 20, 43, 63, 20, 43}},
        // With a doctype every line has the cell font's height and pictures sit on the
        // baseline, with the descent below them.
        {"with a doctype", standards, 566, {24, 52, 23, 32, 52, 23, 32, 52, 23, 10, 38, 23, 32,
                                            52, 23, 32, 52, 23, 32, 52, 23, 32, 52, 23, 10, 38,
                                            23, 32, 52, 23, 32, 24, 52, 23, 32, 52, 23, 32}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PageLayout l(c.html, c.width);
        std::vector<float> rows = l.rowHeights();
        ASSERT_EQ(rows.size(), c.chromium.size());
        for (size_t i = 0; i < rows.size(); ++i)
            EXPECT_FLOAT_EQ(rows[i], c.chromium[i]) << "row " << i;
    }
}

TEST(ViewGeometry, RowHeightsInTheProportionalFont)
{
    // DejaVu Sans at 10 pt: Chromium sizes it 13.33 px, Qt's screen fonts 13 px, so lines wrap
    // alike only where there is some room; the first ten tasks' rows do at 581 px. Task rows
    // are 53 (two title lines) or 38, details 36, buttons 20, the group header 25.
    PageLayout l(taskPage(u"DejaVu Sans"_qs, 10), 581);
    const std::vector<float> chromium = {25, 53, 20, 36, 38, 20, 36, 53, 20, 10, 38,
                                         20, 36, 53, 20, 36, 53, 20, 36, 38, 20, 36,
                                         53, 20, 10, 38, 20, 36, 53, 20, 36};
    std::vector<float> rows = l.rowHeights();
    ASSERT_GE(rows.size(), chromium.size());
    for (size_t i = 0; i < chromium.size(); ++i)
        EXPECT_FLOAT_EQ(rows[i], chromium[i]) << "row " << i;
}

TEST(ViewGeometry, ColumnsShareSpareWidthAsChromium)
{
    // Left edges of the title, category, deadline and priority cells and of the button cell
    // (106 px wide: width 96 and the padding, up to the table's edge at width - 4). Spare width
    // goes by how much wider each column's content can get, so the deadline column has room for its
    // dates.
    struct Case {
        float width;
        float left[5];
    };
    const Case cases[] = {
        {566, {4, 210.56f, 285.34f, 381.17f, 456}},
        {450, {4, 118.83f, 186.22f, 272.58f, 340}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        PageLayout l(taskPage(Mono, 9), c.width);
        // Cell edges from the text and pictures in them, 5 px in from the edge.
        const float left[5] = {l.text(u"Call"_qs)->x - 5, l.text(u"Category:"_qs, 1)->x - 5,
                               l.text(u"No\u00A0deadline"_qs)->x - 5,
                               l.text(u"Priority:"_qs)->x - 5,
                               float(l.imageRects().at(0).left()) - 5};
        for (int i = 0; i < 5; ++i)
            EXPECT_NEAR(left[i], c.left[i], 0.5) << "column " << i;
        // Dates never wrap: a deadline cell's date is on the line below its caption.
        const DisplayItem* date = l.text(u"09/12/2026"_qs);
        EXPECT_NEAR(date->y - l.text(u"Deadline:"_qs)->y, 11, 0.01);
    }
}

TEST(ViewGeometry, LinesBreakAfterHyphensAsChromium)
{
    // Chromium's lines for this cell at 16 px (tables take the medium font size in quirks
    // mode): after a hyphen, but not before ")" and not in a leading minus sign; across
    // elements too ("well-<b>known</b>").
    PageLayout l(u"<html><header><style><!-- body{font-family:DejaVu Sans Mono;font-size:12px} "
                 u"td{padding:0} --></style></header><body><table cellspacing=\"0\"><tr>"
                 u"<td style=\"width:60px\">well-known e-mail-x ab-)cd -9abcdefg well-<b>known</b>"
                 u" a--b 1-2-3-4 x\u2010y\u2013z</td></tr></table></body></html>"_qs,
                 600);
    const QStringList chromium = {u"well-"_qs,     u"known e-"_qs,  u"mail-x"_qs,
                                  u"ab-)cd"_qs,    u"-9abcdefg"_qs, u"well-"_qs,
                                  u"known a--"_qs, u"b 1-2-3-4"_qs, u"x\u2010y\u2013z"_qs};
    EXPECT_EQ(l.lines(), chromium);
    // Without a reason to break, a hyphenated word stays whole on its line.
    PageLayout wide(u"<p>a well-known word</p>"_qs, 600);
    EXPECT_EQ(wide.lines(), QStringList{u"a well-known word"_qs});
}

TEST(ViewGeometry, AnOverlongTitleBreaksAndEveryRowKeepsItsButtons)
{
    // An unbroken 80-character title. Chromium lets the table overflow (the button column
    // starts at 802 px of a 566 px page); the view breaks the title inside the word instead,
    // and the other columns keep their widest words whole.
    QString html = taskPage(Mono, 9);
    const QString title = QString(80, u'X');
    const QString first = u"Call the plumber about the kitchen sink 1"_qs;
    html.replace(html.indexOf(first), first.size(), title); // the first task only
    PageLayout l(html, 566);
    EXPECT_EQ(l.list.width, 566);
    for (const QRectF& image : l.imageRects())
        EXPECT_LE(image.right(), 566 - 4 - 5 + 0.01);
    const DisplayItem* category = l.text(u"Category:"_qs, 1); // 0: the group header's
    const float titleRight = category->x - 5 - 5;
    QString drawn;
    int pieces = 0;
    for (const DisplayItem& d : l.list.items) {
        uint32_t begin, end;
        if (d.kind == DisplayItem::Text && l.list.partOf(d, begin, end)) {
            EXPECT_LE(d.x + d.w, titleRight + 0.01);
            drawn += l.doc->boxes().items[d.first].text.mid(begin, end - begin);
            ++pieces;
        }
    }
    EXPECT_EQ(drawn, title); // every character once, in order
    EXPECT_GE(pieces, 3);
    // The narrow columns are as wide as their longest words (Chromium's minimums: 64.19,
    // 82.25 and 64.19 px for category, deadline and priority).
    const float deadline = l.text(u"Deadline:"_qs)->x, priority = l.text(u"Priority:"_qs)->x;
    EXPECT_NEAR(deadline - category->x, 64.19, 0.5);
    EXPECT_NEAR(priority - deadline, 82.25, 0.5);
    // A title that fits is not broken.
    PageLayout normal(taskPage(Mono, 9), 566);
    for (const DisplayItem& d : normal.list.items)
        EXPECT_FALSE(d.partial);
}

} // namespace
