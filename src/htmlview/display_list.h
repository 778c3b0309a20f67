#pragma once
// The laid-out page as a flat list of things to paint, in painting order, with absolute
// positions in CSS pixels, plus an index by vertical band for painting and hit-testing a
// small part of a long page.

#include "htmlview/big_vector.h"

#include <QRectF>
#include <QRgb>
#include <cstdint>
#include <vector>

namespace htmlview {

struct DisplayItem {
    enum Kind : uint8_t {
        Fill,     // a rectangle in `color` (backgrounds and borders)
        Text,     // words first..last of one line, one style
        Image,    // item `first`
        RowGuard, // a table row: pages should not break inside it
        LineGuard // a line of text: pages should not break inside it
    };
    Kind kind = Fill;
    bool partial = false; // Text: only part of one word, broken across lines (DisplayList::partOf)
    float x = 0, y = 0, w = 0, h = 0;
    float baseline = 0;           // Text: the baseline's y
    QRgb color = 0;               // Fill: its colour; Text: background behind the words, if any
    uint32_t first = 0, last = 0; // inline item range, inclusive; RowGuard: the row's box
    int32_t link = -1;

    QRectF rect() const { return QRectF(x, y, w, h); }
};

struct DisplayList {
    BigVector<DisplayItem> items;
    float width = 0;
    float height = 0;
    QRgb canvas = 0xFFFFFFFF;

    // The characters drawn by partial Text items, by item index (ascending).
    struct Part {
        uint32_t index;
        uint32_t begin, end;
    };
    std::vector<Part> parts;
    // For a partial Text item (one of `items`), the characters [begin, end) of its word that it
    // draws; false for every other item.
    bool partOf(const DisplayItem& d, uint32_t& begin, uint32_t& end) const;

    static constexpr float BandHeight = 256;
    std::vector<std::vector<uint32_t>> bands; // items overlapping each band, ascending

    void buildBands();
    // Indexes of the paintable items that may overlap `rect`, in painting order.
    std::vector<uint32_t> itemsIn(const QRectF& rect) const;
};

} // namespace htmlview
