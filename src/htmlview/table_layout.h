#pragma once
// Column widths of an automatically laid out table, from the minimum and maximum content
// widths of its cells, the way browsers do it: single-column cells first, then spanning cells
// spread their excess over the columns they span; when the widest widths do not fit, fixed
// columns are served first and the rest is shared in proportion to the widest widths.

#include <vector>

namespace htmlview {

struct TableCellWidth {
    int column = 0;
    int span = 1;
    float minWidth = 0;    // border box, narrowest without overflow
    float maxWidth = 0;    // border box, without any line break
    float fixedWidth = -1; // a width given to the cell, border box; below 0 when none
};

class TableColumnModel {
public:
    TableColumnModel(int columns, float spacing);
    void addCell(const TableCellWidth& cell);

    int columnCount() const { return int(FMin.size()); }
    // Narrowest and widest sums of the columns, without the spacing around them.
    float minWidth();
    float maxWidth();
    // The columns' widths when `available` pixels are there for the columns (spacing already
    // taken off). Never narrower than the minimum widths.
    std::vector<float> columnWidths(float available);

private:
    void settle();
    float FSpacing;
    bool FSettled = false;
    std::vector<float> FMin, FMax, FFixed;
    std::vector<TableCellWidth> FSpanning;
};

} // namespace htmlview
