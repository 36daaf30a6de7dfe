#pragma once

#include "error.h"
#include "paths.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <atomic>
#include <cstdio>
#include <memory>

namespace quiltana {

// Pictures larger than this are refused before any pixel memory is taken: a decoded picture
// is held as 24-bit RGB, so this bound keeps one picture below about 600 MB.
inline constexpr qint64 kMaxPicturePixels = 200'000'000;
inline constexpr int kMaxPictureSide = 65535;

// Decoding costs time in proportion to the pixels a file declares, not to its bytes: a file of
// a few hundred bytes may declare 200 million pixels. So a file of n bytes may declare at most
// kFreePicturePixels + kMaxPixelsPerFileByte * n pixels. Real pictures stay far below: a flat
// baseline JPEG packs about 250 pixels into a byte, a flat RGB PNG about 350 and a blank 1-bit
// PNG, the most compact real picture there is, about 8000 (and then only above 16 megapixels).
// Every decode is thereby bounded by a fixed amount of work and memory per byte of its file.
inline constexpr qint64 kFreePicturePixels = 16'000'000;
inline constexpr qint64 kMaxPixelsPerFileByte = 2048;

// Work copies are 200 pixels high; a picture wider than 20:1 would make them enormous (a tiny
// file declaring 5000 x 1 pixels, a million pixels wide). Above this width the width stays at
// it and the height follows the picture's aspect ratio instead (at least one pixel).
inline constexpr int kMaxWorkCopyWidth = 4000;

// Set by whoever waits for a decoding that is no longer wanted (a print that was stopped or
// failed): the decoders look at it between rows, and libjpeg between rows of blocks while it
// reads the scans of a progressive file, and then give up with DecodingStoppedText.
using StopFlag = std::atomic<bool>;

[[nodiscard]] inline bool StopAsked(const StopFlag *stop) noexcept
{
    return stop && stop->load(std::memory_order_relaxed);
}

// Throws PictureError naming the file whose decoding gave up because it was asked to stop.
[[noreturn]] void ThrowDecodingStopped(const QString &path);

// Decodes a picture file of the given kind into a QImage::Format_RGB888 image, stood upright
// as its EXIF orientation says (JPEG, PNG), its colours converted to sRGB through the colour
// profile embedded in the file and its transparency laid onto white paper. JPEG and PNG go
// through libjpeg and libpng directly, BMP through the program's own reader (bmpreader.h). A
// file that cannot be opened, is corrupt, truncated or unsupported, or declares a size above
// the bounds throws Error whose text names the file and the reason; `stop` set meanwhile ends
// the decoding with ThrowDecodingStopped.
[[nodiscard]] QImage DecodePicture(const QString &path, PictureKind kind, const StopFlag *stop = nullptr);

// As DecodePicture, for a picture that will be shown no larger than minWidth x minHeight:
// a JPEG may be decoded at a reduced DCT scale whose output still holds at least that size in
// both directions. `fullWidth`/`fullHeight` receive the picture's own size, upright.
[[nodiscard]] QImage DecodePictureForSize(const QString &path, PictureKind kind, int minWidth,
                                          int minHeight, int *fullWidth, int *fullHeight);

// The work copy of a picture: `height` rows and trunc(height * w / h) columns (at least one),
// w x h being the picture's own size upright, resampled as Resample does with Enlarge::Repeat
// (reduced through the filter, enlarged by repeating pixels). Rows are sampled while the decoder delivers them (a JPEG at the smallest DCT scale
// that still holds the work copy), so a large photograph never has to be held whole; a
// picture whose EXIF orientation turns or mirrors it is sampled as stored and its work copy
// stood upright. Throws Error as
// DecodePicture does, and also when the work copy itself would exceed kMaxPicturePixels.
// A height below 1 gives a null image.
[[nodiscard]] QImage DecodeWorkCopyImage(const QString &path, PictureKind kind, int height);

// The size of the work copy of a picture of fullWidth x fullHeight for a work copy `height`
// pixels high: trunc(height * w / h) wide (at least 1) and `height` high, unless that is wider
// than kMaxWorkCopyWidth: then kMaxWorkCopyWidth wide and trunc(kMaxWorkCopyWidth * h / w)
// high (at least 1).
[[nodiscard]] QSize WorkCopySize(int height, int fullWidth, int fullHeight);

// ---- Shared by the JPEG and PNG decoders -------------------------------------------------

// Receives a decoded picture row by row, top to bottom, as RGB888. Its functions are called
// from inside the C decoders' error regions, which a C++ exception must never cross, so they
// report failure by their results and never throw.
class RowSink {
public:
    virtual ~RowSink() = default;

    // The smallest output that serves the sink for a picture of fullWidth x fullHeight; a
    // decoder that can reduce while decoding may deliver anything that holds it.
    [[nodiscard]] virtual QSize minimumOutput(int fullWidth, int fullHeight) const noexcept
    {
        return QSize(fullWidth, fullHeight);
    }
    // The decoder will deliver `height` rows of `width` pixels of a picture whose own size is
    // fullWidth x fullHeight. Returns nullptr when ready, or the reason it cannot take them.
    [[nodiscard]] virtual const char *start(int width, int height, int fullWidth,
                                            int fullHeight) noexcept = 0;
    // Where row y (width * 3 bytes) is to be written; then rowDone(y) follows.
    [[nodiscard]] virtual unsigned char *rowBuffer(int y) noexcept = 0;
    virtual void rowDone(int y) noexcept { (void)y; }
    // Whether every rowBuffer stays valid until the end, so rows can be filled in any order.
    [[nodiscard]] virtual bool keepsRows() const noexcept { return false; }
    // Told by the decoder, before anything else, the EXIF orientation of the picture (1 when
    // it has none) and its stored size: answers the sink that is to take the rows, this one or
    // one that collects the stored picture whole, to be stood upright once decoded.
    [[nodiscard]] virtual RowSink *sinkFor(int exifOrientation, int fullWidth, int fullHeight) noexcept
    {
        (void)exifOrientation;
        (void)fullWidth;
        (void)fullHeight;
        return this;
    }

