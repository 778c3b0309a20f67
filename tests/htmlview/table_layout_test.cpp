// The column model on its own: widths from cell content, fixed widths, spanning cells, and
// words breaking inside when the narrowest content does not fit.
//
// The browser cases were measured in Chromium 156 (headless, device scale 1): tables with
// cellspacing and padding 0 whose cells hold inline blocks of the given widths (font size 0),
// so that a cell's minimum is its widest block and its maximum their sum; the table sits in a
// block of the available width, or has that width given. Chromium lays columns out in 1/64 px,
// hence the tolerance.

#include "htmlview/table_layout.h"

#include <gtest/gtest.h>
#include <numeric>

using namespace htmlview;

namespace {

float sum(const std::vector<float>& v)
{
    return std::accumulate(v.begin(), v.end(), 0.0f);
}

struct Case {
    const char* name;
    int columns;
    float spacing;
    std::vector<TableCellWidth> cells; // column, span, min, max, fixed
    float available;                   // for the columns, spacing taken off
    std::vector<float> expected;
};

void check(const Case& c)
{
    SCOPED_TRACE(c.name);
    TableColumnModel m(c.columns, c.spacing);
    for (const TableCellWidth& cell : c.cells)
        m.addCell(cell);
    std::vector<float> w = m.columnWidths(c.available);
    ASSERT_EQ(w.size(), c.expected.size());
    for (size_t i = 0; i < w.size(); ++i)
        EXPECT_NEAR(w[i], c.expected[i], 0.02) << "column " << i;
}

TEST(TableColumnModel, SpareWidthGoesByHowMuchWiderContentCanGet)
{
    // Column 0: min 50 max 200; column 1: min 20 max 40. Between the narrowest (70) and the
    // widest (240) the spare width is shared 150 : 20, not by the widest widths.
    const std::vector<TableCellWidth> two = {
        {0, 1, 50, 200, -1}, {1, 1, 20, 40, -1}, {1, 1, 10, 30, -1}};
    const Case cases[] = {
        {"a third of the way", 2, 0, two, 100, {76.469f, 23.531f}},
        {"halfway", 2, 0, two, 155, {125, 30}},
        {"most of the way", 2, 0, two, 200, {164.703f, 35.297f}},
        {"exactly the widest", 2, 0, two, 240, {200, 40}},
        {"too narrow: minimum widths", 2, 0, two, 60, {50, 20}},
        // A column whose content cannot get wider takes no spare width at all.
        {"a column at its widest stays",
         3,
         0,
         {{0, 1, 10, 100, -1}, {1, 1, 10, 50, -1}, {2, 1, 10, 10, -1}, {0, 2, 20, 600, -1}},
         100,
         {57.063f, 32.922f, 10.016f}},
    };
    for (const Case& c : cases)
        check(c);
}

TEST(TableColumnModel, GivenWidthsAreMetFirst)
{
    const std::vector<TableCellWidth> withFixed = {{0, 1, 30, 500, -1},
                                                   {1, 1, 20, 20, 106}}; // width="96", padding 5
    const std::vector<TableCellWidth> three = {
        {0, 1, 100, 400, -1}, {1, 1, 50, 60, -1}, {2, 1, 80, 80, 106}};
    const Case cases[] = {
        // Below the sum of minimums and given widths only the fixed column grows.
        {"fixed column grows first", 2, 0, withFixed, 100, {30, 70}},
        {"then the auto column", 2, 0, withFixed, 200, {94, 106}},
        {"auto column towards its widest", 2, 0, withFixed, 600, {494, 106}},
        {"three columns, fixed at its width", 3, 0, three, 300, {142.578f, 51.422f, 106}},
        {"three columns, wider", 3, 0, three, 500, {336.125f, 57.875f, 106}},
        // A table given a width wider than its content: the rest to the auto columns by width.
        {"wide table: rest to auto columns",
         3,
         0,
         {{0, 1, 10, 100, -1}, {1, 1, 10, 50, -1}, {2, 1, 20, 20, 106}},
         400,
         {196, 98, 106}},
        {"wide table of fixed columns: by their widths",
         2,
         0,
         {{0, 1, 20, 20, 106}, {1, 1, 10, 10, 50}},
         400,
         {271.781f, 128.219f}},
        {"wide table, empty auto columns: evenly",
         3,
         0,
         {{0, 1, 0, 0, -1}, {1, 1, 0, 0, -1}, {2, 1, 10, 10, 50}},
         400,
         {175, 175, 50}},
        {"wide table, one empty auto column gets nothing",
         2,
         0,
         {{0, 1, 0, 0, -1}, {1, 1, 10, 100, -1}},
         400,
         {0, 400}},
    };
    for (const Case& c : cases)
        check(c);
    // The fixed width is also the column's widest: with room to spare it keeps it.
    TableColumnModel m(2, 0);
    for (const TableCellWidth& cell : withFixed)
        m.addCell(cell);
    EXPECT_FLOAT_EQ(m.maxWidth(), 606);
    EXPECT_FLOAT_EQ(m.minWidth(), 50);
}

TEST(TableColumnModel, SpanningCellsShareTheirWidthsAsTheTableDoes)
{
    const Case cases[] = {
        // Maximum of a spanning cell: its excess over the columns' widest, by their widest.
        {"span max by the columns' widest",
         3,
         0,
         {{0, 1, 10, 100, -1}, {1, 1, 10, 50, -1}, {2, 1, 10, 10, -1}, {0, 2, 20, 600, -1}},
         610,
         {400, 200, 10}},
        {"span max never widens a fixed column",
         3,
         0,
         {{0, 1, 10, 100, -1}, {1, 1, 10, 50, -1}, {2, 1, 80, 80, 106}, {0, 3, 20, 900, -1}},
         800,
         {462.219f, 231.781f, 106}},
        {"span max over fixed columns only: nothing",
         2,
         0,
         {{0, 1, 20, 20, 106}, {1, 1, 10, 10, 50}, {0, 2, 20, 600, -1}},
         156,
         {106, 50}},
        {"span max over empty columns: evenly",
         2,
         0,
         {{0, 1, 0, 0, -1}, {1, 1, 0, 0, -1}, {0, 2, 20, 600, -1}},
         600,
         {300, 300}},
        {"narrower span first, wider span sees it",
         3,
         0,
         {{0, 1, 10, 100, -1},
          {1, 1, 10, 50, -1},
          {2, 1, 10, 10, -1},
          {0, 3, 20, 900, -1},
          {0, 2, 20, 600, -1},
          {2, 1, 5, 5, -1}},
         900,
         {590.156f, 295.078f, 14.766f}},
        {"span with a given width: it is its widest",
         2,
         0,
         {{0, 1, 10, 100, -1}, {1, 1, 10, 10, -1}, {0, 2, 10, 10, 300}},
         300,
         {272.719f, 27.281f}},
        {"the columns under that span stay auto",
         2,
         0,
         {{0, 1, 10, 100, -1}, {1, 1, 10, 10, -1}, {0, 2, 10, 10, 300}},
         50,
         {38.141f, 11.859f}},
        // Minimum of a spanning cell: shared like a table of that width.
        {"span min above the widest: by the widest",
         2,
         0,
         {{0, 1, 10, 100, -1}, {1, 1, 30, 50, -1}, {0, 2, 200, 200, -1}},
         200,
         {133.328f, 66.672f}},
        {"span min between: by how much wider",
         2,
         0,
         {{0, 1, 10, 100, -1}, {1, 1, 10, 50, -1}, {0, 2, 90, 90, -1}},
         90,
         {58.453f, 31.547f}},
        {"span min: fixed column first",
         2,
         0,
         {{0, 1, 10, 100, -1}, {1, 1, 20, 20, 106}, {0, 2, 90, 90, -1}},
         90,
         {10, 80}},
        {"span min past the given width",
         2,
         0,
         {{0, 1, 10, 100, -1}, {1, 1, 20, 20, 106}, {0, 2, 200, 200, -1}},
         200,
         {94, 106}},
        {"span min over fixed columns only: they grow",
         2,
         0,
         {{0, 1, 20, 20, 106}, {1, 1, 10, 10, 50}, {0, 2, 300, 300, -1}},
         300,
         {203.844f, 96.156f}},
        {"spacing between spanned columns counts",
         3,
         2,
         {{0, 1, 10, 100, -1}, {1, 1, 10, 100, -1}, {2, 1, 10, 10, -1}, {0, 2, 300, 600, -1}},
         392,
         {191, 191, 10}},
    };
    for (const Case& c : cases)
        check(c);
    // A span reaching past the last column is cut to the table.
    TableColumnModel cut(2, 0);
    cut.addCell({1, 5, 50, 50, -1});
    EXPECT_FLOAT_EQ(sum(cut.columnWidths(0)), 50);
    // Cells outside the table are ignored.
    cut.addCell({7, 1, 1000, 1000, -1});
    EXPECT_FLOAT_EQ(cut.minWidth(), 50);
}

// Not a browser's behaviour: where browsers let the table overflow, the widest minimums give
// way down to their break widths, so the narrow columns (and the buttons) stay in view.
TEST(TableColumnModel, OverlongWordsGiveWayWhereTheTableWouldOverflow)
{
    // An 80-character title (600 px; 8 px per character when broken), category, deadline,
    // priority, and the fixed button column.
    const std::vector<TableCellWidth> page = {{0, 1, 600, 600, -1, 8},
                                              {1, 1, 64, 70, -1, 9},
                                              {2, 1, 85, 95, -1, 9},
                                              {3, 1, 55, 60, -1, 9},
                                              {4, 1, 80, 80, 106, 80}};
    const Case cases[] = {
        {"the long column takes what the others leave", 5, 0, page, 500, {216, 64, 85, 55, 80}},
        {"fits: nothing breaks", 5, 0, page, 884, {600, 64, 85, 55, 80}},
        // Two long columns share the room evenly before the short ones give anything.
        {"two long columns",
         3,
         0,
         {{0, 1, 600, 600, -1, 8}, {1, 1, 400, 400, -1, 8}, {2, 1, 50, 50, -1, 8}},
         450,
         {200, 200, 50}},
        {"all at their break widths: overflow",
         2,
         0,
         {{0, 1, 600, 600, -1, 8}, {1, 1, 80, 80, 106, 80}},
         50,
         {8, 80}},
        {"without break widths: minimums",
         2,
         0,
         {{0, 1, 600, 600, -1}, {1, 1, 80, 80, 106}},
         50,
         {600, 80}},
    };
    for (const Case& c : cases)
        check(c);
    TableColumnModel m(5, 0);
    for (const TableCellWidth& cell : page)
        m.addCell(cell);
    EXPECT_FLOAT_EQ(m.breakWidth(), 8 + 9 + 9 + 9 + 80);
    EXPECT_FLOAT_EQ(m.minWidth(), 884);
    // A spanning cell's break width is shared over its columns like its minimum.
    TableColumnModel span(2, 0);
    span.addCell({0, 1, 10, 10, -1, 5});
    span.addCell({1, 1, 10, 10, -1, 5});
    span.addCell({0, 2, 300, 300, -1, 40});
    EXPECT_FLOAT_EQ(span.breakWidth(), 40);
    EXPECT_FLOAT_EQ(span.minWidth(), 300);
}

} // namespace
