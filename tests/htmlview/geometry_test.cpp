// Layout geometry with a fixed font: column widths, spans, fixed widths, alignment, wrapping,
// nested tables, images.

#include "htmlview/document.h"
#include "htmlview/image_cache.h"
#include "htmlview/text_measurer.h"
#include "test_app.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace htmlview;

namespace {

struct Laid {
    QtTextMeasurer measurer;
    ImageCache images;
    std::unique_ptr<Document> doc;
    DisplayList list;

    Laid(const QString& body, float width, const QString& css = QString())
    {
        ensureTestApp();
        doc = std::make_unique<Document>(
            u"<html><header><style><!-- body{font-family:DejaVu Sans;font-size:13px} td{padding:5px} "_qs +
                css + u" --></style></header><body>"_qs + body + u"</body></html>"_qs,
            measurer, images);
        list = doc->layout(width);
    }
    // The text item holding `word`.
    const DisplayItem* text(const QString& word) const
    {
        for (const DisplayItem& d : list.items) {
            if (d.kind != DisplayItem::Text)
                continue;
            for (uint32_t k = d.first; k <= d.last; ++k) {
                if (doc->boxes().items[k].text == word)
                    return &d;
            }
        }
        ADD_FAILURE() << "no text " << word.toStdString();
        return nullptr;
    }
    // The first filled rectangle of a colour (cells are told apart by background colours).
    QRectF fill(QRgb color) const
    {
        for (const DisplayItem& d : list.items) {
            if (d.kind == DisplayItem::Fill && d.color == (color | 0xFF000000u) && d.w > 0)
                return d.rect();
        }
        ADD_FAILURE() << "no fill " << std::hex << color;
        return {};
    }
};

TEST(Geometry, ColumnsFollowTheirContent)
{
    Laid l(u"<table cellspacing=\"0\"><tr><td bgcolor=\"#000001\">short</td>"
           u"<td bgcolor=\"#000002\">a considerably longer cell text</td></tr>"
           u"<tr><td bgcolor=\"#000003\">x</td><td>y</td></tr></table>"_qs,
           800);
    QRectF a = l.fill(0x000001), b = l.fill(0x000002), c = l.fill(0x000003);
    EXPECT_GT(b.width(), 2 * a.width());
    EXPECT_DOUBLE_EQ(a.width(), c.width()); // one column, one width
    EXPECT_DOUBLE_EQ(a.right(), b.left());  // no spacing
    // The table shrinks to its content when there is room.
    EXPECT_LT(b.right(), 800);
    // Text starts at the cell's padding.
    EXPECT_NEAR(l.text(u"short"_qs)->x, a.left() + 5, 0.01);
}

TEST(Geometry, SpacingColspanAndFixedWidth)
{
    Laid l(u"<table cellspacing=\"4\"><tr><td bgcolor=\"#000001\">one</td><td "
           u"bgcolor=\"#000002\">two</td>"
           u"<td width=\"96\" bgcolor=\"#000003\">x</td></tr>"
           u"<tr><td colspan=\"3\" bgcolor=\"#000004\">all</td></tr></table>"_qs,
           800);
    QRectF one = l.fill(0x000001), two = l.fill(0x000002), fixed = l.fill(0x000003),
           all = l.fill(0x000004);
    EXPECT_NEAR(two.left() - one.right(), 4, 0.01);
    EXPECT_NEAR(fixed.width(), 96 + 10, 0.01); // the width is the content's; padding comes on top
    EXPECT_NEAR(all.left(), one.left(), 0.01);
    EXPECT_NEAR(all.right(), fixed.right(), 0.01);
    EXPECT_NEAR(all.top() - one.bottom(), 4, 0.01);
}

TEST(Geometry, RightAlignmentAndWrapping)
{
    const QString body =
        u"<table cellspacing=\"0\"><tr><td bgcolor=\"#000001\" style=\"text-align:right\">"
        u"right</td></tr><tr><td bgcolor=\"#000002\">"
        u"words words words words words words words words words words words words words"
        u"</td></tr></table>"_qs;
    Laid wide(body, 1000);
    Laid narrow(body, 150);
    QRectF cell = wide.fill(0x000001);
    const DisplayItem* right = wide.text(u"right"_qs);
    EXPECT_NEAR(right->x + right->w, cell.right() - 5, 0.01);
    // Wrapping: the narrow table is at most the available width and its row is taller.
    QRectF wideRow = wide.fill(0x000002), narrowRow = narrow.fill(0x000002);
    EXPECT_LE(narrowRow.right(), 150.01);
    EXPECT_GT(narrowRow.height(), 3 * wideRow.height());
    for (const DisplayItem& d : narrow.list.items) {
        if (d.kind == DisplayItem::Text) {
            EXPECT_LE(d.x + d.w, narrowRow.right() - 5 + 0.01);
        }
    }
    // A row is as tall as its tallest cell.
    Laid rows(
        u"<table cellspacing=\"0\"><tr><td bgcolor=\"#000001\">a</td><td>b<br>c<br>d</td></tr></table>"_qs,
        500);
    EXPECT_GT(rows.fill(0x000001).height(), 3 * rows.text(u"a"_qs)->h);
}

TEST(Geometry, NestedTablesAndNonBreakingSpaces)
{
    Laid l(u"<table cellspacing=\"0\"><tr><td bgcolor=\"#000001\">outer</td>"
           u"<td bgcolor=\"#000002\"><table cellspacing=\"0\" "
           u"bgcolor=\"#000003\"><tr><td>inner</td></tr></table></td>"
           u"</tr></table>"_qs,
           600);
    QRectF cell = l.fill(0x000002), inner = l.fill(0x000003);
    EXPECT_TRUE(cell.contains(inner));
    EXPECT_NEAR(inner.left(), cell.left() + 5, 0.01);
    EXPECT_NEAR(inner.top(), cell.top() + 5, 0.01);
    // Beside a column of long text, "No&nbsp;deadline" keeps to one line and "No deadline"
    // gives up its space.
    const QString other = u"<td>"_qs + QString(u"words "_qs).repeated(40) + u"</td>"_qs;
    Laid nb(u"<table><tr><td>No&nbsp;deadline</td>"_qs + other + u"</tr></table>"_qs, 200);
    Laid sp(u"<table><tr><td>No deadline</td>"_qs + other + u"</tr></table>"_qs, 200);
    EXPECT_FALSE(nb.text(u"No\u00A0deadline"_qs)->partial);
    EXPECT_GT(sp.text(u"deadline"_qs)->y, sp.text(u"No"_qs)->y);
}

TEST(Geometry, WhiteSpaceCollapsesAndCaptionsStack)
{
    Laid l(u"<p>  a \r\n\t  b  </p><table cellspacing=\"0\"><tr>"
           u"<td><span style=\"font-size:smaller\">Priority:<br></span>High</td></tr></table>"_qs,
           600);
    const DisplayItem* ab = l.text(u"a"_qs);
    ASSERT_NE(ab, nullptr);
    EXPECT_EQ(ab->last, ab->first + 1); // "a b" as one run with one space
    EXPECT_EQ(l.doc->boxes().items[ab->last].text, u"b");
    const DisplayItem* caption = l.text(u"Priority:"_qs);
    const DisplayItem* value = l.text(u"High"_qs);
    EXPECT_GT(value->y, caption->y + caption->h - 1);
    EXPECT_NEAR(value->x, caption->x, 0.01);
    EXPECT_LT(caption->h, value->h); // the caption is smaller
}

TEST(Geometry, ImagesAndPlaceholders)
{
    QTemporaryDir dir;
    QImage img(20, 12, QImage::Format_ARGB32);
    img.fill(Qt::red);
    const QString path = dir.path() + u"/b.png"_qs;
    ASSERT_TRUE(img.save(path));
    Laid l(u"<img src=\""_qs + path +
               u"\" border=\"0\"><img src=\"/no/such/file.png\">"
               u"<img src=\""_qs +
               path + u"\" border=\"2\">"_qs,
           600);
    std::vector<QRectF> images;
    for (const DisplayItem& d : l.list.items) {
        if (d.kind == DisplayItem::Image)
            images.push_back(d.rect());
    }
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(images[0].size(), QSizeF(20, 12));
    EXPECT_EQ(images[1].size(), QSizeF(ImageCache::PlaceholderSize, ImageCache::PlaceholderSize));
    EXPECT_EQ(images[2].size(), QSizeF(24, 16));
    EXPECT_DOUBLE_EQ(images[0].bottom(), images[2].bottom() - 0); // all on one baseline
}

TEST(Geometry, EmptyAndHugeInputsLayOut)
{
    Laid empty(QString(), 300);
    EXPECT_GE(empty.list.height, 0);
    // A word longer than the page breaks inside, line after line, rather than overflowing.
    QString long_word(5000, u'w');
    Laid wide(u"<table><tr><td>"_qs + long_word + u"</td></tr></table>"_qs, 300);
    EXPECT_EQ(wide.list.width, 300);
    EXPECT_GT(wide.list.height, 5000 * 5 / 300 * 14);
    Laid zero(u"<p>text</p>"_qs, 0);
    EXPECT_GT(zero.list.height, 0);
    // Words that must not wrap still overflow.
    Laid nowrap(u"<p style=\"white-space:nowrap\">"_qs + long_word + u"</p>"_qs, 300);
    EXPECT_GT(nowrap.list.width, 300);
}

} // namespace
