#pragma once
// The width-independent part of layout: boxes for blocks, tables, rows and cells, and runs of
// inline items (words, images, line breaks) already measured. Built once per document; laying
// out at another width (a resize, printing) reuses it.

#include "htmlview/big_vector.h"
#include "htmlview/dom.h"
#include "htmlview/style.h"

#include <QRgb>
#include <QStringView>
#include <cstdint>
#include <vector>

namespace htmlview {

class TextMeasurer;
class ImageCache;

constexpr uint32_t NoBox = 0xffffffffu;

// Separator put before an item when selected text is copied.
enum class Sep : uint8_t { None, Space, Newline, Tab };

struct InlineItem {
    enum Kind : uint8_t { Word, Image, Break };
    Kind kind = Word;
    Sep sep = Sep::None;
    bool breakBefore = false; // a line may end before this item
    bool hasSpace = false;    // a collapsed space comes before it (not drawn at a line start)
    int32_t link = -1;        // index into BoxTree::links
    int32_t image = -1;       // ImageCache index
    const ComputedStyle* style = nullptr;
    float width = 0;  // the word's advance, or the image's width with its borders
    float height = 0; // image height with its borders
    float spaceWidth = 0;
    QRgb background = 0; // of the innermost inline element with one
    QStringView text;
};

struct Box {
    enum Kind : uint8_t { Block, Flow, Table, Row, Cell };
    Kind kind = Block;
    const ComputedStyle* style = nullptr;
    uint32_t firstChild = NoBox;
    uint32_t lastChild = NoBox;
    uint32_t nextSibling = NoBox;
    uint32_t itemBegin = 0, itemEnd = 0; // Flow
    int colspan = 1;                     // Cell
    int columns = 0;                     // Table
    float spacing = 0;                   // Table: cellspacing
    float minWidth = -1, maxWidth = -1;  // cached intrinsic widths, border box
};

struct BoxTree {
    BigVector<Box> boxes; // boxes[0] is the root
    BigVector<InlineItem> items;
    std::vector<QStringView> links;
    QRgb canvas = 0xFFFFFFFF; // the page background: the body's, else the root's, else white
    bool quirks = true;       // the document has no doctype (line heights differ)
    TextMeasurer* measurer = nullptr;
    ImageCache* images = nullptr;
};

// Builds the boxes of a styled tree. The tree's strings must outlive the result.
BoxTree buildBoxTree(const Dom& dom, const StyleResolver& styles, TextMeasurer& measurer,
                     ImageCache& images);

// The font of a style, made known to the measurer on first use.
int fontOf(const ComputedStyle* style, TextMeasurer& measurer);

} // namespace htmlview
