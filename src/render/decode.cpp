#include "decode.h"

#include "bmpreader.h"
#include "error.h"
#include "jpegdecoder.h"
#include "pngdecoder.h"
#include "scale.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <new>

#include <sys/stat.h>
#include <vector>

namespace quiltana {

namespace {

// Collects the decoded rows into one RGB888 image.
class ImageSink final : public RowSink {
public:
    // A valid `minimum` lets a JPEG be reduced while decoding to no less than it.
    explicit ImageSink(QSize minimum = QSize()) : minimum_(minimum) {}

    [[nodiscard]] QSize minimumOutput(int fullWidth, int fullHeight) const noexcept override
    {
        if (!minimum_.isValid())
            return QSize(fullWidth, fullHeight);
        return QSize(std::min(minimum_.width(), fullWidth), std::min(minimum_.height(), fullHeight));
    }

    [[nodiscard]] const char *start(int width, int height, int, int) noexcept override
    {
        try {
            image_ = QImage(width, height, QImage::Format_RGB888);
        } catch (const std::bad_alloc &) {
            image_ = QImage();
        }
        if (image_.isNull())
            return "not enough memory for the picture";
        bits_ = image_.bits();
        stride_ = image_.bytesPerLine();
        return nullptr;
    }

    [[nodiscard]] unsigned char *rowBuffer(int y) noexcept override { return bits_ + stride_ * y; }
    [[nodiscard]] bool keepsRows() const noexcept override { return true; }

    [[nodiscard]] QImage take() { return std::move(image_); }

private:
    QSize minimum_;
    QImage image_;
    uchar *bits_ = nullptr;
    qsizetype stride_ = 0;
};

// Samples the work copy out of the rows as they arrive: destination row y takes source row
// y * sourceHeight / height and column x source column x * sourceWidth / width, exactly as
// StretchNearest does on a whole picture. Only one source row is held at a time.
class StretchSink final : public RowSink {
public:
    explicit StretchSink(int height) : height_(height) {}

    [[nodiscard]] QSize minimumOutput(int fullWidth, int fullHeight) const noexcept override
    {
        return WorkCopySize(height_, fullWidth, fullHeight);
    }

    [[nodiscard]] const char *start(int width, int height, int fullWidth,
                                    int fullHeight) noexcept override
    {
        const QSize out = WorkCopySize(height_, fullWidth, fullHeight);
        if (!sampler_.start(width, height, out.width(), out.height()) || sampler_.image().isNull())
            return "not enough memory for the work copy";
        return nullptr;
    }

    [[nodiscard]] unsigned char *rowBuffer(int) noexcept override { return sampler_.rowBuffer(); }

    void rowDone(int y) noexcept override { sampler_.rowDone(y); }

