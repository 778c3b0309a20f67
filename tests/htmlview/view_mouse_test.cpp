// The widget under the mouse: selection over group headers, the primary selection, scrolling
// on while a drag is held past an edge, and the hover ending when the pointer leaves the page.

#include "../../bench/htmlview_sample_page.h"
#include "htmlview/html_view.h"
#include "test_app.h"

#include <QClipboard>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct MouseFixture : ::testing::Test {
    void SetUp() override
    {
        ensureTestApp();
        htmlview_sample::writeButtonImages(dir.path());
        view = std::make_unique<HtmlView>();
        view->resize(500, 300);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }
    QString longPage() const
    {
        return htmlview_sample::taskPage(60, u"DejaVu Sans"_qs, 10, dir.path());
    }
    QTemporaryDir dir;
    std::unique_ptr<HtmlView> view;
};

// The share of pixels of `area` in `color`.
double shareOf(const QImage& image, const QRect& area, QColor color)
{
    int same = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            same += image.pixelColor(x, y) == color;
    }
    return double(same) / double(area.width() * area.height());
}

TEST_F(MouseFixture, SelectedTextOverAGroupHeaderIsVisiblySelected)
{
    // Group headers are drawn in the highlight colours, as the task page does.
    const QColor highlight = view->palette().color(QPalette::Highlight);
    const QColor highlighted = view->palette().color(QPalette::HighlightedText);
    view->loadFromString(
        u"<html><header><style><!-- body{font-family:DejaVu Sans;font-size:13px;"
        u"background-color:#FFFFFF} td{padding:5px} .group{background-color:%1;color:%2}"
        u" --></style></header><body><table cellspacing=\"0\"><tr><td class=\"group\">"
        u"Category: Home and garden</td></tr><tr><td>Plain rows of text</td></tr>"
        u"</table></body></html>"_qs.arg(highlight.name(), highlighted.name()));
    // The header's line of text runs from (5, 5), 15 px high; the plain row's 25 px lower.
    const QRect header(6, 6, 90, 12), plain(6, 31, 90, 12);
    const QImage before = view->viewport()->grab().toImage();
    view->selectAll();
    const QImage after = view->viewport()->grab().toImage();
    // Unselected, the header is mostly its background; selected, mostly something else.
    EXPECT_GT(shareOf(before, header, highlight), 0.6);
    EXPECT_LT(shareOf(after, header, highlight), 0.3);
    EXPECT_GT(shareOf(after, header, highlighted), 0.6);
    // The plain row is selected in the highlight colour, as always.
    EXPECT_LT(shareOf(before, plain, highlight), 0.1);
    EXPECT_GT(shareOf(after, plain, highlight), 0.45);
}

TEST_F(MouseFixture, SelectionsBecomeThePrimarySelection)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard->supportsSelection() &&
        qEnvironmentVariableIsSet("QM_REQUIRE_PRIMARY_SELECTION"))
        FAIL() << "no primary selection on " << QGuiApplication::platformName().toStdString();
    if (!clipboard->supportsSelection())
        GTEST_SKIP() << "this platform has no primary selection; the X11 run of this test "
                        "(HtmlViewPrimarySelectionX11) checks it";
    view->loadFromString(longPage());
    clipboard->setText(u"clipboard"_qs);
    clipboard->setText(u"old"_qs, QClipboard::Selection);
    QWidget* vp = view->viewport();
    sendMouse(vp, QEvent::MouseButtonPress, QPoint(2, 30), Qt::LeftButton, Qt::LeftButton);
    sendMouse(vp, QEvent::MouseMove, QPoint(100, 60), Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(clipboard->text(QClipboard::Selection), u"old"_qs); // not before the release
    sendMouse(vp, QEvent::MouseButtonRelease, QPoint(100, 60), Qt::LeftButton, Qt::NoButton);
    ASSERT_FALSE(view->selectedText().isEmpty());
    EXPECT_EQ(clipboard->text(QClipboard::Selection), view->selectedText());
    EXPECT_EQ(clipboard->text(), u"clipboard"_qs); // the clipboard is left alone
    // Double-clicking a word and selecting everything do the same.
    QTest::mouseDClick(vp, Qt::LeftButton, Qt::NoModifier, QPoint(30, 50));
    EXPECT_EQ(clipboard->text(QClipboard::Selection), view->selectedText());
    view->selectAll();
    EXPECT_EQ(clipboard->text(QClipboard::Selection), view->documentText());
    // A click without a drag leaves the primary selection as it was.
    const QString kept = clipboard->text(QClipboard::Selection);
    QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, QPoint(2, 250));
    EXPECT_FALSE(view->hasSelectedText());
    EXPECT_EQ(clipboard->text(QClipboard::Selection), kept);
}

