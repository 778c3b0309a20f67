#include "htmlview/layout.h"

#include "htmlview/table_layout.h"
#include "htmlview/text_measurer.h"

#include <algorithm>
#include <cmath>

namespace htmlview {

namespace {

float horizontalFrame(const ComputedStyle* s)
{
    return s->border[1] + s->border[3] + s->padding[1] + s->padding[3];
}
float verticalFrame(const ComputedStyle* s)
{
    return s->border[0] + s->border[2] + s->padding[0] + s->padding[2];
}

DisplayItem rectItem(DisplayItem::Kind kind, float x, float y, float w, float h, QRgb color = 0)
{
    DisplayItem it;
    it.kind = kind;
    it.x = x;
    it.y = y;
    it.w = w;
    it.h = h;
    it.color = color;
    return it;
}

class Layouter {
public:
    Layouter(BoxTree& t, DisplayList& out) : FT(t), FM(*t.measurer), FOut(out) {}

    void intrinsic(uint32_t b, float& mn, float& mx)
    {
        Box& box = FT.boxes[b];
        if (box.minWidth >= 0) {
            mn = box.minWidth;
            mx = box.maxWidth;
            return;
        }
        mn = mx = 0;
        switch (box.kind) {
        case Box::Flow:
            flowIntrinsic(box, mn, mx);
            break;
        case Box::Table: {
            TableColumnModel model = tableModel(b);
            const ComputedStyle* s = box.style;
            float frame = horizontalFrame(s) + box.spacing * float(box.columns + 1);
            mn = model.minWidth() + frame;
            mx = model.maxWidth() + frame;
            if (s->width.unit == Length::Px) {
                mn = std::max(mn, s->width.value);
                mx = std::max(mn, s->width.value);
            }
            break;
        }
        default: {
            float cmn = 0, cmx = 0;
            for (uint32_t c = box.firstChild; c != NoBox; c = FT.boxes[c].nextSibling) {
                float a, z;
                intrinsic(c, a, z);
                const Box& child = FT.boxes[c];
                float margins = child.kind == Box::Flow
                                    ? 0
                                    : std::max(0.0f, child.style->margin[1]) +
                                          std::max(0.0f, child.style->margin[3]);
                cmn = std::max(cmn, a + margins);
                cmx = std::max(cmx, z + margins);
            }
            const ComputedStyle* s = FT.boxes[b].style;
            float frame = horizontalFrame(s);
            mn = cmn + frame;
            mx = cmx + frame;
            if (s->width.unit == Length::Px && FT.boxes[b].kind != Box::Cell) {
                mn = mx = s->width.value + frame;
            }
            break;
        }
        }
        mx = std::max(mx, mn);
        FT.boxes[b].minWidth = mn;
        FT.boxes[b].maxWidth = mx;
    }

    void flowIntrinsic(const Box& box, float& mn, float& mx)
    {
        float line = 0, chunk = 0;
        bool lineStart = true;
        for (uint32_t i = box.itemBegin; i < box.itemEnd; ++i) {
            const InlineItem& it = FT.items[i];
            if (it.kind == InlineItem::Break) {
                mx = std::max(mx, line);
                mn = std::max(mn, chunk);
                line = chunk = 0;
                lineStart = true;
                continue;
            }
            float space = (!lineStart && it.hasSpace) ? it.spaceWidth : 0;
            if (it.breakBefore || lineStart) {
                mn = std::max(mn, chunk);
                chunk = it.width;
            } else {
                chunk += space + it.width;
            }
            line += space + it.width;
            lineStart = false;
        }
        mx = std::max(mx, line);
        mn = std::max(mn, chunk);
    }

    TableColumnModel tableModel(uint32_t t)
    {
        const Box& table = FT.boxes[t];
        TableColumnModel model(table.columns, table.spacing);
        for (uint32_t r = table.firstChild; r != NoBox; r = FT.boxes[r].nextSibling) {
            int col = 0;
            for (uint32_t c = FT.boxes[r].firstChild; c != NoBox; c = FT.boxes[c].nextSibling) {
                TableCellWidth cw;
                cw.column = col;
                cw.span = FT.boxes[c].colspan;
                intrinsic(c, cw.minWidth, cw.maxWidth);
                const ComputedStyle* s = FT.boxes[c].style;
                if (s->width.unit == Length::Px)
                    cw.fixedWidth = s->width.value + horizontalFrame(s);
                model.addCell(cw);
                col += cw.span;
            }
        }
        return model;
    }

    static constexpr size_t NoItem = size_t(-1);

