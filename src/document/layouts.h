#pragma once

#include <array>

namespace quiltana {

// One row of the layout table: everything the menus, the toolbar, the hit test and the cell
// geometry need to know about a layout style. This is the only place these numbers live.
// Where a layout's item stands in the layout menu "分割設定(&S)": at its first level (with a
// toolbar button of its own) or in one of the sub-menus "3X..", "4X..", "5X..".
enum class LayoutMenu { FirstLevel, Sub3X, Sub4X, Sub5X };

struct LayoutInfo {
    int style;             // cells per page
    const char *caption;   // "CxR" as the menu shows it
    int columns;
    int rows;
    bool lastColumnToEdge; // the last column ends on the usable right edge (else on the grid)
    bool lastRowToEdge;    // the last row ends on the usable bottom edge (else on the grid)
    LayoutMenu menu;
    int toolbarButton;     // number n of SpeedButtonn
    const char *hint;      // toolbar hint in UTF-8, "" for the shared sub-menu button
};

inline constexpr int kLayoutCount = 20;

// The twenty layouts in menu order: the first level, then "3X..", "4X..", "5X..".
[[nodiscard]] const std::array<LayoutInfo, kLayoutCount> &layoutTable();

// The row for a layout style, or nullptr for a number that is not a layout style.
[[nodiscard]] const LayoutInfo *findLayout(int style);

} // namespace quiltana
