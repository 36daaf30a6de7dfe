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

// The segments before the frame header and between it and the first scan are walked
// whatever their number.
void peekJpeg(QIODevice &device, PictureHeader &header)
{
    uchar head[4] = {};
    if (!readExactly(device, head, 2) || head[0] != 0xFF || head[1] != 0xD8)
        return;
    bool frameSeen = false;
    for (;;) {
        if (!readExactly(device, head, 4) || head[0] != 0xFF)
            return;
        const uchar marker = head[1];
        const qint64 length = BigEndian(head + 2, 2);
        if (length < 2)
            return;
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (frameSeen)
                return; // a second frame header
            header.progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
            uchar frameHeader[6] = {};
            if (!readExactly(device, frameHeader, 6))
                return;
            header.height = BigEndian(frameHeader + 1, 2);
            header.width = BigEndian(frameHeader + 3, 2);
            header.components = frameHeader[5];
            if (header.components < 1 || header.components > 4 || length != 8 + 3 * header.components)
                return;
            uchar sampling[4 * 3] = {};
            if (!readExactly(device, sampling, header.components * 3))
                return;
            for (int c = 0; c < header.components; ++c) {
                header.horizontalSampling[c] = sampling[c * 3 + 1] >> 4;
                header.verticalSampling[c] = sampling[c * 3 + 1] & 15;
            }
            frameSeen = true;
            continue;
        }
        if (marker == 0xDA) {
            if (!frameSeen)
                return;
            uchar count = 0;
            if (!readExactly(device, &count, 1))
                return;
            header.firstScanHasEveryComponent = count >= header.components;
            header.complete = true;
            return;
        }
        if (marker == 0xD9 || !device.seek(device.pos() + length - 2))
            return;
    }
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
    case PictureKind::Jpeg:
        peekJpeg(device, header);
        break;
    case PictureKind::Png:
        peekPng(device, header);
        break;
    case PictureKind::Bmp:
        header.complete = ReadBmpDeclaredSize(device, &header.width, &header.height);
        break;
    case PictureKind::None:
        break;
    }
    return header;
}

} // namespace quiltana
