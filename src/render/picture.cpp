#include "picture.h"

#include <QPaintEngine>
#include <QPainter>

#include <cstring>
#include <new>
#include <vector>

#include "decode.h"
#include "error.h"
#include "exif.h"
#include "jpegdecoder.h"
#include "paths.h"
#include "pngdecoder.h"
#include "scale.h"

namespace quiltana {

namespace {

bool hasArea(const Rect &r) { return r.width() > 0 && r.height() > 0; }

// Draws `image` with its top-left corner at (left, top), pixel for pixel.
void drawAtOwnSize(QPainter &canvas, int left, int top, const QImage &image)
{
    const bool smooth = canvas.testRenderHint(QPainter::SmoothPixmapTransform);
    canvas.setRenderHint(QPainter::SmoothPixmapTransform, false);
    canvas.drawImage(QPoint(left, top), image);
    canvas.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
}

// Asks the painter, while it lives, to keep the pictures it draws lossless when it paints on
// paper: the PDF a printer receives stores images as JPEG unless told otherwise, which would
// blur the sharp edges of a PNG or BMP. A JPEG picture may stay JPEG. The screen's back buffer
// is left as it is.
class LosslessOnPaper {
public:
    LosslessOnPaper(QPainter &canvas, PictureKind kind) : canvas_(canvas)
    {
        const QPaintEngine *engine = canvas.paintEngine();
        const bool paper = (canvas.device() && canvas.device()->devType() == QInternal::Printer)
                           || (engine && engine->type() == QPaintEngine::Pdf);
        if (!paper || kind == PictureKind::Jpeg)
            return;
        set_ = true;
        was_ = canvas.testRenderHint(QPainter::LosslessImageRendering);
        canvas.setRenderHint(QPainter::LosslessImageRendering, true);
    }
    ~LosslessOnPaper()
    {
        if (set_)
            canvas_.setRenderHint(QPainter::LosslessImageRendering, was_);
    }
    LosslessOnPaper(const LosslessOnPaper &) = delete;
    LosslessOnPaper &operator=(const LosslessOnPaper &) = delete;

private:
    QPainter &canvas_;
    bool set_ = false;
    bool was_ = false;
};

// Fits a picture into its cell while the decoder delivers it. The picture rectangle comes from
// the picture's own size (stood upright, then turned as the user asked), so it is the same to
// the dot whatever scale the decoder works at; a JPEG is decoded at the smallest DCT scale that
// still gives at least the rectangle's pixels in both directions. The rows are sampled as they
// arrive, so a large photograph is never held whole: one that its EXIF orientation or the
// user's turn turns is sampled as stored, into the rectangle's size as stored, and only the
// sampled picture is turned (the filter's centred taps turn with it).
class FittingSink final : public RowSink {
public:
    FittingSink(const Rect &cell, Turn orientation) : cell_(cell), orientation_(orientation) {}

    [[nodiscard]] RowSink *sinkFor(int exifOrientation, int fullWidth, int fullHeight) noexcept override
    {
        exif_ = exifOrientation;
        const QSize upright = ExifUprightSize(fullWidth, fullHeight, exifOrientation);
        const QSize turned = userTurns() ? upright.transposed() : upright;
        fitted_ = FitPicture(turned.width(), turned.height(), cell_);
        if (fitted_) {
            const QSize rect(fitted_->width(), fitted_->height());
            stored_ = ExifSwapsSides(exifOrientation) != userTurns() ? rect.transposed() : rect;
        }
        return this;
    }

    [[nodiscard]] QSize minimumOutput(int fullWidth, int fullHeight) const noexcept override
    {
        if (!fitted_)
            return QSize(1, 1); // nothing to draw; the rows are still read to find a broken file
        return QSize(std::min(stored_.width(), fullWidth), std::min(stored_.height(), fullHeight));
    }

    // Both decoders call sinkFor before start, so the rectangle is known here.
    [[nodiscard]] const char *start(int width, int height, int, int) noexcept override
    {
        decoded_ = QSize(width, height);
        const int outWidth = fitted_ ? stored_.width() : 0;
        const int outHeight = fitted_ ? stored_.height() : 0;
        // An image that could not be had leaves the picture undrawn, as a failed transfer
        // does; the rows are still read so that a broken file is reported all the same.
        if (!sampler_.start(width, height, outWidth, outHeight, Enlarge::Interpolate))
            return reasons::kNoMemoryForPicture;
        return nullptr;
    }

    [[nodiscard]] unsigned char *rowBuffer(int) noexcept override { return sampler_.rowBuffer(); }

    void rowDone(int y) noexcept override { sampler_.rowDone(y); }

    // The picture in its rectangle once decoded; `path` names it in an error.
    [[nodiscard]] FittedPicture finish(const QString &path)
    {
        FittedPicture result;
        result.rect = fitted_;
        result.decoded = decoded_;
        if (!fitted_)
            return result;
        result.image = std::move(sampler_.image());
        if (result.image.isNull())
            return result; // memory for the picture could not be had: it is left undrawn
        if (exif_ != kExifUpright) {
            result.image = ExifUpright(result.image, exif_);
            if (result.image.isNull())
                ThrowPictureError(path, Reason(reasons::kNoMemoryToStandUpright));
        }
        // The user's turn comes on top of the camera's orientation.
        if (userTurns()) {
            result.image = TurnPicture(result.image, orientation_);
            if (result.image.isNull())
                ThrowPictureError(path, Reason(reasons::kNoMemoryToTurn));
        }
        return result;
    }

private:
    [[nodiscard]] bool userTurns() const noexcept { return orientation_ == Turn::Right || orientation_ == Turn::Left; }

