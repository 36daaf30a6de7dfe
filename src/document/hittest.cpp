#include "hittest.h"

#include "layouts.h"

#include <algorithm>
#include <cstdint>

namespace quiltana {

int CellUnderMouse(int x, int y, int hitWidth, int hitHeight, int layoutStyle)
{
    const LayoutInfo *layout = findLayout(layoutStyle);
    if (!layout || hitWidth <= 0 || hitHeight <= 0)
        return 0;
    // 64-bit products: a coordinate times ten rows must not overflow for any int coordinate.
    const std::int64_t row = std::int64_t{y} * layout->rows / hitHeight;
    const std::int64_t column = std::int64_t{x} * layout->columns / hitWidth;
    const auto clampedRow = static_cast<int>(std::clamp<std::int64_t>(row, 0, layout->rows - 1));
    const auto clampedColumn = static_cast<int>(std::clamp<std::int64_t>(column, 0, layout->columns - 1));
    return clampedRow * layout->columns + clampedColumn;
}

} // namespace quiltana
