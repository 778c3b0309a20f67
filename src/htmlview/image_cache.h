#pragma once
// Images by local file path, each read once. A path that cannot be read gives an entry
// without an image, which the layout shows as a small placeholder box.

#include <QHash>
#include <QImage>
#include <QString>
#include <QStringView>
#include <vector>

namespace htmlview {

class ImageCache {
public:
    struct Entry {
        QImage image; // null when the file could not be read
        QSize size;   // natural size; the placeholder's size when there is no image
    };
    static constexpr int PlaceholderSize = 16;

    // The index of the entry for `source` (an absolute path or a file: URL).
    int indexOf(QStringView source);
    const Entry& entry(int index) const { return FEntries[size_t(index)]; }

private:
    QHash<QString, int> FIndex;
    std::vector<Entry> FEntries;
};

} // namespace htmlview
