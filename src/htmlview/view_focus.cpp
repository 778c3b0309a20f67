#include "htmlview/view_focus.h"

#include "htmlview/accessibility.h"
#include "htmlview/html_view.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QHash>
#include <QKeyEvent>
#include <QPainter>
#include <QPalette>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

namespace htmlview {

namespace {

constexpr uint32_t NoItem = 0xffffffffu;

bool isReturn(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

// Worked out from the document when first needed (`doc`), from its layout (`layout`) and from
// the groups (`groups`); each part is dropped when what it comes from changes.
struct ViewFocus::Geometry {
    bool doc = false;
    std::vector<uint32_t> rowBoxes;                      // rows of the first table, in order
    std::vector<std::pair<uint32_t, uint32_t>> rowItems; // inline items of each row [b, e)
    std::vector<uint32_t> linkFirst;                     // first inline item of each link
    std::vector<int> focusOrder;                         // links that show, by first item
    std::vector<uint32_t> focusFirst;                    // linkFirst of focusOrder's links

    bool layout = false;
    std::vector<QRectF> rowRects;
    std::vector<uint32_t> linkItemStart; // display items of link i: linkItems[start[i]..start[i+1])
    std::vector<uint32_t> linkItems;

    bool groups = false;
    std::vector<std::pair<uint32_t, uint32_t>> groupItems; // inline items of each group [b, e)
};

ViewFocus::ViewFocus(HtmlView& view) : FView(view)
{
}

ViewFocus::~ViewFocus() = default;

AccessibleTree& ViewFocus::accessible()
{
    if (!FAccessible)
        FAccessible = std::make_unique<AccessibleTree>(*this);
    return *FAccessible;
}

void ViewFocus::changed()
{
    ++FGeneration;
    if (FAccessible)
        FAccessible->invalidate();
}

void ViewFocus::documentLoaded(const BoxTree& tree, const DisplayList& list)
{
    if (!FGroups.empty()) {
        FPrevious = std::move(FGroups);
        FPreviousCurrent = FCurrent;
    }
    FGroups.clear();
    const int old = FCurrent;
    FCurrent = -1;
    FFocusedLink = -1;
    FTree = &tree;
    FList = &list;
    dropGeometry();
    changed();
    if (old != -1)
        emit FView.currentRowGroupChanged(-1);
}

void ViewFocus::relaidOut(const DisplayList& list)
{
    FList = &list;
    dropLayoutGeometry();
}

void ViewFocus::dropGeometry()
{
    FGeometry.reset();
}

void ViewFocus::dropLayoutGeometry()
{
    if (FGeometry)
        FGeometry->layout = false;
}

const ViewFocus::Geometry& ViewFocus::geometry() const
{
    if (!FGeometry)
        FGeometry = std::make_unique<Geometry>();
    Geometry& g = *FGeometry;
    if (!FTree || !FList)
        return g;
    const BoxTree& tree = *FTree;
    if (!g.doc) {
        g.doc = true;
        uint32_t table = NoBox;
        for (uint32_t b = 0; b < tree.boxes.size(); ++b) {
            if (tree.boxes[b].kind == Box::Table) {
                table = b;
                break;
            }
        }
        if (table != NoBox) {
            uint32_t lastEnd = 0;
            std::vector<uint32_t> stack;
            for (uint32_t r = tree.boxes[table].firstChild; r != NoBox;
                 r = tree.boxes[r].nextSibling) {
                if (tree.boxes[r].kind != Box::Row)
                    continue;
                uint32_t begin = NoItem, end = 0;
                stack.assign(1, r);
                while (!stack.empty()) {
                    const uint32_t b = stack.back();
                    stack.pop_back();
                    const Box& box = tree.boxes[b];
                    if (box.kind == Box::Flow && box.itemEnd > box.itemBegin) {
                        begin = std::min(begin, box.itemBegin);
                        end = std::max(end, box.itemEnd);
                    }
                    for (uint32_t c = box.firstChild; c != NoBox; c = tree.boxes[c].nextSibling)
                        stack.push_back(c);
                }
                if (begin == NoItem) // an empty row keeps the ranges in order
                    begin = end = lastEnd;
                lastEnd = end;
                g.rowBoxes.push_back(r);
                g.rowItems.emplace_back(begin, end);
            }
        }
        g.linkFirst.assign(tree.links.size(), NoItem);
        for (uint32_t i = 0; i < tree.items.size(); ++i) {
            const int32_t link = tree.items[i].link;
            if (link >= 0 && size_t(link) < g.linkFirst.size() &&
                g.linkFirst[size_t(link)] == NoItem)
                g.linkFirst[size_t(link)] = i;
        }
        for (int link = 0; link < int(g.linkFirst.size()); ++link)
            if (g.linkFirst[size_t(link)] != NoItem)
                g.focusOrder.push_back(link);
        std::stable_sort(g.focusOrder.begin(), g.focusOrder.end(), [&](int a, int b) {
            return g.linkFirst[size_t(a)] < g.linkFirst[size_t(b)];
        });
        g.focusFirst.reserve(g.focusOrder.size());
        for (int link : g.focusOrder)
            g.focusFirst.push_back(g.linkFirst[size_t(link)]);
    }
    if (!g.layout) {
        g.layout = true;
        const DisplayList& list = *FList;
        g.rowRects.assign(g.rowBoxes.size(), QRectF());
        g.linkItemStart.assign(tree.links.size() + 1, 0);
        for (uint32_t i = 0; i < list.items.size(); ++i) {
            const DisplayItem& it = list.items[i];
            if (it.kind == DisplayItem::RowGuard) {
                auto at = std::lower_bound(g.rowBoxes.begin(), g.rowBoxes.end(), it.first);
                if (at != g.rowBoxes.end() && *at == it.first)
                    g.rowRects[size_t(at - g.rowBoxes.begin())] = it.rect();
            } else if ((it.kind == DisplayItem::Text || it.kind == DisplayItem::Image) &&
                       it.link >= 0 && size_t(it.link) < tree.links.size()) {
                ++g.linkItemStart[size_t(it.link) + 1];
            }
        }
        for (size_t i = 1; i < g.linkItemStart.size(); ++i)
            g.linkItemStart[i] += g.linkItemStart[i - 1];
        g.linkItems.assign(g.linkItemStart.back(), 0);
        std::vector<uint32_t> fill(g.linkItemStart.begin(), g.linkItemStart.end() - 1);
        for (uint32_t i = 0; i < list.items.size(); ++i) {
            const DisplayItem& it = list.items[i];
            if ((it.kind == DisplayItem::Text || it.kind == DisplayItem::Image) && it.link >= 0 &&
                size_t(it.link) < tree.links.size())
                g.linkItems[fill[size_t(it.link)]++] = i;
        }
    }
    if (!g.groups) {
        g.groups = true;
        g.groupItems.clear();
        g.groupItems.reserve(FGroups.size());
        for (const HtmlRowGroup& group : FGroups) {
            const size_t first = size_t(group.firstRow);
            const size_t last = std::min(g.rowItems.size(), first + size_t(group.rowCount));
            if (first >= last) {
                const uint32_t at = g.groupItems.empty() ? 0 : g.groupItems.back().second;
                g.groupItems.emplace_back(at, at);
                continue;
            }
            g.groupItems.emplace_back(g.rowItems[first].first, g.rowItems[last - 1].second);
        }
    }
    return g;
}

void ViewFocus::setGroups(std::vector<HtmlRowGroup> groups)
{
    if (!FGroups.empty()) {
        FPrevious = std::move(FGroups);
        FPreviousCurrent = FCurrent;
    }
    // Kept only in row order and without overlaps, which every lookup here relies on.
    std::vector<HtmlRowGroup> valid;
    valid.reserve(groups.size());
    int nextFree = 0;
    for (const HtmlRowGroup& group : groups) {
        if (group.firstRow < nextFree || group.rowCount < 1)
            continue;
        valid.push_back(group);
        nextFree = group.firstRow + group.rowCount;
    }
    FGroups = std::move(valid);
    FCurrent = -1;
    FFocusedLink = -1;
    if (FGeometry)
        FGeometry->groups = false;
    changed();

    int current = FGroups.empty() ? -1 : 0;
    if (!FGroups.empty() && FPreviousCurrent >= 0 && FPreviousCurrent < int(FPrevious.size())) {
        QHash<quint64, int> byKey;
        byKey.reserve(qsizetype(FGroups.size()));
        for (int i = 0; i < int(FGroups.size()); ++i)
            byKey.insert(FGroups[size_t(i)].key, i);
        // The same group, else the nearest one after it that is still there, else before it.
        const int from = FPreviousCurrent;
        int found = -1;
        for (int i = from; i < int(FPrevious.size()) && found < 0; ++i)
            found = byKey.value(FPrevious[size_t(i)].key, -1);
        for (int i = from - 1; i >= 0 && found < 0; --i)
            found = byKey.value(FPrevious[size_t(i)].key, -1);
        if (found >= 0)
            current = found;
    }
    FCurrent = current;
    FView.viewport()->update();
    emit FView.currentRowGroupChanged(FCurrent);
    if (FView.hasFocus() && FCurrent >= 0)
        accessible().notifyFocus();
}

void ViewFocus::setCurrent(int group, bool scroll)
{
    if (group < -1 || group >= int(FGroups.size()))
        return;
    if (group == FCurrent) {
        if (scroll)
            ensureCurrentVisible();
        return;
    }
    updateGroupArea(FCurrent);
    FCurrent = group;
    if (scroll)
        ensureCurrentVisible();
    updateGroupArea(FCurrent);
    emit FView.currentRowGroupChanged(FCurrent);
    if (FView.hasFocus() && FFocusedLink < 0 && FCurrent >= 0)
        accessible().notifyFocus();
}

void ViewFocus::ensureCurrentVisible()
{
    if (FCurrent >= 0)
        ensureVisible(groupRect(FCurrent));
}

QRectF ViewFocus::groupRect(int group) const
{
    if (group < 0 || group >= int(FGroups.size()))
        return {};
    const Geometry& g = geometry();
    const HtmlRowGroup& rows = FGroups[size_t(group)];
    QRectF rect;
    const size_t last = std::min(g.rowRects.size(), size_t(rows.firstRow) + size_t(rows.rowCount));
    for (size_t r = size_t(rows.firstRow); r < last; ++r)
        if (!g.rowRects[r].isNull())
            rect = rect.isNull() ? g.rowRects[r] : rect.united(g.rowRects[r]);
    return rect;
}

int ViewFocus::groupAt(QPointF p) const
{
    const Geometry& g = geometry();
    // Rows stack from the top of the table down.
    auto row = std::lower_bound(g.rowRects.begin(), g.rowRects.end(), p.y(),
                                [](const QRectF& r, double y) { return r.bottom() <= y; });
    if (row == g.rowRects.end() || !row->contains(p))
        return -1;
    const int ordinal = int(row - g.rowRects.begin());
    auto group = std::upper_bound(FGroups.begin(), FGroups.end(), ordinal,
                                  [](int r, const HtmlRowGroup& gr) { return r < gr.firstRow; });
    if (group == FGroups.begin())
        return -1;
    --group;
    return ordinal < group->firstRow + group->rowCount ? int(group - FGroups.begin()) : -1;
}

int ViewFocus::linkCount() const
{
    return FTree ? int(FTree->links.size()) : 0;
}

QString ViewFocus::linkTarget(int link) const
{
    if (!FTree || link < 0 || link >= linkCount())
        return {};
    return FTree->links[size_t(link)].toString();
}

QString ViewFocus::linkText(int link) const
{
    if (!FTree || link < 0 || link >= linkCount())
        return {};
    const Geometry& g = geometry();
    QString text;
    for (uint32_t i = g.linkFirst[size_t(link)]; i < FTree->items.size(); ++i) {
        const InlineItem& it = FTree->items[i];
        if (it.link != link)
            break;
        if (it.kind != InlineItem::Word)
            continue;
        if (!text.isEmpty() && it.sep != Sep::None)
            text += u' ';
        text += it.text;
    }
    return text;
}

std::vector<QRectF> ViewFocus::linkRects(int link) const
{
    std::vector<QRectF> rects;
    if (!FList || link < 0 || link >= linkCount())
        return rects;
    const Geometry& g = geometry();
    for (uint32_t k = g.linkItemStart[size_t(link)]; k < g.linkItemStart[size_t(link) + 1]; ++k)
        rects.push_back(FList->items[g.linkItems[k]].rect());
    return rects;
}

QRect ViewFocus::linkViewportRect(int link) const
{
    QRectF r;
    for (const QRectF& part : linkRects(link))
        r = r.isNull() ? part : r.united(part);
    const QPointF scroll(FView.horizontalScrollBar()->value(), FView.verticalScrollBar()->value());
    return r.isNull() ? QRect() : r.translated(-scroll).toAlignedRect();
}

int ViewFocus::groupOfLink(int link) const
{
    if (link < 0 || link >= linkCount())
        return -1;
    const Geometry& g = geometry();
    const uint32_t item = g.linkFirst[size_t(link)];
    if (item == NoItem)
        return -1;
    auto it = std::upper_bound(
        g.groupItems.begin(), g.groupItems.end(), item,
        [](uint32_t i, const std::pair<uint32_t, uint32_t>& range) { return i < range.first; });
    while (it != g.groupItems.begin()) {
        --it;
        if (item < it->second)
            return int(it - g.groupItems.begin());
        if (it->first < it->second) // a non-empty group ends before the item: none holds it
            break;
    }
    return -1;
}

const std::vector<int>& ViewFocus::focusOrder() const
{
    return geometry().focusOrder;
}

int ViewFocus::focusIndex(int link) const
{
    if (link < 0 || link >= linkCount())
        return -1;
    const Geometry& g = geometry();
    const uint32_t first = g.linkFirst[size_t(link)];
    if (first == NoItem)
        return -1;
    // focusFirst is sorted; links may share a first item only when one is empty.
    auto at = std::lower_bound(g.focusFirst.begin(), g.focusFirst.end(), first);
    for (; at != g.focusFirst.end() && *at == first; ++at)
        if (g.focusOrder[size_t(at - g.focusFirst.begin())] == link)
            return int(at - g.focusFirst.begin());
    return -1;
}

std::pair<int, int> ViewFocus::groupLinks(int group) const
{
    if (group < 0 || group >= int(FGroups.size()))
        return {0, 0};
    const Geometry& g = geometry();
    const auto [b, e] = g.groupItems[size_t(group)];
    const int begin =
        int(std::lower_bound(g.focusFirst.begin(), g.focusFirst.end(), b) - g.focusFirst.begin());
    const int end =
        int(std::lower_bound(g.focusFirst.begin(), g.focusFirst.end(), e) - g.focusFirst.begin());
    return {begin, std::max(begin, end)};
}

int ViewFocus::findLink(const QString& target, int group) const
{
    const std::vector<int>& order = focusOrder();
    auto [begin, end] = group >= 0 ? groupLinks(group) : std::pair<int, int>{0, int(order.size())};
    for (int i = begin; i < end; ++i)
        if (FTree->links[size_t(order[size_t(i)])] == target)
            return order[size_t(i)];
    return -1;
}

void ViewFocus::setFocusedLink(int link)
{
    if (link < -1 || link >= linkCount() || link == FFocusedLink)
        return;
    updateLinkArea(FFocusedLink);
    FFocusedLink = link;
    if (link < 0)
        return;
    const std::vector<QRectF> rects = linkRects(link);
    if (!rects.empty())
        ensureVisible(rects.front());
    updateLinkArea(link);
    const int group = groupOfLink(link);
    if (group >= 0)
        setCurrent(group, false);
    if (FView.hasFocus())
        accessible().notifyFocus();
}

void ViewFocus::moveTo(int group)
{
    setFocusedLink(-1);
    setCurrent(group, true);
}

int ViewFocus::pageTarget(bool down) const
{
    const int count = int(FGroups.size());
    const int from = std::max(FCurrent, 0);
    const QRectF here = groupRect(from);
    const double height = FView.viewport()->height();
    // Group tops grow with the index.
    int lo = 0, hi = count;
    if (down) {
        const double y = here.top() + height;
        while (lo < hi) { // first group whose top is below y
            const int mid = (lo + hi) / 2;
            if (groupRect(mid).top() <= y)
                lo = mid + 1;
            else
                hi = mid;
        }
        const int target = lo - 1;
        return std::clamp(target > from ? target : from + 1, 0, count - 1);
    }
    const double y = here.top() - height;
    while (lo < hi) { // first group whose bottom is below y
        const int mid = (lo + hi) / 2;
        if (groupRect(mid).bottom() <= y)
            lo = mid + 1;
        else
            hi = mid;
    }
    return std::clamp(lo < from ? lo : from - 1, 0, count - 1);
}

bool ViewFocus::wantsKey(const QKeyEvent* event) const
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    return FFocusedLink >= 0 && mods == Qt::NoModifier &&
           (isReturn(event->key()) || event->key() == Qt::Key_Escape);
}

bool ViewFocus::keyPress(QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (wantsKey(event)) {
        if (isReturn(key))
            activateLink(FFocusedLink);
        else
            setFocusedLink(-1);
        return true;
    }
    if (key == Qt::Key_Menu || (key == Qt::Key_F10 && mods == Qt::ShiftModifier)) {
        const QPoint at = FView.viewport()->mapTo(&FView, menuPoint());
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, FView.mapToGlobal(at));
        QCoreApplication::sendEvent(&FView, &menu);
        return true;
    }
    const int count = int(FGroups.size());
    if (count == 0 || mods != Qt::NoModifier)
        return false;
    QScrollBar* bar = FView.verticalScrollBar();
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_K:
        moveTo(std::max(0, FCurrent - 1));
        return true;
    case Qt::Key_Down:
    case Qt::Key_J:
        moveTo(FCurrent < 0 ? 0 : std::min(count - 1, FCurrent + 1));
        return true;
    case Qt::Key_Home:
        moveTo(0);
        bar->setValue(0);
        return true;
    case Qt::Key_End:
        moveTo(count - 1);
        bar->setValue(bar->maximum());
        return true;
    case Qt::Key_PageDown:
    case Qt::Key_PageUp: {
        const int from = std::max(FCurrent, 0);
        const int target = pageTarget(key == Qt::Key_PageDown);
        const double shift = groupRect(target).top() - groupRect(from).top();
        setFocusedLink(-1);
        setCurrent(target, false);
        bar->setValue(bar->value() + int(std::lround(shift)));
        ensureCurrentVisible();
        return true;
    }
    default:
        return false;
    }
}

