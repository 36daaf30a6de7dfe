// Print quality of a picture fitted into its cell: pictures made here go through FitPictureFile
// into one cell of a 5X10 page at 600 dpi and are compared with a Lanczos-3 resize of the whole
// picture, by SSIM on luminance and by PSNR.

#include "picture.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <vector>

namespace quiltana::test {
namespace {

const Rect kCell{0, 0, 885, 664}; // a cell of a 5X10 page at 600 dpi
constexpr int kWidth = 2000;      // the pictures are reduced 2.26 times into it
constexpr int kHeight = 1500;

double lanczos3(double x)
{
    const double px = std::numbers::pi * std::abs(x);
    return px < 1e-12 ? 1 : px >= 3 * std::numbers::pi ? 0 : 3 * std::sin(px) * std::sin(px / 3) / (px * px);
}

// One axis of a Lanczos-3 resize from `in` samples to `out`: for each output sample, the first
// input sample it takes and the weights, summing to 1. A reduction widens the filter to
// 3 x scale input samples on either side of the centre.
struct Taps {
    int first = 0;
    std::vector<double> weights;
};
std::vector<Taps> tapsFor(int in, int out)
{
    const double scale = static_cast<double>(in) / out;
    const double stretch = std::max(scale, 1.0);
    std::vector<Taps> taps(out);
    for (int x = 0; x < out; ++x) {
        const double centre = (x + 0.5) * scale - 0.5;
        Taps &t = taps[x];
        t.first = std::max(0, static_cast<int>(std::ceil(centre - 3 * stretch)));
        const int last = std::min(in - 1, static_cast<int>(std::floor(centre + 3 * stretch)));
        double sum = 0;
        for (int i = t.first; i <= last; ++i)
            sum += t.weights.emplace_back(lanczos3((i - centre) / stretch));
        for (double &w : t.weights)
            w /= sum;
    }
    return taps;
}

// `picture` resized to width x height in double precision, rows first, then columns; rounded
// to 8 bits at the end, as a stored picture is.
QImage lanczosResize(const QImage &picture, int width, int height)
{
    const QImage source = picture.convertToFormat(QImage::Format_RGB888);
    const std::vector<Taps> across = tapsFor(source.width(), width), down = tapsFor(source.height(), height);
    std::vector<double> rows(3 * width * source.height());
    for (int y = 0; y < source.height(); ++y) {
        const uchar *line = source.constScanLine(y);
        for (int x = 0; x < width; ++x)
            for (int k = 0; k < int(across[x].weights.size()); ++k)
                for (int c = 0; c < 3; ++c)
                    rows[3 * (y * width + x) + c] += across[x].weights[k] * line[3 * (across[x].first + k) + c];
    }
    QImage result(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y) {
        std::vector<double> sum(3 * width);
        for (int k = 0; k < int(down[y].weights.size()); ++k)
            for (int i = 0; i < 3 * width; ++i)
                sum[i] += down[y].weights[k] * rows[3 * (down[y].first + k) * width + i];
        for (int i = 0; i < 3 * width; ++i)
            result.scanLine(y)[i] = static_cast<uchar>(std::clamp(std::lround(sum[i]), 0L, 255L));
    }
    return result;
}

std::vector<double> luma(const QImage &rgb)
{
    std::vector<double> y;
    for (int row = 0; row < rgb.height(); ++row)
        for (const uchar *p = rgb.constScanLine(row), *end = p + 3 * rgb.width(); p < end; p += 3)
            y.push_back(0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]);
    return y;
}

// `plane` (w x h) under an 11 x 11 Gaussian window (sigma 1.5, cut at 3.5 sigma), at the
// (w - 10) x (h - 10) places where the whole window lies inside.
std::vector<double> gaussianValid(const std::vector<double> &plane, int w, int h)
{
    double g[11], total = 0;
    for (int i = 0; i < 11; ++i)
        total += g[i] = std::exp(-(i - 5) * (i - 5) / (2 * 1.5 * 1.5));
    const int vw = w - 10;
    std::vector<double> across(vw * h), out(vw * (h - 10));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < vw; ++x)
            for (int i = 0; i < 11; ++i)
                across[y * vw + x] += g[i] / total * plane[y * w + x + i];
    for (int y = 0; y < h - 10; ++y)
        for (int i = 0; i < 11; ++i)
            for (int x = 0; x < vw; ++x)
                out[y * vw + x] += g[i] / total * across[(y + i) * vw + x];
    return out;
}

