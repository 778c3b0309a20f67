#pragma once
// Splits a laid-out page into printed pages. A page ends above any table row or text line
// that would be cut, unless that row or line is taller than a whole page.

#include "htmlview/display_list.h"

#include <vector>

namespace htmlview {

struct PageSlice {
    float top = 0;
    float bottom = 0;
};

std::vector<PageSlice> paginate(const DisplayList& list, float pageHeight);

} // namespace htmlview
