// The keyboard's place on the page: row groups with their focus frame, link focus, and what
// assistive tools see of both.

#include "../../bench/htmlview_sample_page.h"
#include "htmlview/accessibility.h"
#include "htmlview/html_view.h"
#include "test_app.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

const QString kHead = u"<html><header><style><!-- body{font-family:DejaVu Sans;font-size:13px;"
                      u"background-color:#F0F0F0} table{background-color:#FFFFFF} td{padding:5px}"
                      u" --></style></header><body>"_qs;

// A first table of a header row and three items of two rows each (a row with a button and a
// details row, the second holding a web link), and a link after the table.
QString smallPage(const QStringList& names)
{
    QString html = kHead + u"<table cellspacing=\"0\"><tr><td colspan=\"2\">Header</td></tr>"_qs;
    for (int i = 0; i < names.size(); ++i) {
        html +=
            u"<tr><td>%1</td><td><a href=\"act:done/%2\"><img src=\"/none.png\"></a></td></tr>"_qs
                .arg(names[i])
                .arg(i + 1);
        html += u"<tr><td colspan=\"2\">About %1 <a href=\"https://example.org/%2\">site "
                u"%2</a></td></tr>"_qs.arg(names[i])
                    .arg(i + 1);
    }
    return html + u"</table><p><a href=\"qmk:createlist\">after</a></p></body></html>"_qs;
}

std::vector<HtmlRowGroup> groupsFor(const std::vector<quint64>& keys)
{
    std::vector<HtmlRowGroup> groups;
    for (size_t i = 0; i < keys.size(); ++i)
        groups.push_back(HtmlRowGroup{1 + 2 * int(i), 2, keys[i], int(i) + 1});
    return groups;
}

class Words : public HtmlRowGroupDescription {
public:
    QString name(const HtmlRowGroup& g) const override { return u"item %1"_qs.arg(g.tag); }
    QString description(const HtmlRowGroup& g) const override
    {
        return u"details %1"_qs.arg(g.tag);
    }
    QStringList actions(const HtmlRowGroup&) const override { return {u"Finish"_qs}; }
    QString linkName(const QString& target) const override
    {
        return target.startsWith(u"act:"_qs) ? u"Finish this"_qs : QString();
    }
};

struct KeyboardFixture : ::testing::Test {
    void SetUp() override
    {
        ensureTestApp();
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        view = new HtmlView(window.get());
        other = new QLineEdit(window.get());
        layout->addWidget(view);
        layout->addWidget(other);
        window->resize(500, 320);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        view->setFocus(Qt::OtherFocusReason);
    }
    void load(const QStringList& names, const std::vector<quint64>& keys)
    {
        view->loadFromString(smallPage(names));
        view->setRowGroups(groupsFor(keys));
    }
    QImage shot() { return view->viewport()->grab().toImage(); }

    std::unique_ptr<QWidget> window;
    HtmlView* view = nullptr;
    QLineEdit* other = nullptr;
};

TEST_F(KeyboardFixture, KeysMoveTheCurrentGroup)
{
    load({u"A"_qs, u"B"_qs, u"C"_qs}, {10, 20, 30});
    ASSERT_EQ(view->currentRowGroup(), 0) << "the first group is current at first";
    const struct {
        Qt::Key key;
        int current;
    } steps[] = {
        {Qt::Key_Down, 1}, {Qt::Key_Down, 2}, {Qt::Key_Down, 2}, // stays on the last
        {Qt::Key_Up, 1},   {Qt::Key_K, 0},    {Qt::Key_Up, 0},       {Qt::Key_J, 1},
        {Qt::Key_End, 2},  {Qt::Key_Home, 0}, {Qt::Key_PageDown, 2}, {Qt::Key_PageUp, 0},
    };
    QSignalSpy changes(view, &HtmlView::currentRowGroupChanged);
    int expectedSignals = 0;
    int before = 0;
    for (const auto& step : steps) {
        QTest::keyClick(view, step.key);
        EXPECT_EQ(view->currentRowGroup(), step.current) << QTest::toString(step.key);
        expectedSignals += step.current != before;
        before = step.current;
    }
    EXPECT_EQ(changes.count(), expectedSignals);
    // A modifier makes them someone else's keys.
    QTest::keyClick(view, Qt::Key_J, Qt::ControlModifier);
    EXPECT_EQ(view->currentRowGroup(), 0);
}

