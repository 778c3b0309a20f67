#include "htmlview/html_view.h"

#include "htmlview/accessibility.h"
#include "htmlview/document.h"
#include "htmlview/image_cache.h"
#include "htmlview/pagination.h"
#include "htmlview/paint.h"
#include "htmlview/selection.h"
#include "htmlview/text_measurer.h"
#include "htmlview/view_focus.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>
#include <QTimer>

using namespace htmlview;

namespace {

struct PrintGeometry {
    QPointF origin;   // top-left of the printed area on the device
    double scale = 1; // device pixels per page pixel
    float layoutWidth = 0;
    float pageHeight = 0;
    double dpi = 96;
};

constexpr int AutoScrollInterval = 30; // milliseconds between auto-scroll steps

} // namespace

struct HtmlView::Private {
    explicit Private(HtmlView& view) : keys(view) {}
    QtTextMeasurer measurer;
    ImageCache images;
    std::unique_ptr<Document> doc;
    DisplayList list;
    int layoutWidth = 0; // the width `list` was laid out for
    QString source;
    QMenu* menu = nullptr;
    QMarginsF printMargins{20, 20, 20, 20};
    double printScale = 1;
    QString hoverTarget;
    int32_t pressedLink = -1;
    QPoint pressPos;
    bool pressed = false;
    bool dragging = false;
    bool hasSelection = false;
    TextPosition anchor, focus;
    QTimer autoScroll; // while dragging past an edge
    QPoint dragPoint;  // the pointer in viewport coordinates, last seen while dragging
    ViewFocus keys;    // declared last: it refers to the document and the list above

    QString linkText(int32_t link) const
    {
        if (!doc || link < 0 || size_t(link) >= doc->boxes().links.size())
            return {};
        return doc->boxes().links[size_t(link)].toString();
    }

    PrintGeometry geometry(QPrinter* printer) const
    {
        PrintGeometry g;
        g.dpi = printer->resolution() > 0 ? printer->resolution() : 96;
        const double mm = g.dpi / 25.4;
        QRectF paper = printer->paperRect(QPrinter::DevicePixel);
        QRectF page = printer->pageRect(QPrinter::DevicePixel);
        double left = printMargins.left() * mm, top = printMargins.top() * mm;
        g.origin = QPointF(std::max(0.0, left - (page.left() - paper.left())),
                           std::max(0.0, top - (page.top() - paper.top())));
        double width = paper.width() - (printMargins.left() + printMargins.right()) * mm;
        double height = paper.height() - (printMargins.top() + printMargins.bottom()) * mm;
        g.scale = g.dpi / 96.0 * (printScale > 0.01 ? printScale : 1.0);
        g.layoutWidth = float(std::max(1.0, width / g.scale));
        g.pageHeight = float(std::max(1.0, height / g.scale));
        return g;
    }
};

HtmlView::HtmlView(QWidget* parent)
    : QAbstractScrollArea(parent), d(std::make_unique<Private>(*this))
{
    installHtmlViewAccessibility();
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    // Every paint covers its whole area, so scrolling may move what is drawn already.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    verticalScrollBar()->setSingleStep(20);
    horizontalScrollBar()->setSingleStep(20);
    d->autoScroll.setInterval(AutoScrollInterval);
    connect(&d->autoScroll, &QTimer::timeout, this, &HtmlView::autoScroll);
    clear();
}

HtmlView::~HtmlView() = default;

void HtmlView::loadFromString(const QString& html)
{
    d->source = html;
    d->doc = std::make_unique<Document>(html, d->measurer, d->images);
    d->hasSelection = false;
    d->pressed = false;
    d->dragging = false;
    d->autoScroll.stop();
    d->pressedLink = -1;
    d->layoutWidth = std::max(1, viewport()->width());
    d->list = d->doc->layout(float(d->layoutWidth));
    d->keys.documentLoaded(d->doc->boxes(), d->list);
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
}

void HtmlView::clear()
{
    loadFromString(QString());
}

QString HtmlView::documentText() const
{
    if (!d->doc)
        return {};
    return textBetween(d->doc->boxes(), TextPosition{0, 0}, endOfText(d->doc->boxes()));
}

QString HtmlView::documentSource() const
{
    return d->source;
}

QSize HtmlView::documentSize() const
{
    return QSize(int(d->list.width), int(d->list.height));
}

int HtmlView::position() const
{
    return verticalScrollBar()->value();
}

void HtmlView::setPosition(int position)
{
    verticalScrollBar()->setValue(position); // clamped to what the document allows
}

