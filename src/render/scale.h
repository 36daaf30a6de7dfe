#pragma once

#include <QImage>

namespace quiltana {

// Nearest-neighbour resampling as COLORONCOLOR does it: destination column x takes source
// column x * sourceWidth / width (rows likewise), nothing blended. Returns RGB888.
// Width or height below 1 gives a null image.
[[nodiscard]] QImage StretchNearest(const QImage &source, int width, int height);

} // namespace quiltana