    [[nodiscard]] QImage take() { return std::move(sampler_.image()); }

private:
    int height_;
    NearestRowSampler sampler_;
};

QImage BmpAsRgb888(const QString &path)
{
    QImage image = ReadBmp(path).convertToFormat(QImage::Format_RGB888);
    if (image.isNull())
        ThrowPictureError(path, QStringLiteral("not enough memory for the picture"));
    return image;
}

QImage DecodeThroughSink(const QString &path, PictureKind kind, ImageSink &sink, int *fullWidth,
                         int *fullHeight)
{
    switch (kind) {
    case PictureKind::Jpeg:
        DecodeJpeg(path, sink, fullWidth, fullHeight);
        return sink.take();
    case PictureKind::Png:
        DecodePng(path, sink, fullWidth, fullHeight);
        return sink.take();
    case PictureKind::Bmp: {
        QImage image = BmpAsRgb888(path);
        if (fullWidth)
            *fullWidth = image.width();
        if (fullHeight)
            *fullHeight = image.height();
        return image;
    }
    case PictureKind::None:
        break;
    }
    ThrowPictureError(path, QStringLiteral("not a picture file"));
}

} // namespace

QImage DecodePicture(const QString &path, PictureKind kind)
{
    ImageSink sink;
    return DecodeThroughSink(path, kind, sink, nullptr, nullptr);
}

QImage DecodePictureForSize(const QString &path, PictureKind kind, int minWidth, int minHeight,
                            int *fullWidth, int *fullHeight)
{
    ImageSink sink(QSize(std::max(minWidth, 1), std::max(minHeight, 1)));
    return DecodeThroughSink(path, kind, sink, fullWidth, fullHeight);
}

QImage DecodeWorkCopyImage(const QString &path, PictureKind kind, int height)
{
    if (height < 1)
        return QImage();
    StretchSink sink(height);
    switch (kind) {
    case PictureKind::Jpeg:
        DecodeJpeg(path, sink, nullptr, nullptr);
        return sink.take();
    case PictureKind::Png:
        DecodePng(path, sink, nullptr, nullptr);
        return sink.take();
    case PictureKind::Bmp: {
        const QImage full = ReadBmp(path);
        const QSize size = WorkCopySize(height, full.width(), full.height());
        QImage copy = StretchNearest(full, size.width(), size.height());
        if (copy.isNull())
            ThrowPictureError(path, QStringLiteral("not enough memory for the work copy"));
        return copy;
    }
    case PictureKind::None:
        break;
    }
    ThrowPictureError(path, QStringLiteral("not a picture file"));
}

QSize WorkCopySize(int height, int fullWidth, int fullHeight)
{
    if (height < 1)
        return QSize(0, 0);
    if (fullWidth < 1 || fullHeight < 1)
        return QSize(1, height);
    // trunc(height * w / h) in double precision, at least 1.
    const double width = std::trunc(height * (static_cast<double>(fullWidth) / fullHeight));
    if (width <= kMaxWorkCopyWidth)
        return QSize(static_cast<int>(std::max(width, 1.0)), height);
    const double followed = std::trunc(kMaxWorkCopyWidth * (static_cast<double>(fullHeight) / fullWidth));
    return QSize(kMaxWorkCopyWidth, static_cast<int>(std::clamp(followed, 1.0, double(height))));
}

void CheckPictureFileType(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        ThrowPictureError(path, QStringLiteral("is a folder, not a picture file"));
    // Opening a named pipe waits for a writer, and a device may never end: only files are read.
    if (info.exists() && !info.isFile())
        ThrowPictureError(path, QStringLiteral("is not a file but a device, pipe or socket"));
}

FilePtr OpenPictureFile(const QString &path)
{
    CheckPictureFileType(path);
    errno = 0;
    FilePtr file(std::fopen(QFile::encodeName(path).constData(), "rb"));
    if (!file) {
        const int error = errno;
        ThrowPictureError(path, QStringLiteral("cannot open the file (%1)")
                                    .arg(QString::fromLocal8Bit(std::strerror(error))));
    }
    return file;
}

bool PictureSizeAllowed(qint64 width, qint64 height) noexcept
{
    return width <= kMaxPictureSide && height <= kMaxPictureSide && width * height <= kMaxPicturePixels;
}

bool PictureSizeAllowed(qint64 width, qint64 height, qint64 fileBytes) noexcept
{
    if (!PictureSizeAllowed(width, height))
        return false;
    // Sides are bounded now, so neither product can overflow.
    return width * height <= kFreePicturePixels + kMaxPixelsPerFileByte * std::max<qint64>(fileBytes, 0);
}

QString PictureTooLargeText(qint64 width, qint64 height, qint64 fileBytes)
{
    if (!PictureSizeAllowed(width, height))
        return PictureTooLargeText(width, height);
    return QStringLiteral("the picture declares %1 x %2 pixels, far more than a file of %3 bytes "
                          "can hold; the file is damaged or made to exhaust the computer")
        .arg(width)
        .arg(height)
        .arg(fileBytes);
}

qint64 PictureFileBytes(std::FILE *file) noexcept
{
    struct stat info {};
    if (!file || fstat(fileno(file), &info) != 0)
        return 0;
    return static_cast<qint64>(info.st_size);
}

PictureError::PictureError(const QString &path, const QString &reason)
    : Error(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), reason)), reason_(reason)
{
}

QString PictureTooLargeText(qint64 width, qint64 height)
{
    return QStringLiteral("the picture declares %1 x %2 pixels, more than can be opened (at most "
                          "%3 pixels a side and %4 pixels in all)")
        .arg(width)
        .arg(height)
        .arg(kMaxPictureSide)
        .arg(kMaxPicturePixels);
}

void ThrowPictureError(const QString &path, const QString &reason)
{
    throw PictureError(path, reason);
}

} // namespace quiltana
