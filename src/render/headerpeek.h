#pragma once

#include <QIODevice>

#include "paths.h"

namespace quiltana {

// What a picture file's header declares, read without decoding a pixel: the one place where
// the program reads picture headers by hand (the decoders leave theirs to libjpeg and libpng).
struct PictureHeader {
    // Whether everything below that the kind has was read. When false, the fields hold
    // whatever was read before the header ended or went wrong, and mean nothing.
    bool complete = false;
    // The declared size, as stored (a BMP's sides as absolute values).
    qint64 width = 0;
    qint64 height = 0;

    // JPEG: from the frame header (SOFn) and the header of the first scan.
    bool progressive = false;  // SOF2, SOF6, SOF10 or SOF14; every other frame is sequential
    int components = 0;        // 1..4
    int horizontalSampling[4] = {}; // each component's factors as stored (0..15)
    int verticalSampling[4] = {};
    bool firstScanHasEveryComponent = false;

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
// allow seeking. JPEG: the segments up to the first scan, however many come before it; the
// frame header must come before the scan, only once, with 1 to 4 components and the length
// that fits them. PNG: the IHDR chunk where it stands in every PNG, right after the signature
// (neither the signature nor the chunk's type is checked: the decoder refuses files without
// them), then the chunk headers from the signature on up to IDAT or IEND for eXIf and tRNS
// chunks.
// BMP: the file and info headers, as ReadBmp reads them. PictureKind::None reads nothing.
[[nodiscard]] PictureHeader PeekPictureHeader(QIODevice &device, PictureKind kind);

// The unsigned number in `bytes` (1..4) bytes at p, most significant first, as JPEG and PNG
// store their numbers.
[[nodiscard]] quint32 BigEndian(const uchar *p, int bytes);

} // namespace quiltana
