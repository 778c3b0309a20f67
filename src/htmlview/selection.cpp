#include "htmlview/selection.h"

#include "htmlview/text_measurer.h"

#include <algorithm>
#include <cmath>

namespace htmlview {

namespace {

uint32_t itemLength(const InlineItem& it)
{
    return it.kind == InlineItem::Word ? uint32_t(it.text.size())
                                       : (it.kind == InlineItem::Image ? 1 : 0);
}

// The position inside a Text or Image item nearest to x.
TextPosition positionInItem(const DisplayList& list, const BoxTree& tree, const DisplayItem& d,
                            float x)
{
    if (d.kind == DisplayItem::Image)
        return {d.first, x > d.x + d.w / 2 ? 1u : 0u};
    TextMeasurer& m = *tree.measurer;
    int font = fontOf(tree.items[d.first].style, m);
    uint32_t begin, end;
    if (list.partOf(d, begin, end)) {
        QStringView text = tree.items[d.first].text;
        float px = d.x;
        for (uint32_t c = begin; c < end; ++c) {
            float a = m.advance(font, text.mid(c, 1));
            if (x < px + a / 2)
                return {d.first, c};
            px += a;
        }
        return {d.first, end};
    }
    float cx = d.x;
    for (uint32_t k = d.first; k <= d.last; ++k) {
        const InlineItem& it = tree.items[k];
        if (k > d.first && it.hasSpace)
            cx += it.spaceWidth;
        if (x < cx)
            return {k, 0};
        if (x < cx + it.width) {
            float px = cx;
            for (qsizetype c = 0; c < it.text.size(); ++c) {
                float a = m.advance(font, it.text.mid(c, 1));
                if (x < px + a / 2)
                    return {k, uint32_t(c)};
                px += a;
            }
            return {k, uint32_t(it.text.size())};
        }
        cx += it.width;
    }
    return {d.last, itemLength(tree.items[d.last])};
}

} // namespace

int32_t linkAt(const DisplayList& list, QPointF point)
{
    std::vector<uint32_t> hits = list.itemsIn(QRectF(point, QSizeF(0.01, 0.01)));
    for (auto it = hits.rbegin(); it != hits.rend(); ++it) {
        const DisplayItem& d = list.items[*it];
        if ((d.kind == DisplayItem::Text || d.kind == DisplayItem::Image) && d.link >= 0 &&
            d.rect().contains(point))
            return d.link;
    }
    return -1;
}

bool positionAt(const DisplayList& list, const BoxTree& tree, QPointF point, TextPosition& pos)
{
    const DisplayItem* best = nullptr;
    float bestDy = 1e30f, bestDx = 1e30f;
    for (float reach : {0.0f, DisplayList::BandHeight, DisplayList::BandHeight * 8}) {
        QRectF area(-1e6, point.y() - reach, 2e6, 2 * reach + 0.01);
        for (uint32_t i : list.itemsIn(area)) {
            const DisplayItem& d = list.items[i];
            if (d.kind != DisplayItem::Text && d.kind != DisplayItem::Image)
                continue;
            float dy = point.y() < d.y ? float(d.y - point.y())
                                       : (point.y() > d.y + d.h ? float(point.y() - d.y - d.h) : 0);
            float dx = point.x() < d.x ? float(d.x - point.x())
                                       : (point.x() > d.x + d.w ? float(point.x() - d.x - d.w) : 0);
            if (dy < bestDy - 0.5f || (std::abs(dy - bestDy) <= 0.5f && dx < bestDx)) {
                best = &d;
                bestDy = dy;
                bestDx = dx;
            }
        }
        if (best)
            break;
    }
    if (!best) {
        if (tree.items.empty())
            return false;
        pos = point.y() <= 0 ? TextPosition{0, 0} : endOfText(tree);
        return true;
    }
    pos = positionInItem(list, tree, *best, float(point.x()));
    return true;
}

void positionsOf(const DisplayList& list, const BoxTree& tree, const DisplayItem& d,
                 TextPosition& start, TextPosition& end)
{
    uint32_t begin, stop;
    if (list.partOf(d, begin, stop)) {
        start = {d.first, begin};
        end = {d.first, stop};
        return;
    }
    start = {d.first, 0};
    end = {d.last, itemLength(tree.items[d.last])};
}

float xOfPosition(const DisplayList& list, const BoxTree& tree, const DisplayItem& d,
                  TextPosition pos)
{
    if (d.kind == DisplayItem::Image)
        return pos.item < d.first ? d.x : (pos.item > d.first || pos.offset > 0 ? d.x + d.w : d.x);
    if (pos.item < d.first)
        return d.x;
    if (pos.item > d.last)
        return d.x + d.w;
    TextMeasurer& m = *tree.measurer;
    uint32_t begin, end;
    if (list.partOf(d, begin, end)) {
        const uint32_t off = std::clamp(pos.offset, begin, end);
        const InlineItem& it = tree.items[d.first];
        return d.x + m.advance(fontOf(it.style, m), it.text.mid(begin, off - begin));
    }
    float cx = d.x;
    for (uint32_t k = d.first; k <= d.last; ++k) {
        const InlineItem& it = tree.items[k];
        if (k > d.first && it.hasSpace)
            cx += it.spaceWidth;
        if (k == pos.item) {
            uint32_t off = std::min<uint32_t>(pos.offset, uint32_t(it.text.size()));
            return cx + (off == it.text.size() ? it.width
                                               : m.advance(fontOf(it.style, m), it.text.left(off)));
        }
        cx += it.width;
    }
    return d.x + d.w;
}

QString textBetween(const BoxTree& tree, TextPosition a, TextPosition b)
{
    QString out;
    if (tree.items.empty() || !(a < b))
        return out;
    uint32_t last = std::min<uint32_t>(b.item, uint32_t(tree.items.size() - 1));
    for (uint32_t k = a.item; k <= last; ++k) {
        const InlineItem& it = tree.items[k];
        if (k > a.item) {
            switch (it.sep) {
            case Sep::Space:
                out += u' ';
                break;
            case Sep::Newline:
                out += u'\n';
                break;
            case Sep::Tab:
                out += u'\t';
                break;
            case Sep::None:
                break;
            }
        }
        if (it.kind != InlineItem::Word)
            continue;
        qsizetype from = k == a.item ? std::min<qsizetype>(a.offset, it.text.size()) : 0;
        qsizetype to = k == b.item ? std::min<qsizetype>(b.offset, it.text.size()) : it.text.size();
        if (to > from)
            out += it.text.mid(from, to - from);
    }
    out.replace(QChar(0xA0), u' ');
    return out;
}

void wordAt(const BoxTree& tree, TextPosition pos, TextPosition& start, TextPosition& end)
{
    start = {pos.item, 0};
    end = {pos.item, pos.item < tree.items.size() ? itemLength(tree.items[pos.item]) : 0};
}

TextPosition endOfText(const BoxTree& tree)
{
    if (tree.items.empty())
        return {};
    uint32_t last = uint32_t(tree.items.size() - 1);
    return {last, itemLength(tree.items[last])};
}

} // namespace htmlview
