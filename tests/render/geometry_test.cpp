// Cell rectangles and frame rectangles for the twenty layouts, printer size and preview scale.
#include "geometry.h"

#include <gtest/gtest.h>

#include <ostream>

namespace quiltana {

void PrintTo(const Rect &r, std::ostream *os)
{
    *os << '(' << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ')';
}

namespace {

constexpr Margins kExampleMargins{10, 10, 10, 10, 5, 7}; // top, bottom, left, right, vertical, horizontal

struct ExampleRow {
    int style;
    Rect first;
    Rect last;
};

class WorkedExample : public ::testing::TestWithParam<ExampleRow> {};

TEST_P(WorkedExample, PrintModeFirstAndLastCell)
{
    const ExampleRow &row = GetParam();
    const std::vector<Rect> cells = CellRects(row.style, 1000, 1401, kExampleMargins, ComposeMode::Print);
    ASSERT_EQ(static_cast<int>(cells.size()), row.style);
    EXPECT_EQ(cells.front(), row.first);
    EXPECT_EQ(cells.back(), row.last);
}

INSTANTIATE_TEST_SUITE_P(CellGeometry, WorkedExample,
                         ::testing::Values(ExampleRow{1, {10, 10, 990, 1390}, {10, 10, 990, 1390}},
                                           ExampleRow{2, {10, 10, 990, 697}, {10, 702, 990, 1389}},
                                           ExampleRow{4, {10, 10, 496, 697}, {503, 702, 990, 1390}},
                                           ExampleRow{9, {10, 10, 332, 466}, {668, 932, 990, 1388}},
                                           ExampleRow{25, {10, 10, 200, 282}, {798, 1118, 988, 1390}}),
                         [](const auto &info) { return "style" + std::to_string(info.param.style); });

TEST(CellGeometry, WorkedExampleFrameOfStyleOne)
{
    const std::vector<Rect> cells = CellRects(1, 1000, 1401, kExampleMargins, ComposeMode::Print);
    ASSERT_EQ(cells.size(), 1u);
    EXPECT_EQ(CellFrameRect(1, cells[0], 1000, 1401), (Rect{0, 0, 1000, 1400}));
}

TEST(CellGeometry, PreviewExample)
{
    const Margins m{130, 130, 130, 130, 65, 65};
    const std::vector<Rect> cells = CellRects(4, 438, 544, m, ComposeMode::Preview);
    const std::vector<Rect> expected{{10, 10, 216, 269}, {221, 10, 428, 269}, {10, 274, 216, 533},
                                     {221, 274, 428, 533}};
    EXPECT_EQ(cells, expected);
}

TEST(CellGeometry, PrintModeDoesNotScale)
{
    const Margins m{130, 130, 130, 130, 65, 65};
    const std::vector<Rect> cells = CellRects(4, 438, 544, m, ComposeMode::Print);
    ASSERT_EQ(cells.size(), 4u);
    EXPECT_EQ(cells[0].left, 130);
    EXPECT_EQ(cells[0].top, 130);
}

TEST(CellGeometry, NegativeSizesTruncateTowardZeroAndPassThrough)
{
    const Margins m{80, 80, 80, 80, 5, 7};
    const std::vector<Rect> cells = CellRects(4, 100, 100, m, ComposeMode::Print);
    const std::vector<Rect> expected{{80, 80, 47, 47}, {54, 80, 20, 47}, {80, 52, 47, 19}, {54, 52, 20, 19}};
    EXPECT_EQ(cells, expected);
    EXPECT_LT(cells[0].width(), 0);
    EXPECT_LT(cells[0].height(), 0);
}

TEST(CellGeometry, BottomCountsFromHeightMinusOneRightFromWidth)
{
    const std::vector<Rect> cells = CellRects(1, 640, 480, Margins{}, ComposeMode::Print);
    ASSERT_EQ(cells.size(), 1u);
    EXPECT_EQ(cells[0], (Rect{0, 0, 640, 479}));
}

TEST(CellGeometry, PreviewDividesEachValueByItself)
{
    // 25 / 13 = 1 and 12 / 13 = 0, not (25 + 12) / 13 or a rounded 2.
    const Margins m{25, 25, 25, 25, 12, 12};
    const std::vector<Rect> preview = CellRects(4, 101, 102, m, ComposeMode::Preview);
    const std::vector<Rect> same = CellRects(4, 101, 102, Margins{1, 1, 1, 1, 0, 0}, ComposeMode::Print);
    EXPECT_EQ(preview, same);
    ASSERT_EQ(preview.size(), 4u);
    EXPECT_EQ(preview[0], (Rect{1, 1, 50, 50}));
    EXPECT_EQ(preview[1].left, 50); // no gap left after the division
    // Negative margins truncate toward zero as well: -25 -> -1.
    const std::vector<Rect> negative = CellRects(1, 100, 101, Margins{-25, -25, -25, -25, 0, 0}, ComposeMode::Preview);
    EXPECT_EQ(negative[0], (Rect{-1, -1, 101, 101}));
}

TEST(CellGeometry, ZeroSpacingSharesEdges)
{
    for (int style : {4, 9, 16, 25, 50}) {
        const std::vector<Rect> cells = CellRects(style, 997, 1211, Margins{3, 4, 5, 6, 0, 0}, ComposeMode::Print);
        ASSERT_EQ(static_cast<int>(cells.size()), style);
        for (size_t i = 0; i + 1 < cells.size(); ++i) {
            if (cells[i + 1].top == cells[i].top) {
                EXPECT_EQ(cells[i].right, cells[i + 1].left) << "style " << style << " cell " << i;
            }
        }
        // The first cell of the second row starts where the first row ends.
        const size_t secondRow = [&] {
            size_t i = 1;
            while (cells[i].top == cells[0].top)
                ++i;
            return i;
        }();
        EXPECT_EQ(cells[0].bottom, cells[secondRow].top) << "style " << style;
    }
}

TEST(CellGeometry, FiveColumnsLeaveTheRemainderEmptyAtTheRight)
{
    // Usable width 994 - 10 = 984 = 5 x 196 + 4.
    for (int style : {25, 30, 35, 40, 45, 50}) {
        const std::vector<Rect> cells = CellRects(style, 1004, 1500, Margins{10, 10, 10, 10, 0, 0}, ComposeMode::Print);
        ASSERT_EQ(static_cast<int>(cells.size()), style);
        EXPECT_EQ(cells[4].right, 990) << style;
        EXPECT_EQ(cells[4].width(), 196) << style;
        EXPECT_EQ(cells.back().right, 990) << style;
    }
}

TEST(CellGeometry, UnknownStyleGivesNoCells)
{
    for (int style : {0, 3, -4, 100, 1000})
        EXPECT_TRUE(CellRects(style, 1000, 1401, kExampleMargins, ComposeMode::Print).empty()) << style;
}

TEST(CellFrame, WholeCanvasForStyleOneTheCellOtherwise)
{
    const Rect cell{10, 20, 300, 400};
    EXPECT_EQ(CellFrameRect(1, cell, 640, 480), (Rect{0, 0, 640, 479}));
    for (int style : {2, 4, 25, 50})
        EXPECT_EQ(CellFrameRect(style, cell, 640, 480), cell) << style;
}

// The layout table as the layout menu names it: columns, rows, and whether the last column and
// the last row end on the usable edges (true) or on the grid (false).
struct LayoutRow {
    int style;
    int columns;
    int rows;
    bool columnToEdge;
    bool rowToEdge;
};

constexpr LayoutRow kLayouts[] = {
    {1, 1, 1, true, true},     {2, 1, 2, true, false},    {4, 2, 2, true, true},     {6, 2, 3, true, false},
    {8, 2, 4, true, false},    {9, 3, 3, true, false},    {12, 3, 4, true, false},   {15, 3, 5, true, false},
    {16, 4, 4, true, false},   {18, 3, 6, true, false},   {20, 4, 5, true, false},   {24, 4, 6, true, false},
    {25, 5, 5, false, false},  {28, 4, 7, true, false},   {30, 5, 6, false, false},  {32, 4, 8, true, false},
    {35, 5, 7, false, false},  {40, 5, 8, false, false},  {45, 5, 9, false, false},  {50, 5, 10, false, false},
};

class EveryLayout : public ::testing::TestWithParam<LayoutRow> {};

// Usable width and height 2521 = 2520 + 1 leave a remainder of 1 for every column and row count
// from 2 to 10, so whether an edge is stretched to the usable edge shows in every layout.
constexpr int kW = 10 + 2521 + 10;
constexpr int kH = 10 + 2521 + 10 + 1;
constexpr Margins kRemainderMargins{10, 10, 10, 10, 0, 0};

TEST_P(EveryLayout, OneRectPerCellRowByRow)
{
    const LayoutRow &l = GetParam();
    const std::vector<Rect> cells = CellRects(l.style, kW, kH, kExampleMargins, ComposeMode::Print);
    ASSERT_EQ(static_cast<int>(cells.size()), l.style);
    ASSERT_EQ(l.columns * l.rows, l.style);
    for (int i = 0; i < l.style; ++i) {
        const int r = i / l.columns;
        const int c = i % l.columns;
        const Rect &cell = cells[static_cast<size_t>(i)];
        // Same row: same top; same column: same left.
        EXPECT_EQ(cell.top, cells[static_cast<size_t>(r * l.columns)].top) << i;
        EXPECT_EQ(cell.left, cells[static_cast<size_t>(c)].left) << i;
        if (c > 0) {
            EXPECT_EQ(cell.left, cells[static_cast<size_t>(i - 1)].right + kExampleMargins.horizontalSpacing) << i;
        }
        if (r > 0) {
            EXPECT_EQ(cell.top, cells[static_cast<size_t>(i - l.columns)].bottom + kExampleMargins.verticalSpacing)
                << i;
        }
        EXPECT_GT(cell.width(), 0) << i;
        EXPECT_GT(cell.height(), 0) << i;
    }
    EXPECT_EQ(cells.front().left, 10);
    EXPECT_EQ(cells.front().top, 10);
}

TEST_P(EveryLayout, LastColumnAndRowEndWhereTheTableSays)
{
    const LayoutRow &l = GetParam();
    const std::vector<Rect> cells = CellRects(l.style, kW, kH, kRemainderMargins, ComposeMode::Print);
    ASSERT_EQ(static_cast<int>(cells.size()), l.style);
    const int xEnd = kW - 10;
    const int yEnd = kH - 1 - 10;
    const Rect &last = cells.back();
    const bool oneColumn = l.columns == 1;
    const bool oneRow = l.rows == 1;
    EXPECT_EQ(last.right, (l.columnToEdge || oneColumn) ? xEnd : xEnd - 1);
    EXPECT_EQ(last.bottom, (l.rowToEdge || oneRow) ? yEnd : yEnd - 1);
    // Every cell of the last column and row ends the same way.
    for (int r = 0; r < l.rows; ++r)
        EXPECT_EQ(cells[static_cast<size_t>(r * l.columns + l.columns - 1)].right, last.right);
    for (int c = 0; c < l.columns; ++c)
        EXPECT_EQ(cells[static_cast<size_t>((l.rows - 1) * l.columns + c)].bottom, last.bottom);
    // The other cells all have the plain cell size.
    EXPECT_EQ(cells.front().width(), 2521 / l.columns);
    EXPECT_EQ(cells.front().height(), 2521 / l.rows);
}

TEST_P(EveryLayout, FrameIsTheCellExceptForStyleOne)
{
    const LayoutRow &l = GetParam();
    const std::vector<Rect> cells = CellRects(l.style, kW, kH, kExampleMargins, ComposeMode::Print);
    for (const Rect &cell : cells) {
        const Rect frame = CellFrameRect(l.style, cell, kW, kH);
        if (l.style == 1) {
            EXPECT_EQ(frame, (Rect{0, 0, kW, kH - 1}));
        } else {
            EXPECT_EQ(frame, cell);
        }
    }
}

TEST_P(EveryLayout, PreviewEqualsPrintWithScaledMargins)
{
    const LayoutRow &l = GetParam();
    const Margins printer{137, 142, 136, 150, 23, 40};
    const Margins scaled{10, 10, 10, 11, 1, 3};
    EXPECT_EQ(CellRects(l.style, 438, 619, printer, ComposeMode::Preview),
              CellRects(l.style, 438, 619, scaled, ComposeMode::Print));
}

INSTANTIATE_TEST_SUITE_P(CellGeometry, EveryLayout, ::testing::ValuesIn(kLayouts),
                         [](const auto &info) { return "style" + std::to_string(info.param.style); });

TEST(CellGeometry, OnlyStylesOneAndFourEndTheirLastRowOnTheUsableEdge)
{
    std::vector<int> atEdge;
    for (const LayoutRow &l : kLayouts) {
        const std::vector<Rect> cells = CellRects(l.style, kW, kH, kRemainderMargins, ComposeMode::Print);
        if (cells.back().bottom == kH - 1 - 10)
            atEdge.push_back(l.style);
    }
    EXPECT_EQ(atEdge, (std::vector<int>{1, 4}));
}

} // namespace
} // namespace quiltana
