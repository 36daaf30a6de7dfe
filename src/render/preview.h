#pragma once

#include <QImage>
#include <QSize>
#include <QString>

namespace quiltana {

// What the open dialog shows of a picture file: the picture shrunk to fit the preview square
// (never enlarged), and the picture's own size; or why it cannot be shown.
struct PicturePreviewImage {
    QImage image;
    QSize fullSize;
    QString error; // the decoder's text without the file's path; empty with a picture
};

// Decodes the picture at `path` with the program's own decoders (a JPEG at the smallest DCT
// scale that still fills the square) and fits it into side x side, keeping its proportions.
// A file that fails to decode, or that the program does not read as a picture (by its
// extension), gives a null image and the decoder's error text (ErrorTextWithoutPath); a
// folder, a device or pipe, or a path that names nothing gives a null image and no text.
// Nothing is thrown.
[[nodiscard]] PicturePreviewImage DecodePreview(const QString &path, int side);

// An error's text as it reads without the file's path in front: `message` with a leading
// `path` (as given or with the platform's separators) taken off, together with the ":" and
// blanks that part it from the rest. A text that does not start with the path stays whole.
[[nodiscard]] QString ErrorTextWithoutPath(const QString &message, const QString &path);

// The size a picture of `picture` takes in a side x side square: shrunk proportionally when
// it is larger in either direction (each side at least 1), as it is when it already fits.
[[nodiscard]] QSize PreviewFit(const QSize &picture, int side);

} // namespace quiltana