    // The flag that asks the decoder feeding this sink to give up (none: it never does).
    void setStop(const StopFlag *stop) noexcept { stop_ = stop; }
    [[nodiscard]] const StopFlag *stop() const noexcept { return stop_; }

private:
    const StopFlag *stop_ = nullptr;
};

// Collects the decoded rows into one RGB888 image, as stored; remembers the EXIF orientation
// the decoder reported, so that take() answers the picture upright.
class WholePictureSink final : public RowSink {
public:
    // A valid `minimum` lets a JPEG be reduced while decoding to no less than it, in the
    // upright picture's terms.
    explicit WholePictureSink(QSize minimum = QSize()) : minimum_(minimum) {}

    [[nodiscard]] QSize minimumOutput(int fullWidth, int fullHeight) const noexcept override;
    [[nodiscard]] const char *start(int width, int height, int, int) noexcept override;
    [[nodiscard]] unsigned char *rowBuffer(int y) noexcept override { return bits_ + stride_ * y; }
    [[nodiscard]] bool keepsRows() const noexcept override { return true; }
    [[nodiscard]] RowSink *sinkFor(int exifOrientation, int, int) noexcept override
    {
        orientation_ = exifOrientation;
        return this;
    }

    [[nodiscard]] int exifOrientation() const noexcept { return orientation_; }
    // The picture stood upright (null when memory for that could not be had).
    [[nodiscard]] QImage takeUpright();

private:
    QSize minimum_;
    int orientation_ = 1;
    QImage image_;
    uchar *bits_ = nullptr;
    qsizetype stride_ = 0;
};

struct FileCloser {
    void operator()(std::FILE *file) const noexcept { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens a picture file for reading, its name in the platform's file-name encoding. Throws
// Error naming the file when it cannot be opened or is a folder.
[[nodiscard]] FilePtr OpenPictureFile(const QString &path);

// Throws Error naming the file when `path` is a folder, or exists but is not a file (a named
// pipe, device or socket, which could block or never end); a missing file is left to the open.
void CheckPictureFileType(const QString &path);

// Whether a picture of the declared size stays within the bounds (no side above
// kMaxPictureSide, at most kMaxPicturePixels in all). Empty sizes are the decoders' business.
[[nodiscard]] bool PictureSizeAllowed(qint64 width, qint64 height) noexcept;
// The same, and at most kFreePicturePixels + kMaxPixelsPerFileByte * fileBytes pixels.
[[nodiscard]] bool PictureSizeAllowed(qint64 width, qint64 height, qint64 fileBytes) noexcept;

// Throws PictureError "<path>: 写真が大きすぎます (<size>。<the bound it breaks>)" for a picture
// of the declared size in a file of fileBytes bytes. `maxSide` is the decoder's bound on a side
// where it is below kMaxPictureSide (libjpeg's).
[[noreturn]] void ThrowPictureTooLarge(const QString &path, qint64 width, qint64 height, qint64 fileBytes,
                                       qint64 maxSide = kMaxPictureSide);

// The length of the file in bytes (0 when it cannot be told).
[[nodiscard]] qint64 PictureFileBytes(std::FILE *file) noexcept;

// An error about one picture file: its text is FileErrorText(path, reason, detail), "<path>:
// <reason> (<detail>)"; the reason and the detail are kept apart, so that an error met while
// reading a stand-in (a work copy) can name the user's picture.
class PictureError : public Error {
public:
    PictureError(const QString &path, const QString &reason, const QString &detail = QString());
    [[nodiscard]] QString reason() const { return reason_; }
    [[nodiscard]] QString detail() const { return detail_; }

private:
    QString reason_;
    QString detail_;
};

// Throws PictureError "<path>: <reason>", with " (<detail>)" when there is one.
[[noreturn]] void ThrowPictureError(const QString &path, const QString &reason, const QString &detail = QString());

// The reasons that more than one decoder gives, in the user's language.
namespace reasons {
inline constexpr const char *kCannotOpen = "ファイルを開けません";
inline constexpr const char *kCannotRead = "ファイルを読めません";
inline constexpr const char *kEmpty = "ファイルが空です";
inline constexpr const char *kTruncated = "ファイルが途中で切れています";
inline constexpr const char *kNoMemory = "メモリが足りません";
inline constexpr const char *kNoMemoryForPicture = "メモリが足りないため写真を読み込めません";
inline constexpr const char *kNoMemoryForWorkCopy = "メモリが足りないため作業ファイルを作れません";
inline constexpr const char *kNoMemoryToStandUpright = "メモリが足りないため写真の向きを直せません";
inline constexpr const char *kNoMemoryToTurn = "メモリが足りないため写真を回転できません";
} // namespace reasons

// A reason above (UTF-8) as a QString.
[[nodiscard]] inline QString Reason(const char *text) { return QString::fromUtf8(text); }

} // namespace quiltana