// Mean SSIM of the luminance of two RGB888 pictures of one size, as Wang et al. define it and
// scikit-image computes it with gaussian_weights and population covariances (K1 0.01,
// K2 0.03, data range 255), averaged over the places the whole window covers.
double ssim(const QImage &a, const QImage &b)
{
    const int w = a.width(), h = a.height();
    const std::vector<double> x = luma(a), y = luma(b);
    std::vector<double> xx(x.size()), yy(x.size()), xy(x.size());
    for (std::size_t i = 0; i < x.size(); ++i)
        xx[i] = x[i] * x[i], yy[i] = y[i] * y[i], xy[i] = x[i] * y[i];
    const auto mx = gaussianValid(x, w, h), my = gaussianValid(y, w, h);
    const auto sxx = gaussianValid(xx, w, h), syy = gaussianValid(yy, w, h), sxy = gaussianValid(xy, w, h);
    const double c1 = std::pow(0.01 * 255, 2), c2 = std::pow(0.03 * 255, 2);
    double sum = 0;
    for (std::size_t i = 0; i < mx.size(); ++i) {
        const double vx = sxx[i] - mx[i] * mx[i], vy = syy[i] - my[i] * my[i], cov = sxy[i] - mx[i] * my[i];
        sum += (2 * mx[i] * my[i] + c1) * (2 * cov + c2) / ((mx[i] * mx[i] + my[i] * my[i] + c1) * (vx + vy + c2));
    }
    return sum / static_cast<double>(mx.size());
}

double psnr(const QImage &a, const QImage &b)
{
    double squares = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int i = 0; i < 3 * a.width(); ++i)
            squares += std::pow(double(a.constScanLine(y)[i]) - b.constScanLine(y)[i], 2);
    return 10 * std::log10(255.0 * 255.0 * 3 * a.width() * a.height() / squares);
}

// Rows of black digits about 14 pixels high on white, each row shifted against the one above.
QImage finePrint()
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    QFont font(QStringLiteral("DejaVu Sans"));
    for (int pixels = 8; pixels < 40; ++pixels) {
        font.setPixelSize(pixels);
        if (QFontMetrics(font).tightBoundingRect(QStringLiteral("0123456789")).height() >= 14)
            break;
    }
    const QFontMetrics metrics(font);
    QPainter painter(&image);
    painter.setFont(font);
    const int digit = metrics.horizontalAdvance(QLatin1Char('0'));
    const QString row = QStringLiteral("0123456789 ").repeated(kWidth / digit / 8);
    for (int baseline = metrics.ascent(), line = 0; baseline < kHeight; baseline += metrics.height(), ++line)
        painter.drawText(-((line * 7) % 11) * digit, baseline, row);
    painter.end();
    // Without ink (no font at all) the comparison would say nothing.
    const auto dark = [](uchar v) { return v < 128; };
    EXPECT_GT(std::count_if(image.constBits(), image.constBits() + image.sizeInBytes(), dark), image.sizeInBytes() / 20);
    return image.convertToFormat(QImage::Format_RGB888);
}

