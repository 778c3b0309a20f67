#include "htmlview/table_layout.h"

#include <algorithm>
#include <numeric>

namespace htmlview {

TableColumnModel::TableColumnModel(int columns, float spacing)
    : FSpacing(spacing), FMin(size_t(std::max(columns, 0)), 0.0f),
      FMax(size_t(std::max(columns, 0)), 0.0f), FFixed(size_t(std::max(columns, 0)), -1.0f)
{
}

void TableColumnModel::addCell(const TableCellWidth& c)
{
    if (c.column < 0 || c.column >= columnCount())
        return;
    TableCellWidth cell = c;
    cell.span = std::clamp(cell.span, 1, columnCount() - cell.column);
    cell.maxWidth = std::max(cell.maxWidth, cell.minWidth);
    FSettled = false;
    if (cell.span > 1) {
        FSpanning.push_back(cell);
        return;
    }
    size_t i = size_t(cell.column);
    FMin[i] = std::max(FMin[i], cell.minWidth);
    FMax[i] = std::max(FMax[i], cell.maxWidth);
    if (cell.fixedWidth >= 0)
        FFixed[i] = std::max(FFixed[i], cell.fixedWidth);
}

void TableColumnModel::settle()
{
    if (FSettled)
        return;
    FSettled = true;
    // A fixed column wants its fixed width, however wide its content.
    for (size_t i = 0; i < FMin.size(); ++i) {
        if (FFixed[i] >= 0)
            FMax[i] = std::max(FMin[i], FFixed[i]);
    }
    std::stable_sort(
        FSpanning.begin(), FSpanning.end(),
        [](const TableCellWidth& a, const TableCellWidth& b) { return a.span < b.span; });
    for (const TableCellWidth& cell : FSpanning) {
        size_t b = size_t(cell.column), e = b + size_t(cell.span);
        float inner = FSpacing * float(cell.span - 1);
        auto spread = [&](std::vector<float>& cols, float wanted) {
            float have = inner;
            float weight = 0;
            for (size_t i = b; i < e; ++i) {
                have += cols[i];
                weight += FMax[i];
            }
            float extra = wanted - have;
            if (extra <= 0)
                return;
            for (size_t i = b; i < e; ++i) {
                float share = weight > 0 ? FMax[i] / weight : 1.0f / float(cell.span);
                cols[i] += extra * share;
            }
        };
        spread(FMin, cell.minWidth);
        float wantedMax =
            cell.fixedWidth >= 0 ? std::max(cell.fixedWidth, cell.minWidth) : cell.maxWidth;
        spread(FMax, wantedMax);
        for (size_t i = b; i < e; ++i)
            FMax[i] = std::max(FMax[i], FMin[i]);
    }
}

float TableColumnModel::minWidth()
{
    settle();
    return std::accumulate(FMin.begin(), FMin.end(), 0.0f);
}

float TableColumnModel::maxWidth()
{
    settle();
    return std::accumulate(FMax.begin(), FMax.end(), 0.0f);
}

std::vector<float> TableColumnModel::columnWidths(float available)
{
    settle();
    std::vector<float> w = FMin;
    const float totalMin = minWidth();
    const float totalMax = maxWidth();
    if (w.empty() || available <= totalMin)
        return w;
    if (available >= totalMax) {
        // Everything at its widest; the rest goes to the auto columns by their widths.
        w = FMax;
        float extra = available - totalMax;
        float autoWeight = 0;
        size_t autoCount = 0;
        for (size_t i = 0; i < w.size(); ++i) {
            if (FFixed[i] < 0) {
                autoWeight += FMax[i];
                ++autoCount;
            }
        }
        bool toAuto = autoCount > 0;
        float weight = toAuto ? autoWeight : totalMax;
        size_t count = toAuto ? autoCount : w.size();
        for (size_t i = 0; i < w.size(); ++i) {
            if (toAuto && FFixed[i] >= 0)
                continue;
            w[i] += weight > 0 ? extra * FMax[i] / weight : extra / float(count);
        }
        return w;
    }
    float remaining = available - totalMin;
    // Fixed columns first, up to their fixed width.
    float fixedWant = 0;
    for (size_t i = 0; i < w.size(); ++i) {
        if (FFixed[i] >= 0)
            fixedWant += FMax[i] - FMin[i];
    }
    float fixedGive = std::min(remaining, fixedWant);
    for (size_t i = 0; i < w.size(); ++i) {
        if (FFixed[i] >= 0 && fixedWant > 0)
            w[i] += fixedGive * (FMax[i] - FMin[i]) / fixedWant;
    }
    remaining -= fixedGive;
    // Then the auto columns share what is left with their minimum widths, in proportion to their
    // widest widths, each getting at least its minimum (as browsers share it).
    float autoAvailable = remaining, autoMax = 0;
    for (size_t i = 0; i < w.size(); ++i) {
        if (FFixed[i] < 0) {
            autoAvailable += FMin[i];
            autoMax += FMax[i];
        }
    }
    for (size_t i = 0; i < w.size(); ++i) {
        if (FFixed[i] >= 0 || autoMax <= 0)
            continue;
        float cw = std::max(FMin[i], autoAvailable * FMax[i] / autoMax);
        autoAvailable -= cw;
        autoMax -= FMax[i];
        w[i] = cw;
    }
    // Minimums raised above their share can overshoot: take it back from the columns above
    // their minimum.
    float over = std::accumulate(w.begin(), w.end(), 0.0f) - available;
    float reducible = 0;
    for (size_t i = 0; i < w.size(); ++i)
        reducible += w[i] - FMin[i];
    if (over > 0 && reducible > 0) {
        for (size_t i = 0; i < w.size(); ++i)
            w[i] -= over * (w[i] - FMin[i]) / reducible;
    }
    return w;
}

} // namespace htmlview
