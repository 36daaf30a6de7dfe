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
    // The whole picture is at hand, so the sampler reads its rows where they are.
    NearestRowSampler sampler;
    if (!sampler.start(src.width(), src.height(), width, height, false))
        throw std::bad_alloc();
    for (int y = 0; y < src.height() && !sampler.image().isNull(); ++y)
        sampler.rowDone(y, src.constScanLine(y));
    return std::move(sampler.image());
}

bool NearestRowSampler::start(int sourceWidth, int sourceHeight, int width, int height, bool ownRowBuffer) noexcept
{
    sourceHeight_ = sourceHeight;
    next_ = 0;
    image_ = QImage();
    try {
        row_.assign(ownRowBuffer ? static_cast<std::size_t>(std::max(sourceWidth, 0)) * 3 : 0, 0);
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

void NearestRowSampler::rowDone(int y, const unsigned char *row) noexcept
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
            const unsigned char *src = row;
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