TEST_F(KeyboardFixture, CurrentGroupFollowsItsKeyAcrossDocuments)
{
    load({u"A"_qs, u"B"_qs, u"C"_qs, u"D"_qs}, {10, 20, 30, 40});
    view->setCurrentRowGroup(1); // key 20
    const struct {
        const char* what;
        std::vector<quint64> keys;
        int current;
    } cases[] = {
        {"same key, new place", {40, 30, 20, 10}, 2},
        {"gone: the one after it in the last document", {40, 30, 10}, 2},
        {"the last gone: the one before it", {40, 30}, 1},
        {"nothing left of the last document", {77, 78}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QStringList names;
        for (quint64 k : c.keys)
            names.append(QString::number(k));
        view->clear(); // the window empties the view before every page
        view->loadFromString(smallPage(names));
        EXPECT_EQ(view->currentRowGroup(), -1) << "no groups until they are set";
        view->setRowGroups(groupsFor(c.keys));
        EXPECT_EQ(view->currentRowGroup(), c.current);
    }
    view->loadFromString(kHead + u"no table</body></html>"_qs);
    view->setRowGroups({});
    EXPECT_EQ(view->currentRowGroup(), -1);
}

TEST_F(KeyboardFixture, FrameIsDrawnOnlyWithFocusAndLeavesThePageAlone)
{
    load({u"A"_qs, u"B"_qs}, {1, 2});
    const QString source = view->documentSource();
    const QString text = view->documentText();
    const QRect frame = view->rowGroupRect(1);
    ASSERT_TRUE(frame.isValid());
    const QColor highlight = view->palette().color(QPalette::Highlight);
    const auto framed = [&](const QImage& image, const QRect& r) {
        return image.pixelColor(r.left() + 1, r.center().y()) == highlight &&
               image.pixelColor(r.center().x(), r.bottom() - 1) == highlight;
    };
    view->setCurrentRowGroup(1);
    QApplication::processEvents();
    ASSERT_TRUE(view->hasFocus());
    EXPECT_TRUE(framed(shot(), frame));
    EXPECT_FALSE(framed(shot(), view->rowGroupRect(0)));
    other->setFocus();
    QApplication::processEvents();
    EXPECT_FALSE(framed(shot(), frame)) << "no frame without focus";
    view->setFocus();
    QApplication::processEvents();
    EXPECT_TRUE(framed(shot(), frame));
    EXPECT_EQ(view->documentSource(), source);
    EXPECT_EQ(view->documentText(), text);
}

TEST_F(KeyboardFixture, MovingKeepsTheCurrentGroupInSight)
{
    QTemporaryDir dir;
    view->loadFromString(htmlview_sample::taskPage(60, u"DejaVu Sans"_qs, 10, dir.path()));
    view->setRowGroups(htmlview_sample::taskRowGroups(60));
    const auto inSight = [&] {
        const QRect r = view->rowGroupRect(view->currentRowGroup());
        return r.top() >= 0 && r.bottom() <= view->viewport()->height();
    };
    int last = 0;
    for (int i = 0; i < 20; ++i) {
        QTest::keyClick(view, Qt::Key_Down);
        EXPECT_EQ(view->currentRowGroup(), ++last);
        EXPECT_TRUE(inSight()) << "after Down to " << last;
    }
    EXPECT_GT(view->position(), 0);
    QTest::keyClick(view, Qt::Key_PageDown);
    EXPECT_GT(view->currentRowGroup(), last + 1) << "a screenful, not one task";
    EXPECT_TRUE(inSight());
    QTest::keyClick(view, Qt::Key_End);
    EXPECT_EQ(view->currentRowGroup(), 59);
    EXPECT_EQ(view->position(), view->verticalScrollBar()->maximum());
    QTest::keyClick(view, Qt::Key_PageUp);
    EXPECT_LT(view->currentRowGroup(), 58);
    EXPECT_TRUE(inSight());
    QTest::keyClick(view, Qt::Key_Home);
    EXPECT_EQ(view->currentRowGroup(), 0);
    EXPECT_EQ(view->position(), 0);
    // Reloading keeps the scroll position the caller sets; it does not chase the group.
    view->setCurrentRowGroup(30);
    const int position = view->position();
    view->loadFromString(htmlview_sample::taskPage(60, u"DejaVu Sans"_qs, 10, dir.path()));
    view->setRowGroups(htmlview_sample::taskRowGroups(60));
    EXPECT_EQ(view->currentRowGroup(), 30);
    EXPECT_EQ(view->position(), 0);
    view->setPosition(position);
    EXPECT_TRUE(inSight());
}

TEST_F(KeyboardFixture, ClickMakesItsGroupCurrent)
{
    load({u"A"_qs, u"B"_qs, u"C"_qs}, {1, 2, 3});
    const QRect third = view->rowGroupRect(2);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, third.topLeft() + QPoint(3, 3));
    EXPECT_EQ(view->currentRowGroup(), 2);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(5, 5)); // the header row
    EXPECT_EQ(view->currentRowGroup(), 2);
}

