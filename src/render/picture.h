#pragma once

#include "decode.h"
#include "document.h"
#include "geometry.h"
#include "paths.h"

#include <QImage>
#include <QString>

#include <optional>

class QPainter;

namespace quiltana {

// Draws the picture file `path` into `cell` on `canvas`: decoded by extension, stood upright
// as its EXIF orientation says, turned by `orientation` (any value but Right and Left leaves
// it upright), fitted with its aspect ratio and centred, resampled through the filter
// (Resample with Enlarge::Interpolate). On a
// printer or PDF a PNG or BMP picture is passed on lossless (a JPEG may be stored as JPEG). Returns the picture rectangle, or nothing when nothing
// was drawn (empty path, unrecognised extension, a cell or picture of zero or negative size).
// A file that cannot be read throws Error. When only the transfer to the canvas fails for want
// of memory the rectangle is still returned, so the caller's caption still lands in place.
std::optional<Rect> DrawPicture(QPainter &canvas, const Rect &cell, const QString &path, Turn orientation);

// A picture made ready for its cell: the rectangle it lands in and its pixels at exactly that
// size, to be drawn pixel for pixel.
struct FittedPicture {
    std::optional<Rect> rect; // nothing: nothing is drawn
    QImage image;             // rect's size; null when memory for it could not be had
    PictureKind kind = PictureKind::None;
    QSize decoded; // the size the picture was decoded at, as stored (a JPEG may be reduced)
};

// The first half of DrawPicture, which touches no painter and no program state, so it may run
// on any thread: decodes `path` (a JPEG at the smallest DCT scale that still gives the picture
// rectangle's pixels in both directions, never fewer) and samples it into the rectangle that
// DrawPicture would give. Throws Error as DrawPicture does; `stop` set meanwhile ends the
// decoding within a few rows (ThrowDecodingStopped). `opened`, when given, is the picture file
// already open: it is read from its start and left open, and `path` only names it (and its
// kind).
[[nodiscard]] FittedPicture FitPictureFile(const Rect &cell, const QString &path, Turn orientation,
                                           const StopFlag *stop = nullptr, std::FILE *opened = nullptr);

// The second half: draws a fitted picture and answers its rectangle.
std::optional<Rect> DrawFittedPicture(QPainter &canvas, const FittedPicture &picture);

// The picture turned a quarter clockwise (Turn::Right) or counter-clockwise (Turn::Left); any
// other value gives the picture unchanged. The result is RGB888.
[[nodiscard]] QImage TurnPicture(const QImage &picture, Turn orientation);

// Where a picture of pictureWidth x pictureHeight lands in `cell`: as large as the cell allows
// with its aspect ratio kept, centred. Nothing for a cell or a result of zero or negative size.
[[nodiscard]] std::optional<Rect> FitPicture(int pictureWidth, int pictureHeight, const Rect &cell);

} // namespace quiltana
