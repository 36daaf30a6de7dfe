#include "scale.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <new>
#include <numbers>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__SSE2__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define QUILTANA_WIDE_VECTORS 1
#endif

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

#if defined(QUILTANA_WIDE_VECTORS)
// Whether the processor has 256-bit integer vectors (AVX2), and they are not turned off.
std::atomic<bool> gWideVectors{__builtin_cpu_supports("avx2") != 0};
#endif

#if defined(__SSE2__)
// Weights k and k + 1 (0 past the last of `count`) as the low and high 16 bits of one 32-bit
// lane, to multiply a pair of rows' interleaved values at once.
inline int WeightPair(const std::int16_t *weights, int k, int count) noexcept
{
    const auto low = static_cast<std::uint16_t>(weights[k]);
    const auto high = k + 1 < count ? static_cast<std::uint16_t>(weights[k + 1]) : std::uint16_t(0);
    return static_cast<int>(static_cast<std::uint32_t>(high) << 16 | low);
}

// Four pixels given as bytes r0..r3 g0..g3 b0..b3 (the low twelve of `bytes`), stored as they
// lie: r0 g0 b0 r1 ... (the words' bytes in memory order: little-endian).
inline void StoreFourPixels(__m128i bytes, uchar *out) noexcept
{
    const auto r = static_cast<std::uint32_t>(_mm_cvtsi128_si32(bytes));
    const auto g = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(bytes, 4)));
    const auto b = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(bytes, 8)));
    const std::uint32_t words[3] = {
        (r & 0xff) | (g & 0xff) << 8 | (b & 0xff) << 16 | (r & 0xff00) << 16,
        (g >> 8 & 0xff) | (b & 0xff00) | (r & 0xff0000) | (g & 0xff0000) << 8,
        (b >> 16 & 0xff) | (r >> 24) << 8 | (g >> 24) << 16 | (b >> 24) << 24,
    };
    std::memcpy(out, words, sizeof words);
}
#endif

// `sum` with `bits` fraction bits, rounded to the nearest level.
unsigned char clampByte(std::int32_t sum, int bits)
{
    const std::int32_t v = (sum + (1 << (bits - 1))) >> bits;
    return static_cast<unsigned char>(std::clamp(v, 0, 255));
}

} // namespace

RowResampler::Taps RowResampler::TapsFor(int source, int destination, Enlarge enlarge, int group)
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
    // In units of groups of `group` source pixels, averaged beforehand (the last one may be
    // short); group i's centre is taken at i + 0.5.
    group = std::max(group, 1);
    const double scale = static_cast<double>(source) / destination / group;
    source = (source + group - 1) / group;
    const double filterScale = std::max(scale, 1.0);
    const double support = kFilterRadius * filterScale;
    // Rounded up to whole vectors of eight weights; the weights past a window are zero.
    taps.stride = (static_cast<int>(std::ceil(support)) * 2 + 1 + 7) / 8 * 8;
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

bool RowResampler::UseWideVectors(bool use) noexcept
{
#if defined(QUILTANA_WIDE_VECTORS)
    return gWideVectors.exchange(use && __builtin_cpu_supports("avx2") != 0);
#else
    (void)use;
    return false;
#endif
}

bool RowResampler::start(int sourceWidth, int sourceHeight, int width, int height, Enlarge enlarge,
                         bool ownRowBuffer) noexcept
{
    sourceWidth_ = std::max(sourceWidth, 0);
    sourceHeight_ = std::max(sourceHeight, 0);
    next_ = 0;
    received_ = 0;
    group_ = 1;
    image_ = QImage();
    const auto rowValues = static_cast<std::size_t>(sourceWidth_) * 3;
    try {
        columns_ = Taps();
        rows_ = Taps();
        ring_.clear();
        held_.clear();
        groupSums_.clear();
        if (width < 1 || height < 1 || sourceWidth < 1 || sourceHeight < 1) {
            // Nothing to make: the rows are taken into one buffer and forgotten.
            ringRows_ = 1;
            ring_.assign(ownRowBuffer ? rowValues : 0, 0);
            return true;
        }
        // Rows reduced by kGroupRowsFrom or more are averaged in groups first, so that the
        // filter spans eight to sixteen of the groups a destination row: the rows it spans,
        // which are held, stay few whatever the picture's height.
        if (sourceHeight >= static_cast<qint64>(height) * kGroupRowsFrom)
            group_ = static_cast<int>(sourceHeight / (static_cast<qint64>(height) * (kGroupRowsFrom / 2)));
        columns_ = TapsFor(sourceWidth, width, enlarge);
        rows_ = TapsFor(sourceHeight, height, enlarge, group_);
        // The source rows under the widest window of rows are held.
        ringRows_ = std::max(1, *std::max_element(rows_.count.begin(), rows_.count.end()));
        held_.assign(static_cast<std::size_t>(ringRows_), nullptr);
        const bool ring = ownRowBuffer || group_ > 1;
        ring_.assign(ring ? rowValues * static_cast<std::size_t>(ringRows_ + (group_ > 1 ? 1 : 0)) : 0, 0);
        if (group_ > 1)
            groupSums_.assign(rowValues, 0);
        // Three planes, each padded with zeros for the last pixel's padded weights.
        filtered_.assign(static_cast<std::size_t>(sourceWidth + columns_.stride) * 3, 0);
        interleaved_.assign(rowValues, 0);
        image_ = QImage(width, height, QImage::Format_RGB888);
    } catch (const std::bad_alloc &) {
        image_ = QImage();
        return false;
    }
    return !image_.isNull();
}

