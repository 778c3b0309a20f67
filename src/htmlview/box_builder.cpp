#include "htmlview/box_tree.h"
#include "htmlview/image_cache.h"
#include "htmlview/text_measurer.h"

#include <algorithm>

namespace htmlview {

int fontOf(const ComputedStyle* style, TextMeasurer& measurer)
{
    if (style->fontId < 0)
        style->fontId =
            measurer.fontId(style->families, style->fontSize, style->bold, style->italic);
    return style->fontId;
}

namespace {

constexpr uint64_t SpaceBits =
    (1ull << ' ') | (1ull << '\n') | (1ull << '\r') | (1ull << '\t') | (1ull << '\f');

inline bool isSpace(char16_t c)
{
    return c <= u' ' && ((SpaceBits >> c) & 1);
}

inline bool isHyphen(char16_t c)
{
    return c == u'-' || c == 0x2010 || c == 0x2013; // hyphen-minus, hyphen, en dash
}

// Whether a line may break between a hyphen and the character after it, as browsers break
// "well-known": not before closing or separating punctuation, and not inside a number's
// leading minus sign ("-5").
bool breaksAfterHyphen(char16_t next, bool hyphenStartsWord)
{
    if (hyphenStartsWord && next >= u'0' && next <= u'9')
        return false;
    switch (next) {
    case u')':
    case u']':
    case u'}':
    case u'.':
    case u',':
    case u':':
    case u';':
    case u'!':
    case u'?':
    case u'/':
    case u'$':
    case 0x00AB:
    case 0x00BB:
    case 0x2010:
    case 0x2013:
        return false;
    default:
        return true;
    }
}

int intAttribute(QStringView v, int fallback, int lo, int hi)
{
    bool ok = false;
    int n = v.trimmed().toInt(&ok);
    if (!ok) {
        // "3px" and the like: read the leading digits
        qsizetype i = 0;
        v = v.trimmed();
        while (i < v.size() && v[i].isDigit())
            ++i;
        n = v.left(i).toInt(&ok);
        if (!ok)
            return fallback;
    }
    return std::clamp(n, lo, hi);
}

class Builder {
public:
    Builder(const Dom& dom, const StyleResolver& styles, TextMeasurer& m, ImageCache& images,
            BoxTree& t)
        : FDom(dom), FStyles(styles), FM(m), FImages(images), FT(t)
    {
    }

    void build()
    {
        FT.boxes.reserve(FDom.nodeCount() + 4);
        FT.items.reserve(FDom.nodeCount() + 4);
        const ComputedStyle* rootStyle = FStyles.style(FDom.root());
        uint32_t root = newBox(Box::Block, rootStyle);
        buildContainer(FDom.root(), root, Sep::None);
        uint32_t body = FDom.find(Tag::Body);
        if (body != NoNode && FStyles.style(body) && qAlpha(FStyles.style(body)->background) > 0)
            FT.canvas = FStyles.style(body)->background;
        else if (qAlpha(rootStyle->background) > 0)
            FT.canvas = rootStyle->background;
        else
            FT.canvas = 0xFFFFFFFF;
    }

private:
    struct InlineContext {
        int32_t link = -1;
        QRgb background = 0;
    };

    uint32_t newBox(Box::Kind kind, const ComputedStyle* style)
    {
        Box b;
        b.kind = kind;
        b.style = style;
        FT.boxes.push_back(b);
        return uint32_t(FT.boxes.size() - 1);
    }

    void append(uint32_t parent, uint32_t child)
    {
        Box& p = FT.boxes[parent];
        if (p.lastChild == NoBox)
            p.firstChild = child;
        else
            FT.boxes[p.lastChild].nextSibling = child;
        p.lastChild = child;
    }

    void buildContainer(uint32_t node, uint32_t box, Sep firstSep)
    {
        uint32_t savedContainer = FContainer, savedFlow = FFlow;
        bool savedPending = FPendingSpace, savedAfterImage = FAfterImage;
        Hyphen savedHyphen = FHyphen;
        float savedSpace = FPendingSpaceWidth;
        Sep savedSep = FNextSep;
        FContainer = box;
        FFlow = NoBox;
        FPendingSpace = false;
        FAfterImage = false;
        FHyphen = Hyphen::None;
        FNextSep = firstSep;
        children(node, InlineContext{});
        closeFlow();
        FHyphen = savedHyphen;
        FContainer = savedContainer;
        FFlow = savedFlow;
        FPendingSpace = savedPending;
        FPendingSpaceWidth = savedSpace;
        FAfterImage = savedAfterImage;
        FNextSep = savedSep;
    }

    void children(uint32_t node, const InlineContext& ctx)
    {
        for (uint32_t c = FDom.node(node).firstChild; c != NoNode; c = FDom.node(c).nextSibling) {
            if (FDom.node(c).tag == Tag::Text)
                addText(c, ctx);
            else
                element(c, ctx);
        }
    }

