#include "layouts.h"

namespace quiltana {

namespace {
constexpr std::array<LayoutInfo, kLayoutCount> kTable{{
    {1, "1X1", 1, 1, true, true, LayoutMenu::FirstLevel, 3, "用紙全面"},
    {2, "1X2", 1, 2, true, false, LayoutMenu::FirstLevel, 4, "２分割"},
    {4, "2X2", 2, 2, true, true, LayoutMenu::FirstLevel, 5, "４分割"},
    {6, "2X3", 2, 3, true, false, LayoutMenu::FirstLevel, 10, "６分割"},
    {8, "2X4", 2, 4, true, false, LayoutMenu::FirstLevel, 6, "８分割"},
    {9, "3X3", 3, 3, true, false, LayoutMenu::FirstLevel, 7, "９分割"},
    {12, "3X4", 3, 4, true, false, LayoutMenu::FirstLevel, 11, "１２分割"},
    {16, "4X4", 4, 4, true, false, LayoutMenu::FirstLevel, 8, "１６分割"},
    {15, "3X5", 3, 5, true, false, LayoutMenu::Sub3X, 12, ""},
    {18, "3X6", 3, 6, true, false, LayoutMenu::Sub3X, 12, ""},
    {20, "4X5", 4, 5, true, false, LayoutMenu::Sub4X, 12, ""},
    {24, "4X6", 4, 6, true, false, LayoutMenu::Sub4X, 12, ""},
    {28, "4X7", 4, 7, true, false, LayoutMenu::Sub4X, 12, ""},
    {32, "4X8", 4, 8, true, false, LayoutMenu::Sub4X, 12, ""},
    {25, "5X5", 5, 5, false, false, LayoutMenu::Sub5X, 12, ""},
    {30, "5X6", 5, 6, false, false, LayoutMenu::Sub5X, 12, ""},
    {35, "5X7", 5, 7, false, false, LayoutMenu::Sub5X, 12, ""},
    {40, "5X8", 5, 8, false, false, LayoutMenu::Sub5X, 12, ""},
    {45, "5X9", 5, 9, false, false, LayoutMenu::Sub5X, 12, ""},
    {50, "5X10", 5, 10, false, false, LayoutMenu::Sub5X, 12, ""},
}};
} // namespace

const std::array<LayoutInfo, kLayoutCount> &layoutTable() { return kTable; }

const LayoutInfo *findLayout(int style)
{
    for (const LayoutInfo &l : kTable)
        if (l.style == style)
            return &l;
    return nullptr;
}

} // namespace quiltana
