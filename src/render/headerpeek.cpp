#include "headerpeek.h"

#include <cstring>

#include "bmpreader.h"

namespace quiltana {

quint32 BigEndian(const uchar *p, int bytes)
{
    quint32 value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | p[i];
    return value;
}

namespace {

bool readExactly(QIODevice &device, uchar *data, qint64 bytes)
{
    return device.read(reinterpret_cast<char *>(data), bytes) == bytes;
}

void peekPng(QIODevice &device, PictureHeader &header)
{
    // signature, IHDR length and type, then width, height, depth, colour, compression,
    // filter, interlace
    uchar head[29] = {};
    if (!readExactly(device, head, 29))
        return;
    header.width = BigEndian(head + 16, 4);
    header.height = BigEndian(head + 20, 4);
    header.interlaced = head[28] != 0;
    header.transparency = (head[25] & 4) != 0; // grey or RGB with alpha
    header.complete = true;
    // The chunk headers, each followed by its data and checksum; a length above 2^31 - 1 is
    // one that libpng refuses.
    for (qint64 at = 8;;) {
        uchar chunk[8] = {};
        if (!device.seek(at) || !readExactly(device, chunk, 8))
            return;
        const quint32 length = BigEndian(chunk, 4);
        if (length > 0x7fffffffu || std::memcmp(chunk + 4, "IDAT", 4) == 0 || std::memcmp(chunk + 4, "IEND", 4) == 0)
            return;
        if (std::memcmp(chunk + 4, "eXIf", 4) == 0 && header.exifChunkAt < 0) {
            header.exifChunkAt = at;
            header.exifChunkLength = length;
        }
        if (std::memcmp(chunk + 4, "tRNS", 4) == 0)
            header.transparency = true;
        at += 12 + static_cast<qint64>(length);
    }
}

} // namespace

PictureHeader PeekPictureHeader(QIODevice &device, PictureKind kind)
{
    PictureHeader header;
    if (!device.seek(0))
        return header;
    switch (kind) {
    case PictureKind::Png:
        peekPng(device, header);
        break;
    case PictureKind::Bmp:
        header.complete = ReadBmpDeclaredSize(device, &header.width, &header.height);
        break;
    case PictureKind::Jpeg: // read by libjpeg itself (JpegHeldBytesWhileDecoding)
    case PictureKind::None:
        break;
    }
    return header;
}

} // namespace quiltana
