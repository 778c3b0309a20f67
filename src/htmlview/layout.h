#pragma once
// Lays out a box tree at a given width into a display list. Text is measured only through the
// box tree's TextMeasurer; nothing here paints.

#include "htmlview/box_tree.h"
#include "htmlview/display_list.h"

namespace htmlview {

DisplayList layoutBoxTree(BoxTree& tree, float width);

} // namespace htmlview
