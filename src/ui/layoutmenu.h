#pragma once

#include "layouts.h"

namespace quiltana {

// Where a layout's item stands in the layout menu "分割設定(&S)": at its first level (with a
// toolbar button of its own) or in one of the sub-menus "3X..", "4X..", "5X..".
enum class LayoutMenu { FirstLevel, Sub3X, Sub4X, Sub5X };

// The menu of `layout`, read from the layout table's level (0, 3, 4 or 5).
[[nodiscard]] constexpr LayoutMenu layoutMenuOf(const LayoutInfo &layout)
{
    switch (layout.menuLevel) {
    case 3:
        return LayoutMenu::Sub3X;
    case 4:
        return LayoutMenu::Sub4X;
    case 5:
        return LayoutMenu::Sub5X;
    default:
        return LayoutMenu::FirstLevel;
    }
}

} // namespace quiltana
