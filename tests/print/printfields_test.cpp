#include "printfields.h"

#include "error.h"

#include <gtest/gtest.h>

namespace quiltana {
namespace {

PrinterMetrics metricsWithTop(double topMM)
{
    PrinterMetrics m;
    m.topMM = topMM;
    m.bottomMM = 5.76;
    m.leftMM = 4.22;
    m.rightMM = 4.5;
    return m;
}

const PrinterMetrics kMetrics = metricsWithTop(4.2336);

TEST(PrintFieldExit, MarginBelowTheUnprintableBorderBecomesTheBorder)
{
    EXPECT_EQ(FieldExitText("3", PrintField::Top, kMetrics), "4.23");
    EXPECT_EQ(FieldExitText("4.5", PrintField::Top, kMetrics), "4.5"); // left as typed
    EXPECT_EQ(FieldExitText("4.50000", PrintField::Top, kMetrics), "4.50000");
    EXPECT_EQ(FieldExitText(" 7 ", PrintField::Top, kMetrics), " 7 ");
    EXPECT_EQ(FieldExitText("5", PrintField::Bottom, kMetrics), "5.76"); // each side its own border
    EXPECT_EQ(FieldExitText("4.3", PrintField::Left, kMetrics), "4.3");
    EXPECT_EQ(FieldExitText("-1", PrintField::Right, kMetrics), "4.50");
}

TEST(PrintFieldExit, ClearedMarginBecomesZeroAndThenTheBorder)
{
    EXPECT_EQ(FieldExitText("", PrintField::Top, kMetrics), "4.23");
    EXPECT_EQ(FieldExitText("", PrintField::Top, metricsWithTop(0)), "0");
    // The border written with two decimals reads below the border itself, and stays put.
    EXPECT_EQ(FieldExitText("4.23", PrintField::Top, kMetrics), "4.23");
}

TEST(PrintFieldExit, SpacingsStayNonNegative)
{
    EXPECT_EQ(FieldExitText("", PrintField::HorizontalSpacing, kMetrics), "0");
    EXPECT_EQ(FieldExitText("-2", PrintField::HorizontalSpacing, kMetrics), "0");
    EXPECT_EQ(FieldExitText("-0.001", PrintField::VerticalSpacing, kMetrics), "0");
    EXPECT_EQ(FieldExitText("0.5", PrintField::VerticalSpacing, kMetrics), "0.5");
    EXPECT_EQ(FieldExitText("250", PrintField::VerticalSpacing, kMetrics), "250");
}

TEST(PrintFieldExit, NotANumberThrows)
{
    EXPECT_THROW((void)FieldExitText("abc", PrintField::Top, kMetrics), ConversionError);
    EXPECT_THROW((void)FieldExitText("1,5", PrintField::VerticalSpacing, kMetrics), ConversionError);
    EXPECT_THROW((void)FieldExitText(" ", PrintField::VerticalSpacing, kMetrics), ConversionError);
}

TEST(PrintFieldArrow, StepsByATenthWithTwoDecimals)
{
    EXPECT_EQ(ArrowStepText("10", PrintField::Top, true, kMetrics), "10.10");
    EXPECT_EQ(ArrowStepText("10", PrintField::Top, false, kMetrics), "9.90");
    EXPECT_EQ(ArrowStepText("123.4", PrintField::Left, true, kMetrics), "123.50");
    EXPECT_EQ(ArrowStepText("1", PrintField::VerticalSpacing, true, kMetrics), "1.10");
    EXPECT_EQ(ArrowStepText("1", PrintField::HorizontalSpacing, false, kMetrics), "0.90");
}

TEST(PrintFieldArrow, MarginsHoldTheBorderOnBothArrows)
{
    EXPECT_EQ(ArrowStepText("3.00", PrintField::Top, true, kMetrics), "4.23"); // not 3.10
    EXPECT_EQ(ArrowStepText("4.30", PrintField::Top, false, kMetrics), "4.23");
    EXPECT_EQ(ArrowStepText("4.23", PrintField::Top, true, kMetrics), "4.33");
    EXPECT_EQ(ArrowStepText("0", PrintField::Bottom, true, kMetrics), "5.76");
}

TEST(PrintFieldArrow, SpacingsStopAtZeroOnlyWhenLowered)
{
    EXPECT_EQ(ArrowStepText("0.05", PrintField::VerticalSpacing, false, kMetrics), "0.00");
    EXPECT_EQ(ArrowStepText("0", PrintField::HorizontalSpacing, false, kMetrics), "0.00");
    // The raising arrow has no limit: a typed negative spacing only comes up by the step.
    EXPECT_EQ(ArrowStepText("-5", PrintField::HorizontalSpacing, true, kMetrics), "-4.90");
}

TEST(PrintFieldArrow, EmptyOrGarbageFieldThrows)
{
    EXPECT_THROW((void)ArrowStepText("", PrintField::Top, true, kMetrics), ConversionError);
    EXPECT_THROW((void)ArrowStepText("x", PrintField::VerticalSpacing, false, kMetrics), ConversionError);
}

TEST(PrintFieldMinimum, MarginsUseTheirSideAndSpacingsZero)
{
    EXPECT_DOUBLE_EQ(fieldMinimum(PrintField::Top, kMetrics), 4.2336);
    EXPECT_DOUBLE_EQ(fieldMinimum(PrintField::Bottom, kMetrics), 5.76);
    EXPECT_DOUBLE_EQ(fieldMinimum(PrintField::Left, kMetrics), 4.22);
    EXPECT_DOUBLE_EQ(fieldMinimum(PrintField::Right, kMetrics), 4.5);
    EXPECT_DOUBLE_EQ(fieldMinimum(PrintField::VerticalSpacing, kMetrics), 0.0);
}

} // namespace
} // namespace quiltana
