#include "htmlview/table_layout.h"

#include <algorithm>

namespace htmlview {

TableColumnModel::TableColumnModel(int columns, float spacing)
    : FSpacing(spacing), FColumns(size_t(std::max(columns, 0))),
      FFixed(size_t(std::max(columns, 0)), -1.0f)
{
}

void TableColumnModel::addCell(const TableCellWidth& c)
{
    if (c.column < 0 || c.column >= columnCount())
        return;
    TableCellWidth cell = c;
    cell.span = std::clamp(cell.span, 1, columnCount() - cell.column);
    cell.maxWidth = std::max(cell.maxWidth, cell.minWidth);
    cell.breakWidth =
        cell.breakWidth < 0 ? cell.minWidth : std::min(cell.breakWidth, cell.minWidth);
    FSettled = false;
    if (cell.span > 1) {
        FSpanning.push_back(cell);
        return;
    }
    Column& col = FColumns[size_t(cell.column)];
    col.min = std::max(col.min, cell.minWidth);
    col.max = std::max(col.max, cell.maxWidth);
    col.brk = std::max(col.brk, cell.breakWidth);
    if (cell.fixedWidth >= 0)
        FFixed[size_t(cell.column)] = std::max(FFixed[size_t(cell.column)], cell.fixedWidth);
}

void TableColumnModel::distribute(const Column* cols, size_t n, float target, bool growFixed,
                                  float* out)
{
    float minSum = 0, fixedSum = 0, maxSum = 0;
    for (size_t i = 0; i < n; ++i) {
        minSum += cols[i].min;
        fixedSum += cols[i].fixed ? cols[i].max : cols[i].min;
        maxSum += cols[i].max;
    }
    if (target <= minSum) {
        for (size_t i = 0; i < n; ++i)
            out[i] = cols[i].min;
        return;
    }
    if (target <= fixedSum) {
        // Only the columns with a given width grow, towards it.
        const float t = (target - minSum) / (fixedSum - minSum);
        for (size_t i = 0; i < n; ++i)
            out[i] = cols[i].fixed ? cols[i].min + (cols[i].max - cols[i].min) * t : cols[i].min;
        return;
    }
    if (target <= maxSum) {
        // Given widths met; the others grow by how much wider their content can get.
        const float t = (target - fixedSum) / (maxSum - fixedSum);
        for (size_t i = 0; i < n; ++i)
            out[i] = cols[i].fixed ? cols[i].max : cols[i].min + (cols[i].max - cols[i].min) * t;
        return;
    }
    // Past the widest widths: the rest goes to the columns without a given width, by their
    // widths (evenly when all are empty); to the others only when there are no such columns
    // and the target must be met.
    const float extra = target - maxSum;
    size_t autoCount = 0;
    for (size_t i = 0; i < n; ++i) {
        out[i] = cols[i].max;
        autoCount += !cols[i].fixed;
    }
    if (autoCount == 0 && !growFixed)
        return;
    const bool toAuto = autoCount > 0;
    float weight = 0;
    size_t count = 0;
    for (size_t i = 0; i < n; ++i) {
        if (toAuto && cols[i].fixed)
            continue;
        weight += cols[i].max;
        ++count;
    }
    for (size_t i = 0; i < n; ++i) {
        if (toAuto && cols[i].fixed)
            continue;
        out[i] += weight > 0 ? extra * cols[i].max / weight : extra / float(count);
    }
}

void TableColumnModel::settle()
{
    if (FSettled)
        return;
    FSettled = true;
    // A fixed column wants its fixed width, however wide its content.
    for (size_t i = 0; i < FColumns.size(); ++i) {
        Column& col = FColumns[i];
        col.fixed = FFixed[i] >= 0;
        if (col.fixed)
            col.max = std::max(col.min, FFixed[i]);
        col.max = std::max(col.max, col.min);
        col.brk = std::min(col.brk, col.min);
    }
    // Narrower spans first, so that wider ones see the columns they widened.
    std::stable_sort(
        FSpanning.begin(), FSpanning.end(),
        [](const TableCellWidth& a, const TableCellWidth& b) { return a.span < b.span; });
    std::vector<float> widths;
    std::vector<Column> breaking;
    for (const TableCellWidth& cell : FSpanning) {
        Column* cols = FColumns.data() + cell.column;
        const size_t n = size_t(cell.span);
        const float inner = FSpacing * float(cell.span - 1);
        widths.resize(n);
        auto sum = [&](float Column::*field) {
            float s = 0;
            for (size_t i = 0; i < n; ++i)
                s += cols[i].*field;
            return s;
        };
        const float wantMin = cell.minWidth - inner;
        if (wantMin > sum(&Column::min)) {
            distribute(cols, n, wantMin, true, widths.data());
            for (size_t i = 0; i < n; ++i)
                cols[i].min = std::max(cols[i].min, widths[i]);
        }
        const float wantBreak = cell.breakWidth - inner;
        if (wantBreak > sum(&Column::brk)) {
            breaking.assign(cols, cols + n);
            for (Column& c : breaking)
                c.min = c.brk;
            distribute(breaking.data(), n, wantBreak, true, widths.data());
            for (size_t i = 0; i < n; ++i)
                cols[i].brk = std::max(cols[i].brk, widths[i]);
        }
        const float wantMax =
            (cell.fixedWidth >= 0 ? std::max(cell.fixedWidth, cell.minWidth) : cell.maxWidth) -
            inner;
        if (wantMax > sum(&Column::max)) {
            // A spanning cell's content never widens a column past a given width.
            distribute(cols, n, wantMax, false, widths.data());
            for (size_t i = 0; i < n; ++i)
                cols[i].max = std::max(cols[i].max, widths[i]);
        }
        for (size_t i = 0; i < n; ++i) {
            cols[i].max = std::max(cols[i].max, cols[i].min);
            cols[i].brk = std::min(cols[i].brk, cols[i].min);
        }
    }
}

float TableColumnModel::sum(float Column::*field)
{
    settle();
    float s = 0;
    for (const Column& c : FColumns)
        s += c.*field;
    return s;
}

float TableColumnModel::minWidth()
{
    return sum(&Column::min);
}

float TableColumnModel::maxWidth()
{
    return sum(&Column::max);
}

float TableColumnModel::breakWidth()
{
    return sum(&Column::brk);
}

std::vector<float> TableColumnModel::columnWidths(float available)
{
    settle();
    const size_t n = FColumns.size();
    std::vector<float> w(n);
    const float minSum = minWidth();
    if (available >= minSum) {
        distribute(FColumns.data(), n, available, true, w.data());
        return w;
    }
    // Too narrow for the longest words: cap every column's minimum at one level, so the widest
    // minimums give way first and narrow columns keep theirs; never below the break widths.
    const float target = std::max(available, breakWidth());
    auto at = [&](float level) {
        float s = 0;
        for (size_t i = 0; i < n; ++i)
            s += std::min(FColumns[i].min, std::max(FColumns[i].brk, level));
        return s;
    };
    float lo = 0, hi = 0;
    for (const Column& c : FColumns)
        hi = std::max(hi, c.min);
    for (int step = 0; step < 40 && hi - lo > 0.001f; ++step) {
        const float mid = (lo + hi) / 2;
        (at(mid) > target ? hi : lo) = mid;
    }
    for (size_t i = 0; i < n; ++i)
        w[i] = std::min(FColumns[i].min, std::max(FColumns[i].brk, lo));
    return w;
}

} // namespace htmlview
