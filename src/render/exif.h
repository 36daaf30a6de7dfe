#pragma once

#include <QImage>
#include <QSize>

#include <cstddef>

namespace quiltana {

// The orientation a camera records in a picture's EXIF block (tag 0x0112 of IFD0): how the
// stored pixels are to be turned or mirrored to stand upright.
//   1 as stored            2 mirrored left-right    3 turned half round   4 mirrored top-bottom
//   5 mirrored across the top-left to bottom-right diagonal
//   6 turned a quarter clockwise    7 mirrored across the other diagonal
//   8 turned a quarter counter-clockwise
// 5 to 8 swap width and height.
inline constexpr int kExifUpright = 1;

// A JPEG's APP1 segment or a PNG's eXIf chunk is read only up to this size; an APP1 segment
// cannot be larger anyway.
inline constexpr std::size_t kMaxExifBytes = 65535;

// The orientation in an EXIF block as a JPEG's APP1 segment holds it ("Exif\0\0" and then the
// TIFF structure). Anything missing, broken, out of range or over kMaxExifBytes gives 1.
[[nodiscard]] int ExifOrientation(const unsigned char *data, std::size_t size) noexcept;

// The same for the bare TIFF structure, as a PNG's eXIf chunk holds it.
[[nodiscard]] int ExifOrientationOfTiff(const unsigned char *data, std::size_t size) noexcept;

// Whether the orientation swaps width and height (5 to 8).
[[nodiscard]] constexpr bool ExifSwapsSides(int orientation) noexcept
{
    return orientation >= 5 && orientation <= 8;
}

// The size of a stored picture of width x height once stood upright.
[[nodiscard]] inline QSize ExifUprightSize(int width, int height, int orientation) noexcept
{
    return ExifSwapsSides(orientation) ? QSize(height, width) : QSize(width, height);
}

// The stored picture stood upright, as RGB888: exact, every pixel moved and none blended. An
// orientation outside 2..8 gives the picture unchanged. Null when memory could not be had.
[[nodiscard]] QImage ExifUpright(const QImage &picture, int orientation);

} // namespace quiltana
