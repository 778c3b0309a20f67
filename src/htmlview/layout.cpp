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
                const float margins = sideMargins(FT.boxes[c]);
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

    // The left and right margins a child adds to its parent's widths (negative ones take none).
    static float sideMargins(const Box& child)
    {
        return child.kind == Box::Flow ? 0
                                       : std::max(0.0f, child.style->margin[1]) +
                                             std::max(0.0f, child.style->margin[3]);
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

    // `breaking`: also the cells' widths with words broken anywhere (only wanted when the table
    // does not fit, so not worked out otherwise).
    // The narrowest a box gets when words may break between any two characters (at most its
    // minimum width). Cached per layout: only tables too narrow for their words ask for it.
    float breakWidth(uint32_t b)
    {
        if (FBreakWidths.empty())
            FBreakWidths.assign(FT.boxes.size(), -1.0f);
        if (FBreakWidths[b] >= 0)
            return FBreakWidths[b];
        const Box& box = FT.boxes[b];
        const ComputedStyle* s = box.style;
        float w = 0;
        switch (box.kind) {
        case Box::Flow:
            w = flowBreakWidth(box);
            break;
        case Box::Table: {
            TableColumnModel model = tableModel(b, true);
            w = model.breakWidth() + horizontalFrame(s) + box.spacing * float(box.columns + 1);
            if (s->width.unit == Length::Px)
                w = std::max(w, s->width.value);
            break;
        }
        default: {
            for (uint32_t c = box.firstChild; c != NoBox; c = FT.boxes[c].nextSibling)
                w = std::max(w, breakWidth(c) + sideMargins(FT.boxes[c]));
            w += horizontalFrame(s);
            if (s->width.unit == Length::Px && box.kind != Box::Cell)
                w = s->width.value + horizontalFrame(s);
            break;
        }
        }
        float mn, mx;
        intrinsic(b, mn, mx);
        w = std::min(w, mn);
        FBreakWidths[b] = w;
        return w;
    }

    bool breaksInside(const InlineItem& it) const
    {
        return it.kind == InlineItem::Word && !it.style->nowrap;
    }

    float flowBreakWidth(const Box& box)
    {
        float mn = 0, chunk = 0;
        bool lineStart = true;
        for (uint32_t i = box.itemBegin; i < box.itemEnd; ++i) {
            const InlineItem& it = FT.items[i];
            if (it.kind == InlineItem::Break) {
                mn = std::max(mn, chunk);
                chunk = 0;
                lineStart = true;
                continue;
            }
            if (breaksInside(it)) {
                mn = std::max({mn, chunk, widestCharacter(it)});
                chunk = 0;
            } else if (it.breakBefore || lineStart || chunk == 0) {
                mn = std::max(mn, chunk);
                chunk = it.width;
            } else {
                chunk += (it.hasSpace ? it.spaceWidth : 0) + it.width;
            }
            lineStart = false;
        }
        return std::max(mn, chunk);
    }

    float widestCharacter(const InlineItem& it)
    {
        const int font = fontOf(it.style, FM);
        float w = 0;
        for (qsizetype c = 0; c < it.text.size(); c = nextCharacter(it.text, c))
            w = std::max(w, FM.advance(font, it.text.mid(c, nextCharacter(it.text, c) - c)));
        return w;
    }

    // Where the character after the one at `c` starts (surrogate pairs stay whole).
    static qsizetype nextCharacter(QStringView text, qsizetype c)
    {
        if (c + 1 < text.size() && text[c].isHighSurrogate() && text[c + 1].isLowSurrogate())
            return c + 2;
        return c + 1;
    }

    TableColumnModel tableModel(uint32_t t, bool breaking = false)
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
                if (breaking)
                    cw.breakWidth = breakWidth(c);
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
        float width;
        if (s->width.unit == Length::Px)
            width = s->width.value;
        else if (s->width.unit == Length::Percent)
            width = avail * s->width.value / 100.0f;
        else
            width = std::min(model.maxWidth() + frame, avail);
        if (width < model.minWidth() + frame) {
            // Browsers would let the table overflow; words break inside instead, as far as
            // they can.
            model = tableModel(t, true);
            width = std::max(width, model.breakWidth() + frame);
        }
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
            FOut.items[guard].first = r; // which row, for the keyboard's row groups
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

    // The width of characters [from, to) of an item (to < 0: to its end).
    float pieceWidth(uint32_t k, uint32_t from, qsizetype to = -1)
    {
        const InlineItem& it = FT.items[k];
        if (to < 0)
            to = it.text.size();
        if (from == 0 && to >= it.text.size())
            return it.width;
        return FM.advance(fontOf(it.style, FM), it.text.mid(from, to - from));
    }

    // Lines run from one place in the flow to the next: an item, and a character in it (0 but
    // where a word too long for its line was broken).
    float layoutFlow(const Box& flow, float x, float y, float width, const ComputedStyle* block)
    {
        const uint32_t e = flow.itemEnd;
        uint32_t i = flow.itemBegin, offset = 0;
        if (i >= e)
            return 0;
        const LineMetrics strut = fontLine(block);
        float cy = y;
        while (i < e) {
            const uint32_t lineStart = i, startOffset = offset;
            float lineW = 0;
            uint32_t j = i, endOffset = 0;
            while (j < e) {
                if (FT.items[j].kind == InlineItem::Break) {
                    ++j;
                    break;
                }
                uint32_t k = j + 1;
                float chunkW = (j == lineStart && startOffset > 0) ? pieceWidth(j, startOffset)
                                                                   : FT.items[j].width;
                while (k < e && !FT.items[k].breakBefore && FT.items[k].kind != InlineItem::Break) {
                    chunkW +=
                        (FT.items[k].hasSpace ? FT.items[k].spaceWidth : 0) + FT.items[k].width;
                    ++k;
                }
                float lead = (j > lineStart && FT.items[j].hasSpace) ? FT.items[j].spaceWidth : 0;
                if (lineW + lead + chunkW > width + Fuzz) {
                    if (j == lineStart)
                        j = breakChunk(j, k, startOffset, width, endOffset);
                    break;
                }
                lineW += lead + chunkW;
                j = k;
            }
            if (j == lineStart && endOffset <= startOffset) { // never stand still
                j = lineStart + 1;
                endOffset = 0;
            }
            cy += placeLine(lineStart, startOffset, j, endOffset, x, cy, width, block, strut);
            i = j;
            offset = endOffset;
        }
        return cy - y;
    }

    // A chunk that cannot break (items j..k-1, from character `from` of item j) wider than a
    // whole line: as much of it as fits, breaking inside a word. Returns where the line ends
    // (an item, and in `endOffset` a character in it, or 0 for its start).
    uint32_t breakChunk(uint32_t j, uint32_t k, uint32_t from, float width, uint32_t& endOffset)
    {
        endOffset = 0;
        float used = 0;
        for (uint32_t m = j; m < k; ++m) {
            const InlineItem& it = FT.items[m];
            const uint32_t begin = m == j ? from : 0;
            const float lead = (m > j && it.hasSpace) ? it.spaceWidth : 0;
            const float w = m == j ? pieceWidth(m, begin) : it.width;
            if (used + lead + w <= width + Fuzz) {
                used += lead + w;
                continue;
            }
            if (!breaksInside(it))
                return m > j ? m : m + 1; // an image or a word that must not break overflows
            const int font = fontOf(it.style, FM);
            float cx = used + lead;
            qsizetype c = begin;
            while (c < it.text.size()) {
                const qsizetype next = nextCharacter(it.text, c);
                const float a = FM.advance(font, it.text.mid(c, next - c));
                // At least one character on a line, however narrow.
                if (cx + a > width + Fuzz && (c > begin || m > j))
                    break;
                cx += a;
                c = next;
            }
            if (c == begin)
                return m;
            if (c >= it.text.size())
                return m + 1;
            endOffset = uint32_t(c);
            return m;
        }
        return k;
    }

    // Places the line from item a (character aOffset) up to item b (character bOffset; 0: the
    // line ends before b).
    float placeLine(uint32_t a, uint32_t aOffset, uint32_t b, uint32_t bOffset, float x, float y,
                    float width, const ComputedStyle* block, LineMetrics strut)
    {
        const uint32_t lastItem = bOffset > 0 ? b : b - 1;
        auto range = [&](uint32_t k, uint32_t& from, qsizetype& to) {
            from = k == a ? aOffset : 0;
            to = (k == b && bOffset > 0) ? qsizetype(bOffset) : FT.items[k].text.size();
        };
        const bool whole = aOffset == 0 && bOffset == 0; // the usual line: no broken word
        auto isPart = [&](uint32_t k) {
            return !whole && ((k == a && aOffset > 0) || (k == b && bOffset > 0));
        };
        // Without a doctype browsers give a line only the heights of what it holds: the
        // block's own font counts only for text directly in it (whose font it is anyway), so a
        // line of small text, or of images alone, is no taller than that.
        float ascent = FT.quirks ? 0 : strut.ascent, descent = FT.quirks ? 0 : strut.descent;
        // Only the first and the last item can be part of a word.
        float partA = 0, partB = 0;
        if (!whole) {
            uint32_t from;
            qsizetype to;
            if (isPart(a)) {
                range(a, from, to);
                partA = pieceWidth(a, from, to);
            }
            if (b != a && isPart(b)) {
                range(b, from, to);
                partB = pieceWidth(b, from, to);
            }
        }
        auto widthOf = [&](uint32_t k) {
            return !isPart(k) ? FT.items[k].width : (k == a ? partA : partB);
        };
        FPos.resize(lastItem + 1 - a);
        float cx = 0;
        for (uint32_t k = a; k <= lastItem; ++k) {
            const InlineItem& it = FT.items[k];
            if (it.kind == InlineItem::Break) {
                FPos[k - a] = cx;
                if (FT.quirks) { // a line break has the height of its own font
                    LineMetrics m = fontLine(it.style);
                    ascent = std::max(ascent, m.ascent);
                    descent = std::max(descent, m.descent);
                }
                continue;
            }
            if (k > a && it.hasSpace)
                cx += it.spaceWidth;
            FPos[k - a] = cx;
            cx += widthOf(k);
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
        for (uint32_t k = a; k <= lastItem;) {
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
            // Whole words of one style run together; a broken word's part stands alone.
            uint32_t last = k;
            while (!isPart(last) && last + 1 <= lastItem && !isPart(last + 1)) {
                const InlineItem& n = FT.items[last + 1];
                if (n.kind != InlineItem::Word || n.style != it.style || n.link != it.link ||
                    n.background != it.background)
                    break;
                ++last;
            }
            const FontMetrics& fm = FM.metrics(fontOf(it.style, FM));
            d.kind = DisplayItem::Text;
            d.x = x + offset + FPos[k - a];
            d.w = FPos[last - a] + widthOf(last) - FPos[k - a];
            d.y = baseline - fm.ascent;
            d.h = fm.ascent + fm.descent;
            d.baseline = baseline;
            d.color = it.background;
            d.last = last;
            if (isPart(k)) {
                uint32_t from;
                qsizetype to;
                range(k, from, to);
                d.partial = true;
                FOut.parts.push_back({uint32_t(FOut.items.size()), from, uint32_t(to)});
            }
            FOut.items.push_back(d);
            k = last + 1;
        }
        return lineH;
    }

private:
    BoxTree& FT;
    TextMeasurer& FM;
    DisplayList& FOut;
    static constexpr float Fuzz = 0.01f; // rounding slack when fitting a line
    std::vector<float> FPos;             // per item of the line being placed
    std::vector<float> FBreakWidths;     // per box, -1 until asked for
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