unsigned char *RowResampler::slot(int row) noexcept
{
    return ring_.data() + static_cast<std::size_t>(row % ringRows_) * static_cast<std::size_t>(sourceWidth_) * 3;
}

unsigned char *RowResampler::rowBuffer() noexcept
{
    if (ring_.empty())
        return nullptr;
    // Rows averaged in groups arrive in the ring's spare row.
    if (group_ > 1)
        return ring_.data() + static_cast<std::size_t>(ringRows_) * static_cast<std::size_t>(sourceWidth_) * 3;
    // A destination row is made as soon as its last source row is in, so by the time row y is
    // written the slot of row y - ringRows_ is no longer needed.
    return slot(received_);
}

void RowResampler::rowDone(int y, const unsigned char *row) noexcept
{
    if (image_.isNull() || y != received_ || y >= sourceHeight_ || !row)
        return;
    ++received_;
    if (group_ > 1) {
        const auto values = static_cast<std::size_t>(sourceWidth_) * 3;
        std::uint32_t *__restrict sums = groupSums_.data();
        const unsigned char *__restrict src = row;
        for (std::size_t i = 0; i < values; ++i)
            sums[i] += src[i];
        const int inGroup = y % group_ + 1;
        if (inGroup < group_ && y + 1 < sourceHeight_)
            return;
        // The group's average becomes one row of the filter's source.
        const int index = y / group_;
        unsigned char *average = slot(index);
        // (sum + n / 2) / n by a multiplication: with the sums below 2^22 and n below 2^14, a
        // reciprocal of 40 bits makes the quotient exact.
        const auto half = static_cast<std::uint64_t>(inGroup / 2);
        const std::uint64_t reciprocal = (std::uint64_t(1) << 40) / static_cast<std::uint64_t>(inGroup) + 1;
        for (std::size_t i = 0; i < values; ++i) {
            average[i] = static_cast<unsigned char>(((sums[i] + half) * reciprocal) >> 40);
            sums[i] = 0;
        }
        takeRow(index, average);
        return;
    }
    takeRow(y, row);
}

void RowResampler::takeRow(int index, const unsigned char *row) noexcept
{
    held_[static_cast<std::size_t>(index % ringRows_)] = row;
    const int height = image_.height();
    while (next_ < height
           && rows_.first[static_cast<std::size_t>(next_)] + rows_.count[static_cast<std::size_t>(next_)] <= index + 1) {
        finishRow(next_);
        ++next_;
    }
}

