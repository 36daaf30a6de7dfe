#pragma once

#include <QImage>

#include <vector>

namespace quiltana {

// Nearest-neighbour resampling as COLORONCOLOR does it: destination column x takes source
// column x * sourceWidth / width (rows likewise), nothing blended. Returns RGB888; the rows
// of the source go through NearestRowSampler. Width or height below 1 gives a null image.
[[nodiscard]] QImage StretchNearest(const QImage &source, int width, int height);

} // namespace quiltana

namespace quiltana {

// Samples a picture that a decoder delivers row by row into a width x height RGB888 image,
// with exactly the mapping of StretchNearest, holding only one source row at a time.
class NearestRowSampler {
public:
    // Prepares for a sourceWidth x sourceHeight picture. A target of zero size takes the rows
    // and keeps nothing. Without `ownRowBuffer` the caller hands every row over where it lies
    // (rowDone(y, row)) and no row buffer is kept. False when the buffers could not be had; an
    // image that could not be had leaves image() null.
    bool start(int sourceWidth, int sourceHeight, int width, int height, bool ownRowBuffer = true) noexcept;
    // Where the decoder writes the next source row (sourceWidth x 3 bytes).
    [[nodiscard]] unsigned char *rowBuffer() noexcept { return row_.data(); }
    // Source row y is in rowBuffer(): every destination row that takes it is filled.
    void rowDone(int y) noexcept { rowDone(y, row_.data()); }
    // Source row y (sourceWidth x 3 bytes, RGB) is at `row`; the rows come in order from 0.
    void rowDone(int y, const unsigned char *row) noexcept;
    [[nodiscard]] QImage &image() noexcept { return image_; }

private:
    int sourceHeight_ = 0;
    int next_ = 0;
    QImage image_;
    std::vector<unsigned char> row_;
    std::vector<int> column_;
};

} // namespace quiltana
