#pragma once

#include <QImage>
#include <QString>

namespace quiltana {

// Reads the BMP file `path` with Qt's BMP reader, after checking the header's declared width,
// height and bit count against the bounds so that a crafted header cannot make the reader
// allocate a huge picture. Returns the picture as Qt decodes it (any format). Throws Error
// naming the file when it cannot be opened, is not a BMP, declares a size above the bounds or
// cannot be decoded.
[[nodiscard]] QImage ReadBmp(const QString &path);

} // namespace quiltana