    // Reserves the place of a background painted under content laid out later.
    size_t placeholder(QRgb color)
    {
        if (qAlpha(color) == 0)
            return NoItem;
        FOut.items.emplace_back();
        return FOut.items.size() - 1;
    }

    void fill(float x, float y, float w, float h, QRgb color)
    {
        if (w <= 0 || h <= 0 || qAlpha(color) == 0)
            return;
        FOut.items.push_back(rectItem(DisplayItem::Fill, x, y, w, h, color));
    }

    void borders(const ComputedStyle* s, float x, float y, float w, float h)
    {
        const float* b = s->border;
        if (b[0] <= 0 && b[1] <= 0 && b[2] <= 0 && b[3] <= 0)
            return;
        auto shade = [&](int side) {
            QRgb c = s->borderColor[side];
            int st = s->borderStyle[side];
            bool light = (st == kw::Outset && (side == 0 || side == 3)) ||
                         (st == kw::Inset && (side == 1 || side == 2));
            bool dark = (st == kw::Outset && (side == 1 || side == 2)) ||
                        (st == kw::Inset && (side == 0 || side == 3));
            if (light)
                return qRgba(std::min(255, qRed(c) + 64), std::min(255, qGreen(c) + 64),
                             std::min(255, qBlue(c) + 64), qAlpha(c));
            if (dark)
                return qRgba(qRed(c) / 2, qGreen(c) / 2, qBlue(c) / 2, qAlpha(c));
            return c;
        };
        fill(x, y, w, b[0], shade(0));
        fill(x, y + h - b[2], w, b[2], shade(2));
        fill(x, y + b[0], b[3], h - b[0] - b[2], shade(3));
        fill(x + w - b[1], y + b[0], b[1], h - b[0] - b[2], shade(1));
    }

    // Fills a placeholder; `color` is the one it was reserved for.
    void setRect(size_t index, float x, float y, float w, float h, QRgb color)
    {
        if (index != NoItem)
            FOut.items[index] = rectItem(DisplayItem::Fill, x, y, w, h, color);
    }

    // Children of a block container stacked from y; returns the content height.
    float layoutChildren(uint32_t b, float x, float y, float width)
    {
        float cy = y;
        float pendingMargin = 0;
        bool any = false;
        for (uint32_t c = FT.boxes[b].firstChild; c != NoBox; c = FT.boxes[c].nextSibling) {
            const Box& child = FT.boxes[c];
            if (child.kind == Box::Flow) {
                float h = layoutFlow(child, x, cy + pendingMargin, width, FT.boxes[b].style);
                if (h > 0) {
                    cy += pendingMargin + h;
                    pendingMargin = 0;
                    any = true;
                }
                continue;
            }
            const ComputedStyle* s = child.style;
            float mt = s->margin[0], mb = s->margin[2];
            float gap = any ? std::max(pendingMargin, mt) : pendingMargin + mt;
            float ml = s->margin[3], mr = s->margin[1];
            float h;
            if (child.kind == Box::Table)
                h = layoutTable(c, x + ml, cy + gap, width - ml - mr);
            else
                h = layoutBlock(c, x + ml, cy + gap, width - ml - mr);
            cy += gap + h;
            pendingMargin = mb;
            any = true;
        }
        return cy + pendingMargin - y;
    }

    float layoutBlock(uint32_t b, float x, float y, float width)
    {
        const ComputedStyle* s = FT.boxes[b].style;
        if (s->width.unit == Length::Px)
            width = s->width.value + horizontalFrame(s);
        else if (s->width.unit == Length::Percent)
            width = width * s->width.value / 100.0f;
        width = std::max(width, 0.0f);
        size_t bg = placeholder(s->background);
        float contentW = std::max(0.0f, width - horizontalFrame(s));
        float h = layoutChildren(b, x + s->border[3] + s->padding[3],
                                 y + s->border[0] + s->padding[0], contentW);
        if (s->height.unit == Length::Px)
            h = std::max(h, s->height.value);
        float total = h + verticalFrame(s);
        setRect(bg, x, y, width, total, s->background);
        borders(s, x, y, width, total);
        return total;
    }

