#pragma once
// Positions in the page's text (an inline item and a character offset in it), hit-testing
// points against the display list, and the plain text between two positions.

#include "htmlview/box_tree.h"
#include "htmlview/display_list.h"

#include <QPointF>
#include <QString>

namespace htmlview {

struct TextPosition {
    uint32_t item = 0;
    uint32_t offset = 0;
    bool operator<(const TextPosition& o) const
    {
        return item != o.item ? item < o.item : offset < o.offset;
    }
    bool operator==(const TextPosition& o) const { return item == o.item && offset == o.offset; }
};

// The link drawn at `point` (page coordinates), -1 when none.
int32_t linkAt(const DisplayList& list, QPointF point);
// The text position nearest to `point`; false when the page holds no text at all.
bool positionAt(const DisplayList& list, const BoxTree& tree, QPointF point, TextPosition& pos);
// The first and the last position of the text a Text item of `list` draws.
void positionsOf(const DisplayList& list, const BoxTree& tree, const DisplayItem& text,
                 TextPosition& start, TextPosition& end);
// x of a position inside a Text item of `list` (clamped to the item's words).
float xOfPosition(const DisplayList& list, const BoxTree& tree, const DisplayItem& text,
                  TextPosition pos);
// The plain text from `a` to `b` (a before b).
QString textBetween(const BoxTree& tree, TextPosition a, TextPosition b);
// The whole word at a position.
void wordAt(const BoxTree& tree, TextPosition pos, TextPosition& start, TextPosition& end);
// The first and last positions of the page's text.
TextPosition endOfText(const BoxTree& tree);

} // namespace htmlview
