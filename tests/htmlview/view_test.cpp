// The widget: links under points, hover and click notifications, selection, scrolling,
// printing.

#include "../../bench/htmlview_sample_page.h"
#include "htmlview/html_view.h"
#include "htmlview/pagination.h"
#include "test_app.h"

#include <QFile>
#include <QMenu>
#include <QMouseEvent>
#include <QPrinter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace htmlview;

namespace {

const QString kCss =
    u"<html><header><style><!-- body{font-family:DejaVu "
    u"Sans;font-size:13px;background-color:#F0F0F0}"
    u" td{padding:5px} .button{text-decoration:none} --></style></header><body>"_qs;

// The first viewport point over a link with this target (scanning the public hit test).
QPoint pointOnLink(const HtmlView& view, const QString& target)
{
    for (int y = 0; y < view.viewport()->height(); y += 2) {
        for (int x = 0; x < view.viewport()->width(); x += 2) {
            if (view.linkAt(QPoint(x, y)) == target)
                return QPoint(x + 1, y + 1);
        }
    }
    return QPoint(-1, -1);
}

struct ViewFixture : ::testing::Test {
    void SetUp() override
    {
        ensureTestApp();
        view = std::make_unique<HtmlView>();
        view->resize(500, 300);
        view->show();
    }
    std::unique_ptr<HtmlView> view;
};

TEST_F(ViewFixture, LinkAtPoints)
{
    view->loadFromString(
        kCss + u"<p>plain text <a href=\"http://example.com/a?b=1&amp;c=2\">web link</a></p>"
               u"<table><tr><td><a href=\"act:done/3\" class=\"button\">"
               u"<img src=\"/missing.png\" border=\"0\"></a></td></tr></table></body></html>"_qs);
    QPoint web = pointOnLink(*view, u"http://example.com/a?b=1&c=2"_qs);
    ASSERT_GE(web.x(), 0);
    QPoint button = pointOnLink(*view, u"act:done/3"_qs);
    ASSERT_GE(button.x(), 0); // a missing image still makes a link target
    EXPECT_GT(button.y(), web.y());
    EXPECT_EQ(view->linkAt(QPoint(2, web.y())), QString()); // "plain" is no link
    EXPECT_EQ(view->linkAt(QPoint(490, 290)), QString());
}

TEST_F(ViewFixture, HoverAndClickNotifications)
{
    view->loadFromString(
        kCss +
        u"<p>start <a href=\"act:edit/7\">edit</a> middle <a href=\"qmk:createlist\">create</a></p>"
        u"<p>far away</p></body></html>"_qs);
    QPoint edit = pointOnLink(*view, u"act:edit/7"_qs),
           create = pointOnLink(*view, u"qmk:createlist"_qs);
    ASSERT_GE(edit.x(), 0);
    ASSERT_GE(create.x(), 0);
    QSignalSpy covered(view.get(), &HtmlView::hotSpotCovered);
    QSignalSpy clicked(view.get(), &HtmlView::hotSpotClick);
    QWidget* vp = view->viewport();
    QTest::mouseMove(vp, QPoint(2, 2));
    EXPECT_EQ(covered.count(), 0); // no link yet: nothing changed
    QTest::mouseMove(vp, edit);
    ASSERT_EQ(covered.count(), 1);
    EXPECT_EQ(covered.takeFirst().at(0).toString(), u"act:edit/7"_qs);
    EXPECT_EQ(vp->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(vp, edit + QPoint(1, 0));
    EXPECT_EQ(covered.count(), 0); // same link: no new notification
    QTest::mouseMove(vp, create);
    ASSERT_EQ(covered.count(), 1);
    EXPECT_EQ(covered.takeFirst().at(0).toString(), u"qmk:createlist"_qs);
    QTest::mouseMove(vp, QPoint(2, 250));
    ASSERT_EQ(covered.count(), 1);
    EXPECT_EQ(covered.takeFirst().at(0).toString(), QString()); // left the links
    EXPECT_EQ(vp->cursor().shape(), Qt::ArrowCursor);

    bool sawHandled = false;
    QObject::connect(view.get(), &HtmlView::hotSpotClick, [&](const QString&, bool* handled) {
        ASSERT_NE(handled, nullptr);
        *handled = true;
        sawHandled = true;
    });
    QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, edit);
    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(clicked.first().at(0).toString(), u"act:edit/7"_qs);
    EXPECT_TRUE(sawHandled);
    QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, QPoint(2, 250));
    EXPECT_EQ(clicked.count(), 1); // not on a link
    // Leaving the widget while over a link clears it.
    QTest::mouseMove(vp, edit);
    covered.clear();
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(view.get(), &leave);
    ASSERT_EQ(covered.count(), 1);
    EXPECT_EQ(covered.first().at(0).toString(), QString());
}

