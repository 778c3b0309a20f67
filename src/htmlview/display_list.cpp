#include "htmlview/display_list.h"

#include <algorithm>
#include <cmath>

namespace htmlview {

void DisplayList::buildBands()
{
    bands.clear();
    size_t count = size_t(std::max(0.0f, std::ceil(height / BandHeight))) + 1;
    bands.resize(count);
    for (uint32_t i = 0; i < items.size(); ++i) {
        const DisplayItem& it = items[i];
        if (it.kind == DisplayItem::RowGuard || it.kind == DisplayItem::LineGuard)
            continue;
        if (it.w <= 0 || it.h <= 0)
            continue;
        long b0 = std::max(0L, long(std::floor(it.y / BandHeight)));
        long b1 = std::min(long(count) - 1, long(std::floor((it.y + it.h) / BandHeight)));
        for (long b = b0; b <= b1; ++b)
            bands[size_t(b)].push_back(i);
    }
}

bool DisplayList::partOf(const DisplayItem& d, uint32_t& begin, uint32_t& end) const
{
    if (!d.partial)
        return false;
    const uint32_t index = uint32_t(&d - items.data());
    auto it = std::lower_bound(parts.begin(), parts.end(), index,
                               [](const Part& p, uint32_t i) { return p.index < i; });
    if (it == parts.end() || it->index != index)
        return false;
    begin = it->begin;
    end = it->end;
    return true;
}

std::vector<uint32_t> DisplayList::itemsIn(const QRectF& rect) const
{
    std::vector<uint32_t> out;
    if (bands.empty())
        return out;
    long b0 = std::max(0L, long(std::floor(rect.top() / BandHeight)));
    long b1 = std::min(long(bands.size()) - 1, long(std::floor(rect.bottom() / BandHeight)));
    for (long b = b0; b <= b1; ++b) {
        for (uint32_t i : bands[size_t(b)]) {
            const DisplayItem& it = items[i];
            if (it.y > rect.bottom() || it.y + it.h < rect.top() || it.x > rect.right() ||
                it.x + it.w < rect.left())
                continue;
            out.push_back(i);
        }
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

} // namespace htmlview
