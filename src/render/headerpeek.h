#pragma once

#include <QIODevice>

#include "paths.h"

namespace quiltana {

// What a PNG or BMP file's header declares, read without decoding a pixel, where the decoders
// read it: the one place where the program reads picture headers by hand (the decoders leave
// theirs to libpng; a JPEG's is read by libjpeg alone, JpegHeldBytesWhileDecoding).
struct PictureHeader {
    // Whether everything below that the kind has was read. When false, the fields hold
    // whatever was read before the header ended or went wrong, and mean nothing.
    bool complete = false;
    // The declared size, as stored (a BMP's sides as absolute values).
    qint64 width = 0;
    qint64 height = 0;

    // PNG: from the IHDR chunk and the chunk headers before the picture data.
    bool interlaced = false;
    // An alpha channel (its colour type) or a tRNS chunk (transparent palette entries or a
    // transparent colour): rows are decoded as RGBA.
    bool transparency = false;
    // The first eXIf chunk before IDAT: where its length field is in the file, and its
    // declared length; -1 and 0 when there is none.
    qint64 exifChunkAt = -1;
    quint32 exifChunkLength = 0;
};

// Reads the header of a picture file of the given kind from the start of `device`, which must
// allow seeking. PNG: the IHDR chunk where it stands in every PNG, right after the signature
// (neither the signature nor the chunk's type is checked: the decoder refuses files without
// them), then the chunk headers from the signature on up to IDAT or IEND for eXIf and tRNS
// chunks.
// BMP: the file and info headers, as ReadBmp reads them. PictureKind::Jpeg and
// PictureKind::None read nothing.
[[nodiscard]] PictureHeader PeekPictureHeader(QIODevice &device, PictureKind kind);

// The unsigned number in `bytes` (1..4) bytes at p, most significant first, as JPEG and PNG
// store their numbers.
[[nodiscard]] quint32 BigEndian(const uchar *p, int bytes);

} // namespace quiltana