namespace {

#if defined(QUILTANA_WIDE_VECTORS)
// SumRows's loop 32 values at a time with 256-bit vectors; answers how many values it did.
// Each 128-bit half works as SumRows's loop does on its sixteen values, and the halves are put
// back in order before they are stored.
__attribute__((target("avx2"))) std::size_t SumRowsWide(const unsigned char *const *rows, const std::int16_t *weights,
                                                        int rowCount, std::size_t values, std::int16_t *out) noexcept
{
    constexpr int shift = RowResampler::kWeightBits - kCarryBits;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i round = _mm256_set1_epi32(1 << (shift - 1));
    std::size_t i = 0;
    for (; i + 32 <= values; i += 32) {
        __m256i s0 = zero, s1 = zero, s2 = zero, s3 = zero;
        for (int k = 0; k < rowCount; k += 2) {
            const bool pair = k + 1 < rowCount;
            const __m256i w = _mm256_set1_epi32(WeightPair(weights, k, rowCount));
            const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(rows[k] + i));
            const __m256i b = pair ? _mm256_loadu_si256(reinterpret_cast<const __m256i *>(rows[k + 1] + i)) : zero;
            const __m256i alo = _mm256_unpacklo_epi8(a, zero);
            const __m256i ahi = _mm256_unpackhi_epi8(a, zero);
            const __m256i blo = _mm256_unpacklo_epi8(b, zero);
            const __m256i bhi = _mm256_unpackhi_epi8(b, zero);
            s0 = _mm256_add_epi32(s0, _mm256_madd_epi16(_mm256_unpacklo_epi16(alo, blo), w));
            s1 = _mm256_add_epi32(s1, _mm256_madd_epi16(_mm256_unpackhi_epi16(alo, blo), w));
            s2 = _mm256_add_epi32(s2, _mm256_madd_epi16(_mm256_unpacklo_epi16(ahi, bhi), w));
            s3 = _mm256_add_epi32(s3, _mm256_madd_epi16(_mm256_unpackhi_epi16(ahi, bhi), w));
        }
        s0 = _mm256_srai_epi32(_mm256_add_epi32(s0, round), shift);
        s1 = _mm256_srai_epi32(_mm256_add_epi32(s1, round), shift);
        s2 = _mm256_srai_epi32(_mm256_add_epi32(s2, round), shift);
        s3 = _mm256_srai_epi32(_mm256_add_epi32(s3, round), shift);
        // Values 0-7 | 16-23 and 8-15 | 24-31.
        const __m256i low = _mm256_packs_epi32(s0, s1);
        const __m256i high = _mm256_packs_epi32(s2, s3);
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + i), _mm256_permute2x128_si256(low, high, 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + i + 16), _mm256_permute2x128_si256(low, high, 0x31));
    }
    return i;
}

// Eight values from `low` and eight from `high`, in the two halves of one vector.
__attribute__((target("avx2"))) inline __m256i both(const std::int16_t *low, const std::int16_t *high) noexcept
{
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i *>(low))),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i *>(high)), 1);
}

// The columns' loop of finishRow eight destination pixels at a time: pixel j in the low half
// of a vector and pixel j + 4 in the high half. Answers how many pixels it did.
__attribute__((target("avx2"))) int SumColumnsWide(const std::int16_t *red, const std::int16_t *green,
                                                   const std::int16_t *blue, const std::int16_t *weights,
                                                   const int *firsts, int stride, int width, uchar *out) noexcept
{
    constexpr int bits = RowResampler::kWeightBits + kCarryBits;
    const __m256i round = _mm256_set1_epi32(1 << (bits - 1));
    int x = 0;
    for (; x + 8 <= width; x += 8, out += 24) {
        __m256i sum[3][4];
        for (int j = 0; j < 4; ++j) {
            const std::int16_t *w0 = weights + static_cast<std::size_t>(x + j) * static_cast<std::size_t>(stride);
            const std::int16_t *w1 = weights + static_cast<std::size_t>(x + j + 4) * static_cast<std::size_t>(stride);
            const int f0 = firsts[x + j], f1 = firsts[x + j + 4];
            __m256i sr = _mm256_setzero_si256(), sg = sr, sb = sr;
            for (int k = 0; k < stride; k += 8) {
                const __m256i wk = both(w0 + k, w1 + k);
                sr = _mm256_add_epi32(sr, _mm256_madd_epi16(wk, both(red + f0 + k, red + f1 + k)));
                sg = _mm256_add_epi32(sg, _mm256_madd_epi16(wk, both(green + f0 + k, green + f1 + k)));
                sb = _mm256_add_epi32(sb, _mm256_madd_epi16(wk, both(blue + f0 + k, blue + f1 + k)));
            }
            sum[0][j] = sr;
            sum[1][j] = sg;
            sum[2][j] = sb;
        }
        __m256i channel[3];
        for (int c = 0; c < 3; ++c) {
            const __m256i *v = sum[c];
            const __m256i t0 = _mm256_add_epi32(_mm256_unpacklo_epi32(v[0], v[1]), _mm256_unpackhi_epi32(v[0], v[1]));
            const __m256i t1 = _mm256_add_epi32(_mm256_unpacklo_epi32(v[2], v[3]), _mm256_unpackhi_epi32(v[2], v[3]));
            const __m256i total = _mm256_add_epi32(_mm256_unpacklo_epi64(t0, t1), _mm256_unpackhi_epi64(t0, t1));
            channel[c] = _mm256_srai_epi32(_mm256_add_epi32(total, round), bits);
        }
        // Each half: r0..r3 g0..g3 b0..b3, saturated to bytes.
        const __m256i bytes = _mm256_packus_epi16(_mm256_packs_epi32(channel[0], channel[1]),
                                                  _mm256_packs_epi32(channel[2], _mm256_setzero_si256()));
        StoreFourPixels(_mm256_castsi256_si128(bytes), out);
        StoreFourPixels(_mm256_extracti128_si256(bytes, 1), out + 12);
    }
    return x;
}
#endif

