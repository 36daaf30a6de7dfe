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

// Borders of the printer: top 4.2336, bottom 5.76, left 4.22, right 4.5 mm.
TEST(PrintFieldExit, MarginsHoldTheirBorderAndSpacingsZero)
{
    const struct {
        const char *name;
        const char *typed;
        PrintField field;
        double topBorder;
        const char *text;
    } rows[] = {
        {"below the border: the border", "3", PrintField::Top, 4.2336, "4.23"},
        {"above it: left as typed", "4.5", PrintField::Top, 4.2336, "4.5"},
        {"trailing zeros kept", "4.50000", PrintField::Top, 4.2336, "4.50000"},
        {"blanks kept", " 7 ", PrintField::Top, 4.2336, " 7 "},
        {"each side its own border", "5", PrintField::Bottom, 4.2336, "5.76"},
        {"left above its border", "4.3", PrintField::Left, 4.2336, "4.3"},
        {"negative right margin", "-1", PrintField::Right, 4.2336, "4.50"},
        {"cleared: zero, then the border", "", PrintField::Top, 4.2336, "4.23"},
        {"cleared with no border", "", PrintField::Top, 0, "0"},
        {"the border in two decimals reads below it and stays", "4.23", PrintField::Top, 4.2336, "4.23"},
        {"cleared spacing", "", PrintField::HorizontalSpacing, 4.2336, "0"},
        {"negative spacing", "-2", PrintField::HorizontalSpacing, 4.2336, "0"},
        {"slightly negative spacing", "-0.001", PrintField::VerticalSpacing, 4.2336, "0"},
        {"small spacing", "0.5", PrintField::VerticalSpacing, 4.2336, "0.5"},
        {"large spacing", "250", PrintField::VerticalSpacing, 4.2336, "250"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(FieldExitText(row.typed, row.field, metricsWithTop(row.topBorder)), row.text) << row.name;
}

TEST(PrintFieldArrow, StepsByATenthWithTwoDecimalsWithinTheLimits)
{
    const struct {
        const char *name;
        const char *typed;
        PrintField field;
        bool up;
        const char *text;
    } rows[] = {
        {"raised", "10", PrintField::Top, true, "10.10"},
        {"lowered", "10", PrintField::Top, false, "9.90"},
        {"four significant digits", "123.4", PrintField::Left, true, "123.50"},
        {"vertical spacing raised", "1", PrintField::VerticalSpacing, true, "1.10"},
        {"horizontal spacing lowered", "1", PrintField::HorizontalSpacing, false, "0.90"},
        {"raised below the border: the border, not 3.10", "3.00", PrintField::Top, true, "4.23"},
        {"lowered below the border", "4.30", PrintField::Top, false, "4.23"},
        {"raised from the border", "4.23", PrintField::Top, true, "4.33"},
        {"bottom raised from zero", "0", PrintField::Bottom, true, "5.76"},
        {"spacing lowered below zero", "0.05", PrintField::VerticalSpacing, false, "0.00"},
        {"spacing lowered at zero", "0", PrintField::HorizontalSpacing, false, "0.00"},
        {"raising a spacing has no limit", "-5", PrintField::HorizontalSpacing, true, "-4.90"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(ArrowStepText(row.typed, row.field, row.up, kMetrics), row.text) << row.name;
}

TEST(PrintFieldExitAndArrow, TextThatIsNoNumberThrows)
{
    EXPECT_THROW((void)FieldExitText("abc", PrintField::Top, kMetrics), ConversionError);
    EXPECT_THROW((void)FieldExitText("1,5", PrintField::VerticalSpacing, kMetrics), ConversionError);
    EXPECT_THROW((void)FieldExitText(" ", PrintField::VerticalSpacing, kMetrics), ConversionError);
    EXPECT_THROW((void)ArrowStepText("", PrintField::Top, true, kMetrics), ConversionError);
    EXPECT_THROW((void)ArrowStepText("x", PrintField::VerticalSpacing, false, kMetrics), ConversionError);
}

TEST(PrintFieldMinimum, MarginsUseTheirSideAndSpacingsZero)
{
    const struct {
        PrintField field;
        double minimum;
    } rows[] = {{PrintField::Top, 4.2336},           {PrintField::Bottom, 5.76},
                {PrintField::Left, 4.22},            {PrintField::Right, 4.5},
                {PrintField::VerticalSpacing, 0.0},  {PrintField::HorizontalSpacing, 0.0}};
    for (const auto &row : rows)
        EXPECT_DOUBLE_EQ(fieldMinimum(row.field, kMetrics), row.minimum) << static_cast<int>(row.field);
}

} // namespace
} // namespace quiltana