bool ViewFocus::tab(bool forward)
{
    const std::vector<int>& order = focusOrder();
    if (order.empty())
        return false;
    int next;
    if (FFocusedLink < 0) {
        if (!forward)
            return false;
        // From the current group's first link, or the first link of the page.
        const Geometry& g = geometry();
        const uint32_t from = FCurrent >= 0 ? g.groupItems[size_t(FCurrent)].first : 0;
        next = int(std::lower_bound(g.focusFirst.begin(), g.focusFirst.end(), from) -
                   g.focusFirst.begin());
    } else {
        next = focusIndex(FFocusedLink) + (forward ? 1 : -1);
        if (next < 0) { // back from the first link: the view itself
            setFocusedLink(-1);
            if (FView.hasFocus() && FCurrent >= 0)
                accessible().notifyFocus();
            return true;
        }
    }
    if (next >= int(order.size())) {
        setFocusedLink(-1);
        return false;
    }
    setFocusedLink(order[size_t(next)]);
    return true;
}

void ViewFocus::pointerPressed(QPointF pagePoint)
{
    setFocusedLink(-1);
    const int group = groupAt(pagePoint);
    if (group >= 0)
        setCurrent(group, false);
}

void ViewFocus::focusChanged(bool in, bool byTab)
{
    if (in && byTab)
        setFocusedLink(-1);
    updateGroupArea(FCurrent);
    updateLinkArea(FFocusedLink);
    if (in && (FCurrent >= 0 || FFocusedLink >= 0)) {
        // After the view's own focus event, so that a screen reader ends on the task.
        QMetaObject::invokeMethod(
            &FView,
            [view = &FView] {
                if (view->hasFocus())
                    view->focusModel().accessible().notifyFocus();
            },
            Qt::QueuedConnection);
    }
}

