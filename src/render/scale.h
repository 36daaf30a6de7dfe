#pragma once

#include <QImage>

#include <cstdint>
#include <vector>

namespace quiltana {

// How a side that grows is resampled: interpolated through the filter (print), or by repeating
// pixels, so that a tiny picture stays crisp (work copies).
enum class Enlarge { Interpolate, Repeat };

// Resamples a picture into width x height RGB888 through a separable Lanczos filter with pixel
// centres aligned: destination pixel x lies over source position (x + 0.5) * source / width
// - 0.5. A side that shrinks is filtered with a support that grows with the reduction, so
// every source pixel counts and nothing is dropped; a side that grows is interpolated or its
// pixels repeated, as `enlarge` says. A flat area keeps its colour exactly. Width or height
// below 1, or a null source, gives a null image; throws std::bad_alloc when memory is short.
[[nodiscard]] QImage Resample(const QImage &source, int width, int height, Enlarge enlarge);

// The same for a picture that a decoder delivers row by row, top to bottom: each row is
// filtered as it arrives, and only the few source rows that the filter spans are held.
class RowResampler {
public:
    RowResampler() = default;
    ~RowResampler();
    RowResampler(const RowResampler &) = delete;
    RowResampler &operator=(const RowResampler &) = delete;

    // Prepares for a sourceWidth x sourceHeight picture. A target of zero size takes the rows
    // and keeps nothing. Without `ownRowBuffer` the caller hands every row over where it lies
    // (rowDone(y, row)) and leaves it there until the picture is complete. False when memory
    // could not be had.
    bool start(int sourceWidth, int sourceHeight, int width, int height, Enlarge enlarge,
               bool ownRowBuffer = true) noexcept;
    // Where the decoder writes the next source row (sourceWidth x 3 bytes); with
    // `ownRowBuffer` only.
    [[nodiscard]] unsigned char *rowBuffer() noexcept;
    // Source row y is in rowBuffer().
    void rowDone(int y) noexcept { rowDone(y, rowBuffer()); }
    // Source row y (sourceWidth x 3 bytes, RGB) is at `row`; rows come in order from 0.
    void rowDone(int y, const unsigned char *row) noexcept;
    // The picture, complete once the last source row is done.
    [[nodiscard]] QImage &image() noexcept { return image_; }

    // The taps of one side: for each destination pixel the first source pixel and the weights
    // (fixed point, kWeightOne in all) of the source pixels from it on.
    struct Taps {
        std::vector<int> first;
        std::vector<int> count;
        std::vector<std::int16_t> weights; // `stride` per destination pixel
        int stride = 0;
    };
    static constexpr int kWeightBits = 14;
    static constexpr int kWeightOne = 1 << kWeightBits;
    // The taps taking `source` pixels to `destination` ones, the source pixels averaged in
    // groups of `group` beforehand. Exposed for the tests.
    [[nodiscard]] static Taps TapsFor(int source, int destination, Enlarge enlarge, int group = 1);
    // Turns the 256-bit vectors of processors that have them (AVX2) on or off, for the tests
    // that compare the two ways; answers whether they were on. The results are the same.
    static bool UseWideVectors(bool use) noexcept;
    // Rows are averaged in groups first where they are reduced this many times or more.
    static constexpr int kGroupRowsFrom = 16;

private:
    void takeRow(int index, const unsigned char *row) noexcept;
    void finishRow(int y) noexcept;
    [[nodiscard]] unsigned char *slot(int row) noexcept;

    int sourceWidth_ = 0;
    int sourceHeight_ = 0;
    int next_ = 0;     // the next destination row to make
    int received_ = 0; // source rows taken so far
    int ringRows_ = 1; // source rows held: as many as the widest window of rows
    int group_ = 1;    // source rows averaged into one before the filter
    QImage image_;
    Taps columns_;
    Taps rows_;
    std::vector<unsigned char> ring_;          // the held rows, with `ownRowBuffer`
    std::vector<const unsigned char *> held_;  // where held row y is, at y % ringRows_
    std::vector<std::uint32_t> groupSums_;     // the group of rows being averaged
    std::vector<const unsigned char *> window_; // the rows under one destination row
    std::vector<std::int16_t> interleaved_;    // one row filtered down, as its pixels lie
    std::vector<std::int16_t> filtered_;       // the same a plane a channel, before the columns
};

} // namespace quiltana
