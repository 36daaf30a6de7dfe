#pragma once

#include <QIODevice>
#include <QImage>
#include <QString>

namespace quiltana {

// Reads the BMP file `path` with Qt's BMP reader, after checking the header's declared width,
// height and bit count against the bounds so that a crafted header cannot make the reader
// allocate a huge picture. Returns the picture as Qt decodes it (any format). Throws Error
// naming the file when it cannot be opened, is not a BMP, declares a size above the bounds or
// cannot be decoded.
// A file whose plainly stored rows end past the end of the file (truncated) is refused too.
[[nodiscard]] QImage ReadBmp(const QString &path);

// The width and height that the BMP header at the device's position declares (OS/2 and
// Windows headers; the sides as absolute values). False when the header is unusable.
[[nodiscard]] bool ReadBmpDeclaredSize(QIODevice &device, qint64 *width, qint64 *height);

} // namespace quiltana
