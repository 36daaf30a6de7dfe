#pragma once

namespace quiltana {

// The position (0 .. layoutStyle - 1, row by row from the top left) of the cell under the mouse
// point (x, y) of a preview of hitWidth x hitHeight pixels. The preview is split into equal
// shares of columns and rows; margins and gaps play no part, so near a cell's border the result
// can differ from the cell drawn there:
//     (y * rows / hitHeight) * columns + (x * columns / hitWidth), truncating.
// The result never leaves the page: a zero or negative hit-test size gives 0 (the window has
// not been laid out yet), and a point outside the preview, such as a mouse position left over
// from a larger window, is clamped into the nearest row and column. A number that is not a
// layout style gives 0.
[[nodiscard]] int CellUnderMouse(int x, int y, int hitWidth, int hitHeight, int layoutStyle);

} // namespace quiltana