// values [0, count) of the weighted sum of `rows`, with RowResampler::kWeightBits fraction
// bits, written with kCarryBits of them to `out`.
void SumRows(const unsigned char *const *rows, const std::int16_t *weights, int rowCount, std::size_t values,
             std::int16_t *out) noexcept
{
    constexpr int shift = RowResampler::kWeightBits - kCarryBits;
    constexpr std::int32_t half = 1 << (shift - 1);
    std::size_t i = 0;
#if defined(QUILTANA_WIDE_VECTORS)
    if (gWideVectors.load(std::memory_order_relaxed))
        i = SumRowsWide(rows, weights, rowCount, values, out);
#endif
#if defined(__SSE2__)
    // Sixteen values at a time, two rows at a time: the rows' bytes interleaved as 16-bit
    // pairs and multiplied by their pair of weights, each pair summed into 32 bits.
    const __m128i zero = _mm_setzero_si128();
    const __m128i round = _mm_set1_epi32(half);
    for (; i + 16 <= values; i += 16) {
        __m128i s0 = zero, s1 = zero, s2 = zero, s3 = zero;
        int k = 0;
        for (; k < rowCount; k += 2) {
            const bool pair = k + 1 < rowCount;
            const __m128i w = _mm_set1_epi32(WeightPair(weights, k, rowCount));
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(rows[k] + i));
            const __m128i b = pair ? _mm_loadu_si128(reinterpret_cast<const __m128i *>(rows[k + 1] + i)) : zero;
            const __m128i alo = _mm_unpacklo_epi8(a, zero);
            const __m128i ahi = _mm_unpackhi_epi8(a, zero);
            const __m128i blo = _mm_unpacklo_epi8(b, zero);
            const __m128i bhi = _mm_unpackhi_epi8(b, zero);
            s0 = _mm_add_epi32(s0, _mm_madd_epi16(_mm_unpacklo_epi16(alo, blo), w));
            s1 = _mm_add_epi32(s1, _mm_madd_epi16(_mm_unpackhi_epi16(alo, blo), w));
            s2 = _mm_add_epi32(s2, _mm_madd_epi16(_mm_unpacklo_epi16(ahi, bhi), w));
            s3 = _mm_add_epi32(s3, _mm_madd_epi16(_mm_unpackhi_epi16(ahi, bhi), w));
        }
        s0 = _mm_srai_epi32(_mm_add_epi32(s0, round), shift);
        s1 = _mm_srai_epi32(_mm_add_epi32(s1, round), shift);
        s2 = _mm_srai_epi32(_mm_add_epi32(s2, round), shift);
        s3 = _mm_srai_epi32(_mm_add_epi32(s3, round), shift);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_packs_epi32(s0, s1));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i + 8), _mm_packs_epi32(s2, s3));
    }
#endif
    for (; i < values; ++i) {
        std::int32_t sum = 0;
        for (int k = 0; k < rowCount; ++k)
            sum += static_cast<std::int32_t>(weights[k]) * rows[k][i];
        out[i] = static_cast<std::int16_t>((sum + half) >> shift);
    }
}

} // namespace

