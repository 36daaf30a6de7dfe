#include "scale.h"

#include <algorithm>
#include <cstring>
#include <new>
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

bool NearestRowSampler::start(int sourceWidth, int sourceHeight, int width, int height) noexcept
{
    sourceHeight_ = sourceHeight;
    next_ = 0;
    image_ = QImage();
    try {
        row_.assign(static_cast<std::size_t>(std::max(sourceWidth, 0)) * 3, 0);
        column_.assign(static_cast<std::size_t>(std::max(width, 0)), 0);
    } catch (const std::bad_alloc &) {
        return false;
    }
    if (width < 1 || height < 1 || sourceWidth < 1 || sourceHeight < 1)
        return true;
    image_ = QImage(width, height, QImage::Format_RGB888);
    for (int x = 0; x < width; ++x)
        column_[static_cast<std::size_t>(x)] = static_cast<int>(static_cast<qint64>(x) * sourceWidth / width) * 3;
    return true;
}

void NearestRowSampler::rowDone(int y) noexcept
{
    if (image_.isNull())
        return;
    const int width = image_.width();
    const int height = image_.height();
    bool sampled = false;
    while (next_ < height && static_cast<qint64>(next_) * sourceHeight_ / height == y) {
        uchar *dst = image_.scanLine(next_);
        if (sampled) {
            // An enlarged picture repeats this source row; the previous row is the same.
            std::memcpy(dst, image_.constScanLine(next_ - 1), static_cast<std::size_t>(width) * 3);
        } else {
            const unsigned char *src = row_.data();
            for (int x = 0; x < width; ++x, dst += 3) {
                const unsigned char *p = src + column_[static_cast<std::size_t>(x)];
                dst[0] = p[0];
                dst[1] = p[1];
                dst[2] = p[2];
            }
            sampled = true;
        }
        ++next_;
    }
}

} // namespace quiltana
