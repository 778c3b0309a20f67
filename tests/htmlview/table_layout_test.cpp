// The column model on its own: widths from cell content, fixed widths, spanning cells.

#include "htmlview/table_layout.h"

#include <gtest/gtest.h>
#include <numeric>

using namespace htmlview;

namespace {

float sum(const std::vector<float>& v)
{
    return std::accumulate(v.begin(), v.end(), 0.0f);
}

TEST(TableColumnModel, WidthsBetweenMinimumAndMaximum)
{
    struct Case {
        const char* name;
        float available;
        std::vector<float> expected;
    };
    // Column 0: min 50 max 200; column 1: min 20 max 40.
    const Case cases[] = {
        {"room for everything: widest widths plus the rest by width",
         300,
         {200 + 60 * 200.0f / 240, 40 + 60 * 40.0f / 240}},
        {"exactly the widest", 240, {200, 40}},
        {"too narrow: minimum widths", 10, {50, 20}},
        {"between: shared by widest widths", 155, {155 * 200.0f / 240, 155 - 155 * 200.0f / 240}},
        {"between, a minimum holds", 80, {60, 20}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TableColumnModel m(2, 0);
        m.addCell({0, 1, 50, 200, -1});
        m.addCell({1, 1, 20, 40, -1});
        m.addCell({1, 1, 10, 30, -1}); // narrower cell in the same column changes nothing
        std::vector<float> w = m.columnWidths(c.available);
        ASSERT_EQ(w.size(), 2u);
        EXPECT_NEAR(w[0], c.expected[0], 0.01);
        EXPECT_NEAR(w[1], c.expected[1], 0.01);
    }
}

TEST(TableColumnModel, FixedColumnServedFirst)
{
    TableColumnModel m(2, 0);
    m.addCell({0, 1, 30, 500, -1});
    m.addCell({1, 1, 20, 20, 106}); // a cell width="96" with 5px padding either side
    EXPECT_FLOAT_EQ(m.maxWidth(), 606);
    std::vector<float> w = m.columnWidths(300);
    EXPECT_FLOAT_EQ(w[1], 106);
    EXPECT_FLOAT_EQ(w[0], 194);
    // With more room than wanted the auto column takes the rest, the fixed one keeps its width.
    w = m.columnWidths(1000);
    EXPECT_FLOAT_EQ(w[1], 106);
    EXPECT_FLOAT_EQ(w[0], 894);
}

TEST(TableColumnModel, SpanningCellWidensItsColumns)
{
    TableColumnModel m(3, 2);
    m.addCell({0, 1, 10, 100, -1});
    m.addCell({1, 1, 10, 100, -1});
    m.addCell({2, 1, 10, 10, -1});
    m.addCell({0, 2, 300, 600, -1}); // wider than columns 0 and 1 with the spacing between them
    std::vector<float> w = m.columnWidths(10000);
    EXPECT_GE(w[0] + w[1] + 2, 600 - 0.01);
    EXPECT_NEAR(w[0], w[1], 0.01); // spread evenly: equal widths before
    std::vector<float> narrow = m.columnWidths(0);
    EXPECT_NEAR(narrow[0] + narrow[1] + 2, 300, 0.01);
    EXPECT_FLOAT_EQ(narrow[2], 10);
    // A span reaching past the last column is cut to the table.
    TableColumnModel cut(2, 0);
    cut.addCell({1, 5, 50, 50, -1});
    EXPECT_FLOAT_EQ(sum(cut.columnWidths(0)), 50);
    // Cells outside the table are ignored.
    cut.addCell({7, 1, 1000, 1000, -1});
    EXPECT_FLOAT_EQ(cut.minWidth(), 50);
}

} // namespace
