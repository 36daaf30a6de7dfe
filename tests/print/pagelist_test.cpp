#include "pagelist.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace quiltana {
namespace {

struct PageListCase {
    const char *text;
    int pageCount;
    std::vector<int> pages; // 0-based, ascending
};

void PrintTo(const PageListCase &c, std::ostream *os) { *os << '"' << c.text << "\" in " << c.pageCount << " pages"; }

class PageListExamples : public ::testing::TestWithParam<PageListCase> {};

TEST_P(PageListExamples, SelectsThesePages)
{
    const PageListCase &c = GetParam();
    EXPECT_EQ(SelectedPages(QString::fromUtf8(c.text), c.pageCount), c.pages);
}

std::vector<int> range(int first, int last)
{
    std::vector<int> v;
    for (int i = first; i <= last; ++i)
        v.push_back(i);
    return v;
}

INSTANTIATE_TEST_SUITE_P(
    UserExamples, PageListExamples,
    ::testing::Values(PageListCase{"2", 3, {1}},             // the second page only
                      PageListCase{"1,3", 3, {0, 2}},        //
                      PageListCase{"3,1", 3, {0, 2}},        // printed in page order
                      PageListCase{"2-4", 5, {1, 2, 3}},     //
                      PageListCase{"2-", 5, {1, 2, 3, 4}},   // open end: to the last page
                      PageListCase{"2-x", 5, {1, 2, 3, 4}},  // no number after the dash
                      PageListCase{"2-0", 5, {1, 2, 3, 4}},  // 0 after the dash is open too
                      PageListCase{"4-2", 5, {}},            // backwards: nothing
                      PageListCase{"5", 3, {}},              // beyond the document
                      PageListCase{"2.7", 3, {1}},           // truncated toward zero
                      PageListCase{"", 3, {}},               //
                      PageListCase{"1 - 3", 3, {0, 1, 2}},   // items 1, - and 3
                      PageListCase{"1,3,5-7", 8, {0, 2, 4, 5, 6}}));

INSTANTIATE_TEST_SUITE_P(
    Separators, PageListExamples,
    ::testing::Values(PageListCase{"1 3", 3, {0, 2}},        // a blank separates
                      PageListCase{"1\t3\n2", 3, {0, 1, 2}}, // so do control characters
                      PageListCase{" ,1,,3, ", 3, {0, 2}},   // empty items select nothing
                      PageListCase{"\"1 - 2\"", 5, {0, 1}},  // a quoted item keeps its blanks
                      PageListCase{"\"1,3\"", 5, {0}},       // and its commas: one item "1,3"
                      PageListCase{"\"2", 3, {1}},           // an unclosed quote runs to the end
                      PageListCase{"1;3", 3, {0}}));          // ';' is no separator: "1;3" reads 1

INSTANTIATE_TEST_SUITE_P(
    OddNumbers, PageListExamples,
    ::testing::Values(PageListCase{"0", 3, {}},              // page 0 does not exist
                      PageListCase{"-2", 3, {0, 1}},         // reads -2..2; only 1 and 2 are pages
                      PageListCase{"-", 1000, range(0, 997)}, // 0..998
                      PageListCase{"1--2", 3, {}},           // upper bound -2
                      PageListCase{"abc", 3, {}},            // no number: 0
                      PageListCase{"3abc", 3, {2}},          // the longest valid prefix
                      PageListCase{"+2", 3, {1}},            //
                      PageListCase{"1e0", 3, {0}},           // an exponent is part of the number
                      PageListCase{"1e-3", 3, {0, 1, 2}},    // its dash makes a range 0.001..3
                      PageListCase{"0x2", 3, {1}},           // hex, as C reads it
                      PageListCase{"0x", 3, {}},             // only the "0" is a number
                      PageListCase{"0x10", 20, {15}},        // hex names page 16, as C's strtod reads it
                      PageListCase{"1000", 1000, {999}},     // the last page there can be
                      PageListCase{"1001", 1001, {}},        // no page 1001
                      PageListCase{"999-1e9", 1000, {998, 999}}, // huge bounds are cut at 1000
                      PageListCase{"99999999999999999999", 1000, {}},
                      PageListCase{"-99999999999999999999-2", 3, {0, 1, 2}}, // after the first dash: 1e20..
                      PageListCase{"1-inf", 3, {0, 1, 2}},   //
                      PageListCase{"nan", 3, {}},            //
                      PageListCase{"1-nan", 3, {0, 1, 2}},   // "nan" is no number: open end
                      PageListCase{"１", 3, {}},             // full-width digits are no number
                      PageListCase{"1-1e999", 3, {0, 1, 2}}, // overflow reads as infinity
                      PageListCase{"2-1e-999", 3, {1, 2}})); // underflow reads as 0: open end

TEST(PageList, TheLoneDashSelectsEveryPageUpTo998)
{
    const PageSelection s = ParsePageSelection(QStringLiteral("-"));
    EXPECT_TRUE(s[0]);
    EXPECT_TRUE(s[997]);
    EXPECT_FALSE(s[998]); // page number 999
    EXPECT_FALSE(s[999]);
}

TEST(PageList, PageNumbersBecomeIndicesOnlyInsideOneToThousand)
{
    const struct {
        int number, index;
    } rows[] = {{1, 0}, {1000, 999}, {0, -1}, {1001, -1}, {-5, -1}, {std::numeric_limits<int>::min(), -1}};
    for (const auto &row : rows)
        EXPECT_EQ(pageIndexFromNumber(row.number), row.index) << row.number;
}

TEST(PageList, ItemsAreSplitLikeACommaSeparatedList)
{
    const struct {
        const char *text;
        QStringList items;
    } rows[] = {
        {"1 - 3", {"1", "-", "3"}},
        {"1,,2", {"1", "", "2"}},
        {"1,", {"1", ""}},
        {"\"a, b\",c", {"a, b", "c"}},
        {"\"say \"\"hi\"\"\"", {"say \"hi\""}},
        {"   ", {}},
    };
    for (const auto &row : rows)
        EXPECT_EQ(SplitPageItems(QString::fromLatin1(row.text)), row.items) << row.text;
}

TEST(PageList, LeadingNumbersReadLikeStrtod)
{
    const struct {
        const char *text;
        double value;
        const char *name;
    } rows[] = {
        {"  2.5x", 2.5, "blanks before, letters after"},
        {"-.5", -0.5, "no digit before the point"},
        {"5.", 5.0, "no digit after the point"},
        {"1e", 1.0, "an e without digits is not taken"},
        {"0x10", 16.0, "hex"},
        {"0x1p4", 16.0, "hex with a binary exponent"},
        {"0xg", 0.0, "no hex digit: only the 0"},
        {"1,5", 1.0, "the decimal point is always '.'"},
        {"- 3", 0.0, "no blank after the sign"},
        {"-Infinity", -std::numeric_limits<double>::infinity(), "infinity spelt out"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(LeadingNumber(QString::fromLatin1(row.text)), row.value) << row.name;

    const struct {
        const char *text;
        int value;
    } integers[] = {{"-2.9", -2}, {"1e300", std::numeric_limits<int>::max()}, {"-1e300", std::numeric_limits<int>::min()}};
    for (const auto &row : integers)
        EXPECT_EQ(LeadingInteger(QString::fromLatin1(row.text)), row.value) << row.text;
}

} // namespace
} // namespace quiltana
