#pragma once
// Paints a display list with a QPainter: backgrounds, borders, text with its decorations,
// images, and the selection.

#include "htmlview/box_tree.h"
#include "htmlview/display_list.h"
#include "htmlview/selection.h"

#include <QColor>
#include <QRectF>

class QPainter;

namespace htmlview {

struct PaintOptions {
    double fontDpi = 96;     // dots per inch of the device painted on (before scaling)
    bool paintCanvas = true; // fill the clip with the page background first
    bool hasSelection = false;
    TextPosition selectionStart, selectionEnd;
    QColor highlight = QColor(0x33, 0x99, 0xFF);
    QColor highlightedText = Qt::white;
};

// Paints what of the page lies in `clip` (page coordinates; the painter maps page coordinates
// to the device).
void paintDisplayList(QPainter& painter, const DisplayList& list, const BoxTree& tree,
                      const QRectF& clip, const PaintOptions& options);

} // namespace htmlview