    float layoutTable(uint32_t t, float x, float y, float avail)
    {
        const Box& table = FT.boxes[t];
        const ComputedStyle* s = table.style;
        const int cols = table.columns;
        const float spacing = table.spacing;
        TableColumnModel model = tableModel(t);
        const float frame = horizontalFrame(s) + spacing * float(cols + 1);
        const float minW = model.minWidth() + frame;
        float width;
        if (s->width.unit == Length::Px)
            width = std::max(s->width.value, minW);
        else if (s->width.unit == Length::Percent)
            width = std::max(avail * s->width.value / 100.0f, minW);
        else
            width = std::max(std::min(model.maxWidth() + frame, avail), minW);
        std::vector<float> colW = model.columnWidths(width - frame);
        std::vector<float> colX(colW.size());
        float cx = x + s->border[3] + s->padding[3] + spacing;
        for (size_t i = 0; i < colW.size(); ++i) {
            colX[i] = cx;
            cx += colW[i] + spacing;
        }
        size_t bg = placeholder(s->background);
        ++FTableDepth;
        float cy = y + s->border[0] + s->padding[0] + spacing;
        struct CellInfo {
            uint32_t box;
            size_t rowBg, cellBg, contentBegin, contentEnd;
            float x, w, h;
        };
        std::vector<CellInfo> cells;
        for (uint32_t r = table.firstChild; r != NoBox; r = FT.boxes[r].nextSibling) {
            const ComputedStyle* rs = FT.boxes[r].style;
            size_t guard = FOut.items.size();
            FOut.items.emplace_back();
            cells.clear();
            int col = 0;
            float rowH = 0;
            for (uint32_t c = FT.boxes[r].firstChild; c != NoBox && col < cols;
                 c = FT.boxes[c].nextSibling) {
                const Box& cell = FT.boxes[c];
                const ComputedStyle* cs = cell.style;
                int span = std::min(cell.colspan, cols - col);
                float cellX = colX[size_t(col)];
                float cellW = colX[size_t(col + span - 1)] + colW[size_t(col + span - 1)] - cellX;
                CellInfo info;
                info.box = c;
                // With no spacing the row's background is one rectangle, else one per cell.
                info.rowBg = (spacing > 0 || cells.empty()) ? placeholder(rs->background) : NoItem;
                info.cellBg = placeholder(cs->background);
                info.contentBegin = FOut.items.size();
                float h = layoutChildren(c, cellX + cs->border[3] + cs->padding[3],
                                         cy + cs->border[0] + cs->padding[0],
                                         std::max(0.0f, cellW - horizontalFrame(cs)));
                h += verticalFrame(cs);
                if (cs->height.unit == Length::Px)
                    h = std::max(h, cs->height.value + verticalFrame(cs));
                info.contentEnd = FOut.items.size();
                info.x = cellX;
                info.w = cellW;
                info.h = h;
                cells.push_back(info);
                rowH = std::max(rowH, h);
                col += span;
            }
            if (rs->height.unit == Length::Px)
                rowH = std::max(rowH, rs->height.value);
            for (const CellInfo& info : cells) {
                const ComputedStyle* cs = FT.boxes[info.box].style;
                float dy = 0;
                if (cs->verticalAlign == kw::Middle)
                    dy = std::floor((rowH - info.h) / 2);
                else if (cs->verticalAlign == kw::Bottom)
                    dy = rowH - info.h;
                if (dy > 0) {
                    for (size_t i = info.contentBegin; i < info.contentEnd; ++i) {
                        FOut.items[i].y += dy;
                        FOut.items[i].baseline += dy;
                    }
                }
                float rowW = info.w;
                if (spacing <= 0 && &info == &cells.front())
                    rowW = cells.back().x + cells.back().w - info.x;
                setRect(info.rowBg, info.x, cy, rowW, rowH, rs->background);
                setRect(info.cellBg, info.x, cy, info.w, rowH, cs->background);
                borders(cs, info.x, cy, info.w, rowH);
            }
            FOut.items[guard] = rectItem(DisplayItem::RowGuard, x, cy, width, rowH);
            cy += rowH + spacing;
        }
        --FTableDepth;
        float height = cy + s->padding[2] + s->border[2] - y;
        if (s->height.unit == Length::Px)
            height = std::max(height, s->height.value);
        setRect(bg, x, y, width, height, s->background);
        borders(s, x, y, width, height);
        return height;
    }

    struct LineMetrics {
        float ascent, descent;
    };

    LineMetrics fontLine(const ComputedStyle* s)
    {
        const FontMetrics& m = FM.metrics(fontOf(s, FM));
        return {m.ascent + m.leading / 2, m.descent + m.leading - m.leading / 2};
    }

