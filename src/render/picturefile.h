#pragma once

#include "error.h"

#include <QString>

#include <atomic>
#include <cstdio>
#include <memory>

namespace quiltana {

// What every decoder shares, below all of them: the bounds on a picture's declared size, the
// opening of its file, the stop flag and the errors that name the file. The decoders
// (jpegdecoder, pngdecoder, bmpreader) use this; the dispatcher (decode.h) uses them.

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

// Set by whoever waits for a decoding that is no longer wanted (a print that was stopped or
// failed): the decoders look at it between rows, and libjpeg between rows of blocks while it
// reads the scans of a progressive file, and then give up with ThrowDecodingStopped.
using StopFlag = std::atomic<bool>;

[[nodiscard]] inline bool StopAsked(const StopFlag *stop) noexcept
{
    return stop && stop->load(std::memory_order_relaxed);
}

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

// The length of the file in bytes (0 when it cannot be told).
[[nodiscard]] qint64 PictureFileBytes(std::FILE *file) noexcept;

// Whether a picture of the declared size stays within the bounds (no side above
// kMaxPictureSide, at most kMaxPicturePixels in all). Empty sizes are the decoders' business.
[[nodiscard]] bool PictureSizeAllowed(qint64 width, qint64 height) noexcept;
// The same, and at most kFreePicturePixels + kMaxPixelsPerFileByte * fileBytes pixels.
[[nodiscard]] bool PictureSizeAllowed(qint64 width, qint64 height, qint64 fileBytes) noexcept;

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

// Throws PictureError "<path>: 写真が大きすぎます (<size>。<the bound it breaks>)" for a picture
// of the declared size in a file of fileBytes bytes. `maxSide` is the decoder's bound on a side
// where it is below kMaxPictureSide (libjpeg's).
[[noreturn]] void ThrowPictureTooLarge(const QString &path, qint64 width, qint64 height, qint64 fileBytes,
                                       qint64 maxSide = kMaxPictureSide);

// Throws PictureError naming the file whose decoding gave up because it was asked to stop.
[[noreturn]] void ThrowDecodingStopped(const QString &path);

// The reasons that more than one decoder gives, in the user's language.
namespace reasons {
inline constexpr const char *kCannotOpen = "ファイルを開けません";
inline constexpr const char *kCannotRead = "ファイルを読めません";
inline constexpr const char *kEmpty = "ファイルが空です";
inline constexpr const char *kNotAPicture = "写真のファイルとして扱えない種類です";
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
