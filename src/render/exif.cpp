#include "exif.h"

#include <cstdlib>
#include <cstring>

#include <libexif/exif-data.h>
#include <libexif/exif-utils.h>

namespace quiltana {

namespace {

constexpr unsigned char kExifHeader[] = {'E', 'x', 'i', 'f', 0, 0};

} // namespace

int ExifOrientation(const unsigned char *data, std::size_t size) noexcept
{
    if (!data || size <= sizeof kExifHeader || size > kMaxExifBytes
        || std::memcmp(data, kExifHeader, sizeof kExifHeader) != 0)
        return kExifUpright;
    ExifData *exif = exif_data_new();
    if (!exif)
        return kExifUpright;
    // Read as it is: the library would otherwise add the entries the standard asks for, an
    // orientation among them, and drop the tags it does not know.
    exif_data_unset_option(exif, EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_load_data(exif, data, static_cast<unsigned int>(size));
    int orientation = kExifUpright;
    // IFD0 describes the picture itself; IFD1 the thumbnail, which may be turned otherwise.
    const ExifEntry *entry = exif_content_get_entry(exif->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
    if (entry && entry->format == EXIF_FORMAT_SHORT && entry->components >= 1 && entry->data
        && entry->size >= 2) {
        const int value = exif_get_short(entry->data, exif_data_get_byte_order(exif));
        if (value >= 1 && value <= 8)
            orientation = value;
    }
    exif_data_unref(exif);
    return orientation;
}

int ExifOrientationOfTiff(const unsigned char *data, std::size_t size) noexcept
{
    if (!data || size == 0 || size > kMaxExifBytes - sizeof kExifHeader)
        return kExifUpright;
    // The library reads a block that starts as a JPEG's APP1 segment does.
    auto *block = static_cast<unsigned char *>(std::malloc(size + sizeof kExifHeader));
    if (!block)
        return kExifUpright;
    std::memcpy(block, kExifHeader, sizeof kExifHeader);
    std::memcpy(block + sizeof kExifHeader, data, size);
    const int orientation = ExifOrientation(block, size + sizeof kExifHeader);
    std::free(block);
    return orientation;
}

QImage ExifUpright(const QImage &picture, int orientation)
{
    const QImage src = picture.format() == QImage::Format_RGB888
                           ? picture
                           : picture.convertToFormat(QImage::Format_RGB888);
    if (orientation < 2 || orientation > 8 || src.isNull())
        return src;
    const int w = src.width();
    const int h = src.height();
    const QSize size = ExifUprightSize(w, h, orientation);
    QImage upright(size, QImage::Format_RGB888);
    if (upright.isNull())
        return upright;
    // Each upright pixel (x, y) is taken from the stored pixel (sx, sy).
    for (int y = 0; y < size.height(); ++y) {
        uchar *out = upright.scanLine(y);
        for (int x = 0; x < size.width(); ++x) {
            int sx = x;
            int sy = y;
            switch (orientation) {
            case 2: sx = w - 1 - x; break;
            case 3: sx = w - 1 - x; sy = h - 1 - y; break;
            case 4: sy = h - 1 - y; break;
            case 5: sx = y; sy = x; break;
            case 6: sx = y; sy = h - 1 - x; break;
            case 7: sx = w - 1 - y; sy = h - 1 - x; break;
            case 8: sx = w - 1 - y; sy = x; break;
            default: break;
            }
            std::memcpy(out + static_cast<qsizetype>(x) * 3,
                        src.constScanLine(sy) + static_cast<qsizetype>(sx) * 3, 3);
        }
    }
    return upright;
}

} // namespace quiltana
