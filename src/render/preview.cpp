#include "preview.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <exception>

#include "decode.h"
#include "paths.h"

namespace quiltana {

QSize PreviewFit(const QSize &picture, int side)
{
    if (picture.width() < 1 || picture.height() < 1 || side < 1)
        return QSize(0, 0);
    if (picture.width() <= side && picture.height() <= side)
        return picture;
    // The longer side becomes `side`; the other follows in proportion, truncated.
    const double scale = double(side) / std::max(picture.width(), picture.height());
    const int width = std::clamp(static_cast<int>(std::trunc(picture.width() * scale)), 1, side);
    const int height = std::clamp(static_cast<int>(std::trunc(picture.height() * scale)), 1, side);
    return QSize(width, height);
}

PicturePreviewImage DecodePreview(const QString &path, int side)
{
    const PictureKind kind = pictureKindOf(path);
    if (kind == PictureKind::None || side < 1 || !QFileInfo(path).isFile())
        return {};
    try {
        int fullWidth = 0;
        int fullHeight = 0;
        const QImage decoded = DecodePictureForSize(path, kind, side, side, &fullWidth, &fullHeight);
        if (decoded.isNull())
            return {};
        const QSize fit = PreviewFit(decoded.size(), side);
        QImage shown = fit == decoded.size()
                           ? decoded
                           : decoded.scaled(fit, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        return {std::move(shown), QSize(fullWidth, fullHeight)};
    } catch (const std::exception &) {
        // A broken file, or one too large for memory, simply has no preview: the dialog is
        // for choosing, and loading the file reports its fault.
        return {};
    }
}

} // namespace quiltana
