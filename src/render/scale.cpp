#include "scale.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <numbers>

namespace quiltana {

namespace {

// Lanczos with three lobes: the resampling filter of photo editors and of the reference
// resizers. Its support is three source pixels when enlarging, three destination pixels' worth
// of source pixels when reducing.
constexpr double kFilterRadius = 3.0;

double sinc(double x)
{
    if (x == 0.0)
        return 1.0;
    const double a = x * std::numbers::pi;
    return std::sin(a) / a;
}

double lanczos(double x)
{
    if (x <= -kFilterRadius || x >= kFilterRadius)
        return 0.0;
    return sinc(x) * sinc(x / kFilterRadius);
}

// Fraction bits of the rows' sums as they go on to the columns. A level with its overshoot
// (Lanczos lobes reach about a fifth beyond black and white) stays within 16 bits, and so does
// a column sum of them times the weights within 32.
constexpr int kCarryBits = 6;

// `sum` with `bits` fraction bits, rounded to the nearest level.
unsigned char clampByte(std::int32_t sum, int bits)
{
    const std::int32_t v = (sum + (1 << (bits - 1))) >> bits;
    return static_cast<unsigned char>(std::clamp(v, 0, 255));
}

} // namespace

RowResampler::Taps RowResampler::TapsFor(int source, int destination, Enlarge enlarge)
{
    Taps taps;
    if (source < 1 || destination < 1)
        return taps;
    const auto count = static_cast<std::size_t>(destination);
    taps.first.resize(count);
    taps.count.resize(count);
    if (destination >= source && (enlarge == Enlarge::Repeat || destination == source)) {
        // Each destination pixel takes source pixel x * source / destination whole.
        taps.stride = 1;
        taps.weights.assign(count, static_cast<std::int16_t>(kWeightOne));
        for (int x = 0; x < destination; ++x) {
            taps.first[static_cast<std::size_t>(x)] = static_cast<int>(static_cast<qint64>(x) * source / destination);
            taps.count[static_cast<std::size_t>(x)] = 1;
        }
        return taps;
    }
    const double scale = static_cast<double>(source) / destination;
    const double filterScale = std::max(scale, 1.0);
    const double support = kFilterRadius * filterScale;
    taps.stride = static_cast<int>(std::ceil(support)) * 2 + 1;
    taps.weights.assign(count * static_cast<std::size_t>(taps.stride), 0);
    std::vector<double> w(static_cast<std::size_t>(taps.stride));
    for (int x = 0; x < destination; ++x) {
        // The destination pixel's centre in source coordinates, where pixel i spans [i, i + 1).
        const double centre = (x + 0.5) * scale;
        int lo = std::max(static_cast<int>(std::floor(centre - support + 0.5)), 0);
        int hi = std::min(static_cast<int>(std::floor(centre + support + 0.5)), source);
        hi = std::min(hi, lo + taps.stride);
        double total = 0.0;
        for (int i = lo; i < hi; ++i) {
            w[static_cast<std::size_t>(i - lo)] = lanczos((i + 0.5 - centre) / filterScale);
            total += w[static_cast<std::size_t>(i - lo)];
        }
        if (!(total > 0.0)) {
            // Cannot happen for this filter's windows; the nearest pixel whole, to be safe.
            lo = std::clamp(static_cast<int>(centre), 0, source - 1);
            hi = lo + 1;
            w[0] = total = 1.0;
        }
        // Fixed point, summing to exactly one so that a flat area keeps its colour; what the
        // rounding leaves over goes to the largest weight. The windows' ends only move on from
        // one destination pixel to the next, which the rows' running sums rely on.
        std::int16_t *fixed = taps.weights.data() + static_cast<std::size_t>(x) * static_cast<std::size_t>(taps.stride);
        int sum = 0;
        int largest = 0;
        for (int i = 0; i < hi - lo; ++i) {
            const int q = static_cast<int>(std::lround(w[static_cast<std::size_t>(i)] / total * kWeightOne));
            fixed[i] = static_cast<std::int16_t>(q);
            sum += q;
            if (fixed[i] > fixed[largest])
                largest = i;
        }
        fixed[largest] = static_cast<std::int16_t>(fixed[largest] + kWeightOne - sum);
        taps.first[static_cast<std::size_t>(x)] = lo;
        taps.count[static_cast<std::size_t>(x)] = hi - lo;
    }
    return taps;
}

RowResampler::~RowResampler() = default;

bool RowResampler::start(int sourceWidth, int sourceHeight, int width, int height, Enlarge enlarge,
                         bool ownRowBuffer) noexcept
{
    sourceWidth_ = std::max(sourceWidth, 0);
    sourceHeight_ = std::max(sourceHeight, 0);
    next_ = 0;
    slots_ = 0;
    image_ = QImage();
    try {
        row_.assign(ownRowBuffer ? static_cast<std::size_t>(sourceWidth_) * 3 : 0, 0);
        if (width < 1 || height < 1 || sourceWidth < 1 || sourceHeight < 1) {
            columns_ = Taps();
            rows_ = Taps();
            return true;
        }
        columns_ = TapsFor(sourceWidth, width, enlarge);
        rows_ = TapsFor(sourceHeight, height, enlarge);
        // Destination rows whose source rows overlap are summed side by side: as many as the
        // rows open at any one source row.
        int open = 0;
        for (int y = 0, a = 0, b = 0; y < sourceHeight; ++y) {
            while (b < height && rows_.first[static_cast<std::size_t>(b)] <= y)
                ++b;
            while (a < b && rows_.first[static_cast<std::size_t>(a)] + rows_.count[static_cast<std::size_t>(a)] <= y)
                ++a;
            open = std::max(open, b - a);
        }
        slots_ = std::max(open, 1);
        const std::size_t rowValues = static_cast<std::size_t>(sourceWidth) * 3;
        sums_.assign(rowValues * static_cast<std::size_t>(slots_), 0);
        filtered_.assign(rowValues, 0);
        image_ = QImage(width, height, QImage::Format_RGB888);
    } catch (const std::bad_alloc &) {
        image_ = QImage();
        return false;
    }
    return !image_.isNull();
}

void RowResampler::rowDone(int y, const unsigned char *row) noexcept
{
    if (image_.isNull() || y < 0 || y >= sourceHeight_)
        return;
    const int height = image_.height();
    const std::size_t values = static_cast<std::size_t>(sourceWidth_) * 3;
    // Add the row into every destination row whose filter spans it.
    for (int j = next_; j < height && rows_.first[static_cast<std::size_t>(j)] <= y; ++j) {
        const int tap = y - rows_.first[static_cast<std::size_t>(j)];
        if (tap >= rows_.count[static_cast<std::size_t>(j)])
            continue;
        const std::int16_t w = rows_.weights[static_cast<std::size_t>(j) * static_cast<std::size_t>(rows_.stride)
                                             + static_cast<std::size_t>(tap)];
        std::int32_t *__restrict sums = sums_.data() + static_cast<std::size_t>(j % slots_) * values;
        const unsigned char *__restrict src = row;
        if (tap == 0) {
            for (std::size_t i = 0; i < values; ++i)
                sums[i] = static_cast<std::int32_t>(w) * static_cast<std::int16_t>(src[i]);
        } else {
            for (std::size_t i = 0; i < values; ++i)
                sums[i] += static_cast<std::int32_t>(w) * static_cast<std::int16_t>(src[i]);
        }
    }
    while (next_ < height
           && rows_.first[static_cast<std::size_t>(next_)] + rows_.count[static_cast<std::size_t>(next_)] <= y + 1) {
        finishRow(next_);
        ++next_;
    }
}

void RowResampler::finishRow(int y) noexcept
{
    // The rows' sums go on to the columns with kCarryBits fraction bits and unclamped, so that
    // the filter's overshoot at a hard edge survives until the columns are summed too.
    const std::size_t values = static_cast<std::size_t>(sourceWidth_) * 3;
    const std::int32_t *__restrict sums = sums_.data() + static_cast<std::size_t>(y % slots_) * values;
    std::int16_t *__restrict filtered = filtered_.data();
    constexpr int shift = kWeightBits - kCarryBits;
    for (std::size_t i = 0; i < values; ++i)
        filtered[i] = static_cast<std::int16_t>((sums[i] + (1 << (shift - 1))) >> shift);
    uchar *out = image_.scanLine(y);
    const int width = image_.width();
    const std::int16_t *weights = columns_.weights.data();
    const auto stride = static_cast<std::size_t>(columns_.stride);
    for (int x = 0; x < width; ++x, out += 3) {
        const int count = columns_.count[static_cast<std::size_t>(x)];
        const std::int16_t *p = filtered + static_cast<std::size_t>(columns_.first[static_cast<std::size_t>(x)]) * 3;
        const std::int16_t *w = weights + static_cast<std::size_t>(x) * stride;
        std::int32_t r = 0, g = 0, b = 0;
        for (int k = 0; k < count; ++k, p += 3) {
            r += w[k] * p[0];
            g += w[k] * p[1];
            b += w[k] * p[2];
        }
        out[0] = clampByte(r, kWeightBits + kCarryBits);
        out[1] = clampByte(g, kWeightBits + kCarryBits);
        out[2] = clampByte(b, kWeightBits + kCarryBits);
    }
}

QImage Resample(const QImage &source, int width, int height, Enlarge enlarge)
{
    if (width < 1 || height < 1 || source.isNull())
        return QImage();
    const QImage src = source.format() == QImage::Format_RGB888
                           ? source
                           : source.convertToFormat(QImage::Format_RGB888);
    if (src.isNull())
        throw std::bad_alloc();
    // The whole picture is at hand, so the rows are read where they are.
    RowResampler resampler;
    if (!resampler.start(src.width(), src.height(), width, height, enlarge, false))
        throw std::bad_alloc();
    for (int y = 0; y < src.height(); ++y)
        resampler.rowDone(y, src.constScanLine(y));
    return std::move(resampler.image());
}

} // namespace quiltana
