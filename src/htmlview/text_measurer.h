#pragma once
// All text measuring of the layout goes through this interface, so the layout never touches a
// painter. The Qt implementation caches advances per font and character: summing cached
// advances is some thirty times cheaper than asking the font engine for each word.

#include <QFont>
#include <QHash>
#include <QString>
#include <QStringView>
#include <memory>
#include <vector>

namespace htmlview {

struct FontMetrics {
    float ascent = 0;
    float descent = 0;
    float leading = 0;
    float underlinePos = 1;
    float lineWidth = 1;
    float spaceWidth = 0;
};

class TextMeasurer {
public:
    virtual ~TextMeasurer() = default;
    // A font for a CSS font-family list and a size in CSS pixels.
    virtual int fontId(const QString& families, float pixelSize, bool bold, bool italic) = 0;
    virtual const FontMetrics& metrics(int fontId) = 0;
    virtual float advance(int fontId, QStringView text) = 0;
    // The font to paint with on a device of `dpi` dots per inch (text sized in CSS pixels
    // there, 96 to the inch).
    virtual QFont paintFont(int fontId, double dpi) const = 0;
};

class QtTextMeasurer : public TextMeasurer {
public:
    QtTextMeasurer();
    ~QtTextMeasurer() override;
    int fontId(const QString& families, float pixelSize, bool bold, bool italic) override;
    const FontMetrics& metrics(int fontId) override;
    float advance(int fontId, QStringView text) override;
    QFont paintFont(int fontId, double dpi) const override;
    // The dots per inch the measuring fonts are made for (the screen's).
    double dpi() const { return FDpi; }

private:
    struct Face;
    double FDpi;
    std::vector<std::unique_ptr<Face>> FFaces;
    QHash<QString, int> FIds;
};

} // namespace htmlview