TEST_F(ViewFixture, ClickHandlerMayReplaceTheDocument)
{
    view->loadFromString(kCss + u"<a href=\"act:done/1\">done</a></body></html>"_qs);
    QPoint p = pointOnLink(*view, u"act:done/1"_qs);
    int calls = 0;
    QObject::connect(
        view.get(), &HtmlView::hotSpotClick, [&](const QString& target, bool* handled) {
            ++calls;
            *handled = true;
            view->loadFromString(kCss + u"<p>new page for "_qs + target + u"</p></body></html>"_qs);
        });
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, p);
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(view->documentText().contains(u"new page for act:done/1"_qs));
}

TEST_F(ViewFixture, DragSelectsTextAcrossCells)
{
    view->loadFromString(
        kCss + u"<table cellspacing=\"0\"><tr><td>Alpha beta</td><td>Gamma delta</td></tr>"
               u"<tr><td colspan=\"2\">Epsilon</td></tr></table></body></html>"_qs);
    EXPECT_EQ(view->selectionLength(), 0);
    QWidget* vp = view->viewport();
    // From the far left of the first line to the far right of the second row.
    sendMouse(vp, QEvent::MouseButtonPress, QPoint(1, 12), Qt::LeftButton, Qt::LeftButton);
    sendMouse(vp, QEvent::MouseMove, QPoint(100, 30), Qt::NoButton, Qt::LeftButton);
    sendMouse(vp, QEvent::MouseMove, QPoint(400, 38), Qt::NoButton, Qt::LeftButton);
    sendMouse(vp, QEvent::MouseButtonRelease, QPoint(400, 38), Qt::LeftButton, Qt::NoButton);
    const QString text = view->selectedText();
    EXPECT_TRUE(text.startsWith(u"Alpha beta"_qs)) << text.toStdString();
    EXPECT_TRUE(text.contains(u"Gamma delta"_qs)) << text.toStdString();
    EXPECT_TRUE(text.contains(u"Epsilon"_qs)) << text.toStdString();
    EXPECT_EQ(view->selectionLength(), text.size());
    view->clearSelection();
    EXPECT_EQ(view->selectedText(), QString());

    // Double-click selects one word.
    QTest::mouseDClick(vp, Qt::LeftButton, Qt::NoModifier, QPoint(1 + 5 + 2, 12));
    EXPECT_EQ(view->selectedText(), u"Alpha"_qs);
    // A new document drops the selection.
    view->loadFromString(kCss + u"x</body></html>"_qs);
    EXPECT_EQ(view->selectionLength(), 0);
}

TEST_F(ViewFixture, PositionKeptAcrossReloadAsFarAsPossible)
{
    QTemporaryDir dir;
    const QString long_page = htmlview_sample::taskPage(60, u"DejaVu Sans"_qs, 10, dir.path());
    view->loadFromString(long_page);
    ASSERT_GT(view->verticalScrollBar()->maximum(), 1000);
    view->setPosition(900);
    EXPECT_EQ(view->position(), 900);
    const int kept = view->position();
    view->loadFromString(long_page);
    EXPECT_EQ(view->position(), 0); // a new document starts at the top
    view->setPosition(kept);
    EXPECT_EQ(view->position(), 900);
    // A shorter document: as far down as it goes.
    view->loadFromString(htmlview_sample::taskPage(6, u"DejaVu Sans"_qs, 10, dir.path()));
    view->setPosition(kept);
    EXPECT_EQ(view->position(), view->verticalScrollBar()->maximum());
    EXPECT_LT(view->position(), 900);
    // Keys scroll too.
    view->setPosition(0);
    QTest::keyClick(view.get(), Qt::Key_PageDown);
    EXPECT_GT(view->position(), 0);
    QTest::keyClick(view.get(), Qt::Key_Home);
    EXPECT_EQ(view->position(), 0);
}

