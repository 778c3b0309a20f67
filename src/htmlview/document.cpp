#include "htmlview/document.h"

#include "htmlview/html_parser.h"
#include "htmlview/layout.h"

namespace htmlview {

Document::Document(const QString& html, TextMeasurer& measurer, ImageCache& images,
                   const QString& defaultFamily, float defaultSizePx)
    : FDom(parseHtml(html)),
      FStyles(std::make_unique<StyleResolver>(*FDom, defaultFamily, defaultSizePx))
{
    FStyles->resolveAll();
    FBoxes = buildBoxTree(*FDom, *FStyles, measurer, images);
}

Document::~Document() = default;

DisplayList Document::layout(float width)
{
    return layoutBoxTree(FBoxes, width);
}

} // namespace htmlview