TEST_F(KeyboardFixture, TabWalksTheLinksAndEnterFollowsOne)
{
    load({u"A"_qs, u"B"_qs}, {1, 2});
    QSignalSpy clicks(view, &HtmlView::hotSpotClick);
    const QStringList expected = {u"act:done/1"_qs, u"https://example.org/1"_qs, u"act:done/2"_qs,
                                  u"https://example.org/2"_qs, u"qmk:createlist"_qs};
    const QList<int> groups = {0, 0, 1, 1, 1};
    for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(view, Qt::Key_Tab);
        EXPECT_EQ(view->focusedLinkTarget(), expected[i]);
        EXPECT_EQ(view->currentRowGroup(), groups[i]) << "a link's group becomes current";
    }
    QTest::keyClick(view, Qt::Key_Backtab);
    EXPECT_EQ(view->focusedLinkTarget(), expected[3]);

    // Enter follows the focused link; a pop-up for it belongs under the link.
    bool handled = false;
    QPoint popupAt;
    QObject::connect(view, &HtmlView::hotSpotClick, view, [&](const QString&, bool* h) {
        handled = h != nullptr;
        popupAt = view->activationPoint();
    });
    QTest::keyClick(view, Qt::Key_Return);
    ASSERT_EQ(clicks.count(), 1);
    EXPECT_EQ(clicks.first().at(0).toString(), expected[3]);
    EXPECT_TRUE(handled);
    const QRect link = view->linkRect(expected[3]);
    EXPECT_EQ(popupAt, view->viewport()->mapToGlobal(link.bottomLeft()));
    EXPECT_EQ(view->activationPoint(), QCursor::pos()) << "after the click: the pointer";

    // Escape and the arrows leave the links; Tab starts again at the current group.
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_EQ(view->focusedLinkTarget(), QString());
    QTest::keyClick(view, Qt::Key_Tab);
    EXPECT_EQ(view->focusedLinkTarget(), expected[2]);
    QTest::keyClick(view, Qt::Key_Up);
    EXPECT_EQ(view->focusedLinkTarget(), QString());
    EXPECT_EQ(view->currentRowGroup(), 0);

    // Past the last link the focus moves on to the next widget.
    view->setCurrentRowGroup(1);
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(view, Qt::Key_Tab);
    EXPECT_EQ(view->focusedLinkTarget(), expected[4]);
    QTest::keyClick(view, Qt::Key_Tab);
    EXPECT_TRUE(other->hasFocus());
    EXPECT_EQ(view->focusedLinkTarget(), QString());
}

