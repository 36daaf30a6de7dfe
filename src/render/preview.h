#pragma once

#include <QImage>
#include <QSize>
#include <QString>

namespace quiltana {

// What the open dialog shows of a picture file: the picture shrunk to fit the preview square
// (never enlarged), and the picture's own size.
struct PicturePreviewImage {
    QImage image;
    QSize fullSize;
};

// Decodes the picture at `path` with the program's own decoders (a JPEG at the smallest DCT
// scale that still fills the square) and fits it into side x side, keeping its proportions.
// A file the program does not read as a picture (by its extension), a folder, a device or
// pipe, or a file that fails to decode gives a null image; nothing is thrown.
[[nodiscard]] PicturePreviewImage DecodePreview(const QString &path, int side);

// The size a picture of `picture` takes in a side x side square: shrunk proportionally when
// it is larger in either direction (each side at least 1), as it is when it already fits.
[[nodiscard]] QSize PreviewFit(const QSize &picture, int side);

} // namespace quiltana
