#pragma once
// One loaded page: its tree, styles and boxes. Laying it out at a width gives a display list;
// the document itself does not depend on the width.

#include "htmlview/box_tree.h"
#include "htmlview/display_list.h"
#include "htmlview/dom.h"
#include "htmlview/style.h"

#include <QString>
#include <memory>

namespace htmlview {

class ImageCache;
class TextMeasurer;

class Document {
public:
    Document(const QString& html, TextMeasurer& measurer, ImageCache& images,
             const QString& defaultFamily = QStringLiteral("Times New Roman"),
             float defaultSizePx = 16);
    ~Document();

    const Dom& dom() const { return *FDom; }
    const StyleResolver& styles() const { return *FStyles; }
    const BoxTree& boxes() const { return FBoxes; }
    DisplayList layout(float width);

private:
    std::unique_ptr<Dom> FDom;
    std::unique_ptr<StyleResolver> FStyles;
    BoxTree FBoxes;
};

} // namespace htmlview
