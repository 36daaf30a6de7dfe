// Temporary decoder over QImageReader; replaced by the libjpeg/libpng decoders.
#include "decode.h"

#include "error.h"

#include <QImageReader>

namespace quiltana {

QImage DecodePicture(const QString &path, PictureKind kind)
{
    if (kind == PictureKind::None)
        throw Error(QStringLiteral("%1: not a picture file").arg(path));
    QImageReader reader(path);
    QImage img = reader.read();
    if (img.isNull())
        throw Error(QStringLiteral("%1: %2").arg(path, reader.errorString()));
    return img.convertToFormat(QImage::Format_RGB888);
}

QImage DecodePictureForSize(const QString &path, PictureKind kind, int, int, int *fullWidth,
                            int *fullHeight)
{
    QImage img = DecodePicture(path, kind);
    if (fullWidth)
        *fullWidth = img.width();
    if (fullHeight)
        *fullHeight = img.height();
    return img;
}

} // namespace quiltana
