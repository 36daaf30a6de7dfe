#include "decodecost.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include "headerpeek.h"
#include "jpegdecoder.h"
#include "paths.h"
#include "picturefile.h"

namespace quiltana {

namespace {

// What a decoding of a picture whose header cannot be read may hold: as much as any picture
// within the bounds, so that it never runs beside another large one.
constexpr qint64 kWorstHeldBytes = kMaxPicturePixels * 4;

} // namespace

qint64 HeldBytesWhileDecoding(const QString &path)
{
    // Only regular files are looked into: an empty cell has no path, and a pipe named like a
    // picture would block the read (the decoder refuses both with an error of its own).
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return 0;
    const FilePtr handle(std::fopen(QFile::encodeName(path).constData(), "rb"));
    return handle ? HeldBytesWhileDecoding(path, handle.get()) : 0; // else the decoder reports it
}

qint64 HeldBytesWhileDecoding(const QString &path, std::FILE *handle)
{
    if (!handle)
        return 0;
    std::rewind(handle);
    // Opened once: libjpeg reads the stream, the header peek a view of it.
    QFile file;
    if (!file.open(handle, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle))
        return 0; // the decoder cannot read it either, and reports that
    const PictureKind kind = pictureKindOf(path);
    if (kind == PictureKind::None)
        return 0;
    // A JPEG's header is read by libjpeg itself, as its decoding reads it: a walk of the
    // segments of its own could be led elsewhere than libjpeg goes (by a marker without a
    // length, say) and find another frame than the one decoded.
    if (kind == PictureKind::Jpeg)
        return std::min(JpegHeldBytesWhileDecoding(handle).value_or(kWorstHeldBytes), kWorstHeldBytes);
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
        // Only an interlaced picture is collected whole: as RGBA where it has transparency.
        // One that an eXIf chunk turns streams all the same (it is sampled as stored).
        if (!header.interlaced)
            return 0;
        return w * h * (header.transparency ? 4 : 3);
    case PictureKind::Bmp:
        // Three bytes a pixel of RGB, and one of alpha (masked pictures) or of palette indices
        // (run-length coded ones).
        return PictureSizeAllowed(w, h, file.size()) ? w * h * 4 : 0;
    case PictureKind::Jpeg:
    case PictureKind::None:
        break;
    }
    return 0;
}

} // namespace quiltana