TEST_F(ViewFixture, ReflowOnResize)
{
    view->loadFromString(
        kCss + QString(u"<p>"_qs + QString(u"word "_qs).repeated(200) + u"</p></body></html>"_qs));
    const int tall = view->documentSize().height();
    view->resize(1000, 300);
    EXPECT_LT(view->documentSize().height(), tall);
    EXPECT_EQ(view->documentSize().width(), view->viewport()->width());
}

TEST_F(ViewFixture, ContextMenuComesFromTheOwner)
{
    QMenu menu;
    menu.addAction(u"Copy"_qs);
    view->setContextMenu(&menu);
    view->loadFromString(kCss + u"x</body></html>"_qs);
    QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(5, 5),
                        view->viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(view->viewport(), &e);
    EXPECT_TRUE(menu.isVisible());
    menu.hide();
}

TEST_F(ViewFixture, PrintsToPdf)
{
    QTemporaryDir dir;
    htmlview_sample::writeButtonImages(dir.path() + u"/Theme"_qs);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString file = dir.path() + u"/out.pdf"_qs;
    printer.setOutputFileName(file);
    view->setPrintMargins(QMarginsF(20, 20, 20, 20));
    view->setPrintScale(1.0);
    view->loadFromString(
        htmlview_sample::taskPage(3, u"DejaVu Sans"_qs, 10, dir.path() + u"/Theme"_qs));
    EXPECT_EQ(view->printerPageCount(&printer), 1);
    view->loadFromString(
        htmlview_sample::taskPage(200, u"DejaVu Sans"_qs, 10, dir.path() + u"/Theme"_qs));
    const int pages = view->printerPageCount(&printer);
    EXPECT_GT(pages, 5);
    view->setPrintScale(0.5);
    EXPECT_LT(view->printerPageCount(&printer), pages); // smaller print, fewer pages
    view->setPrintScale(1.0);
    view->print(&printer, 2, 3);
    QFile pdf(file);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") +
                  bytes.count("/Type /Page "),
              2);
}

TEST(Pagination, RowsAreNotSplitUnlessTallerThanAPage)
{
    DisplayList list;
    list.height = 1000;
    auto row = [&](float y, float h) {
        DisplayItem d;
        d.kind = DisplayItem::RowGuard;
        d.y = y;
        d.h = h;
        list.items.push_back(d);
    };
    row(0, 90);
    row(90, 90);   // crosses 100: the first page ends at 90
    row(180, 500); // taller than a page: cut where it falls
    row(680, 320);
    std::vector<PageSlice> pages = paginate(list, 100);
    ASSERT_GE(pages.size(), 3u);
    EXPECT_FLOAT_EQ(pages[0].top, 0);
    EXPECT_FLOAT_EQ(pages[0].bottom, 90);
    EXPECT_FLOAT_EQ(pages[1].bottom, 190); // the tall row is cut where the page ends
    EXPECT_FLOAT_EQ(pages[2].bottom, 290);
    EXPECT_FLOAT_EQ(pages.back().bottom, 1000);
    for (size_t i = 1; i < pages.size(); ++i)
        EXPECT_FLOAT_EQ(pages[i].top, pages[i - 1].bottom);
    DisplayList empty;
    EXPECT_EQ(paginate(empty, 100).size(), 1u);
}

TEST_F(ViewFixture, GreetingPage)
{
    view->loadFromString(htmlview_sample::greetingPage(u"DejaVu Sans"_qs, 10));
    EXPECT_TRUE(view->documentText().startsWith(u"Welcome to Quillmark!"_qs))
        << view->documentText().toStdString();
    EXPECT_GE(pointOnLink(*view, u"qmk:createlist"_qs).x(), 10); // the body's 10px margin
    view->selectAll();
    EXPECT_TRUE(view->selectedText().contains(u"File menu.)"_qs));
}

} // namespace