    Rect cell_;
    Turn orientation_;
    int exif_ = kExifUpright;
    std::optional<Rect> fitted_;
    QSize stored_; // the picture rectangle's size in the stored picture's terms
    QSize decoded_;
    RowResampler sampler_;
};

} // namespace

QImage TurnPicture(const QImage &picture, Turn orientation)
{
    const QImage src = picture.format() == QImage::Format_RGB888
                           ? picture
                           : picture.convertToFormat(QImage::Format_RGB888);
    if ((orientation != Turn::Right && orientation != Turn::Left) || src.isNull())
        return src;
    const int w = src.width();
    const int h = src.height();
    QImage turned(h, w, QImage::Format_RGB888);
    if (turned.isNull())
        return turned;
    for (int y = 0; y < h; ++y) {
        const uchar *row = src.constScanLine(y);
        for (int x = 0; x < w; ++x) {
            // Turned right the picture's top row becomes its right column; turned left, its
            // left column read from the bottom up.
            const int tx = orientation == Turn::Right ? h - 1 - y : y;
            const int ty = orientation == Turn::Right ? x : w - 1 - x;
            std::memcpy(turned.scanLine(ty) + static_cast<qsizetype>(tx) * 3, row + static_cast<qsizetype>(x) * 3, 3);
        }
    }
    return turned;
}

std::optional<Rect> FitPicture(int pictureWidth, int pictureHeight, const Rect &cell)
{
    if (pictureWidth <= 0 || pictureHeight <= 0 || !hasArea(cell))
        return std::nullopt;
    const int cellWidth = cell.width();
    const int cellHeight = cell.height();
    const double pictureRatio = static_cast<double>(pictureWidth) / static_cast<double>(pictureHeight);
    const double cellRatio = static_cast<double>(cellWidth) / static_cast<double>(cellHeight);
    Rect fitted;
    if (pictureRatio > cellRatio) {
        const int fittedHeight = static_cast<int>(cellWidth / pictureRatio);
        const int offset = (cellHeight - fittedHeight) / 2;
        fitted = Rect{cell.left, cell.top + offset, cell.right, cell.top + offset + fittedHeight};
    } else {
        const int fittedWidth = static_cast<int>(cellHeight * pictureRatio);
        const int offset = (cellWidth - fittedWidth) / 2;
        // The right edge is taken from the unrounded width, so it can lie one unit further
        // right than left + fittedWidth would.
        fitted = Rect{cell.left + offset, cell.top,
                      static_cast<int>(cell.left + offset + cellHeight * pictureRatio), cell.bottom};
    }
    if (!hasArea(fitted))
        return std::nullopt;
    return fitted;
}

FittedPicture FitPictureFile(const Rect &cell, const QString &path, Turn orientation, const StopFlag *stop,
                             std::FILE *opened)
{
    FittedPicture result;
    if (path.isEmpty())
        return result;
    result.kind = pictureKindOf(path);
    // A cell without room (margins larger than the page) is left alone before the picture is
    // decoded: its ratio would divide by zero, and decoding a print-size file would be wasted.
    if (result.kind == PictureKind::None || !hasArea(cell))
        return result;
    if (result.kind == PictureKind::Jpeg || result.kind == PictureKind::Png) {
        FittingSink sink(cell, orientation);
        sink.setStop(stop);
        if (result.kind == PictureKind::Jpeg)
            DecodeJpeg(path, sink, nullptr, nullptr, opened);
        else
            DecodePng(path, sink, nullptr, nullptr, opened);
        FittedPicture fitted = sink.finish(path);
        fitted.kind = result.kind;
        return fitted;
    }
    const QImage decoded = DecodePicture(path, result.kind, stop, opened);
    result.decoded = decoded.size();
    // Sampled into the rectangle as stored, then turned: the whole picture is never held twice.
    const bool turns = orientation == Turn::Right || orientation == Turn::Left;
    const QSize shown = turns ? decoded.size().transposed() : decoded.size();
    result.rect = FitPicture(shown.width(), shown.height(), cell);
    if (!result.rect)
        return result;
    const QSize rect(result.rect->width(), result.rect->height());
    const QSize stored = turns ? rect.transposed() : rect;
    const QImage sampled = Resample(decoded, stored.width(), stored.height(), Enlarge::Interpolate);
    result.image = turns ? TurnPicture(sampled, orientation) : sampled;
    if (turns && result.image.isNull())
        ThrowPictureError(path, Reason(reasons::kNoMemoryToTurn));
    return result;
}

std::optional<Rect> DrawFittedPicture(QPainter &canvas, const FittedPicture &picture)
{
    if (!picture.rect)
        return std::nullopt;
    // A transfer that failed for want of memory still answers the rectangle: the picture is
    // missing from the page but its caption keeps its place.
    if (!picture.image.isNull()) {
        const LosslessOnPaper lossless(canvas, picture.kind);
        drawAtOwnSize(canvas, picture.rect->left, picture.rect->top, picture.image);
    }
    return picture.rect;
}

std::optional<Rect> DrawPicture(QPainter &canvas, const Rect &cell, const QString &path, Turn orientation)
{
    return DrawFittedPicture(canvas, FitPictureFile(cell, path, orientation));
}

} // namespace quiltana
