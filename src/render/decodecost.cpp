#include "decodecost.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include "decode.h"
#include "headerpeek.h"
#include "paths.h"

namespace quiltana {

namespace {

// What a decoding of a picture whose header cannot be read may hold: as much as any picture
// within the bounds, so that it never runs beside another large one.
constexpr qint64 kWorstHeldBytes = kMaxPicturePixels * 4;

// What a JPEG decoding holds beyond a few rows: a progressive file, and a sequential file whose
// first scan does not carry every component, keep every DCT coefficient (two bytes each) until
// the last scan, whatever the scale they are decoded at.
qint64 heldBytesWhileDecodingJpeg(const PictureHeader &header)
{
    if (!header.progressive && header.firstScanHasEveryComponent)
        return 0;
    int hMax = 1, vMax = 1;
    for (int c = 0; c < header.components; ++c) {
        hMax = std::max(hMax, header.horizontalSampling[c]);
        vMax = std::max(vMax, header.verticalSampling[c]);
    }
    qint64 blocks = 0;
    for (int c = 0; c < header.components; ++c) {
        const qint64 h = std::max(1, header.horizontalSampling[c]);
        const qint64 v = std::max(1, header.verticalSampling[c]);
        const qint64 columns = (header.width * h + hMax - 1) / hMax;
        const qint64 rows = (header.height * v + vMax - 1) / vMax;
        // Each component is padded to whole MCUs: up to hMax x vMax blocks more.
        blocks += ((columns + 7) / 8 + hMax) * ((rows + 7) / 8 + vMax);
    }
    return blocks * 64 * 2;
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
    const PictureKind kind = pictureKindOf(path);
    if (kind == PictureKind::None)
        return 0;
    const PictureHeader header = PeekPictureHeader(file, kind);
    if (!header.complete)
        return kWorstHeldBytes;
    const qint64 w = header.width;
    const qint64 h = header.height;
    // A picture is refused when it declares more than its file can hold (PictureSizeAllowed),
    // so no decoding holds more than that either.
    switch (kind) {
    case PictureKind::Png:
        if (!PictureSizeAllowed(w, h, file.size()))
            return 0; // refused before anything is held
        // An interlaced picture is collected whole, and so is one that an eXIf chunk before
        // the picture data may call to be turned. An interlaced one with transparency is
        // collected as RGBA apart from the sink, which may collect it again if turned.
        if (header.interlaced && header.transparency)
            return w * h * 4 + (header.exifChunkAt >= 0 ? w * h * 3 : 0);
        return header.interlaced || header.exifChunkAt >= 0 ? w * h * 3 : 0;
    case PictureKind::Bmp:
        // Three bytes a pixel of RGB, and one of alpha (masked pictures) or of palette indices
        // (run-length coded ones).
        return PictureSizeAllowed(w, h, file.size()) ? w * h * 4 : 0;
    case PictureKind::Jpeg:
        return std::min(heldBytesWhileDecodingJpeg(header), kWorstHeldBytes);
    case PictureKind::None:
        break;
    }
    return 0;
}

} // namespace quiltana