    void element(uint32_t node, const InlineContext& ctx)
    {
        const ComputedStyle* s = FStyles.style(node);
        if (!s || s->display == Display::None)
            return;
        Tag tag = FDom.node(node).tag;
        if (tag == Tag::Br) {
            addBreak(s, ctx);
            return;
        }
        if (tag == Tag::Img) {
            addImage(node, s, ctx);
            return;
        }
        if (tag == Tag::Table) {
            closeFlow();
            uint32_t t = buildTable(node, s);
            append(FContainer, t);
            FNextSep = Sep::Newline;
            return;
        }
        if (s->display != Display::Inline) {
            closeFlow();
            uint32_t b = newBox(Box::Block, s);
            append(FContainer, b);
            buildContainer(node, b, Sep::Newline);
            FNextSep = Sep::Newline;
            return;
        }
        InlineContext inner = ctx;
        if (tag == Tag::A && FDom.hasAttribute(node, Attr::Href)) {
            FT.links.push_back(FDom.attribute(node, Attr::Href).trimmed());
            inner.link = int32_t(FT.links.size() - 1);
        }
        if (qAlpha(s->background) > 0)
            inner.background = s->background;
        children(node, inner);
    }

    void ensureFlow()
    {
        if (FFlow != NoBox)
            return;
        FFlow = newBox(Box::Flow, FT.boxes[FContainer].style);
        FT.boxes[FFlow].itemBegin = uint32_t(FT.items.size());
        append(FContainer, FFlow);
    }

    void closeFlow()
    {
        if (FFlow != NoBox)
            FT.boxes[FFlow].itemEnd = uint32_t(FT.items.size());
        FFlow = NoBox;
        FPendingSpace = false;
        FAfterImage = false;
        FHyphen = Hyphen::None;
    }

    InlineItem& push(InlineItem::Kind kind, const ComputedStyle* s, const InlineContext& ctx)
    {
        ensureFlow();
        InlineItem it;
        it.kind = kind;
        it.style = s;
        it.link = ctx.link;
        it.background = ctx.background;
        it.hasSpace = FPendingSpace;
        it.spaceWidth = FPendingSpace ? FPendingSpaceWidth : 0;
        it.sep = FNextSep != Sep::None ? FNextSep : (FPendingSpace ? Sep::Space : Sep::None);
        FT.items.push_back(it);
        FPendingSpace = false;
        FNextSep = Sep::None;
        return FT.items.back();
    }

    void addText(uint32_t node, const InlineContext& ctx)
    {
        const ComputedStyle* s = FStyles.style(node);
        if (!s)
            return;
        QStringView text = FDom.node(node).text;
        const char16_t* d = reinterpret_cast<const char16_t*>(text.data());
        const qsizetype n = text.size();
        int font = -1;
        qsizetype i = 0;
        while (i < n) {
            if (isSpace(d[i])) {
                while (i < n && isSpace(d[i]))
                    ++i;
                if (FFlow != NoBox && !FPendingSpace) {
                    if (font < 0)
                        font = fontOf(s, FM);
                    FPendingSpace = true;
                    FPendingSpaceWidth = FM.metrics(font).spaceWidth;
                    FSpaceBreaks = !s->nowrap;
                }
                continue;
            }
            qsizetype start = i;
            bool dashes = false; // '-' or one of the dashes: hyphens may be inside
            for (; i < n; ++i) {
                const char16_t c = d[i];
                if (c <= u'-') {
                    if (isSpace(c))
                        break;
                    dashes |= c == u'-';
                } else if (c >= 0x2010) {
                    dashes |= c <= 0x2013;
                }
            }
            if (font < 0)
                font = fontOf(s, FM);
            qsizetype piece = start;
            if (dashes && !s->nowrap) {
                // A word with hyphens inside is kept as pieces a line may break between.
                for (qsizetype p = start; p + 1 < i; ++p) {
                    if (isHyphen(d[p]) && breaksAfterHyphen(d[p + 1], p == start)) {
                        addWord(s, ctx, font, text.mid(piece, p + 1 - piece), piece == start);
                        piece = p + 1;
                    }
                }
            }
            addWord(s, ctx, font, text.mid(piece, i - piece), piece == start);
        }
    }

    // `startsWord`: no piece of the same word comes before it.
    void addWord(const ComputedStyle* s, const InlineContext& ctx, int font, QStringView word,
                 bool startsWord)
    {
        const bool spaceBreaks = FPendingSpace && FSpaceBreaks;
        const bool afterHyphen =
            !startsWord || (FHyphen != Hyphen::None && !FPendingSpace && !s->nowrap &&
                            breaksAfterHyphen(word[0].unicode(), FHyphen == Hyphen::StartsWord));
        // A hyphen ending this text may let the line break before the next text node's word;
        // a lone one after a space or at the start may be a minus sign.
        Hyphen ending = Hyphen::None;
        if (isHyphen(word.back().unicode())) {
            const bool alone = startsWord && word.size() == 1 &&
                               (FPendingSpace || FFlow == NoBox ||
                                FT.boxes[FFlow].itemBegin == FT.items.size() ||
                                FT.items.back().kind != InlineItem::Word);
            ending = alone ? Hyphen::StartsWord : Hyphen::EndsWord;
        }
        InlineItem& it = push(InlineItem::Word, s, ctx);
        it.text = word;
        it.width = FM.advance(font, it.text);
        it.breakBefore = spaceBreaks || FAfterImage || afterHyphen;
        FAfterImage = false;
        FHyphen = ending;
    }