void RowResampler::finishRow(int y) noexcept
{
    // The window of source rows is summed; the sums go on to the columns with kCarryBits
    // fraction bits and unclamped, so that the filter's overshoot at a hard edge survives until
    // the columns are summed too; and a plane a channel, so that each destination pixel is a
    // plain dot product of the padded weights with the pixels under them.
    const auto values = static_cast<std::size_t>(sourceWidth_) * 3;
    const auto plane = static_cast<std::size_t>(sourceWidth_ + columns_.stride);
    const int first = rows_.first[static_cast<std::size_t>(y)];
    const int count = rows_.count[static_cast<std::size_t>(y)];
    window_.resize(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k)
        window_[static_cast<std::size_t>(k)] = held_[static_cast<std::size_t>((first + k) % ringRows_)];
    SumRows(window_.data(), rows_.weights.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(rows_.stride),
            count, values, interleaved_.data());
    const std::int16_t *__restrict sums = interleaved_.data();
    std::int16_t *__restrict red = filtered_.data();
    std::int16_t *__restrict green = red + plane;
    std::int16_t *__restrict blue = green + plane;
    for (std::size_t x = 0, i = 0; i < values; ++x, i += 3) {
        red[x] = sums[i];
        green[x] = sums[i + 1];
        blue[x] = sums[i + 2];
    }
    uchar *out = image_.scanLine(y);
    const int width = image_.width();
    const std::int16_t *weights = columns_.weights.data();
    const int stride = columns_.stride;
    const int *firsts = columns_.first.data();
    int x = 0;
#if defined(QUILTANA_WIDE_VECTORS)
    if (gWideVectors.load(std::memory_order_relaxed) && stride % 8 == 0) {
        x = SumColumnsWide(red, green, blue, weights, firsts, stride, width, out);
        out += 3 * x;
    }
#endif
#if defined(__SSE2__)
    // Four destination pixels at a time, a channel at a time: eight weights a step, and the
    // four pixels' sums gathered into one vector at the end.
    if (stride % 8 == 0) {
        constexpr int bits = kWeightBits + kCarryBits;
        const __m128i round = _mm_set1_epi32(1 << (bits - 1));
        for (; x + 4 <= width; x += 4, out += 12) {
            __m128i sum[3][4];
            for (int j = 0; j < 4; ++j) {
                const std::int16_t *w = weights + static_cast<std::size_t>(x + j) * static_cast<std::size_t>(stride);
                const std::int16_t *r = red + firsts[x + j];
                const std::int16_t *g = green + firsts[x + j];
                const std::int16_t *b = blue + firsts[x + j];
                __m128i sr = _mm_setzero_si128(), sg = sr, sb = sr;
                for (int k = 0; k < stride; k += 8) {
                    const __m128i wk = _mm_loadu_si128(reinterpret_cast<const __m128i *>(w + k));
                    sr = _mm_add_epi32(sr, _mm_madd_epi16(wk, _mm_loadu_si128(reinterpret_cast<const __m128i *>(r + k))));
                    sg = _mm_add_epi32(sg, _mm_madd_epi16(wk, _mm_loadu_si128(reinterpret_cast<const __m128i *>(g + k))));
                    sb = _mm_add_epi32(sb, _mm_madd_epi16(wk, _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + k))));
                }
                sum[0][j] = sr;
                sum[1][j] = sg;
                sum[2][j] = sb;
            }
            __m128i channel[3];
            for (int c = 0; c < 3; ++c) {
                const __m128i *v = sum[c];
                const __m128i t0 = _mm_add_epi32(_mm_unpacklo_epi32(v[0], v[1]), _mm_unpackhi_epi32(v[0], v[1]));
                const __m128i t1 = _mm_add_epi32(_mm_unpacklo_epi32(v[2], v[3]), _mm_unpackhi_epi32(v[2], v[3]));
                const __m128i total = _mm_add_epi32(_mm_unpacklo_epi64(t0, t1), _mm_unpackhi_epi64(t0, t1));
                channel[c] = _mm_srai_epi32(_mm_add_epi32(total, round), bits);
            }
            // Saturated to 0..255 on the way down to bytes, r0..r3 g0..g3 b0..b3, and laid out
            // as the four pixels lie, r0 g0 b0 r1 ...
            const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(channel[0], channel[1]),
                                                   _mm_packs_epi32(channel[2], _mm_setzero_si128()));
            StoreFourPixels(bytes, out);
        }
    }
#endif
    for (; x < width; ++x, out += 3) {
        const auto first = static_cast<std::size_t>(firsts[x]);
        const std::int16_t *__restrict w = weights + static_cast<std::size_t>(x) * static_cast<std::size_t>(stride);
        const std::int16_t *__restrict r = red + first;
        const std::int16_t *__restrict g = green + first;
        const std::int16_t *__restrict b = blue + first;
        std::int32_t sr = 0, sg = 0, sb = 0;
        for (int k = 0; k < stride; ++k) {
            sr += w[k] * r[k];
            sg += w[k] * g[k];
            sb += w[k] * b[k];
        }
        out[0] = clampByte(sr, kWeightBits + kCarryBits);
        out[1] = clampByte(sg, kWeightBits + kCarryBits);
        out[2] = clampByte(sb, kWeightBits + kCarryBits);
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
