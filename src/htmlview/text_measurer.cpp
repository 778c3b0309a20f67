#include "htmlview/text_measurer.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace htmlview {

struct QtTextMeasurer::Face {
    QFont font;
    float pixelSize;
    QFontMetricsF fm;
    FontMetrics metrics;
    float latin[256];
    QHash<char16_t, float> other;
    explicit Face(const QFont& f, float px) : font(f), pixelSize(px), fm(f)
    {
        for (float& a : latin)
            a = -1;
    }
    float charAdvance(char16_t c)
    {
        if (c < 256) {
            float& a = latin[c];
            if (a < 0)
                a = float(fm.horizontalAdvance(QChar(c)));
            return a;
        }
        auto it = other.constFind(c);
        if (it != other.constEnd())
            return *it;
        float a = float(fm.horizontalAdvance(QChar(c)));
        other.insert(c, a);
        return a;
    }
};

namespace {

// Builds a QFont from a CSS family list; the size is left to the caller.
QFont fontFromFamilies(const QString& families)
{
    QStringList list;
    QFont::StyleHint hint = QFont::AnyStyle;
    for (const QString& part : families.split(u',', Qt::SkipEmptyParts)) {
        QString name = part.trimmed();
        if (name.size() >= 2 && (name.front() == u'"' || name.front() == u'\'') &&
            name.back() == name.front())
            name = name.mid(1, name.size() - 2).trimmed();
        if (name.isEmpty())
            continue;
        QString lower = name.toLower();
        if (lower == u"sans-serif") {
            if (hint == QFont::AnyStyle)
                hint = QFont::SansSerif;
            list << QStringLiteral("DejaVu Sans") << QStringLiteral("Arial");
        } else if (lower == u"serif") {
            if (hint == QFont::AnyStyle)
                hint = QFont::Serif;
            list << QStringLiteral("DejaVu Serif") << QStringLiteral("Times New Roman");
        } else if (lower == u"monospace") {
            if (hint == QFont::AnyStyle)
                hint = QFont::Monospace;
            list << QStringLiteral("DejaVu Sans Mono") << QStringLiteral("Courier New");
        } else {
            list << name;
        }
    }
    QFont f;
    if (!list.isEmpty())
        f.setFamilies(list);
    f.setStyleHint(hint);
    f.setKerning(false); // measured per character, so painting must not kern either
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

} // namespace

QtTextMeasurer::QtTextMeasurer()
{
    FDpi = 96;
    if (QGuiApplication::primaryScreen())
        FDpi = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
    if (FDpi <= 0)
        FDpi = 96;
}

QtTextMeasurer::~QtTextMeasurer() = default;

int QtTextMeasurer::fontId(const QString& families, float pixelSize, bool bold, bool italic)
{
    pixelSize = std::round(pixelSize * 64) / 64;
    QString key = families + u'|' + QString::number(double(pixelSize)) + (bold ? u'b' : u'n') +
                  (italic ? u'i' : u'n');
    auto it = FIds.constFind(key);
    if (it != FIds.constEnd())
        return *it;
    QFont f = fontFromFamilies(families);
    f.setPointSizeF(double(pixelSize) * 72.0 / FDpi);
    f.setBold(bold);
    f.setItalic(italic);
    auto face = std::make_unique<Face>(f, pixelSize);
    // Whole pixels, as browsers round them: line boxes then have whole-pixel heights.
    face->metrics.ascent = std::round(float(face->fm.ascent()));
    face->metrics.descent = std::round(float(face->fm.descent()));
    face->metrics.leading = std::max(0.0f, std::round(float(face->fm.leading())));
    face->metrics.underlinePos = std::max(1.0f, float(face->fm.underlinePos()));
    face->metrics.lineWidth = std::max(1.0f, float(face->fm.lineWidth()));
    face->metrics.spaceWidth = face->charAdvance(u' ');
    int id = int(FFaces.size());
    FFaces.push_back(std::move(face));
    FIds.insert(key, id);
    return id;
}

const FontMetrics& QtTextMeasurer::metrics(int fontId)
{
    return FFaces[size_t(fontId)]->metrics;
}

float QtTextMeasurer::advance(int fontId, QStringView text)
{
    Face& f = *FFaces[size_t(fontId)];
    float sum = 0;
    const char16_t* p = reinterpret_cast<const char16_t*>(text.data());
    const char16_t* end = p + text.size();
    for (; p < end; ++p) {
        char16_t c = *p;
        if (c < 256) {
            float a = f.latin[c];
            sum += a >= 0 ? a : f.charAdvance(c);
        } else if (QChar::isHighSurrogate(c) && p + 1 < end && QChar::isLowSurrogate(p[1])) {
            sum += float(f.fm.horizontalAdvance(QString(reinterpret_cast<const QChar*>(p), 2)));
            ++p;
        } else {
            sum += f.charAdvance(c);
        }
    }
    return sum;
}

QFont QtTextMeasurer::paintFont(int fontId, double dpi) const
{
    const Face& f = *FFaces[size_t(fontId)];
    QFont font = f.font;
    font.setPointSizeF(double(f.pixelSize) * 72.0 / dpi);
    return font;
}

} // namespace htmlview