TEST_F(KeyboardFixture, FocusedLinkIsMarked)
{
    load({u"A"_qs}, {1});
    QApplication::processEvents();
    const QImage before = shot();
    QTest::keyClick(view, Qt::Key_Tab);
    QTest::keyClick(view, Qt::Key_Tab); // the web link in the details
    QApplication::processEvents();
    const QImage after = shot();
    const QRect link = view->linkRect(u"https://example.org/1"_qs);
    ASSERT_TRUE(link.isValid());
    int changed = 0;
    for (int x = link.left() - 2; x <= link.right() + 2; ++x)
        changed += before.pixel(x, link.top() - 2) != after.pixel(x, link.top() - 2);
    EXPECT_GT(changed, link.width() / 4) << "a dotted line above the link";
}

TEST_F(KeyboardFixture, KeyboardContextMenuOpensAtTheFocus)
{
    QMenu menu;
    menu.addAction(u"Copy"_qs);
    view->setContextMenu(&menu);
    load({u"A"_qs, u"B"_qs}, {1, 2});
    view->setCurrentRowGroup(1);
    QTest::keyClick(view, Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_TRUE(menu.isVisible());
    const QRect group = view->rowGroupRect(1);
    EXPECT_EQ(menu.pos(), view->viewport()->mapToGlobal(group.bottomLeft()));
    menu.hide();
    // The Menu key, and the point Qt asks for a keyboard menu of its own.
    QTest::keyClick(view, Qt::Key_Menu);
    EXPECT_TRUE(menu.isVisible());
    menu.hide();
    const QRect cursor = view->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    EXPECT_TRUE(
        group.translated(view->viewport()->pos()).adjusted(0, 0, 1, 1).contains(cursor.topLeft()));
}

TEST_F(KeyboardFixture, GroupsOutOfOrderAreDropped)
{
    view->loadFromString(smallPage({u"A"_qs, u"B"_qs, u"C"_qs}));
    view->setRowGroups({{1, 2, 1, 1}, {2, 2, 2, 2}, {5, 2, 3, 3}, {3, 0, 4, 4}});
    ASSERT_EQ(view->rowGroups().size(), 2u);
    EXPECT_EQ(view->rowGroups()[1].key, 3u);
    EXPECT_TRUE(view->rowGroupRect(1).isValid());
    // A group past the table's rows has no place and is never hit.
    view->setRowGroups({{1, 2, 1, 1}, {40, 2, 2, 2}});
    EXPECT_FALSE(view->rowGroupRect(1).isValid());
    QTest::keyClick(view, Qt::Key_End);
    EXPECT_EQ(view->currentRowGroup(), 1);
}

// --- what assistive tools see ---------------------------------------------------------------

std::vector<std::pair<QAccessible::Event, QString>>* events = nullptr;

void recordEvent(QAccessibleEvent* event)
{
    if (!events)
        return;
    QAccessibleInterface* iface = event->accessibleInterface();
    events->emplace_back(event->type(), iface ? iface->text(QAccessible::Name) : QString());
}

struct AccessibleFixture : KeyboardFixture {
    void SetUp() override
    {
        KeyboardFixture::SetUp();
        events = &seen;
        htmlview::setAccessibleEventSink(recordEvent);
        view->setRowGroupDescription(&words);
    }
    void TearDown() override
    {
        htmlview::setAccessibleEventSink(nullptr);
        events = nullptr;
    }
    QStringList focusEvents() const
    {
        QStringList names;
        for (const auto& [type, name] : seen)
            if (type == QAccessible::Focus)
                names.append(name);
        return names;
    }
    Words words;
    std::vector<std::pair<QAccessible::Event, QString>> seen;
};

TEST_F(AccessibleFixture, TreeShapeNamesAndActions)
{
    load({u"A"_qs, u"B"_qs}, {1, 2});
    QAccessibleInterface* page = QAccessible::queryAccessibleInterface(view);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->role(), QAccessible::Document);
    ASSERT_EQ(page->childCount(), 3) << "two rows and the link after the table";
    for (int i = 0; i < 2; ++i) {
        QAccessibleInterface* row = page->child(i);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->role(), QAccessible::Row);
        EXPECT_EQ(row->text(QAccessible::Name), u"item %1"_qs.arg(i + 1));
        EXPECT_EQ(row->text(QAccessible::Description), u"details %1"_qs.arg(i + 1));
        EXPECT_EQ(row->parent(), page);
        EXPECT_EQ(page->indexOfChild(row), i);
        EXPECT_EQ(row->rect(), QRect(view->viewport()->mapToGlobal(view->rowGroupRect(i).topLeft()),
                                     view->rowGroupRect(i).size()));
        ASSERT_EQ(row->childCount(), 2);
        QAccessibleInterface* button = row->child(0);
        EXPECT_EQ(button->role(), QAccessible::Link);
        EXPECT_EQ(button->text(QAccessible::Name), u"Finish this"_qs) << "an image: named for it";
        EXPECT_EQ(button->text(QAccessible::Description), u"act:done/%1"_qs.arg(i + 1));
        QAccessibleInterface* web = row->child(1);
        EXPECT_EQ(web->text(QAccessible::Name), u"site %1"_qs.arg(i + 1));
        EXPECT_EQ(web->text(QAccessible::Description), u"https://example.org/%1"_qs.arg(i + 1));
        EXPECT_EQ(web->parent(), row);
        ASSERT_NE(row->actionInterface(), nullptr);
        EXPECT_TRUE(row->actionInterface()->actionNames().contains(u"Finish"_qs));
    }
    QAccessibleInterface* after = page->child(2);
    EXPECT_EQ(after->role(), QAccessible::Link);
    EXPECT_EQ(after->text(QAccessible::Name), u"after"_qs);
    EXPECT_TRUE(page->child(0)->state().selected);
    EXPECT_TRUE(page->child(0)->state().focused);
    EXPECT_EQ(page->focusChild(), page->child(0));

    // A tool's action reaches the caller for its group, which becomes current.
    QSignalSpy actions(view, &HtmlView::rowGroupAction);
    page->child(1)->actionInterface()->doAction(u"Finish"_qs);
    ASSERT_TRUE(actions.wait(1000));
    EXPECT_EQ(actions.first().at(0).toInt(), 1);
    EXPECT_EQ(actions.first().at(1).toString(), u"Finish"_qs);
    EXPECT_EQ(view->currentRowGroup(), 1);
    // Pressing a link follows it.
    QSignalSpy clicks(view, &HtmlView::hotSpotClick);
    page->child(0)->child(1)->actionInterface()->doAction(
        QAccessibleActionInterface::pressAction());
    ASSERT_TRUE(clicks.wait(1000));
    EXPECT_EQ(clicks.first().at(0).toString(), u"https://example.org/1"_qs);

    // A new document: the old children are gone, the new ones are built when asked.
    const QAccessible::Id oldRow = QAccessible::uniqueId(page->child(0));
    seen.clear();
    load({u"C"_qs}, {3});
    EXPECT_EQ(QAccessible::accessibleInterface(oldRow), nullptr);
    EXPECT_FALSE(seen.empty()) << "tools hear that the children changed";
    EXPECT_EQ(page->childCount(), 2);
    EXPECT_EQ(page->child(0)->text(QAccessible::Name), u"item 1"_qs);
}

TEST_F(AccessibleFixture, MovingSendsFocusEvents)
{
    load({u"A"_qs, u"B"_qs, u"C"_qs}, {1, 2, 3});
    seen.clear();
    QTest::keyClick(view, Qt::Key_Down);
    EXPECT_TRUE(focusEvents().isEmpty()) << "nothing is built or sent while no tool asked";

    QAccessible::queryAccessibleInterface(view)->childCount();
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Up);
    QTest::keyClick(view, Qt::Key_Tab);
    EXPECT_EQ(focusEvents(), (QStringList{u"item 3"_qs, u"item 2"_qs, u"Finish this"_qs}));
}

} // namespace
