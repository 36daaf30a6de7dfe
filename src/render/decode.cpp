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

// trunc(height * w / h) computed in double precision, at least 1.
int WorkCopyWidth(int height, int fullWidth, int fullHeight)
{
    if (fullHeight <= 0)
        return 1;
    const double width = std::trunc(height * (static_cast<double>(fullWidth) / fullHeight));
    return static_cast<int>(std::clamp(width, 1.0, 2147483647.0));
}

bool WorkCopyAllowed(int width, int height)
{
    return static_cast<qint64>(width) * height <= kMaxPicturePixels;
}

const char *const kWorkCopyTooLarge = "the work copy of this picture would be too large";

// Samples the work copy out of the rows as they arrive: destination row y takes source row
// y * sourceHeight / height and column x source column x * sourceWidth / width, exactly as
// StretchNearest does on a whole picture. Only one source row is held at a time.
class StretchSink final : public RowSink {
public:
    explicit StretchSink(int height) : height_(height) {}

    [[nodiscard]] QSize minimumOutput(int fullWidth, int fullHeight) const noexcept override
    {
        return QSize(WorkCopyWidth(height_, fullWidth, fullHeight), height_);
    }

    [[nodiscard]] const char *start(int width, int height, int fullWidth,
                                    int fullHeight) noexcept override
    {
        const int outWidth = WorkCopyWidth(height_, fullWidth, fullHeight);
        if (!WorkCopyAllowed(outWidth, height_))
            return kWorkCopyTooLarge;
        if (!sampler_.start(width, height, outWidth, height_) || sampler_.image().isNull())
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
        const int width = WorkCopyWidth(height, full.width(), full.height());
        if (!WorkCopyAllowed(width, height))
            ThrowPictureError(path, QString::fromLatin1(kWorkCopyTooLarge));
        QImage copy = StretchNearest(full, width, height);
        if (copy.isNull())
            ThrowPictureError(path, QStringLiteral("not enough memory for the work copy"));
        return copy;
    }
    case PictureKind::None:
        break;
    }
    ThrowPictureError(path, QStringLiteral("not a picture file"));
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
    throw Error(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), reason));
}

} // namespace quiltana
