#pragma once

#include "paths.h"
#include "picturefile.h"
#include "rowsink.h"

#include <QImage>
#include <QSize>
#include <QString>

namespace quiltana {

// Work copies are 200 pixels high; a picture wider than 20:1 would make them enormous (a tiny
// file declaring 5000 x 1 pixels, a million pixels wide). Above this width the width stays at
// it and the height follows the picture's aspect ratio instead (at least one pixel).
inline constexpr int kMaxWorkCopyWidth = 4000;

// Decodes a picture file of the given kind into a QImage::Format_RGB888 image, stood upright
// as its EXIF orientation says (JPEG, PNG), its colours converted to sRGB through the colour
// profile embedded in the file and its transparency laid onto white paper. JPEG and PNG go
// through libjpeg and libpng directly, BMP through the program's own reader (bmpreader.h). A
// file that cannot be opened, is corrupt, truncated or unsupported, or declares a size above
// the bounds throws Error whose text names the file and the reason; `stop` set meanwhile ends
// the decoding with ThrowDecodingStopped. `opened`, when given, is the file already open: it is
// read from its start and left open, and `path` only names it.
[[nodiscard]] QImage DecodePicture(const QString &path, PictureKind kind, const StopFlag *stop = nullptr,
                                   std::FILE *opened = nullptr);

// As DecodePicture, for a picture that will be shown no larger than minWidth x minHeight:
// a JPEG may be decoded at a reduced DCT scale whose output still holds at least that size in
// both directions. `fullWidth`/`fullHeight` receive the picture's own size, upright.
[[nodiscard]] QImage DecodePictureForSize(const QString &path, PictureKind kind, int minWidth,
                                          int minHeight, int *fullWidth, int *fullHeight);

// The work copy of a picture: `height` rows and trunc(height * w / h) columns (at least one),
// w x h being the picture's own size upright, resampled as Resample does with Enlarge::Repeat
// (reduced through the filter, enlarged by repeating pixels). Rows are sampled while the decoder delivers them (a JPEG at the smallest DCT scale
// that still holds the work copy), so a large photograph never has to be held whole; a
// picture whose EXIF orientation turns or mirrors it is sampled as stored and its work copy
// stood upright. Throws Error as
// DecodePicture does, and also when the work copy itself would exceed kMaxPicturePixels.
// A height below 1 gives a null image.
[[nodiscard]] QImage DecodeWorkCopyImage(const QString &path, PictureKind kind, int height);

// The size of the work copy of a picture of fullWidth x fullHeight for a work copy `height`
// pixels high: trunc(height * w / h) wide (at least 1) and `height` high, unless that is wider
// than kMaxWorkCopyWidth: then kMaxWorkCopyWidth wide and trunc(kMaxWorkCopyWidth * h / w)
// high (at least 1).
[[nodiscard]] QSize WorkCopySize(int height, int fullWidth, int fullHeight);

// Collects the decoded rows into one RGB888 image, as stored; remembers the EXIF orientation
// the decoder reported, so that take() answers the picture upright.
class WholePictureSink final : public RowSink {
public:
    // A valid `minimum` lets a JPEG be reduced while decoding to no less than it, in the
    // upright picture's terms.
    explicit WholePictureSink(QSize minimum = QSize()) : minimum_(minimum) {}

    [[nodiscard]] QSize minimumOutput(int fullWidth, int fullHeight) const noexcept override;
    [[nodiscard]] const char *start(int width, int height, int, int) noexcept override;
    [[nodiscard]] unsigned char *rowBuffer(int y) noexcept override { return bits_ + stride_ * y; }
    [[nodiscard]] bool keepsRows() const noexcept override { return true; }
    [[nodiscard]] RowSink *sinkFor(int exifOrientation, int, int) noexcept override
    {
        orientation_ = exifOrientation;
        return this;
    }

    [[nodiscard]] int exifOrientation() const noexcept { return orientation_; }
    // The picture stood upright (null when memory for that could not be had).
    [[nodiscard]] QImage takeUpright();

private:
    QSize minimum_;
    int orientation_ = 1;
    QImage image_;
    uchar *bits_ = nullptr;
    qsizetype stride_ = 0;
};

} // namespace quiltana
