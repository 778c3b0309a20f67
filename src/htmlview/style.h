#pragma once
// The cascade: user-agent rules, presentational attributes, author rules from every style
// element, inline style attributes; then inheritance into computed values. Elements that share
// tag, attributes and ancestry share one computed style, so styling a long page of repeated
// rows resolves each distinct context once.

#include "htmlview/big_vector.h"
#include "htmlview/css.h"
#include "htmlview/dom.h"

#include <QRgb>
#include <QString>
#include <deque>
#include <memory>
#include <vector>

namespace htmlview {

enum class Display : uint8_t { None, Block, Inline, Table, TableRow, TableCell };

struct ComputedStyle {
    // Inherited.
    QString families;    // font-family list as written
    float fontSize = 16; // pixels
    bool bold = false;
    bool italic = false;
    bool nowrap = false;
    QRgb color = 0xFF000000;
    int textAlign = kw::Left;
    uint8_t decoration = 0; // TextDecorationFlag bits, own and from ancestors
    QRgb decorationColor = 0xFF000000;
    // Not inherited.
    Display display = Display::Inline;
    int verticalAlign = kw::Baseline;
    QRgb background = 0; // alpha 0: none
    Length width{0, Length::Auto};
    Length height{0, Length::Auto};
    float margin[4] = {0, 0, 0, 0}; // top right bottom left
    float padding[4] = {0, 0, 0, 0};
    float border[4] = {0, 0, 0, 0};
    QRgb borderColor[4] = {0, 0, 0, 0};
    int borderStyle[4] = {kw::None, kw::None, kw::None, kw::None};

    mutable int fontId = -1; // set by the layout's text measurer
};

class StyleResolver {
public:
    explicit StyleResolver(const Dom& dom,
                           QString defaultFamily = QStringLiteral("Times New Roman"),
                           float defaultSizePx = 16);
    ~StyleResolver();

    // The computed style of every node (text nodes get their parent's); null for nodes not
    // rendered (inside display:none they still get one).
    void resolveAll();
    const ComputedStyle* style(uint32_t node) const { return FNodeStyles[node]; }

private:
    struct Key;
    struct KeyHash;
    struct Impl;
    const ComputedStyle* resolve(uint32_t node, uint32_t parentContext, uint32_t& context);
    const Dom& FDom;
    QString FDefaultFamily;
    float FDefaultSize;
    std::deque<ComputedStyle> FStyles;
    BigVector<const ComputedStyle*> FNodeStyles;
    std::unique_ptr<Impl> d;
};

// The user-agent style sheet: what a browser does without author styles.
const StyleSheet& userAgentStyleSheet();

} // namespace htmlview
