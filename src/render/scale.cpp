#include "scale.h"

#include <cstring>
#include <vector>

namespace quiltana {

QImage StretchNearest(const QImage &source, int width, int height)
{
    if (width < 1 || height < 1 || source.isNull())
        return QImage();
    const QImage src = source.format() == QImage::Format_RGB888
                           ? source
                           : source.convertToFormat(QImage::Format_RGB888);
    QImage out(width, height, QImage::Format_RGB888);
    if (out.isNull())
        return QImage();
    const qint64 sw = src.width();
    const qint64 sh = src.height();
    std::vector<int> column(static_cast<size_t>(width));
    for (int x = 0; x < width; ++x)
        column[static_cast<size_t>(x)] = static_cast<int>(x * sw / width) * 3;
    int lastSourceRow = -1;
    for (int y = 0; y < height; ++y) {
        const int sy = static_cast<int>(y * sh / height);
        uchar *dst = out.scanLine(y);
        if (sy == lastSourceRow) {
            std::memcpy(dst, out.constScanLine(y - 1), static_cast<size_t>(width) * 3);
            continue;
        }
        const uchar *row = src.constScanLine(sy);
        for (int x = 0; x < width; ++x) {
            const uchar *p = row + column[static_cast<size_t>(x)];
            dst[0] = p[0];
            dst[1] = p[1];
            dst[2] = p[2];
            dst += 3;
        }
        lastSourceRow = sy;
    }
    return out;
}

} // namespace quiltana
