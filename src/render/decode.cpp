#include "decode.h"

#include "bmpreader.h"
#include "colour.h"
#include "exif.h"
#include "jpegdecoder.h"
#include "pngdecoder.h"
#include "scale.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

namespace quiltana {

namespace {

// Resamples the work copy out of the rows as they arrive: reduced through the filter, enlarged
// by repeating pixels, as Resample does on a whole picture. Only the few source rows the filter
// spans are held at a time. A picture that its EXIF orientation turns or mirrors is sampled as
// stored, into the work copy's size as stored, and only the work copy is stood upright: a
// mirror or a quarter turn of the picture moves the filter's centred taps with it.
class StretchSink final : public RowSink {
public:
    explicit StretchSink(int height) : height_(height) {}

    [[nodiscard]] RowSink *sinkFor(int exifOrientation, int fullWidth, int fullHeight) noexcept override
    {
        orientation_ = exifOrientation;
        // Sized by the picture's own upright size, as an upright picture's work copy is: the
        // reduced decode's rounded sides could make it a column narrower or wider.
        const QSize upright = ExifUprightSize(fullWidth, fullHeight, exifOrientation);
        const QSize copy = WorkCopySize(height_, upright.width(), upright.height());
        stored_ = ExifSwapsSides(exifOrientation) ? copy.transposed() : copy;
        return this;
    }

    [[nodiscard]] QSize minimumOutput(int fullWidth, int fullHeight) const noexcept override
    {
        return stored_.isValid() ? stored_ : WorkCopySize(height_, fullWidth, fullHeight);
    }

    [[nodiscard]] const char *start(int width, int height, int fullWidth,
                                    int fullHeight) noexcept override
    {
        const QSize out = minimumOutput(fullWidth, fullHeight);
        if (!sampler_.start(width, height, out.width(), out.height(), Enlarge::Repeat) || sampler_.image().isNull())
            return reasons::kNoMemoryForWorkCopy;
        return nullptr;
    }

    [[nodiscard]] unsigned char *rowBuffer(int) noexcept override { return sampler_.rowBuffer(); }

    void rowDone(int y) noexcept override { sampler_.rowDone(y); }

    [[nodiscard]] QImage take(const QString &path)
    {
        if (orientation_ == kExifUpright)
            return std::move(sampler_.image());
        QImage copy = ExifUpright(sampler_.image(), orientation_);
        if (copy.isNull())
            ThrowPictureError(path, Reason(reasons::kNoMemoryForWorkCopy));
        return copy;
    }

private:
    int height_;
    int orientation_ = kExifUpright;
    QSize stored_; // the work copy's size as the picture is stored, once the decoder told it
    RowResampler sampler_;
};

// A BMP, its colours converted to sRGB through the profile its header may embed.
QImage ReadBmpInSrgb(const QString &path, const StopFlag *stop = nullptr, std::FILE *opened = nullptr)
{
    QByteArray profile;
    QImage image = ReadBmp(path, &profile, stop, opened);
    if (profile.isEmpty() || image.isNull())
        return image;
    const SrgbConverter converter = SrgbConverter::ForProfile(
        reinterpret_cast<const unsigned char *>(profile.constData()), static_cast<std::size_t>(profile.size()),
        DecodedColours::Rgb);
    if (!converter.isIdentity())
        for (int y = 0; y < image.height(); ++y)
            converter.convertRgb(image.scanLine(y), image.width());
    return image;
}

QImage DecodeThroughSink(const QString &path, PictureKind kind, WholePictureSink &sink,
                         int *fullWidth, int *fullHeight, std::FILE *opened = nullptr)
{
    switch (kind) {
    case PictureKind::Jpeg:
    case PictureKind::Png: {
        if (kind == PictureKind::Jpeg)
            DecodeJpeg(path, sink, fullWidth, fullHeight, opened);
        else
            DecodePng(path, sink, fullWidth, fullHeight, opened);
        if (ExifSwapsSides(sink.exifOrientation()) && fullWidth && fullHeight)
            std::swap(*fullWidth, *fullHeight);
        QImage upright = sink.takeUpright();
        if (upright.isNull())
            ThrowPictureError(path, Reason(reasons::kNoMemoryToStandUpright));
        return upright;
    }
    case PictureKind::Bmp: {
        QImage image = ReadBmpInSrgb(path, sink.stop(), opened);
        if (fullWidth)
            *fullWidth = image.width();
        if (fullHeight)
            *fullHeight = image.height();
        return image;
    }
    case PictureKind::None:
        break;
    }
    ThrowPictureError(path, Reason(reasons::kNotAPicture));
}

} // namespace

QSize WholePictureSink::minimumOutput(int fullWidth, int fullHeight) const noexcept
{
    if (!minimum_.isValid())
        return QSize(fullWidth, fullHeight);
    // The minimum is the upright picture's; the decoder delivers the stored one.
    const QSize stored = ExifSwapsSides(orientation_) ? minimum_.transposed() : minimum_;
    return QSize(std::min(stored.width(), fullWidth), std::min(stored.height(), fullHeight));
}

const char *WholePictureSink::start(int width, int height, int, int) noexcept
{
    try {
        image_ = QImage(width, height, QImage::Format_RGB888);
    } catch (const std::bad_alloc &) {
        image_ = QImage();
    }
    if (image_.isNull())
        return reasons::kNoMemoryForPicture;
    bits_ = image_.bits();
    stride_ = image_.bytesPerLine();
    return nullptr;
}

QImage WholePictureSink::takeUpright()
{
    QImage stored = std::move(image_);
    if (orientation_ == kExifUpright || stored.isNull())
        return stored;
    return ExifUpright(stored, orientation_);
}

QImage DecodePicture(const QString &path, PictureKind kind, const StopFlag *stop, std::FILE *opened)
{
    WholePictureSink sink;
    sink.setStop(stop);
    return DecodeThroughSink(path, kind, sink, nullptr, nullptr, opened);
}

QImage DecodePictureForSize(const QString &path, PictureKind kind, int minWidth, int minHeight,
                            int *fullWidth, int *fullHeight)
{
    WholePictureSink sink(QSize(std::max(minWidth, 1), std::max(minHeight, 1)));
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
        return sink.take(path);
    case PictureKind::Png:
        DecodePng(path, sink, nullptr, nullptr);
        return sink.take(path);
    case PictureKind::Bmp: {
        const QImage full = ReadBmpInSrgb(path);
        const QSize size = WorkCopySize(height, full.width(), full.height());
        QImage copy = Resample(full, size.width(), size.height(), Enlarge::Repeat);
        if (copy.isNull())
            ThrowPictureError(path, Reason(reasons::kNoMemoryForWorkCopy));
        return copy;
    }
    case PictureKind::None:
        break;
    }
    ThrowPictureError(path, Reason(reasons::kNotAPicture));
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

} // namespace quiltana
