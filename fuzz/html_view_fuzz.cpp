// The HTML view's parser, and what is built on its tree: styles, boxes and the layout at a
// narrow and a wide width. Text is measured by a fixed-width stand-in, so no fonts are needed.
// Whatever the markup, this finishes without a fault.

#include "fuzz_support.h"
#include "htmlview/document.h"
#include "htmlview/html_parser.h"
#include "htmlview/image_cache.h"
#include "htmlview/text_measurer.h"

namespace {

class FixedMeasurer : public htmlview::TextMeasurer {
public:
    int fontId(const QString&, float pixelSize, bool bold, bool) override
    {
        const int id = int(FMetrics.size());
        htmlview::FontMetrics m;
        m.ascent = pixelSize * 0.8f;
        m.descent = pixelSize * 0.2f;
        m.spaceWidth = pixelSize * (bold ? 0.35f : 0.3f);
        FMetrics.push_back(m);
        return id;
    }
    const htmlview::FontMetrics& metrics(int fontId) override { return FMetrics[size_t(fontId)]; }
    float advance(int fontId, QStringView text) override
    {
        return FMetrics[size_t(fontId)].spaceWidth * 2 * float(text.size());
    }
    QFont paintFont(int, double) const override { return {}; }

private:
    std::vector<htmlview::FontMetrics> FMetrics;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString html = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::unique_ptr<htmlview::Dom> dom = htmlview::parseHtml(html);
    fuzz::check(dom != nullptr, "a tree for any markup");
    FixedMeasurer measurer;
    htmlview::ImageCache images;
    htmlview::Document document(html, measurer, images);
    for (const float width : {40.0f, 800.0f})
        document.layout(width);
    return 0;
}
