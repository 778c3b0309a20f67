#pragma once
// A tolerant HTML parser: any input gives a tree, the way browsers recover from bad markup
// (implied html/body, stray end tags ignored, cells and rows closed by the next one, content
// outside cells moved before its table). Nesting deeper than a fixed limit is flattened.

#include "htmlview/dom.h"

#include <QString>
#include <memory>

namespace htmlview {

constexpr int MaxTreeDepth = 200;

std::unique_ptr<Dom> parseHtml(const QString& html);

} // namespace htmlview
