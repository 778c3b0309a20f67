#include "htmlview/dom.h"

#include <algorithm>

namespace htmlview {

namespace {
template <typename T> struct Named {
    const char* name;
    T value;
};
const Named<Tag> kTags[] = {
    {"html", Tag::Html},   {"head", Tag::Head},   {"body", Tag::Body},     {"header", Tag::Header},
    {"table", Tag::Table}, {"tbody", Tag::Tbody}, {"thead", Tag::Thead},   {"tfoot", Tag::Tfoot},
    {"tr", Tag::Tr},       {"td", Tag::Td},       {"th", Tag::Th},         {"span", Tag::Span},
    {"br", Tag::Br},       {"a", Tag::A},         {"img", Tag::Img},       {"b", Tag::B},
    {"i", Tag::I},         {"u", Tag::U},         {"strong", Tag::Strong}, {"em", Tag::Em},
    {"font", Tag::Font},   {"p", Tag::P},         {"div", Tag::Div},       {"center", Tag::Center},
    {"hr", Tag::Hr},       {"style", Tag::Style}, {"script", Tag::Script}, {"title", Tag::Title},
    {"meta", Tag::Meta},   {"link", Tag::Link},
};
const Named<Attr> kAttrs[] = {
    {"class", Attr::Class},
    {"id", Attr::Id},
    {"style", Attr::Style},
    {"href", Attr::Href},
    {"src", Attr::Src},
    {"width", Attr::Width},
    {"height", Attr::Height},
    {"align", Attr::Align},
    {"valign", Attr::Valign},
    {"border", Attr::Border},
    {"cellspacing", Attr::Cellspacing},
    {"cellpadding", Attr::Cellpadding},
    {"colspan", Attr::Colspan},
    {"bgcolor", Attr::Bgcolor},
    {"color", Attr::Color},
    {"face", Attr::Face},
    {"media", Attr::Media},
};

bool equalsAscii(QStringView s, const char* name)
{
    qsizetype i = 0;
    for (; name[i]; ++i) {
        if (i >= s.size() || s[i].unicode() != char16_t(name[i]))
            return false;
    }
    return i == s.size();
}
} // namespace

Tag tagFromName(QStringView lowerName)
{
    if (lowerName.isEmpty() || lowerName.size() > 6)
        return Tag::Unknown;
    const char16_t first = lowerName[0].unicode();
    for (const auto& e : kTags) {
        if (char16_t(e.name[0]) == first && equalsAscii(lowerName, e.name))
            return e.value;
    }
    return Tag::Unknown;
}

Attr attrFromName(QStringView lowerName)
{
    for (const auto& e : kAttrs) {
        if (equalsAscii(lowerName, e.name))
            return e.value;
    }
    return Attr::Unknown;
}

bool isVoidTag(Tag tag)
{
    switch (tag) {
    case Tag::Br:
    case Tag::Img:
    case Tag::Hr:
    case Tag::Meta:
    case Tag::Link:
        return true;
    default:
        return false;
    }
}

Dom::Dom()
{
    FNodes.reserve(64);
    createNode(Tag::Html);
}

const Attribute* Dom::findAttribute(uint32_t node, Attr name) const
{
    for (const Attribute* a = attributesBegin(node); a != attributesEnd(node); ++a) {
        if (a->name == name)
            return a;
    }
    return nullptr;
}

QStringView Dom::attribute(uint32_t node, Attr name) const
{
    const Attribute* a = findAttribute(node, name);
    return a ? a->value : QStringView();
}

bool Dom::hasAttribute(uint32_t node, Attr name) const
{
    return findAttribute(node, name) != nullptr;
}

uint32_t Dom::find(Tag tag) const
{
    for (uint32_t i = 0; i < FNodes.size(); ++i) {
        if (FNodes[i].tag == tag)
            return i;
    }
    return NoNode;
}

QString Dom::textContent(uint32_t node) const
{
    QString out;
    std::vector<uint32_t> stack{node};
    while (!stack.empty()) {
        uint32_t n = stack.back();
        stack.pop_back();
        if (FNodes[n].tag == Tag::Text)
            out += FNodes[n].text;
        std::vector<uint32_t> kids;
        for (uint32_t c = FNodes[n].firstChild; c != NoNode; c = FNodes[c].nextSibling)
            kids.push_back(c);
        stack.insert(stack.end(), kids.rbegin(), kids.rend());
    }
    return out;
}

void Dom::reserve(size_t nodes, size_t attributes)
{
    FNodes.reserve(nodes);
    FAttrs.reserve(attributes);
}

QStringView Dom::keep(QString text)
{
    FKept.push_back(std::move(text));
    return QStringView(FKept.back());
}

uint32_t Dom::createNode(Tag tag, QStringView text)
{
    Node n;
    n.tag = tag;
    n.text = text;
    n.attrBegin = uint32_t(FAttrs.size());
    FNodes.push_back(n);
    return uint32_t(FNodes.size() - 1);
}

void Dom::appendChild(uint32_t parent, uint32_t child)
{
    Node& p = FNodes[parent];
    FNodes[child].parent = parent;
    FNodes[child].nextSibling = NoNode;
    if (p.lastChild == NoNode)
        p.firstChild = child;
    else
        FNodes[p.lastChild].nextSibling = child;
    p.lastChild = child;
}

void Dom::insertBefore(uint32_t parent, uint32_t child, uint32_t before)
{
    Node& p = FNodes[parent];
    FNodes[child].parent = parent;
    if (p.firstChild == before) {
        FNodes[child].nextSibling = before;
        p.firstChild = child;
        return;
    }
    for (uint32_t c = p.firstChild; c != NoNode; c = FNodes[c].nextSibling) {
        if (FNodes[c].nextSibling == before) {
            FNodes[child].nextSibling = before;
            FNodes[c].nextSibling = child;
            return;
        }
    }
    appendChild(parent, child);
}

void Dom::insertAfter(uint32_t parent, uint32_t child, uint32_t after)
{
    FNodes[child].parent = parent;
    FNodes[child].nextSibling = FNodes[after].nextSibling;
    FNodes[after].nextSibling = child;
    if (FNodes[parent].lastChild == after)
        FNodes[parent].lastChild = child;
}

uint32_t Dom::atomOf(Attr name, QStringView value)
{
    if (name == Attr::Href || name == Attr::Src)
        return 0;
    uint64_t h = 1469598103934665603ull ^ uint64_t(value.size());
    for (QChar c : value)
        h = (h ^ c.unicode()) * 1099511628211ull;
    if (FAtomSlots.empty())
        FAtomSlots.resize(256);
    size_t mask = FAtomSlots.size() - 1;
    for (size_t i = size_t(h) & mask;; i = (i + 1) & mask) {
        AtomSlot& slot = FAtomSlots[i];
        if (slot.atom == 0)
            break;
        if (slot.hash == h && slot.value == value)
            return slot.atom;
    }
    if ((FAtomCount + 1) * 2 > FAtomSlots.size()) {
        std::vector<AtomSlot> old = std::move(FAtomSlots);
        FAtomSlots.assign(old.size() * 2, AtomSlot());
        mask = FAtomSlots.size() - 1;
        for (const AtomSlot& s : old) {
            if (s.atom == 0)
                continue;
            size_t i = size_t(s.hash) & mask;
            while (FAtomSlots[i].atom != 0)
                i = (i + 1) & mask;
            FAtomSlots[i] = s;
        }
    }
    size_t i = size_t(h) & mask;
    while (FAtomSlots[i].atom != 0)
        i = (i + 1) & mask;
    FAtomSlots[i] = {h, value, ++FAtomCount};
    return FAtomCount;
}

void Dom::addAttribute(uint32_t node, Attr name, QStringView value)
{
    Node& n = FNodes[node];
    // Attributes of a node are contiguous; only the newest node may grow.
    if (n.attrBegin + n.attrCount != FAttrs.size() || n.attrCount == 0xffff)
        return;
    if (findAttribute(node, name))
        return; // the first occurrence wins, as in browsers
    // Values are numbered while they are still in the cache, so that styling compares numbers
    // instead of reading the text again.
    FAttrs.push_back({name, atomOf(name, value), value});
    ++n.attrCount;
}

void Dom::mergeAttributes(uint32_t node, const std::vector<Attribute>& attrs)
{
    // Copy the node's attributes to the end so that it can grow there.
    Node& n = FNodes[node];
    std::vector<Attribute> merged(FAttrs.begin() + n.attrBegin,
                                  FAttrs.begin() + n.attrBegin + n.attrCount);
    for (const Attribute& a : attrs) {
        bool present = std::any_of(merged.begin(), merged.end(),
                                   [&](const Attribute& m) { return m.name == a.name; });
        if (!present && merged.size() < 0xffff)
            merged.push_back({a.name, atomOf(a.name, a.value), a.value});
    }
    n.attrBegin = uint32_t(FAttrs.size());
    n.attrCount = uint16_t(merged.size());
    FAttrs.insert(FAttrs.end(), merged.begin(), merged.end());
}

} // namespace htmlview
