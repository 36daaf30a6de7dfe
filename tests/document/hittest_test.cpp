#include "hittest.h"

#include <gtest/gtest.h>

#include <climits>

namespace quiltana {
namespace {

TEST(CellUnderMouse, FiveByTenExample)
{
    // (300 * 10 / 516) * 5 + (100 * 5 / 392) = 5 * 5 + 1
    EXPECT_EQ(CellUnderMouse(100, 300, 392, 516, 50), 26);
    EXPECT_EQ(CellUnderMouse(0, 0, 392, 516, 50), 0);
    EXPECT_EQ(CellUnderMouse(391, 515, 392, 516, 50), 49);
}

TEST(CellUnderMouse, OneByTwoDependsOnHeightOnly)
{
    for (int x : {0, 150, 391}) {
        EXPECT_EQ(CellUnderMouse(x, 0, 392, 516, 2), 0) << x;
        EXPECT_EQ(CellUnderMouse(x, 257, 392, 516, 2), 0) << x;
        EXPECT_EQ(CellUnderMouse(x, 258, 392, 516, 2), 1) << x;
        EXPECT_EQ(CellUnderMouse(x, 515, 392, 516, 2), 1) << x;
    }
}

TEST(CellUnderMouse, GridsAreCountedRowByRow)
{
    // 3X4 on 300 x 400: every cell is 100 x 100.
    EXPECT_EQ(CellUnderMouse(250, 50, 300, 400, 12), 2);
    EXPECT_EQ(CellUnderMouse(50, 150, 300, 400, 12), 3);
    EXPECT_EQ(CellUnderMouse(199, 399, 300, 400, 12), 10);
    for (int x : {0, 200, 391})
        EXPECT_EQ(CellUnderMouse(x, 500, 392, 516, 1), 0);
}

TEST(CellUnderMouse, StaysOnThePage)
{
    // Before the first resize the hit-test size is 0.
    EXPECT_EQ(CellUnderMouse(100, 300, 0, 0, 50), 0);
    EXPECT_EQ(CellUnderMouse(100, 300, 392, 0, 50), 0);
    EXPECT_EQ(CellUnderMouse(100, 300, 0, 516, 50), 0);
    // A mouse position left over from a larger window: the last row and column.
    EXPECT_EQ(CellUnderMouse(800, 300, 392, 516, 50), 29);
    EXPECT_EQ(CellUnderMouse(100, 900, 392, 516, 50), 46);
    EXPECT_EQ(CellUnderMouse(800, 900, 392, 516, 50), 49);
    EXPECT_EQ(CellUnderMouse(100, 600, 392, 516, 2), 1);
    // Negative coordinates: the first row and column.
    EXPECT_EQ(CellUnderMouse(-500, 300, 392, 516, 50), 25);
    EXPECT_EQ(CellUnderMouse(100, -500, 392, 516, 50), 1);
    // Extreme coordinates do not overflow.
    EXPECT_EQ(CellUnderMouse(INT_MAX, INT_MAX, 392, 516, 50), 49);
    EXPECT_EQ(CellUnderMouse(INT_MIN, INT_MIN, 392, 516, 50), 0);
}

TEST(CellUnderMouse, UnknownLayoutStyleGivesFirstPosition)
{
    EXPECT_EQ(CellUnderMouse(300, 400, 392, 516, 7), 0);
    EXPECT_EQ(CellUnderMouse(300, 400, 392, 516, 0), 0);
}

} // namespace
} // namespace quiltana