TEST_F(MouseFixture, DragHeldStillPastAnEdgeKeepsScrolling)
{
    view->loadFromString(longPage());
    ASSERT_GT(view->verticalScrollBar()->maximum(), 2000);
    QWidget* vp = view->viewport();
    const QPoint below(100, vp->height() + 40);
    sendMouse(vp, QEvent::MouseButtonPress, QPoint(2, 30), Qt::LeftButton, Qt::LeftButton);
    sendMouse(vp, QEvent::MouseMove, QPoint(100, 100), Qt::NoButton, Qt::LeftButton);
    sendMouse(vp, QEvent::MouseMove, below, Qt::NoButton, Qt::LeftButton);
    // No more mouse events: the page goes on scrolling and the selection with it.
    const int start = view->position();
    QTest::qWait(200);
    const int later = view->position();
    const int selectedLater = view->selectionLength();
    EXPECT_GT(later, start);
    QTest::qWait(200);
    EXPECT_GT(view->position(), later);
    EXPECT_GT(view->selectionLength(), selectedLater);
    // Back inside the page it stops.
    sendMouse(vp, QEvent::MouseMove, QPoint(100, 100), Qt::NoButton, Qt::LeftButton);
    const int inside = view->position();
    QTest::qWait(150);
    EXPECT_EQ(view->position(), inside);
    // Above the top it goes back up, faster the farther out.
    sendMouse(vp, QEvent::MouseMove, QPoint(100, -150), Qt::NoButton, Qt::LeftButton);
    QTest::qWait(200);
    EXPECT_LT(view->position(), inside);
    // Releasing the button ends it.
    sendMouse(vp, QEvent::MouseButtonRelease, QPoint(100, -150), Qt::LeftButton, Qt::NoButton);
    const int released = view->position();
    QTest::qWait(150);
    EXPECT_EQ(view->position(), released);
    EXPECT_TRUE(view->hasSelectedText());
}

TEST_F(MouseFixture, HoverEndsWhenThePointerLeavesThePageForTheScrollBar)
{
    view->loadFromString(longPage());
    QApplication::processEvents(); // lays out the scroll bars
    ASSERT_TRUE(view->verticalScrollBar()->isVisible());
    QWidget* vp = view->viewport();
    QPoint link(-1, -1);
    for (int y = 0; y < vp->height() && link.x() < 0; y += 2) {
        for (int x = vp->width() - 1; x >= 0; x -= 2) {
            if (view->linkAt(QPoint(x, y)).startsWith(u"act:"_qs)) {
                link = QPoint(x, y);
                break;
            }
        }
    }
    ASSERT_GE(link.x(), 0);
    QSignalSpy covered(view.get(), &HtmlView::hotSpotCovered);
    QTest::mouseMove(vp, link);
    ASSERT_EQ(covered.count(), 1);
    EXPECT_TRUE(covered.takeFirst().at(0).toString().startsWith(u"act:"_qs));
    // Straight onto the scroll bar: still inside the widget, but off the page.
    QScrollBar* bar = view->verticalScrollBar();
    QTest::mouseMove(bar, QPoint(bar->width() / 2, bar->height() / 2));
    ASSERT_EQ(covered.count(), 1);
    EXPECT_EQ(covered.takeFirst().at(0).toString(), QString());
    EXPECT_EQ(vp->cursor().shape(), Qt::ArrowCursor);
    // Back onto the link: it shows again.
    QTest::mouseMove(vp, link);
    ASSERT_EQ(covered.count(), 1);
    EXPECT_FALSE(covered.takeFirst().at(0).toString().isEmpty());
}

} // namespace
