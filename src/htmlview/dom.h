#pragma once
// The document tree: elements and text nodes in one flat array. Strings are views into the
// document source or into decoded copies the tree owns, so building the tree allocates little.

#include "htmlview/big_vector.h"

#include <QString>
#include <QStringView>
#include <cstdint>
#include <vector>

namespace htmlview {

enum class Tag : uint8_t {
    Text, // a text node, not an element
    Unknown,
    Html,
    Head,
    Body,
    Header,
    Table,
    Tbody,
    Thead,
    Tfoot,
    Tr,
    Td,
    Th,
    Span,
    Br,
    A,
    Img,
    B,
    I,
    U,
    Strong,
    Em,
    Font,
    P,
    Div,
    Center,
    Hr,
    Style,
    Script,
    Title,
    Meta,
    Link,
};

enum class Attr : uint8_t {
    Unknown,
    Class,
    Id,
    Style,
    Href,
    Src,
    Width,
    Height,
    Align,
    Valign,
    Border,
    Cellspacing,
    Cellpadding,
    Colspan,
    Bgcolor,
    Color,
    Face,
    Media,
};

Tag tagFromName(QStringView lowerName);
Attr attrFromName(QStringView lowerName);
bool isVoidTag(Tag tag);

constexpr uint32_t NoNode = 0xffffffffu;

struct Attribute {
    Attr name;
    uint32_t atom; // equal values have equal atoms (link targets and sources have none)
    QStringView value;
};

struct Node {
    Tag tag = Tag::Unknown;
    uint16_t attrCount = 0; // packed beside the tag: a long page holds hundreds of thousands
    uint32_t parent = NoNode;
    uint32_t firstChild = NoNode;
    uint32_t lastChild = NoNode;
    uint32_t nextSibling = NoNode;
    uint32_t attrBegin = 0;
    QStringView text; // text of a text node; the tag name of an unknown element
};
static_assert(sizeof(void*) != 8 || sizeof(Node) == 40, "Node should stay small");

class Dom {
public:
    Dom();

    const Node& node(uint32_t i) const { return FNodes[i]; }
    uint32_t nodeCount() const { return uint32_t(FNodes.size()); }
    uint32_t root() const { return 0; }
    QStringView attribute(uint32_t node, Attr name) const;
    const Attribute* attributesBegin(uint32_t node) const
    {
        return FAttrs.data() + FNodes[node].attrBegin;
    }
    const Attribute* attributesEnd(uint32_t node) const
    {
        return FAttrs.data() + FNodes[node].attrBegin + FNodes[node].attrCount;
    }
    void reserve(size_t nodes, size_t attributes);
    bool hasAttribute(uint32_t node, Attr name) const;
    // The first element with this tag in document order, NoNode when none.
    uint32_t find(Tag tag) const;
    // Texts of all text nodes below `node` joined (for tests and debugging).
    QString textContent(uint32_t node) const;
    const QString& source() const { return FSource; }
    // No doctype before the first element: browsers lay such pages out in quirks mode.
    bool quirksMode() const { return FQuirks; }

    // Building.
    void setSource(const QString& source) { FSource = source; }
    void setQuirksMode(bool quirks) { FQuirks = quirks; }
    QStringView keep(QString text); // stores a decoded string; the view stays valid
    uint32_t createNode(Tag tag, QStringView text = {});
    void appendChild(uint32_t parent, uint32_t child);
    void insertBefore(uint32_t parent, uint32_t child, uint32_t before);
    void insertAfter(uint32_t parent, uint32_t child, uint32_t after);
    void addAttribute(uint32_t node, Attr name, QStringView value); // only on the newest node
    void mergeAttributes(uint32_t node, const std::vector<Attribute>& attrs);

private:
    const Attribute* findAttribute(uint32_t node, Attr name) const;
    uint32_t atomOf(Attr name, QStringView value);
    QString FSource;
    bool FQuirks = true;
    std::vector<QString> FKept;
    // Open addressing: attribute values repeat a great deal and are short.
    struct AtomSlot {
        uint64_t hash = 0;
        QStringView value;
        uint32_t atom = 0; // 0: empty
    };
    std::vector<AtomSlot> FAtomSlots;
    uint32_t FAtomCount = 0;
    BigVector<Node> FNodes;
    BigVector<Attribute> FAttrs;
};

} // namespace htmlview