QString HtmlView::selectedText() const
{
    if (!d->doc || !d->hasSelection)
        return {};
    TextPosition a = d->anchor, b = d->focus;
    if (b < a)
        std::swap(a, b);
    return textBetween(d->doc->boxes(), a, b);
}

int HtmlView::selectionLength() const
{
    return int(selectedText().size());
}

bool HtmlView::hasSelectedText() const
{
    if (!d->doc || !d->hasSelection)
        return false;
    TextPosition a = d->anchor, b = d->focus;
    if (b < a)
        std::swap(a, b);
    // The same walk as textBetween, ending at the first separator or character it would copy.
    const BoxTree& tree = d->doc->boxes();
    if (tree.items.empty() || !(a < b))
        return false;
    const uint32_t last = std::min<uint32_t>(b.item, uint32_t(tree.items.size() - 1));
    for (uint32_t k = a.item; k <= last; ++k) {
        const InlineItem& it = tree.items[k];
        if (k > a.item && it.sep != Sep::None)
            return true;
        if (it.kind != InlineItem::Word)
            continue;
        const qsizetype from = k == a.item ? std::min<qsizetype>(a.offset, it.text.size()) : 0;
        const qsizetype to =
            k == b.item ? std::min<qsizetype>(b.offset, it.text.size()) : it.text.size();
        if (to > from)
            return true;
    }
    return false;
}

void HtmlView::clearSelection()
{
    d->hasSelection = false;
    viewport()->update();
}

void HtmlView::selectAll()
{
    if (!d->doc || d->doc->boxes().items.empty())
        return;
    d->anchor = {0, 0};
    d->focus = endOfText(d->doc->boxes());
    d->hasSelection = true;
    viewport()->update();
    publishSelection();
}

void HtmlView::publishSelection()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard && clipboard->supportsSelection() && hasSelectedText())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

void HtmlView::setContextMenu(QMenu* menu)
{
    d->menu = menu;
}

void HtmlView::setPrintMargins(const QMarginsF& millimetres)
{
    d->printMargins = millimetres;
}

void HtmlView::setPrintScale(double scale)
{
    d->printScale = scale;
}

int HtmlView::printerPageCount(QPrinter* printer) const
{
    if (!printer || !d->doc)
        return 0;
    PrintGeometry g = d->geometry(printer);
    DisplayList list = d->doc->layout(g.layoutWidth);
    return int(paginate(list, g.pageHeight).size());
}

void HtmlView::print(QPrinter* printer, int fromPage, int toPage) const
{
    if (!printer || !d->doc)
        return;
    PrintGeometry g = d->geometry(printer);
    DisplayList list = d->doc->layout(g.layoutWidth);
    std::vector<PageSlice> pages = paginate(list, g.pageHeight);
    fromPage = std::max(fromPage, 1);
    toPage = std::min(toPage, int(pages.size()));
    if (fromPage > toPage)
        return;
    QPainter painter;
    if (!painter.begin(printer))
        throw HtmlViewError(QStringLiteral("The printer could not be started."));
    painter.setRenderHint(QPainter::TextAntialiasing);
    PaintOptions options;
    options.fontDpi = printer->logicalDpiY() > 0 ? printer->logicalDpiY() : g.dpi;
    options.paintCanvas = false;
    for (int p = fromPage; p <= toPage; ++p) {
        if (p > fromPage)
            printer->newPage();
        const PageSlice& slice = pages[size_t(p - 1)];
        painter.save();
        painter.translate(g.origin);
        painter.scale(g.scale, g.scale);
        QRectF area(0, 0, g.layoutWidth, slice.bottom - slice.top);
        painter.setClipRect(area);
        painter.translate(0, -slice.top);
        paintDisplayList(painter, list, d->doc->boxes(),
                         QRectF(0, slice.top, g.layoutWidth, slice.bottom - slice.top), options);
        painter.restore();
    }
    painter.end();
}

QString HtmlView::linkAt(const QPoint& viewportPoint) const
{
    QPointF p(viewportPoint.x() + horizontalScrollBar()->value(),
              viewportPoint.y() + verticalScrollBar()->value());
    return d->linkText(htmlview::linkAt(d->list, p));
}

void HtmlView::updateScrollBars()
{
    QSize vp = viewport()->size();
    verticalScrollBar()->setRange(0, std::max(0, int(d->list.height) - vp.height()));
    verticalScrollBar()->setPageStep(std::max(1, vp.height()));
    horizontalScrollBar()->setRange(0, std::max(0, int(d->list.width) - vp.width()));
    horizontalScrollBar()->setPageStep(std::max(1, vp.width()));
}