// Grey rings cos(k r^2) that reach half a cycle a pixel in the corners.
QImage zonePlate()
{
    QImage image(kWidth, kHeight, QImage::Format_Grayscale8);
    const double cx = (kWidth - 1) / 2.0, cy = (kHeight - 1) / 2.0;
    const double k = std::numbers::pi / 2 / std::hypot(cx, cy);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const double r2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
            image.scanLine(y)[x] = static_cast<uchar>(std::lround(127.5 + 127.5 * std::cos(k * r2)));
        }
    return image.convertToFormat(QImage::Format_RGB888);
}

// Smooth colour clouds, as a photograph's detail runs from broad shapes to fine texture: random
// values on grids of 512 down to 2 pixels, each blended smoothly between its grid points.
QImage photoLike()
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(-1, 1);
    std::vector<double> sum(3 * kWidth * kHeight, 128);
    const auto smooth = [](double t) { return t * t * (3 - 2 * t); };
    for (int cell = 512; cell >= 2; cell /= 2) {
        const int gw = kWidth / cell + 2, gh = kHeight / cell + 2;
        std::vector<double> grid(3 * gw * gh);
        for (double &g : grid)
            g = value(random) * 60 * std::pow(cell / 512.0, 0.4); // finer grids a little weaker
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const double tx = smooth(double(x % cell) / cell), ty = smooth(double(y % cell) / cell);
                const double *g = &grid[3 * ((y / cell) * gw + x / cell)];
                for (int c = 0; c < 3; ++c)
                    sum[3 * (y * kWidth + x) + c] += (g[c] * (1 - tx) + g[3 + c] * tx) * (1 - ty)
                                                     + (g[3 * gw + c] * (1 - tx) + g[3 * gw + 3 + c] * tx) * ty;
            }
    }
    QImage image(kWidth, kHeight, QImage::Format_RGB888);
    for (int y = 0; y < kHeight; ++y)
        for (int i = 0; i < 3 * kWidth; ++i)
            image.scanLine(y)[i] = static_cast<uchar>(std::clamp(std::lround(sum[3 * y * kWidth + i]), 0L, 255L));
    return image;
}

struct Quality {
    double ssim = 0, psnr = 0;
};

// Saves `picture` ("PNG", or "JPG" at quality 95), prints it into the cell as printing does and
// measures the print against the Lanczos resize of the file's own full-size decode.
Quality printed(const QImage &picture, const char *format, const char *what)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picture.") + QString::fromLatin1(format).toLower());
    EXPECT_TRUE(picture.save(path, format, 95));
    const FittedPicture fitted = FitPictureFile(kCell, path, Turn::Upright);
    if (!fitted.rect || fitted.image.isNull()) {
        ADD_FAILURE() << "nothing was printed";
        return {};
    }
    const QImage print = fitted.image.convertToFormat(QImage::Format_RGB888);
    const QImage reference = lanczosResize(QImage(path), print.width(), print.height());
    const Quality q{ssim(print, reference), psnr(print, reference)};
    std::printf("%s, decoded at %d x %d: SSIM %.4f, PSNR %.2f dB\n", what, fitted.decoded.width(),
                fitted.decoded.height(), q.ssim, q.psnr);
    return q;
}

TEST(PrintQuality, FineTextPngStaysClose)
{
    EXPECT_GE(printed(finePrint(), "PNG", "fine text PNG").ssim, 0.95);
}

TEST(PrintQuality, FineTextJpegStaysClose)
{
    EXPECT_GE(printed(finePrint(), "JPG", "fine text JPEG q95").ssim, 0.93);
}

TEST(PrintQuality, ZonePlateDoesNotAlias)
{
    EXPECT_GE(printed(zonePlate(), "PNG", "zone plate PNG").ssim, 0.75);
}

TEST(PrintQuality, PhotoLikeJpegStaysClose)
{
    const Quality q = printed(photoLike(), "JPG", "photo-like JPEG q95");
    EXPECT_GE(q.psnr, 40.0);
    EXPECT_GE(q.ssim, 0.99);
}

} // namespace
} // namespace quiltana::test
