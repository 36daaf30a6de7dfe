#pragma once

#include <QString>

#include <cstdio>

namespace quiltana {

// What decoding the picture file holds at once beyond a few rows (bytes), estimated from its
// header as the decoder itself reads it (libjpeg's reading of a JPEG's markers, the IHDR chunk
// where libpng reads it, the BMP reader's headers), to plan decodings side by side: a
// progressive JPEG (and a sequential one whose first scan does not carry every component)
// keeps every DCT coefficient whatever the scale it is decoded at, and a JPEG keeps its APP1
// and APP2 segments; an interlaced PNG keeps the whole picture (with transparency at 4 bytes a
// pixel); a BMP is read whole. 0 for pictures that stream, also those that EXIF turns. Never
// below what the decoders hold; a header that cannot be read counts as the largest picture
// the bounds allow.
[[nodiscard]] qint64 HeldBytesWhileDecoding(const QString &path);

// The same for the picture file `path` already open as `file`, read from its start (and left
// open, wherever it was read to): so that the decoding may read the very file estimated.
[[nodiscard]] qint64 HeldBytesWhileDecoding(const QString &path, std::FILE *file);

} // namespace quiltana
