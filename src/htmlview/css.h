#pragma once
// Style sheet text to typed rules: selectors (type, class, id, descendant and child
// combinators, :link) and declarations with shorthands expanded. Unsupported selectors never
// match; unknown properties and bad values are dropped, as CSS requires.

#include "htmlview/dom.h"

#include <QRgb>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <memory>
#include <vector>

namespace htmlview {

enum class Prop : uint8_t {
    BackgroundColor,
    Color,
    FontFamily,
    FontSize,
    FontWeight,
    FontStyle,
    TextDecoration,
    TextAlign,
    VerticalAlign,
    WhiteSpace,
    Display,
    Width,
    Height,
    MarginTop,
    MarginRight,
    MarginBottom,
    MarginLeft,
    PaddingTop,
    PaddingRight,
    PaddingBottom,
    PaddingLeft,
    BorderTopWidth,
    BorderRightWidth,
    BorderBottomWidth,
    BorderLeftWidth,
    BorderTopStyle,
    BorderRightStyle,
    BorderBottomStyle,
    BorderLeftStyle,
    BorderTopColor,
    BorderRightColor,
    BorderBottomColor,
    BorderLeftColor,
    Count
};

struct Length {
    enum Unit : uint8_t { Px, Em, Ex, Percent, Auto };
    float value = 0;
    Unit unit = Px;
};

// Keywords of the enumerated properties.
namespace kw {
enum : int {
    // font-size
    Smaller = 1,
    Larger,
    XXSmall,
    XSmall,
    Small,
    Medium,
    Large,
    XLarge,
    XXLarge,
    // font-weight, font-style
    Normal,
    Bold,
    Bolder,
    Lighter,
    Italic,
    // text-align
    Left,
    Right,
    Center,
    Justify,
    // vertical-align
    Top,
    Middle,
    Bottom,
    Baseline,
    // white-space
    Nowrap,
    Pre,
    // display
    None,
    Block,
    Inline,
    InlineBlock,
    Table,
    TableRow,
    TableCell,
    ListItem,
    // border-style
    Solid,
    Dashed,
    Dotted,
    Double,
    Hidden,
    Outset,
    Inset,
    Groove,
    Ridge,
};
}

enum TextDecorationFlag : uint8_t { DecoUnderline = 1, DecoOverline = 2, DecoLineThrough = 4 };

struct CssValue {
    enum Kind : uint8_t { Length, Color, Keyword, Family, Inherit, Decoration };
    Kind kind = Keyword;
    htmlview::Length length;
    QRgb color = 0;  // alpha 0 is transparent
    int keyword = 0; // a kw:: value, or TextDecorationFlag bits for Decoration
    QString family;  // font-family list as written
};

struct Declaration {
    Prop prop;
    bool important = false;
    CssValue value;
};

using Declarations = std::vector<Declaration>;

// One compound selector: tag, classes, id, pseudo-class.
struct Compound {
    Tag tag = Tag::Unknown;
    bool anyTag = true;
    QString tagName; // for elements the parser does not know
    std::vector<QString> classes;
    QString id;
    bool link = false;  // :link, matches a elements with href
    bool never = false; // holds something we do not support
};

struct Selector {
    enum Combinator : uint8_t { Descendant, Child };
    std::vector<Compound> parts;         // left to right
    std::vector<Combinator> combinators; // combinators[i] joins parts[i] and parts[i + 1]
    uint32_t specificity = 0;            // ids << 16 | classes << 8 | types
};

struct Rule {
    Selector selector;
    std::shared_ptr<const Declarations> declarations;
    uint32_t order = 0;
};

struct StyleSheet {
    std::vector<Rule> rules;
};

// Appends the rules of `text` to `sheet`.
void parseStyleSheet(QStringView text, StyleSheet& sheet);
// The declarations of a style attribute or a rule body.
Declarations parseDeclarations(QStringView text);
// Parses one colour value ("#RRGGBB", "#RGB", rgb(), a name); false when it is none.
bool parseColor(QStringView text, QRgb& color);
// Parses a length such as "5px", "10pt", "1.5em", "50%" or a plain number (pixels).
bool parseLength(QStringView text, Length& length);

} // namespace htmlview
