#pragma once

#include <vector>

namespace quiltana {

// A rectangle in a canvas's device units. Never clipped or normalised: width and height may
// come out zero or negative and are passed on as they are.
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    [[nodiscard]] int width() const { return right - left; }
    [[nodiscard]] int height() const { return bottom - top; }
    friend bool operator==(const Rect &, const Rect &) = default;
};

// The six dot margins in printer device units.
struct Margins {
    int top = 0, bottom = 0, left = 0, right = 0;
    int verticalSpacing = 0, horizontalSpacing = 0;
};

enum class ComposeMode { Preview = 0, Print = 1 };

inline constexpr int kPreviewScale = 13; // preview margins are the printer's divided by this

// Cell rectangles of a layout style on a W x H canvas, in position order (row by row).
// Preview mode divides each margin by the preview scale first. Unknown styles give no cells.
[[nodiscard]] std::vector<Rect> CellRects(int layoutStyle, int W, int H, const Margins &margins,
                                          ComposeMode mode);

// The frame (cutting line) of a cell: the whole canvas for style 1, else the cell itself.
[[nodiscard]] Rect CellFrameRect(int layoutStyle, const Rect &cell, int W, int H);

} // namespace quiltana
