#include "htmlview/style.h"

#include <QHash>
#include <algorithm>
#include <unordered_map>

namespace htmlview {

namespace {

const char* kUserAgentCss =
    "html, body, div, p, header, center, table, tr, td, th, hr, h1, h2, h3, h4, h5, h6, ul, ol,"
    " li, form, blockquote, pre, address, section, article, nav, footer, main, aside, dl, dt,"
    " dd { display: block }"
    "head, style, script, title, meta, link { display: none }"
    "table { display: table; font-size: medium; font-weight: normal; font-style: normal;"
    " text-align: left }"
    "tr { display: table-row; vertical-align: middle }"
    "td, th { display: table-cell; padding: 1px; vertical-align: inherit }"
    "th { font-weight: bold; text-align: center }"
    "p { margin: 1em 0 }"
    "b, strong { font-weight: bold }"
    "i, em { font-style: italic }"
    "u { text-decoration: underline }"
    "center { text-align: center }"
    "h1 { font-size: 2em; font-weight: bold; margin: 0.67em 0 }"
    "h2 { font-size: 1.5em; font-weight: bold; margin: 0.83em 0 }"
    "h3 { font-size: 1.17em; font-weight: bold; margin: 1em 0 }"
    "hr { border: 1px inset gray; margin: 0.5em 0 }"
    "a:link { color: #0000EE; text-decoration: underline }";

Display defaultDisplay(int k)
{
    switch (k) {
    case kw::None:
        return Display::None;
    case kw::Block:
    case kw::ListItem:
    case kw::InlineBlock:
        return Display::Block;
    case kw::Table:
        return Display::Table;
    case kw::TableRow:
        return Display::TableRow;
    case kw::TableCell:
        return Display::TableCell;
    default:
        return Display::Inline;
    }
}

bool classListHas(QStringView list, const QString& cls)
{
    qsizetype i = 0;
    while (i < list.size()) {
        while (i < list.size() && list[i].isSpace())
            ++i;
        qsizetype s = i;
        while (i < list.size() && !list[i].isSpace())
            ++i;
        // Documents without a doctype compare class names without case, as browsers do.
        if (i > s && list.mid(s, i - s).compare(cls, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

struct Candidate {
    int level; // 0 UA, 1 attributes, 2 author, 3 inline, 4 author important, 5 inline important
    uint32_t specificity;
    uint32_t order;
    const Declarations* decls;
    bool important() const { return level >= 4; }
};

} // namespace

const StyleSheet& userAgentStyleSheet()
{
    static const StyleSheet sheet = [] {
        StyleSheet s;
        parseStyleSheet(QString::fromLatin1(kUserAgentCss), s);
        return s;
    }();
    return sheet;
}

struct StyleResolver::Key {
    // A view without a constructor: keys are built for every element, so nothing is zeroed.
    struct View {
        const char16_t* p;
        size_t n;
        bool operator==(const View& o) const
        {
            return n == o.n && (p == o.p || std::char_traits<char16_t>::compare(p, o.p, n) == 0);
        }
    };
    static View view(QStringView s)
    {
        return {reinterpret_cast<const char16_t*>(s.data()), size_t(s.size())};
    }

    static constexpr int MaxAttrs = 12;
    uint32_t parent;
    Tag tag;
    uint8_t count;
    View name;
    Attr attrs[MaxAttrs];
    uint32_t values[MaxAttrs]; // attribute atoms

    bool operator==(const Key& o) const
    {
        if (tag != o.tag || count != o.count || parent != o.parent || !(name == o.name))
            return false;
        for (int i = 0; i < count; ++i) {
            if (attrs[i] != o.attrs[i] || values[i] != o.values[i])
                return false;
        }
        return true;
    }
};

struct StyleResolver::KeyHash {
    size_t operator()(const Key& k) const
    {
        size_t h = k.parent * 0x9E3779B1u + size_t(k.tag) * 131 + k.count;
        h ^= qHash(QStringView(k.name.p, qsizetype(k.name.n)), 7);
        for (int i = 0; i < k.count; ++i)
            h = h * 31 + (size_t(k.values[i]) * 0x9E3779B97F4A7C15ull ^ size_t(k.attrs[i]));
        return h;
    }
};

struct StyleResolver::Impl {
    StyleSheet author;
    // Rules bucketed by the rightmost compound's first class, its tag, or neither.
    struct Indexed {
        const Rule* rule;
        int level;
    };
    QHash<QString, std::vector<Indexed>> byClass;
    std::vector<Indexed> byTag[64];
    std::vector<Indexed> universal;
    std::unordered_map<Key, uint32_t, KeyHash> contexts;
    std::vector<const ComputedStyle*> contextStyles;
    // The contexts met under each context; a short list is searched before the hash map.
    static constexpr size_t ListedChildren = 16;
    std::vector<std::vector<std::pair<Key, uint32_t>>> children;
    std::unordered_map<QString, std::shared_ptr<const Declarations>> inlineCache;

    void index(const StyleSheet& sheet, int level)
    {
        for (const Rule& r : sheet.rules) {
            const Compound& last = r.selector.parts.back();
            if (last.never)
                continue;
            if (!last.classes.empty())
                byClass[last.classes.front().toLower()].push_back({&r, level});
            else if (!last.anyTag && last.tag != Tag::Unknown)
                byTag[int(last.tag)].push_back({&r, level});
            else
                universal.push_back({&r, level});
        }
    }
};

StyleResolver::StyleResolver(const Dom& dom, QString defaultFamily, float defaultSizePx)
    : FDom(dom), FDefaultFamily(std::move(defaultFamily)), FDefaultSize(defaultSizePx),
      d(std::make_unique<Impl>())
{
    // Author rules: every style element's text, in document order.
    for (uint32_t i = 0; i < dom.nodeCount(); ++i) {
        const Node& n = dom.node(i);
        if (n.tag != Tag::Style)
            continue;
        for (uint32_t c = n.firstChild; c != NoNode; c = dom.node(c).nextSibling) {
            if (dom.node(c).tag == Tag::Text)
                parseStyleSheet(dom.node(c).text, d->author);
        }
    }
    d->index(userAgentStyleSheet(), 0);
    d->index(d->author, 2);
}

StyleResolver::~StyleResolver() = default;

namespace {

bool compoundMatches(const Dom& dom, uint32_t node, const Compound& c)
{
    const Node& n = dom.node(node);
    if (c.never || n.tag == Tag::Text)
        return false;
    if (!c.anyTag) {
        if (c.tag != n.tag)
            return false;
        if (c.tag == Tag::Unknown && c.tagName != n.text)
            return false;
    }
    if (c.link && !(n.tag == Tag::A && dom.hasAttribute(node, Attr::Href)))
        return false;
    if (!c.id.isEmpty() && dom.attribute(node, Attr::Id) != c.id)
        return false;
    if (!c.classes.empty()) {
        QStringView list = dom.attribute(node, Attr::Class);
        for (const QString& cls : c.classes) {
            if (!classListHas(list, cls))
                return false;
        }
    }
    return true;
}

// Does the selector's part `i` and everything left of it match with `node` as part i?
// `budget` bounds the backtracking: a long chain of descendant selectors on a deep tree
// could otherwise take exponential time. Running out counts as no match.
bool matchesFrom(const Dom& dom, uint32_t node, const Selector& sel, int i, int& budget)
{
    if (--budget < 0 || !compoundMatches(dom, node, sel.parts[size_t(i)]))
        return false;
    if (i == 0)
        return true;
    auto comb = sel.combinators[size_t(i - 1)];
    for (uint32_t a = dom.node(node).parent; a != NoNode; a = dom.node(a).parent) {
        if (matchesFrom(dom, a, sel, i - 1, budget))
            return true;
        if (comb == Selector::Child || budget < 0)
            return false;
    }
    return false;
}

bool matches(const Dom& dom, uint32_t node, const Selector& sel)
{
    int budget = 20000;
    return matchesFrom(dom, node, sel, int(sel.parts.size()) - 1, budget);
}

// Presentational attributes as declarations, below every author rule.
Declarations attributeHints(const Dom& dom, uint32_t node)
{
    Declarations out;
    const Node& n = dom.node(node);
    auto add = [&](QString css) {
        Declarations more = parseDeclarations(css);
        out.insert(out.end(), more.begin(), more.end());
    };
    auto lengthAttr = [](QStringView v) {
        v = v.trimmed();
        if (v.endsWith(u'%'))
            return v.toString();
        bool ok = false;
        double px = v.toDouble(&ok);
        return ok && px >= 0 ? QString::number(px) + QStringLiteral("px") : QString();
    };
    // `property:` and an attribute's text, when the attribute has one.
    auto addFrom = [&](Attr attr, const char* property) {
        QStringView v = dom.attribute(node, attr);
        if (!v.isEmpty())
            add(QString::fromLatin1(property) + v.toString());
    };
    // A width or height; zero is ignored, as browsers do.
    auto addLengthFrom = [&](Attr attr, const char* property) {
        QStringView v = dom.attribute(node, attr);
        if (v.isEmpty())
            return;
        QString l = lengthAttr(v);
        if (!l.isEmpty() && l != u"0px")
            add(QString::fromLatin1(property) + l);
    };
    addFrom(Attr::Bgcolor, "background-color:");
    if (n.tag == Tag::Td || n.tag == Tag::Th || n.tag == Tag::Table || n.tag == Tag::Img) {
        addLengthFrom(Attr::Width, "width:");
        addLengthFrom(Attr::Height, "height:");
    }
    if (n.tag == Tag::Td || n.tag == Tag::Th || n.tag == Tag::Tr || n.tag == Tag::Div ||
        n.tag == Tag::P) {
        addFrom(Attr::Align, "text-align:");
        addFrom(Attr::Valign, "vertical-align:");
    }
    if (n.tag == Tag::Table && dom.hasAttribute(node, Attr::Border)) {
        bool ok = false;
        int b = dom.attribute(node, Attr::Border).trimmed().toInt(&ok);
        if (!ok)
            b = 1; // border="" or border="yes"
        if (b > 0)
            add(QStringLiteral("border: %1px outset #808080").arg(std::min(b, 100)));
    }
    if ((n.tag == Tag::Td || n.tag == Tag::Th) && n.parent != NoNode) {
        uint32_t table = n.parent;
        while (table != NoNode && dom.node(table).tag != Tag::Table)
            table = dom.node(table).parent;
        if (table != NoNode) {
            bool ok = false;
            if (dom.hasAttribute(table, Attr::Border)) {
                int b = dom.attribute(table, Attr::Border).trimmed().toInt(&ok);
                if (!ok || b > 0)
                    add(QStringLiteral("border: 1px inset #808080"));
            }
            QStringView pad = dom.attribute(table, Attr::Cellpadding);
            if (!pad.isEmpty()) {
                QString l = lengthAttr(pad);
                if (!l.isEmpty() && !l.endsWith(u'%'))
                    add(QStringLiteral("padding:") + l);
            }
        }
    }
    if (n.tag == Tag::Img && dom.hasAttribute(node, Attr::Border)) {
        int b = dom.attribute(node, Attr::Border).trimmed().toInt();
        add(QStringLiteral("border: %1px solid").arg(std::clamp(b, 0, 100)));
    }
    if (n.tag == Tag::Font) {
        addFrom(Attr::Color, "color:");
        addFrom(Attr::Face, "font-family:");
    }
    return out;
}

float fontSizeKeyword(int k, float parent)
{
    switch (k) {
    case kw::Smaller:
        return parent / 1.2f;
    case kw::Larger:
        return parent * 1.2f;
    case kw::XXSmall:
        return 9;
    case kw::XSmall:
        return 10;
    case kw::Small:
        return 13;
    case kw::Medium:
        return 16;
    case kw::Large:
        return 18;
    case kw::XLarge:
        return 24;
    case kw::XXLarge:
        return 32;
    default:
        return parent;
    }
}

float resolveLength(const Length& l, float fontSize)
{
    switch (l.unit) {
    case Length::Px:
        return l.value;
    case Length::Em:
        return l.value * fontSize;
    case Length::Ex:
        return l.value * fontSize * 0.5f;
    default:
        return 0;
    }
}

} // namespace

const ComputedStyle* StyleResolver::resolve(uint32_t node, uint32_t parentContext,
                                            uint32_t& context)
{
    const Node& n = FDom.node(node);
    Key key;
    key.parent = parentContext;
    key.tag = n.tag;
    key.count = 0;
    key.name = Key::view(n.tag == Tag::Unknown ? n.text : QStringView());
    bool cacheable = true;
    {
        // Every attribute but the link target and image source can change the style; of the
        // link target only its presence counts (:link).
        for (const Attribute* a = FDom.attributesBegin(node); a != FDom.attributesEnd(node); ++a) {
            if (a->name == Attr::Src || a->name == Attr::Media || a->name == Attr::Unknown ||
                (a->name == Attr::Href && n.tag != Tag::A))
                continue;
            if (key.count >= Key::MaxAttrs) {
                cacheable = false;
                break;
            }
            key.attrs[key.count] = a->name;
            key.values[key.count] = a->atom;
            ++key.count;
        }
    }
    if (cacheable) {
        const auto& listed = d->children[parentContext];
        for (const auto& entry : listed) {
            if (entry.first == key) {
                context = entry.second;
                return d->contextStyles[context];
            }
        }
        if (listed.size() >= Impl::ListedChildren) {
            auto it = d->contexts.find(key);
            if (it != d->contexts.end()) {
                context = it->second;
                return d->contextStyles[context];
            }
        }
    }

    // Cascade.
    std::vector<Candidate> cands;
    auto consider = [&](const std::vector<Impl::Indexed>& rules) {
        for (const Impl::Indexed& ix : rules) {
            const Selector& sel = ix.rule->selector;
            if (!matches(FDom, node, sel))
                continue;
            cands.push_back(
                {ix.level, sel.specificity, ix.rule->order, ix.rule->declarations.get()});
        }
    };
    consider(d->universal);
    if (int(n.tag) < 64)
        consider(d->byTag[int(n.tag)]);
    QStringView classes = FDom.attribute(node, Attr::Class);
    if (!classes.isEmpty()) {
        std::vector<QString> seen;
        qsizetype i = 0;
        while (i < classes.size()) {
            while (i < classes.size() && classes[i].isSpace())
                ++i;
            qsizetype s = i;
            while (i < classes.size() && !classes[i].isSpace())
                ++i;
            if (i == s)
                continue;
            QString c = classes.mid(s, i - s).toString().toLower();
            if (std::find(seen.begin(), seen.end(), c) != seen.end())
                continue;
            seen.push_back(c);
            auto it = d->byClass.constFind(c);
            if (it != d->byClass.constEnd())
                consider(*it);
        }
    }
    Declarations hints = attributeHints(FDom, node);
    if (!hints.empty())
        cands.push_back({1, 0, 0, &hints});
    std::shared_ptr<const Declarations> inlineDecls;
    QStringView inlineStyle = FDom.attribute(node, Attr::Style);
    if (!inlineStyle.isEmpty()) {
        QString text = inlineStyle.toString();
        auto it = d->inlineCache.find(text);
        if (it == d->inlineCache.end())
            it = d->inlineCache
                     .emplace(text, std::make_shared<Declarations>(parseDeclarations(text)))
                     .first;
        inlineDecls = it->second;
        cands.push_back({3, 0, 0, inlineDecls.get()});
    }
    // Important declarations form their own levels above the normal ones.
    size_t normalCount = cands.size();
    for (size_t i = 0; i < normalCount; ++i) {
        if (cands[i].level == 2 || cands[i].level == 3) {
            Candidate c = cands[i];
            c.level += 2;
            cands.push_back(c);
        }
    }
    std::stable_sort(cands.begin(), cands.end(), [](const Candidate& a, const Candidate& b) {
        if (a.level != b.level)
            return a.level < b.level;
        if (a.specificity != b.specificity)
            return a.specificity < b.specificity;
        return a.order < b.order;
    });
    const CssValue* win[int(Prop::Count)] = {};
    for (const Candidate& c : cands) {
        for (const Declaration& decl : *c.decls) {
            if (decl.important == c.important())
                win[int(decl.prop)] = &decl.value;
        }
    }

    // Compute.
    const ComputedStyle* parent = parentContext == 0 ? nullptr : d->contextStyles[parentContext];
    ComputedStyle s;
    if (parent) {
        s.families = parent->families;
        s.fontSize = parent->fontSize;
        s.bold = parent->bold;
        s.italic = parent->italic;
        s.nowrap = parent->nowrap;
        s.color = parent->color;
        s.textAlign = parent->textAlign;
        s.decoration = parent->decoration;
        s.decorationColor = parent->decorationColor;
        s.verticalAlign = kw::Baseline;
    } else {
        s.families = FDefaultFamily;
        s.fontSize = FDefaultSize;
    }
    auto get = [&](Prop p) { return win[int(p)]; };
    auto inherits = [&](Prop p) { return win[int(p)] && win[int(p)]->kind == CssValue::Inherit; };
    const float parentSize = parent ? parent->fontSize : FDefaultSize;
    if (const CssValue* v = get(Prop::FontSize)) {
        if (v->kind == CssValue::Keyword)
            s.fontSize = fontSizeKeyword(v->keyword, parentSize);
        else if (v->kind == CssValue::Length) {
            if (v->length.unit == Length::Percent)
                s.fontSize = parentSize * v->length.value / 100.0f;
            else
                s.fontSize = resolveLength(v->length, parentSize);
        }
        s.fontSize = std::clamp(s.fontSize, 1.0f, 500.0f);
    }
    if (const CssValue* v = get(Prop::FontFamily); v && v->kind == CssValue::Family)
        s.families = v->family;
    if (const CssValue* v = get(Prop::FontWeight); v && v->kind == CssValue::Keyword)
        s.bold = v->keyword == kw::Bold || v->keyword == kw::Bolder;
    if (const CssValue* v = get(Prop::FontStyle); v && v->kind == CssValue::Keyword)
        s.italic = v->keyword == kw::Italic;
    if (const CssValue* v = get(Prop::WhiteSpace); v && v->kind == CssValue::Keyword)
        s.nowrap = v->keyword == kw::Nowrap;
    if (const CssValue* v = get(Prop::Color); v && v->kind == CssValue::Color)
        s.color = v->color;
    if (const CssValue* v = get(Prop::TextAlign); v && v->kind == CssValue::Keyword)
        s.textAlign = v->keyword;
    if (const CssValue* v = get(Prop::Display); v && v->kind == CssValue::Keyword)
        s.display = defaultDisplay(v->keyword);
    if (const CssValue* v = get(Prop::VerticalAlign)) {
        if (v->kind == CssValue::Keyword)
            s.verticalAlign = v->keyword;
    }
    if (inherits(Prop::VerticalAlign))
        s.verticalAlign = parent ? parent->verticalAlign : kw::Baseline;
    if (const CssValue* v = get(Prop::BackgroundColor)) {
        if (v->kind == CssValue::Color)
            s.background = v->color;
        else if (v->kind == CssValue::Inherit && parent)
            s.background = parent->background;
    }
    if (const CssValue* v = get(Prop::TextDecoration); v && v->kind == CssValue::Decoration) {
        if (v->keyword != 0) {
            s.decoration |= uint8_t(v->keyword);
            s.decorationColor = s.color;
        }
    }
    if (const CssValue* v = get(Prop::Width); v && v->kind == CssValue::Length)
        s.width = v->length;
    if (const CssValue* v = get(Prop::Height); v && v->kind == CssValue::Length)
        s.height = v->length;
    for (int side = 0; side < 4; ++side) {
        if (const CssValue* v = get(Prop(int(Prop::MarginTop) + side));
            v && v->kind == CssValue::Length)
            s.margin[side] = resolveLength(v->length, s.fontSize);
        if (const CssValue* v = get(Prop(int(Prop::PaddingTop) + side));
            v && v->kind == CssValue::Length)
            s.padding[side] = std::max(0.0f, resolveLength(v->length, s.fontSize));
        int style = kw::None;
        if (const CssValue* v = get(Prop(int(Prop::BorderTopStyle) + side));
            v && v->kind == CssValue::Keyword)
            style = v->keyword;
        float width = 3; // medium
        if (const CssValue* v = get(Prop(int(Prop::BorderTopWidth) + side));
            v && v->kind == CssValue::Length)
            width = resolveLength(v->length, s.fontSize);
        QRgb color = s.color;
        if (const CssValue* v = get(Prop(int(Prop::BorderTopColor) + side));
            v && v->kind == CssValue::Color)
            color = v->color;
        bool visible = style != kw::None && style != kw::Hidden;
        s.borderStyle[side] = style;
        s.border[side] = visible ? std::clamp(width, 0.0f, 1000.0f) : 0;
        s.borderColor[side] = color;
    }

    FStyles.push_back(std::move(s));
    const ComputedStyle* result = &FStyles.back();
    context = uint32_t(d->contextStyles.size());
    d->contextStyles.push_back(result);
    d->children.emplace_back();
    if (cacheable) {
        auto& listed = d->children[parentContext];
        if (listed.size() < Impl::ListedChildren)
            listed.emplace_back(key, context);
        else
            d->contexts.emplace(key, context);
    }
    return result;
}

void StyleResolver::resolveAll()
{
    FNodeStyles.assign(FDom.nodeCount(), nullptr);
    if (d->contextStyles.empty()) {
        d->contextStyles.push_back(nullptr); // context 0: above the root
        d->children.emplace_back();
    }
    // Depth-first with an explicit stack of (node, context).
    struct Frame {
        uint32_t node;
        uint32_t context;
    };
    std::vector<Frame> stack;
    uint32_t rootContext = 0;
    FNodeStyles[FDom.root()] = resolve(FDom.root(), 0, rootContext);
    stack.push_back({FDom.root(), rootContext});
    while (!stack.empty()) {
        Frame f = stack.back();
        stack.pop_back();
        const ComputedStyle* parentStyle = FNodeStyles[f.node];
        for (uint32_t c = FDom.node(f.node).firstChild; c != NoNode; c = FDom.node(c).nextSibling) {
            if (FDom.node(c).tag == Tag::Text) {
                FNodeStyles[c] = parentStyle;
                continue;
            }
            uint32_t ctx = 0;
            FNodeStyles[c] = resolve(c, f.context, ctx);
            if (FDom.node(c).firstChild != NoNode)
                stack.push_back({c, ctx});
        }
    }
}

} // namespace htmlview
