// The style sheet parser: rules, declarations, colours and lengths from any text.

#include "fuzz_support.h"
#include "htmlview/css.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    htmlview::StyleSheet sheet;
    htmlview::parseStyleSheet(text, sheet);
    htmlview::parseDeclarations(text);
    QRgb color = 0;
    htmlview::parseColor(text, color);
    htmlview::Length length;
    htmlview::parseLength(text, length);
    return 0;
}