void ViewFocus::paint(QPainter& painter, const QPalette& palette) const
{
    painter.save();
    painter.setBrush(Qt::NoBrush);
    const QRectF frame = groupRect(FCurrent);
    if (!frame.isNull()) {
        painter.setPen(QPen(palette.color(QPalette::Highlight), 2));
        painter.drawRect(frame.adjusted(1, 1, -1, -1));
    }
    if (FFocusedLink >= 0) {
        QPen pen(palette.color(QPalette::WindowText), 1, Qt::DotLine);
        painter.setPen(pen);
        for (const QRectF& r : linkRects(FFocusedLink))
            painter.drawRect(r.adjusted(-1.5, -1.5, 0.5, 0.5));
    }
    painter.restore();
}

void ViewFocus::updateGroupArea(int group) const
{
    const QRectF r = groupRect(group);
    if (r.isNull())
        return;
    const QPointF scroll(FView.horizontalScrollBar()->value(), FView.verticalScrollBar()->value());
    FView.viewport()->update(r.translated(-scroll).toAlignedRect());
}

void ViewFocus::updateLinkArea(int link) const
{
    const QPointF scroll(FView.horizontalScrollBar()->value(), FView.verticalScrollBar()->value());
    for (const QRectF& r : linkRects(link))
        FView.viewport()->update(r.adjusted(-3, -3, 3, 3).translated(-scroll).toAlignedRect());
}

