#pragma once

#include "picturefile.h"

#include <QByteArray>
#include <QIODevice>
#include <QImage>
#include <QString>

namespace quiltana {

// Reads the BMP file `path` into an RGB888 picture, after checking the header's declared
// width, height and bit count against the bounds so that a crafted header cannot make the
// reader allocate a huge picture. Read here: palette pictures of 1, 2, 4 and 8 bits (plain or
// run-length coded), 24 bits, and 16 and 32 bits plain or through colour masks of any width
// (each channel scaled to 0..255 with rounding). A picture with an alpha mask and an alpha
// that is not zero everywhere is laid onto white paper. Rows the file does not hold show
// black, or the palette's first colour. Other layouts (64 bits, embedded JPEG or PNG, OS/2
// Huffman and RLE24) are refused with a text naming them. Throws Error naming the file when
// it cannot be opened, is not a BMP, declares a size above the bounds or cannot be decoded.
// `colourProfile`, when given, receives the ICC profile a V5 header embeds (empty when there
// is none, when it lies outside the file or is larger than kMaxColourProfileBytes); a linked
// profile names a file and is never followed. `stop` set while the rows are read ends the
// reading with ThrowDecodingStopped. `opened`, when given, is the file already open (read from
// its start, left open).
[[nodiscard]] QImage ReadBmp(const QString &path, QByteArray *colourProfile = nullptr,
                             const StopFlag *stop = nullptr, std::FILE *opened = nullptr);

// The width and height that the BMP header at the device's position declares (OS/2 and
// Windows headers; the sides as absolute values). False when the header is unusable.
[[nodiscard]] bool ReadBmpDeclaredSize(QIODevice &device, qint64 *width, qint64 *height);

} // namespace quiltana