    void addBreak(const ComputedStyle* s, const InlineContext& ctx)
    {
        FPendingSpace = false; // so the break carries no space before it
        push(InlineItem::Break, s, ctx);
        FNextSep = Sep::Newline;
        FAfterImage = false;
        FHyphen = Hyphen::None;
    }

    void addImage(uint32_t node, const ComputedStyle* s, const InlineContext& ctx)
    {
        int index = FImages.indexOf(FDom.attribute(node, Attr::Src));
        QSize natural = FImages.entry(index).size;
        float w = float(natural.width()), h = float(natural.height());
        bool wSet = s->width.unit == Length::Px, hSet = s->height.unit == Length::Px;
        if (wSet && hSet) {
            w = s->width.value;
            h = s->height.value;
        } else if (wSet) {
            h = natural.width() > 0 ? h * s->width.value / float(natural.width()) : h;
            w = s->width.value;
        } else if (hSet) {
            w = natural.height() > 0 ? w * s->height.value / float(natural.height()) : w;
            h = s->height.value;
        }
        w = std::clamp(w, 0.0f, 100000.0f);
        h = std::clamp(h, 0.0f, 100000.0f);
        bool breaks = FFlow != NoBox && FT.boxes[FFlow].itemBegin < FT.items.size();
        InlineItem& it = push(InlineItem::Image, s, ctx);
        it.image = index;
        it.width = w + s->border[1] + s->border[3];
        it.height = h + s->border[0] + s->border[2];
        it.breakBefore = breaks;
        FAfterImage = true;
        FHyphen = Hyphen::None;
    }

    uint32_t buildTable(uint32_t node, const ComputedStyle* s)
    {
        uint32_t t = newBox(Box::Table, s);
        FT.boxes[t].spacing =
            float(FDom.hasAttribute(node, Attr::Cellspacing)
                      ? intAttribute(FDom.attribute(node, Attr::Cellspacing), 2, 0, 1000)
                      : 2);
        int columns = 0;
        for (uint32_t r = FDom.node(node).firstChild; r != NoNode; r = FDom.node(r).nextSibling) {
            if (FDom.node(r).tag != Tag::Tr)
                continue;
            const ComputedStyle* rs = FStyles.style(r);
            if (!rs || rs->display == Display::None)
                continue;
            uint32_t row = newBox(Box::Row, rs);
            append(t, row);
            int cols = 0;
            for (uint32_t c = FDom.node(r).firstChild; c != NoNode; c = FDom.node(c).nextSibling) {
                Tag tag = FDom.node(c).tag;
                if (tag != Tag::Td && tag != Tag::Th)
                    continue;
                const ComputedStyle* cs = FStyles.style(c);
                if (!cs || cs->display == Display::None)
                    continue;
                if (cols >= MaxColumns)
                    break;
                uint32_t cell = newBox(Box::Cell, cs);
                int span = intAttribute(FDom.attribute(c, Attr::Colspan), 1, 1, MaxColumns);
                if (span < 1)
                    span = 1;
                span = std::min(span, MaxColumns - cols);
                FT.boxes[cell].colspan = span;
                append(row, cell);
                buildContainer(c, cell, cols == 0 ? Sep::Newline : Sep::Tab);
                cols += span;
            }
            columns = std::max(columns, cols);
        }
        FT.boxes[t].columns = columns;
        return t;
    }

    static constexpr int MaxColumns = 1000;

    const Dom& FDom;
    const StyleResolver& FStyles;
    TextMeasurer& FM;
    ImageCache& FImages;
    BoxTree& FT;
    uint32_t FContainer = NoBox;
    uint32_t FFlow = NoBox;
    bool FPendingSpace = false;
    bool FSpaceBreaks = true;
    bool FAfterImage = false;
    enum class Hyphen : uint8_t { None, EndsWord, StartsWord };
    Hyphen FHyphen = Hyphen::None; // the last word ended with a hyphen
    float FPendingSpaceWidth = 0;
    Sep FNextSep = Sep::None;
};

} // namespace

BoxTree buildBoxTree(const Dom& dom, const StyleResolver& styles, TextMeasurer& measurer,
                     ImageCache& images)
{
    BoxTree t;
    t.measurer = &measurer;
    t.images = &images;
    t.quirks = dom.quirksMode();
    Builder(dom, styles, measurer, images, t).build();
    return t;
}

} // namespace htmlview
