#include "decodecost.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>

#include "bmpreader.h"
#include "decode.h"
#include "paths.h"

namespace quiltana {

namespace {

quint32 bigEndian(const uchar *p, int bytes)
{
    quint32 value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | p[i];
    return value;
}

// What a decoding of a picture whose header cannot be read may hold: as much as any picture
// within the bounds, so that it never runs beside another large one.
constexpr qint64 kWorstHeldBytes = kMaxPicturePixels * 4;

// What a JPEG decoding holds beyond a few rows: a progressive file, and a sequential file whose
// first scan does not carry every component, keep every DCT coefficient (two bytes each) until
// the last scan, whatever the scale they are decoded at. The segments before the frame header
// and between it and the first scan are walked whatever their number.
qint64 heldBytesWhileDecodingJpeg(QFile &file)
{
    uchar head[4] = {};
    if (file.read(reinterpret_cast<char *>(head), 2) != 2 || head[0] != 0xFF || head[1] != 0xD8)
        return kWorstHeldBytes;
    qint64 coefficientBytes = -1; // known once the frame header was read
    bool progressive = false;
    int components = 0;
    for (;;) {
        if (file.read(reinterpret_cast<char *>(head), 4) != 4 || head[0] != 0xFF)
            return kWorstHeldBytes;
        const uchar marker = head[1];
        const qint64 length = bigEndian(head + 2, 2);
        if (length < 2)
            return kWorstHeldBytes;
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (coefficientBytes >= 0)
                return kWorstHeldBytes; // a second frame header
            progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
            uchar frameHeader[6] = {};
            if (file.read(reinterpret_cast<char *>(frameHeader), 6) != 6)
                return kWorstHeldBytes;
            const qint64 height = bigEndian(frameHeader + 1, 2);
            const qint64 width = bigEndian(frameHeader + 3, 2);
            components = frameHeader[5];
            if (components < 1 || components > 4 || length != 8 + 3 * components)
                return kWorstHeldBytes;
            uchar sampling[4 * 3] = {};
            if (file.read(reinterpret_cast<char *>(sampling), components * 3) != components * 3)
                return kWorstHeldBytes;
            int hMax = 1, vMax = 1;
            for (int c = 0; c < components; ++c) {
                hMax = std::max(hMax, sampling[c * 3 + 1] >> 4);
                vMax = std::max(vMax, sampling[c * 3 + 1] & 15);
            }
            qint64 blocks = 0;
            for (int c = 0; c < components; ++c) {
                const qint64 h = std::max(1, sampling[c * 3 + 1] >> 4);
                const qint64 v = std::max(1, sampling[c * 3 + 1] & 15);
                const qint64 columns = (width * h + hMax - 1) / hMax;
                const qint64 rows = (height * v + vMax - 1) / vMax;
                // Each component is padded to whole MCUs: up to hMax x vMax blocks more.
                blocks += ((columns + 7) / 8 + hMax) * ((rows + 7) / 8 + vMax);
            }
            coefficientBytes = blocks * 64 * 2;
            continue;
        }
        if (marker == 0xDA) {
            if (coefficientBytes < 0)
                return kWorstHeldBytes;
            uchar count = 0;
            if (!file.getChar(reinterpret_cast<char *>(&count)))
                return kWorstHeldBytes;
            return progressive || count < components ? coefficientBytes : 0;
        }
        if (marker == 0xD9 || !file.seek(file.pos() + length - 2))
            return kWorstHeldBytes;
    }
}

} // namespace

qint64 HeldBytesWhileDecoding(const QString &path)
{
    // Only regular files are looked into: an empty cell has no path, and a pipe named like a
    // picture would block the read (the decoder refuses both with an error of its own).
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return 0;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0; // the decoder cannot open it either, and reports that
    // A picture is refused when it declares more than its file can hold (PictureSizeAllowed),
    // so no decoding holds more than that either.
    switch (pictureKindOf(path)) {
    case PictureKind::Png: {
        // signature, IHDR length and type, then width, height, depth, colour, compression,
        // filter, interlace
        uchar head[29] = {};
        if (file.read(reinterpret_cast<char *>(head), 29) != 29)
            return kWorstHeldBytes;
        const qint64 w = bigEndian(head + 16, 4);
        const qint64 h = bigEndian(head + 20, 4);
        if (!PictureSizeAllowed(w, h, file.size()))
            return 0; // refused before anything is held
        if (head[28] != 0)
            return w * h * 3;
        // An eXIf chunk before the picture data may call for the picture to be turned, which
        // collects it whole.
        for (qint64 at = 33;;) {
            uchar chunk[8] = {};
            if (!file.seek(at) || file.read(reinterpret_cast<char *>(chunk), 8) != 8)
                return 0; // the decoder fails there too
            if (std::memcmp(chunk + 4, "IDAT", 4) == 0 || std::memcmp(chunk + 4, "IEND", 4) == 0)
                return 0;
            if (std::memcmp(chunk + 4, "eXIf", 4) == 0)
                return w * h * 3;
            at += 12 + static_cast<qint64>(bigEndian(chunk, 4));
        }
    }
    case PictureKind::Bmp: {
        qint64 w = 0, h = 0;
        if (!ReadBmpDeclaredSize(file, &w, &h))
            return kWorstHeldBytes;
        return PictureSizeAllowed(w, h, file.size()) ? w * h * 4 : 0;
    }
    case PictureKind::Jpeg:
        return std::min(heldBytesWhileDecodingJpeg(file), kWorstHeldBytes);
    case PictureKind::None:
        break;
    }
    return 0;
}


} // namespace quiltana
