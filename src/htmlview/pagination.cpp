#include "htmlview/pagination.h"

#include <algorithm>

namespace htmlview {

std::vector<PageSlice> paginate(const DisplayList& list, float pageHeight)
{
    std::vector<PageSlice> pages;
    if (pageHeight < 1)
        pageHeight = 1;
    struct Span {
        float top, bottom;
    };
    std::vector<Span> guards;
    for (const DisplayItem& it : list.items) {
        if ((it.kind == DisplayItem::RowGuard || it.kind == DisplayItem::LineGuard) && it.h > 0 &&
            it.h <= pageHeight)
            guards.push_back({it.y, it.y + it.h});
    }
    std::sort(guards.begin(), guards.end(),
              [](const Span& a, const Span& b) { return a.top < b.top; });
    const float height = std::max(list.height, 1.0f);
    float top = 0;
    while (top < height - 0.5f) {
        float bottom = top + pageHeight;
        if (bottom >= height) {
            pages.push_back({top, height});
            break;
        }
        // Move the break up above every span it would cut; only spans starting below this
        // page's top can matter, as none is taller than a page.
        for (;;) {
            auto first = std::upper_bound(guards.begin(), guards.end(), top,
                                          [](float v, const Span& s) { return v < s.top; });
            float best = bottom;
            for (auto it = first; it != guards.end() && it->top < bottom; ++it) {
                if (it->bottom > bottom + 0.01f)
                    best = std::min(best, it->top);
            }
            if (best >= bottom || best <= top)
                break;
            bottom = best;
        }
        pages.push_back({top, bottom});
        top = bottom;
    }
    if (pages.empty())
        pages.push_back({0, height});
    return pages;
}

} // namespace htmlview
