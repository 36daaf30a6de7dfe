#include "geometry.h"

#include "layouts.h"

#include <cstddef>

namespace quiltana {

std::vector<Rect> CellRects(int layoutStyle, int W, int H, const Margins &margins, ComposeMode mode)
{
    const LayoutInfo *layout = findLayout(layoutStyle);
    if (!layout)
        return {};
    Margins m = margins;
    if (mode == ComposeMode::Preview) {
        m.top /= kPreviewScale;
        m.bottom /= kPreviewScale;
        m.left /= kPreviewScale;
        m.right /= kPreviewScale;
        m.verticalSpacing /= kPreviewScale;
        m.horizontalSpacing /= kPreviewScale;
    }
    const int x0 = m.left;
    const int y0 = m.top;
    const int xEnd = W - m.right;
    const int yEnd = (H - 1) - m.bottom; // the height side counts from H - 1
    const int uw = xEnd - x0;
    const int uh = yEnd - y0;
    const int cols = layout->columns;
    const int rows = layout->rows;
    const int cw = (uw - (cols - 1) * m.horizontalSpacing) / cols;
    const int ch = (uh - (rows - 1) * m.verticalSpacing) / rows;

    std::vector<Rect> rects;
    rects.reserve(static_cast<std::size_t>(cols * rows));
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            Rect rc;
            rc.left = x0 + c * (cw + m.horizontalSpacing);
            rc.top = y0 + r * (ch + m.verticalSpacing);
            rc.right = rc.left + cw;
            rc.bottom = rc.top + ch;
            if (layout->lastColumnToEdge && c == cols - 1)
                rc.right = xEnd;
            if (layout->lastRowToEdge && r == rows - 1)
                rc.bottom = yEnd;
            rects.push_back(rc);
        }
    }
    return rects;
}

Rect CellFrameRect(int layoutStyle, const Rect &cell, int W, int H)
{
    if (layoutStyle == 1)
        return Rect{0, 0, W, H - 1};
    return cell;
}

} // namespace quiltana
