#include "htmlview/image_cache.h"

#include <QImageReader>
#include <QUrl>

namespace htmlview {

int ImageCache::indexOf(QStringView source)
{
    QString path = source.trimmed().toString();
    auto it = FIndex.constFind(path);
    if (it != FIndex.constEnd())
        return *it;
    QString file = path;
    if (file.startsWith(u"file:", Qt::CaseInsensitive))
        file = QUrl(file).toLocalFile();
    Entry e;
    if (!file.isEmpty()) {
        QImageReader reader(file);
        reader.setAutoTransform(true);
        e.image = reader.read();
    }
    e.size = e.image.isNull() ? QSize(PlaceholderSize, PlaceholderSize) : e.image.size();
    int index = int(FEntries.size());
    FEntries.push_back(std::move(e));
    FIndex.insert(path, index);
    return index;
}

} // namespace htmlview
