#pragma once

#include "paths.h"

#include <QImage>
#include <QString>

namespace quiltana {

// Pictures larger than this are refused before any pixel memory is taken: a decoded picture
// is held as 24-bit RGB, so this bound keeps one picture below about 600 MB.
inline constexpr qint64 kMaxPicturePixels = 200'000'000;
inline constexpr int kMaxPictureSide = 65535;

// Decodes a picture file of the given kind into a QImage::Format_RGB888 image (alpha
// dropped: the colours as decoded). JPEG and PNG go through libjpeg and libpng directly, BMP
// through QImage. A file that cannot be opened, is corrupt, truncated or unsupported, or
// declares a size above the bounds throws Error whose text names the file and the reason.
[[nodiscard]] QImage DecodePicture(const QString &path, PictureKind kind);

// As DecodePicture, for a picture that will be shown no larger than minWidth x minHeight:
// a JPEG may be decoded at a reduced DCT scale whose output still holds at least that size in
// both directions. `fullWidth`/`fullHeight` receive the picture's own size.
[[nodiscard]] QImage DecodePictureForSize(const QString &path, PictureKind kind, int minWidth,
                                          int minHeight, int *fullWidth, int *fullHeight);

} // namespace quiltana
