#include "hittest.h"

#include <gtest/gtest.h>

#include <climits>

namespace quiltana {
namespace {

// Positions worked out by hand: (y * rows / h) * columns + (x * columns / w), each division
// truncating, with the mouse held to the page and unknown styles giving the first position.
TEST(CellUnderMouse, PositionOfEachMousePosition)
{
    const struct {
        const char *name;
        int x, y, w, h, style, position;
    } rows[] = {
        {"5X10: 5 * 5 + 1", 100, 300, 392, 516, 50, 26},
        {"5X10 top left", 0, 0, 392, 516, 50, 0},
        {"5X10 bottom right", 391, 515, 392, 516, 50, 49},
        {"1X2 top, left", 0, 0, 392, 516, 2, 0},
        {"1X2 top, middle", 150, 0, 392, 516, 2, 0},
        {"1X2 top, right", 391, 0, 392, 516, 2, 0},
        {"1X2 last row of the top half", 150, 257, 392, 516, 2, 0},
        {"1X2 first row of the bottom half, left", 0, 258, 392, 516, 2, 1},
        {"1X2 first row of the bottom half, right", 391, 258, 392, 516, 2, 1},
        {"1X2 bottom", 150, 515, 392, 516, 2, 1},
        {"3X4 of 100 x 100 cells, first row", 250, 50, 300, 400, 12, 2},
        {"3X4 second row", 50, 150, 300, 400, 12, 3},
        {"3X4 last row", 199, 399, 300, 400, 12, 10},
        {"1X1 anywhere", 200, 500, 392, 516, 1, 0},
        {"1X1 right edge", 391, 500, 392, 516, 1, 0},
        {"no size yet", 100, 300, 0, 0, 50, 0},
        {"no height yet", 100, 300, 392, 0, 50, 0},
        {"no width yet", 100, 300, 0, 516, 50, 0},
        {"right of the page: last column", 800, 300, 392, 516, 50, 29},
        {"below the page: last row", 100, 900, 392, 516, 50, 46},
        {"beyond both: last cell", 800, 900, 392, 516, 50, 49},
        {"below the page in 1X2", 100, 600, 392, 516, 2, 1},
        {"left of the page: first column", -500, 300, 392, 516, 50, 25},
        {"above the page: first row", 100, -500, 392, 516, 50, 1},
        {"largest coordinates", INT_MAX, INT_MAX, 392, 516, 50, 49},
        {"smallest coordinates", INT_MIN, INT_MIN, 392, 516, 50, 0},
        {"unknown style 7", 300, 400, 392, 516, 7, 0},
        {"style 0", 300, 400, 392, 516, 0, 0},
    };
    for (const auto &row : rows)
        EXPECT_EQ(CellUnderMouse(row.x, row.y, row.w, row.h, row.style), row.position) << row.name;
}

} // namespace
} // namespace quiltana
