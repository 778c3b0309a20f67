#pragma once
// Column widths of an automatically laid out table, from the minimum and maximum content
// widths of its cells, the way browsers share them. Between the narrowest and the widest
// table, columns with a given width grow to it first; then the others grow together, each in
// proportion to how much wider its content can get (maximum minus minimum). Past the widest,
// the rest goes to the columns without a given width, by their widest widths. A cell spanning
// several columns shares its own minimum and maximum over them the same way.
//
// Beyond browsers: a table whose narrowest words do not fit lets words break inside, lowering
// the widest minimums first (towards `breakWidth`) so the other columns keep theirs.

#include <cstddef>
#include <vector>

namespace htmlview {

struct TableCellWidth {
    int column = 0;
    int span = 1;
    float minWidth = 0;    // border box, narrowest without overflow
    float maxWidth = 0;    // border box, without any line break
    float fixedWidth = -1; // a width given to the cell, border box; below 0 when none
    float breakWidth = -1; // narrowest with words broken anywhere; below 0: as minWidth
};

class TableColumnModel {
public:
    TableColumnModel(int columns, float spacing);
    void addCell(const TableCellWidth& cell);

    int columnCount() const { return int(FColumns.size()); }
    // Narrowest and widest sums of the columns, without the spacing around them.
    float minWidth();
    float maxWidth();
    // The narrowest sum when words may break inside.
    float breakWidth();
    // The columns' widths when `available` pixels are there for the columns (spacing already
    // taken off). Narrower than the minimum widths only when words may break (breakWidth).
    std::vector<float> columnWidths(float available);

private:
    struct Column {
        float min = 0, max = 0, brk = 0;
        bool fixed = false; // max is a given width
    };
    static void distribute(const Column* columns, size_t count, float target, bool growFixed,
                           float* widths);
    void settle();
    float sum(float Column::*field);
    float FSpacing;
    bool FSettled = false;
    std::vector<Column> FColumns;
    std::vector<float> FFixed;
    std::vector<TableCellWidth> FSpanning;
};

} // namespace htmlview