void HtmlView::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    QPointF scroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
    painter.translate(-scroll);
    QRectF clip = QRectF(event->rect()).translated(scroll);
    PaintOptions options;
    options.fontDpi = d->measurer.dpi();
    options.hasSelection = d->hasSelection && d->doc && !(d->anchor == d->focus);
    options.selectionStart = std::min(d->anchor, d->focus);
    options.selectionEnd = std::max(d->anchor, d->focus);
    options.highlight = palette().color(QPalette::Highlight);
    options.highlightedText = palette().color(QPalette::HighlightedText);
    if (d->doc)
        paintDisplayList(painter, d->list, d->doc->boxes(), clip, options);
    else
        painter.fillRect(clip, Qt::white);
    if (d->doc && hasFocus())
        d->keys.paint(painter, palette());
}

void HtmlView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    if (d->doc && d->layoutWidth != std::max(1, viewport()->width())) {
        int pos = position();
        d->layoutWidth = std::max(1, viewport()->width());
        d->list = d->doc->layout(float(d->layoutWidth));
        d->keys.relaidOut(d->list);
        updateScrollBars();
        setPosition(pos);
    } else {
        updateScrollBars();
    }
    viewport()->update();
}

void HtmlView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    QPoint vp = event->position().toPoint();
    QPointF p = vp + QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value());
    d->pressed = true;
    d->dragging = false;
    d->pressPos = vp;
    d->pressedLink = htmlview::linkAt(d->list, p);
    d->keys.pointerPressed(p);
    if (d->hasSelection) {
        d->hasSelection = false;
        viewport()->update();
    }
    if (d->doc)
        positionAt(d->list, d->doc->boxes(), p, d->anchor);
    d->focus = d->anchor;
}

void HtmlView::mouseMoveEvent(QMouseEvent* event)
{
    QPoint vp = event->position().toPoint();
    QPointF p = vp + QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value());
    QString target = d->linkText(htmlview::linkAt(d->list, p));
    if (target != d->hoverTarget) {
        d->hoverTarget = target;
        viewport()->setCursor(target.isEmpty() ? Qt::ArrowCursor : Qt::PointingHandCursor);
        emit hotSpotCovered(target);
    }
    if (d->pressed && (event->buttons() & Qt::LeftButton) && d->doc) {
        if (!d->dragging &&
            (vp - d->pressPos).manhattanLength() >= QApplication::startDragDistance())
            d->dragging = true;
        if (d->dragging) {
            extendSelection(vp);
            // Past an edge the timer scrolls, also while the pointer is held still there.
            if (viewport()->rect().contains(vp))
                d->autoScroll.stop();
            else if (!d->autoScroll.isActive())
                d->autoScroll.start();
        }
    }
}

void HtmlView::extendSelection(QPoint vp)
{
    d->dragPoint = vp;
    QPointF p = vp + QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value());
    positionAt(d->list, d->doc->boxes(), p, d->focus);
    d->hasSelection = !(d->anchor == d->focus);
    viewport()->update();
}

void HtmlView::autoScroll()
{
    if (!d->dragging || !d->doc) {
        d->autoScroll.stop();
        return;
    }
    // Faster the farther past the edge, as browsers do.
    const QPoint vp = d->dragPoint;
    auto step = [](int before, int after) {
        const int past = before > 0 ? -before : (after > 0 ? after : 0);
        return past == 0 ? 0 : (past < 0 ? -1 : 1) * std::clamp(std::abs(past), 4, 200);
    };
    const int dy = step(-vp.y(), vp.y() - viewport()->height() + 1);
    const int dx = step(-vp.x(), vp.x() - viewport()->width() + 1);
    if (dx == 0 && dy == 0) {
        d->autoScroll.stop();
        return;
    }
    verticalScrollBar()->setValue(verticalScrollBar()->value() + dy);
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + dx);
    extendSelection(vp);
}

void HtmlView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    bool wasDrag = d->dragging;
    d->pressed = false;
    d->dragging = false;
    d->autoScroll.stop();
    int32_t pressed = d->pressedLink;
    d->pressedLink = -1;
    if (wasDrag)
        publishSelection();
    if (wasDrag || pressed < 0)
        return;
    QPointF p =
        event->position() + QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value());
    if (htmlview::linkAt(d->list, p) != pressed)
        return;
    bool handled = false;
    // The slot may load a new document; take the target text first.
    QString target = d->linkText(pressed);
    emit hotSpotClick(target, &handled);
}