    float layoutFlow(const Box& flow, float x, float y, float width, const ComputedStyle* block)
    {
        const uint32_t e = flow.itemEnd;
        uint32_t i = flow.itemBegin;
        if (i >= e)
            return 0;
        const LineMetrics strut = fontLine(block);
        float cy = y;
        const float fuzz = 0.01f;
        while (i < e) {
            uint32_t lineStart = i;
            float lineW = 0;
            uint32_t j = i;
            while (j < e) {
                if (FT.items[j].kind == InlineItem::Break) {
                    ++j;
                    break;
                }
                uint32_t k = j + 1;
                float chunkW = FT.items[j].width;
                while (k < e && !FT.items[k].breakBefore && FT.items[k].kind != InlineItem::Break) {
                    chunkW +=
                        (FT.items[k].hasSpace ? FT.items[k].spaceWidth : 0) + FT.items[k].width;
                    ++k;
                }
                float lead = (j > lineStart && FT.items[j].hasSpace) ? FT.items[j].spaceWidth : 0;
                if (j > lineStart && lineW + lead + chunkW > width + fuzz)
                    break;
                lineW += lead + chunkW;
                j = k;
            }
            cy += placeLine(lineStart, j, x, cy, width, block, strut);
            i = j;
        }
        return cy - y;
    }

    float placeLine(uint32_t a, uint32_t b, float x, float y, float width,
                    const ComputedStyle* block, LineMetrics strut)
    {
        float ascent = strut.ascent, descent = strut.descent;
        FPos.resize(b - a);
        float cx = 0;
        for (uint32_t k = a; k < b; ++k) {
            const InlineItem& it = FT.items[k];
            if (it.kind == InlineItem::Break) {
                FPos[k - a] = cx;
                continue;
            }
            if (k > a && it.hasSpace)
                cx += it.spaceWidth;
            FPos[k - a] = cx;
            cx += it.width;
            if (it.kind == InlineItem::Image) {
                ascent = std::max(ascent, it.height);
            } else {
                LineMetrics m = fontLine(it.style);
                ascent = std::max(ascent, m.ascent);
                descent = std::max(descent, m.descent);
            }
        }
        float offset = 0;
        if (block->textAlign == kw::Right)
            offset = std::max(0.0f, width - cx);
        else if (block->textAlign == kw::Center)
            offset = std::max(0.0f, (width - cx) / 2);
        const float baseline = y + ascent;
        const float lineH = ascent + descent;
        if (FTableDepth == 0) // lines in tables are kept whole by their rows
            FOut.items.push_back(rectItem(DisplayItem::LineGuard, x, y, width, lineH));
        for (uint32_t k = a; k < b;) {
            const InlineItem& it = FT.items[k];
            if (it.kind == InlineItem::Break) {
                ++k;
                continue;
            }
            DisplayItem d;
            d.link = it.link;
            d.first = k;
            if (it.kind == InlineItem::Image) {
                d.kind = DisplayItem::Image;
                d.x = x + offset + FPos[k - a];
                d.y = baseline - it.height;
                d.w = it.width;
                d.h = it.height;
                d.last = k;
                FOut.items.push_back(d);
                ++k;
                continue;
            }
            uint32_t last = k;
            while (last + 1 < b) {
                const InlineItem& n = FT.items[last + 1];
                if (n.kind != InlineItem::Word || n.style != it.style || n.link != it.link ||
                    n.background != it.background)
                    break;
                ++last;
            }
            const FontMetrics& fm = FM.metrics(fontOf(it.style, FM));
            d.kind = DisplayItem::Text;
            d.x = x + offset + FPos[k - a];
            d.w = FPos[last - a] + FT.items[last].width - FPos[k - a];
            d.y = baseline - fm.ascent;
            d.h = fm.ascent + fm.descent;
            d.baseline = baseline;
            d.color = it.background;
            d.last = last;
            FOut.items.push_back(d);
            k = last + 1;
        }
        return lineH;
    }

private:
    BoxTree& FT;
    TextMeasurer& FM;
    DisplayList& FOut;
    std::vector<float> FPos;
    int FTableDepth = 0;
};

} // namespace

DisplayList layoutBoxTree(BoxTree& tree, float width)
{
    DisplayList out;
    out.canvas = tree.canvas;
    if (tree.boxes.empty() || !tree.measurer) {
        out.width = width;
        out.buildBands();
        return out;
    }
    out.items.reserve(tree.items.size() + tree.boxes.size() + 16);
    width = std::max(width, 1.0f);
    Layouter l(tree, out);
    out.height = l.layoutBlock(0, 0, 0, width);
    float right = width;
    for (const DisplayItem& it : out.items) {
        if (it.w > 0 && it.kind != DisplayItem::LineGuard && it.kind != DisplayItem::RowGuard)
            right = std::max(right, it.x + it.w);
    }
    out.width = std::ceil(right);
    out.height = std::ceil(out.height);
    out.buildBands();
    return out;
}

} // namespace htmlview