void ViewFocus::ensureVisible(const QRectF& r)
{
    if (r.isNull())
        return;
    QScrollBar* v = FView.verticalScrollBar();
    const double top = v->value();
    const double height = FView.viewport()->height();
    if (r.top() < top || r.height() >= height)
        v->setValue(int(std::floor(r.top())));
    else if (r.bottom() > top + height)
        v->setValue(int(std::ceil(r.bottom() - height)));
    QScrollBar* h = FView.horizontalScrollBar();
    const double left = h->value();
    const double width = FView.viewport()->width();
    if (r.right() > left + width)
        h->setValue(int(std::ceil(r.right() - width)));
    if (r.left() < h->value())
        h->setValue(int(std::floor(r.left())));
}

void ViewFocus::activateLink(int link)
{
    if (link < 0 || link >= linkCount())
        return;
    const QString target = linkTarget(link);
    FActivationPoint = FView.viewport()->mapToGlobal(linkViewportRect(link).bottomLeft());
    FKeyboardActivation = true;
    bool handled = false;
    // The slot may load a new document; nothing of the old one is used after this.
    emit FView.hotSpotClick(target, &handled);
    FKeyboardActivation = false;
}

QPoint ViewFocus::activationPoint() const
{
    return FKeyboardActivation ? FActivationPoint : QCursor::pos();
}

QPoint ViewFocus::menuPoint() const
{
    const QPointF scroll(FView.horizontalScrollBar()->value(), FView.verticalScrollBar()->value());
    QRect at = linkViewportRect(FFocusedLink);
    if (at.isNull() && FCurrent >= 0)
        at = groupRect(FCurrent).translated(-scroll).toAlignedRect();
    const QRect area = FView.viewport()->rect();
    if (at.isNull())
        return area.center();
    const QPoint p = at.bottomLeft();
    return QPoint(std::clamp(p.x(), 0, std::max(0, area.width() - 1)),
                  std::clamp(p.y(), 0, std::max(0, area.height() - 1)));
}

} // namespace htmlview