void HtmlView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !d->doc)
        return;
    QPointF p =
        event->position() + QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value());
    TextPosition pos;
    if (!positionAt(d->list, d->doc->boxes(), p, pos))
        return;
    wordAt(d->doc->boxes(), pos, d->anchor, d->focus);
    d->hasSelection = !(d->anchor == d->focus);
    d->pressed = false;
    viewport()->update();
    publishSelection();
}

void HtmlView::leaveEvent(QEvent* event)
{
    QAbstractScrollArea::leaveEvent(event);
    clearHover();
}

bool HtmlView::viewportEvent(QEvent* event)
{
    // Leaving the page for a scroll bar never leaves the widget; the hover must end anyway.
    if (event->type() == QEvent::Leave)
        clearHover();
    return QAbstractScrollArea::viewportEvent(event);
}

void HtmlView::clearHover()
{
    if (d->hoverTarget.isEmpty())
        return;
    d->hoverTarget.clear();
    viewport()->setCursor(Qt::ArrowCursor);
    emit hotSpotCovered(QString());
}

void HtmlView::keyPressEvent(QKeyEvent* event)
{
    if (d->keys.keyPress(event))
        return;
    switch (event->key()) {
    case Qt::Key_Home:
        verticalScrollBar()->setValue(0);
        return;
    case Qt::Key_End:
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
        return;
    case Qt::Key_Space:
        verticalScrollBar()->triggerAction(event->modifiers() & Qt::ShiftModifier
                                               ? QAbstractSlider::SliderPageStepSub
                                               : QAbstractSlider::SliderPageStepAdd);
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void HtmlView::contextMenuEvent(QContextMenuEvent* event)
{
    if (d->menu)
        d->menu->popup(event->globalPos());
}

void HtmlView::scrollContentsBy(int dx, int dy)
{
    // Only the strip that comes into view is painted; keyboard moves scroll a row at a time.
    viewport()->scroll(dx, dy);
}

bool HtmlView::event(QEvent* event)
{
    // Enter on a focused link follows it, before a window shortcut could take the key.
    if (event->type() == QEvent::ShortcutOverride &&
        d->keys.wantsKey(static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QAbstractScrollArea::event(event);
}

void HtmlView::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    d->keys.focusChanged(true, event->reason() == Qt::TabFocusReason ||
                                   event->reason() == Qt::BacktabFocusReason);
}

void HtmlView::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    d->keys.focusChanged(false, false);
}

bool HtmlView::focusNextPrevChild(bool next)
{
    if (hasFocus() && d->keys.tab(next))
        return true;
    return QAbstractScrollArea::focusNextPrevChild(next);
}

QVariant HtmlView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    // A keyboard context menu opens at the focus.
    if (query == Qt::ImCursorRectangle)
        return QRect(viewport()->mapTo(this, d->keys.menuPoint()), QSize(1, 1));
    return QAbstractScrollArea::inputMethodQuery(query);
}

void HtmlView::setRowGroups(std::vector<HtmlRowGroup> groups)
{
    d->keys.setGroups(std::move(groups));
}

const std::vector<HtmlRowGroup>& HtmlView::rowGroups() const
{
    return d->keys.groups();
}

int HtmlView::currentRowGroup() const
{
    return d->keys.current();
}

void HtmlView::setCurrentRowGroup(int group)
{
    d->keys.setCurrent(group, true);
}

bool HtmlView::setCurrentRowGroupKey(quint64 key)
{
    const std::vector<HtmlRowGroup>& groups = d->keys.groups();
    for (size_t i = 0; i < groups.size(); ++i) {
        if (groups[i].key == key) {
            d->keys.setCurrent(int(i), false);
            return true;
        }
    }
    return false;
}

void HtmlView::ensureCurrentRowGroupVisible()
{
    d->keys.ensureCurrentVisible();
}

QRect HtmlView::rowGroupRect(int group) const
{
    const QPointF scroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
    return d->keys.groupRect(group).translated(-scroll).toAlignedRect();
}

QRect HtmlView::linkRect(const QString& target, int group) const
{
    return d->keys.linkViewportRect(d->keys.findLink(target, group));
}

QString HtmlView::focusedLinkTarget() const
{
    return d->keys.linkTarget(d->keys.focusedLink());
}

QPoint HtmlView::activationPoint() const
{
    return d->keys.activationPoint();
}

void HtmlView::setRowGroupDescription(const HtmlRowGroupDescription* description)
{
    d->keys.setDescription(description);
}

htmlview::ViewFocus& HtmlView::focusModel() const
{
    return d->keys;
}
