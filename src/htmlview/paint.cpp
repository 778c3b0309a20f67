#include "htmlview/paint.h"

#include "htmlview/image_cache.h"
#include "htmlview/text_measurer.h"

#include <QPainter>
#include <cstdlib>
#include <unordered_map>

namespace htmlview {

namespace {

QString wordsOf(const DisplayList& list, const BoxTree& tree, const DisplayItem& d)
{
    uint32_t begin, end;
    if (list.partOf(d, begin, end))
        return tree.items[d.first].text.mid(begin, end - begin).toString();
    QString s;
    for (uint32_t k = d.first; k <= d.last; ++k) {
        const InlineItem& it = tree.items[k];
        if (k > d.first && it.hasSpace)
            s += u' ';
        s += it.text;
    }
    return s;
}

// Colours this close to each other do not tell a selection from its background.
bool alike(QColor a, QColor b)
{
    return std::abs(a.red() - b.red()) < 40 && std::abs(a.green() - b.green()) < 40 &&
           std::abs(a.blue() - b.blue()) < 40;
}

class Painter {
public:
    Painter(QPainter& p, const DisplayList& l, const BoxTree& t, const PaintOptions& o)
        : FP(p), FL(l), FT(t), FO(o)
    {
    }

    const QFont& font(int id)
    {
        auto it = FFonts.find(id);
        if (it == FFonts.end())
            it = FFonts.emplace(id, FT.measurer->paintFont(id, FO.fontDpi)).first;
        return it->second;
    }

    // Fills are remembered as they are painted, so selected text knows what lies under it.
    void fill(const DisplayItem& d)
    {
        FP.fillRect(d.rect(), QColor::fromRgba(d.color));
        if (FO.hasSelection)
            FFills.push_back(&d);
    }

    QColor backgroundUnder(const DisplayItem& d) const
    {
        if (qAlpha(d.color) > 0)
            return QColor::fromRgba(d.color);
        const QPointF centre = d.rect().center();
        for (auto it = FFills.rbegin(); it != FFills.rend(); ++it) {
            if ((*it)->rect().contains(centre))
                return QColor::fromRgba((*it)->color);
        }
        return QColor::fromRgba(FL.canvas);
    }

    void text(const DisplayItem& d)
    {
        const ComputedStyle* s = FT.items[d.first].style;
        if (qAlpha(d.color) > 0)
            FP.fillRect(d.rect(), QColor::fromRgba(d.color));
        QString str = wordsOf(FL, FT, d);
        int fontId = fontOf(s, *FT.measurer);
        float selX0 = 0, selX1 = 0;
        bool selected = false;
        TextPosition start, end;
        positionsOf(FL, FT, d, start, end);
        if (FO.hasSelection && !(end < FO.selectionStart || FO.selectionEnd < start)) {
            selX0 = xOfPosition(FL, FT, d, FO.selectionStart < start ? start : FO.selectionStart);
            selX1 = xOfPosition(FL, FT, d, FO.selectionEnd);
            selected = selX1 > selX0;
            // The space before this run belongs to the selection when the run is selected from
            // its start and something before it is too.
            const InlineItem& head = FT.items[d.first];
            if (selected && head.hasSpace && start.offset == 0 && FO.selectionStart < start)
                selX0 -= head.spaceWidth;
        }
        QRectF selRect(selX0, d.y, selX1 - selX0, d.h);
        QColor selFill = FO.highlight, selText = FO.highlightedText;
        // Over a background in the highlight colour (group headers are drawn in it) the
        // selection is shown the other way round.
        if (selected && alike(backgroundUnder(d), selFill))
            std::swap(selFill, selText);
        if (selected)
            FP.fillRect(selRect, selFill);
        FP.setFont(font(fontId));
        FP.setPen(QColor::fromRgba(s->color));
        FP.drawText(QPointF(d.x, d.baseline), str);
        if (s->decoration) {
            const FontMetrics& m = FT.measurer->metrics(fontId);
            QColor c = QColor::fromRgba(s->decorationColor);
            float t = m.lineWidth;
            if (s->decoration & DecoUnderline)
                FP.fillRect(QRectF(d.x, d.baseline + m.underlinePos - t / 2, d.w, t), c);
            if (s->decoration & DecoLineThrough)
                FP.fillRect(QRectF(d.x, d.baseline - m.ascent * 0.3f, d.w, t), c);
            if (s->decoration & DecoOverline)
                FP.fillRect(QRectF(d.x, d.y, d.w, t), c);
        }
        if (selected) {
            FP.save();
            FP.setClipRect(selRect, Qt::IntersectClip);
            FP.setPen(selText);
            FP.drawText(QPointF(d.x, d.baseline), str);
            FP.restore();
        }
    }

    void image(const DisplayItem& d)
    {
        const InlineItem& it = FT.items[d.first];
        const ComputedStyle* s = it.style;
        QRectF outer = d.rect();
        QRectF inner = outer.adjusted(s->border[3], s->border[0], -s->border[1], -s->border[2]);
        QColor bc = QColor::fromRgba(s->borderColor[0]);
        if (s->border[0] > 0)
            FP.fillRect(QRectF(outer.left(), outer.top(), outer.width(), s->border[0]), bc);
        if (s->border[2] > 0)
            FP.fillRect(QRectF(outer.left(), inner.bottom(), outer.width(), s->border[2]), bc);
        if (s->border[3] > 0)
            FP.fillRect(QRectF(outer.left(), inner.top(), s->border[3], inner.height()), bc);
        if (s->border[1] > 0)
            FP.fillRect(QRectF(inner.right(), inner.top(), s->border[1], inner.height()), bc);
        const ImageCache::Entry& e = FT.images->entry(it.image);
        if (!e.image.isNull()) {
            FP.drawImage(inner, e.image);
            return;
        }
        // A picture that could not be read: a small framed box.
        FP.save();
        FP.setPen(QPen(QColor(0x99, 0x99, 0x99), 1));
        FP.setBrush(QColor(0xF0, 0xF0, 0xF0));
        FP.drawRect(inner.adjusted(0.5, 0.5, -0.5, -0.5));
        FP.restore();
    }

private:
    QPainter& FP;
    const DisplayList& FL;
    const BoxTree& FT;
    const PaintOptions& FO;
    std::unordered_map<int, QFont> FFonts;
    std::vector<const DisplayItem*> FFills;
};

} // namespace

void paintDisplayList(QPainter& painter, const DisplayList& list, const BoxTree& tree,
                      const QRectF& clip, const PaintOptions& options)
{
    if (options.paintCanvas)
        painter.fillRect(clip, QColor::fromRgba(list.canvas));
    if (!tree.measurer)
        return;
    Painter p(painter, list, tree, options);
    for (uint32_t i : list.itemsIn(clip)) {
        const DisplayItem& d = list.items[i];
        switch (d.kind) {
        case DisplayItem::Fill:
            p.fill(d);
            break;
        case DisplayItem::Text:
            p.text(d);
            break;
        case DisplayItem::Image:
            p.image(d);
            break;
        default:
            break;
        }
    }
}

} // namespace htmlview
