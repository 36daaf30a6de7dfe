#include "picture.h"

#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "decode.h"
#include "decodecost.h"
#include "error.h"
#include "scale.h"
#include "renderfixture.h"

namespace quiltana {
namespace {

using test::blankCanvas;
using test::boundingBox;
using test::rgbAt;
using test::rgbOf;
using test::solidPicture;
using test::writePicture;

// ---- Fitting ---------------------------------------------------------------------------

struct FitCase {
    const char *name;
    int pictureWidth, pictureHeight;
    Rect cell;
    std::optional<Rect> expected;
};

class FitTest : public ::testing::TestWithParam<FitCase> {};

TEST_P(FitTest, PictureRectangle)
{
    const FitCase &c = GetParam();
    const std::optional<Rect> fitted = FitPicture(c.pictureWidth, c.pictureHeight, c.cell);
    ASSERT_EQ(fitted.has_value(), c.expected.has_value());
    if (fitted) {
        EXPECT_EQ(*fitted, *c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FitTest,
    ::testing::Values(
        // wider than the cell: full width, centred vertically
        FitCase{"Landscape", 3000, 2000, {390, 130, 2289, 3302}, Rect{390, 1083, 2289, 2349}},
        // the same picture turned: 2000 x 3000, still wider than the tall cell
        FitCase{"LandscapeTurned", 2000, 3000, {390, 130, 2289, 3302}, Rect{390, 292, 2289, 3140}},
        // narrower than the cell: full height, centred horizontally
        FitCase{"SquareInWideCell", 100, 100, {50, 20, 1050, 420}, Rect{350, 20, 750, 420}},
        FitCase{"SquareInSquare", 640, 640, {7, 9, 107, 109}, Rect{7, 9, 107, 109}},
        // small pictures are enlarged
        FitCase{"EnlargedToFill", 10, 10, {0, 0, 100, 50}, Rect{25, 0, 75, 50}},
        // FW = trunc(10 * 5 / 3) = 16, offset (20 - 16) / 2 = 2, right = trunc(2 + 16.67) = 18
        FitCase{"RightEdgeTruncated", 5, 3, {0, 0, 20, 10}, Rect{2, 0, 18, 10}},
        // left of the origin the unrounded right edge truncates toward zero:
        // trunc(-20 + 0 + 3 * 3.5) = trunc(-9.5) = -9, one unit right of left + FW = -10
        FitCase{"RightEdgeFromFloatLeftOfOrigin", 7, 2, {-20, 0, -9, 3}, Rect{-20, 0, -9, 3}},
        FitCase{"ZeroHeightCell", 100, 100, {0, 10, 100, 10}, std::nullopt},
        FitCase{"NegativeWidthCell", 100, 100, {80, 80, 47, 147}, std::nullopt},
        // so flat that the fitted height truncates to nothing
        FitCase{"FittedToNothing", 1000, 1, {0, 0, 10, 10}, std::nullopt}),
    [](const ::testing::TestParamInfo<FitCase> &info) { return std::string(info.param.name); });

// ---- Turning ---------------------------------------------------------------------------

// 3 x 2 picture whose every pixel has its own colour, made from its column and row.
QImage distinctPicture()
{
    QImage image(3, 2, QImage::Format_RGB888);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            image.setPixel(x, y, qRgb(40 + 70 * x, 60 + 120 * y, 200 - 30 * x - 50 * y));
    return image;
}

// The middle of an enlarged pixel keeps its colour within a few levels; its neighbours in
// distinctPicture differ by 30 or more in some channel.
void expectNearColour(QRgb drawn, QRgb source)
{
    EXPECT_NEAR(qRed(drawn), qRed(source), 8);
    EXPECT_NEAR(qGreen(drawn), qGreen(source), 8);
    EXPECT_NEAR(qBlue(drawn), qBlue(source), 8);
}

// Where each pixel of distinctPicture (3 x 2) lands when it is turned: for each row of the
// turned picture (2 x 3), the source (column, row) of its pixels from left to right.
struct TurnCase {
    Turn turn;
    QPoint from[3][2];
};
const TurnCase kTurns[] = {
    // a quarter clockwise: the bottom row comes to the left column, read upwards
    {Turn::Right, {{{0, 1}, {0, 0}}, {{1, 1}, {1, 0}}, {{2, 1}, {2, 0}}}},
    // a quarter counter-clockwise: the right column comes to the top row
    {Turn::Left, {{{2, 0}, {2, 1}}, {{1, 0}, {1, 1}}, {{0, 0}, {0, 1}}}},
};

TEST(TurnPicture, QuarterTurnsMoveEveryPixel)
{
    const QImage source = distinctPicture();
    for (const TurnCase &t : kTurns) {
        const QImage turned = TurnPicture(source, t.turn);
        ASSERT_EQ(turned.size(), QSize(2, 3));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 2; ++x)
                EXPECT_EQ(turned.pixel(x, y), source.pixel(t.from[y][x])) << int(t.turn) << ": " << x << "," << y;
    }
}

TEST(TurnPicture, OtherOrientationsLeaveThePictureUpright)
{
    const QImage source = distinctPicture();
    for (int orientation : {0, 3, -1, 90}) {
        const QImage same = TurnPicture(source, static_cast<Turn>(orientation));
        EXPECT_EQ(same, source) << orientation;
    }
}

// ---- Resampling ---------------------------------------------------------------------------

// A picture of `width` x `height` whose pixel (x, y) is f(x, y) in all three channels.
template <typename F>
QImage greyPicture(int width, int height, F f)
{
    QImage picture(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int v = f(x, y);
            picture.setPixel(x, y, qRgb(v, v, v));
        }
    return picture;
}

int greyAt(const QImage &image, int x, int y) { return qRed(image.pixel(x, y)); }

TEST(Resampling, EveryTapSetSumsToOneAndRepeatedPixelsKeepTheirPlaces)
{
    for (const auto &[from, to] : {std::pair{37, 11}, {11, 37}, {4000, 885}, {885, 4000}, {5, 5}, {1, 7}, {7, 1}})
        for (const Enlarge enlarge : {Enlarge::Interpolate, Enlarge::Repeat}) {
            const RowResampler::Taps taps = RowResampler::TapsFor(from, to, enlarge);
            ASSERT_EQ(taps.first.size(), static_cast<std::size_t>(to));
            for (int x = 0; x < to; ++x) {
                const auto i = static_cast<std::size_t>(x);
                ASSERT_GE(taps.first[i], 0);
                ASSERT_LE(taps.first[i] + taps.count[i], from) << from << "->" << to << " at " << x;
                if (x > 0) { // the rows' running sums need windows that only move on
                    ASSERT_GE(taps.first[i], taps.first[i - 1]);
                    ASSERT_GE(taps.first[i] + taps.count[i], taps.first[i - 1] + taps.count[i - 1]);
                }
                int sum = 0;
                for (int k = 0; k < taps.count[i]; ++k)
                    sum += taps.weights[i * static_cast<std::size_t>(taps.stride) + static_cast<std::size_t>(k)];
                ASSERT_EQ(sum, RowResampler::kWeightOne) << from << "->" << to << " at " << x;
                if (to >= from && (enlarge == Enlarge::Repeat || to == from)) {
                    // repeated (or copied) whole: source pixel x * from / to
                    ASSERT_EQ(taps.count[i], 1);
                    ASSERT_EQ(taps.first[i], x * from / to);
                }
            }
        }
}

TEST(Resampling, ReductionsAverageCentredAndEnlargementsInterpolate)
{
    // Columns alternately black and white, halved: every pixel mid-grey, none dropped.
    const QImage stripes = Resample(greyPicture(64, 8, [](int x, int) { return x % 2 ? 255 : 0; }), 32, 4,
                                    Enlarge::Interpolate);
    for (int x = 2; x < 30; ++x) // the filter's window is cut short at the picture's edges
        EXPECT_NEAR(greyAt(stripes, x, 2), 128, 1) << x;
    // A ramp of one level a column reduced fourfold: destination column x lies over source
    // position 4x + 1.5, the middle of its four pixels (not their left edge).
    const QImage ramp = Resample(greyPicture(256, 4, [](int x, int) { return x; }), 64, 1, Enlarge::Repeat);
    for (int x = 2; x < 62; ++x)
        EXPECT_NEAR(greyAt(ramp, x, 0), 4 * x + 1.5, 1.0) << x;
    // Two pixels enlarged to eight: printed in a ramp that rises at every step, repeated in
    // blocks for a work copy.
    const QImage pair = greyPicture(2, 1, [](int x, int) { return x * 255; });
    const QImage smooth = Resample(pair, 8, 1, Enlarge::Interpolate);
    const QImage blocks = Resample(pair, 8, 1, Enlarge::Repeat);
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(greyAt(blocks, x, 0), x < 4 ? 0 : 255) << x;
    for (int x = 2; x < 6; ++x)
        EXPECT_LT(greyAt(smooth, x - 1, 0), greyAt(smooth, x, 0)) << x;
}

TEST(Resampling, FlatPicturesKeepTheirColourAndRowsFedOneByOneGiveTheWholePicture)
{
    const QImage white = greyPicture(37, 23, [](int, int) { return 255; });
    QImage ramp(37, 23, QImage::Format_RGB32);
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x)
            ramp.setPixel(x, y, qRgb(x * 7 % 256, y * 11 % 256, (x * 3 + y * 5) % 256));
    const QImage rgb = ramp.convertToFormat(QImage::Format_RGB888);
    for (const QSize size : {QSize(11, 7), QSize(100, 61), QSize(80, 5), QSize(3, 50), QSize(1, 1), QSize(37, 23)})
        for (const Enlarge enlarge : {Enlarge::Interpolate, Enlarge::Repeat}) {
            const std::string what = std::to_string(size.width()) + "x" + std::to_string(size.height());
            const QImage flat = Resample(white, size.width(), size.height(), enlarge);
            ASSERT_EQ(flat.size(), size);
            for (int y = 0; y < size.height(); ++y)
                for (int x = 0; x < size.width(); ++x)
                    ASSERT_EQ(flat.pixel(x, y) & 0xFFFFFFu, 0xFFFFFFu) << what << " at " << x << "," << y;

            const QImage whole = Resample(ramp, size.width(), size.height(), enlarge);
            ASSERT_EQ(whole.format(), QImage::Format_RGB888);
            RowResampler rows;
            ASSERT_TRUE(rows.start(rgb.width(), rgb.height(), size.width(), size.height(), enlarge));
            for (int y = 0; y < rgb.height(); ++y) {
                std::memcpy(rows.rowBuffer(), rgb.constScanLine(y), static_cast<std::size_t>(rgb.width()) * 3);
                rows.rowDone(y);
            }
            EXPECT_EQ(rows.image(), whole) << what;
        }
    // The same size, copied unchanged.
    EXPECT_EQ(Resample(rgb, 37, 23, Enlarge::Interpolate), rgb);
}

TEST(Resampling, WideVectorsGiveTheSamePixels)
{
    // Wide enough for every vector loop and its remainder; reduced, enlarged and both.
    QImage source(203, 61, QImage::Format_RGB888);
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x)
            source.setPixel(x, y, qRgb((x * 37 + y * 11) % 256, (x * x + y * 5) % 256, x % 2 ? 255 : (y * 29) % 256));
    for (const QSize size : {QSize(97, 29), QSize(185, 55), QSize(611, 30), QSize(44, 180)}) {
        const bool was = RowResampler::UseWideVectors(false);
        const QImage narrow = Resample(source, size.width(), size.height(), Enlarge::Interpolate);
        RowResampler::UseWideVectors(true);
        const QImage wide = Resample(source, size.width(), size.height(), Enlarge::Interpolate);
        RowResampler::UseWideVectors(was);
        EXPECT_EQ(wide, narrow) << size.width() << "x" << size.height();
    }
}

TEST(Resampling, NothingToSampleGivesNoPicture)
{
    const QImage source = greyPicture(5, 4, [](int x, int) { return x; });
    EXPECT_TRUE(Resample(source, 0, 4, Enlarge::Interpolate).isNull());
    EXPECT_TRUE(Resample(source, 4, -1, Enlarge::Repeat).isNull());
    EXPECT_TRUE(Resample(QImage(), 4, 4, Enlarge::Interpolate).isNull());
    // A resampler with a target of zero size takes the rows and keeps nothing.
    RowResampler rows;
    ASSERT_TRUE(rows.start(5, 4, 0, 3, Enlarge::Interpolate));
    for (int y = 0; y < 4; ++y)
        rows.rowDone(y);
    EXPECT_TRUE(rows.image().isNull());
}

// ---- Drawing files ---------------------------------------------------------------------

class DrawPictureTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QImage canvas = blankCanvas(120, 80, Qt::gray);

    std::optional<Rect> draw(const Rect &cell, const QString &path, Turn orientation = Turn::Upright)
    {
        QPainter painter(&canvas);
        return DrawPicture(painter, cell, path, orientation);
    }
};

TEST_F(DrawPictureTest, TurnedPicturesLandPixelByPixel)
{
    const QImage source = distinctPicture();
    for (const TurnCase &t : kTurns) {
        SCOPED_TRACE(int(t.turn));
        for (const char *format : {"BMP", "PNG"}) {
            canvas = blankCanvas(120, 80, Qt::gray);
            const QString path = writePicture(dir, QStringLiteral("distinct.%1").arg(QLatin1String(format)).toLower(),
                                              source, format);
            // turned, the picture is 2 x 3; a 20 x 30 cell gives every pixel a 10 x 10 block,
            // interpolated between the blocks' middles
            const std::optional<Rect> drawn = draw({10, 5, 30, 35}, path, t.turn);
            ASSERT_TRUE(drawn) << format;
            EXPECT_EQ(*drawn, (Rect{10, 5, 30, 35}));
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < 2; ++x)
                    expectNearColour(rgbAt(canvas, 10 + x * 10 + 5, 5 + y * 10 + 5), source.pixel(t.from[y][x]));
            // nothing outside the picture rectangle was touched
            EXPECT_EQ(boundingBox(canvas, [](QRgb c) { return c != rgbOf(Qt::gray); }), QRect(10, 5, 20, 30));
        }
    }
}

TEST_F(DrawPictureTest, FitsAndCentresTheDecodedPicture)
{
    const QString path = writePicture(dir, "square.bmp", solidPicture(100, 100, Qt::blue), "BMP");
    std::optional<Rect> drawn;
    {
        // drawn pixel for pixel, the painter's own smoothing left as it was
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        drawn = DrawPicture(painter, {10, 10, 110, 50}, path, Turn::Upright);
        EXPECT_TRUE(painter.testRenderHint(QPainter::SmoothPixmapTransform));
    }
    ASSERT_TRUE(drawn);
    EXPECT_EQ(*drawn, (Rect{40, 10, 80, 50}));
    EXPECT_EQ(boundingBox(canvas, [](QRgb c) { return c == rgbOf(Qt::blue); }), QRect(40, 10, 40, 40));
}

TEST_F(DrawPictureTest, UprightPicturesSampledRowByRowMatchAWholeStretch)
{
    // Every pixel its own colour, drawn reduced and enlarged: resampling the rows as the decoder
    // delivers them must give exactly what resampling the whole decoded picture gives.
    QImage source(37, 23, QImage::Format_RGB888);
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x)
            source.setPixel(x, y, qRgb(x * 6, y * 10, (x + y) * 4));
    const QString path = writePicture(dir, "ramp.png", source, "PNG");
    const QImage decoded = DecodePicture(path, PictureKind::Png);
    for (const Rect &cell : {Rect{3, 4, 23, 16}, Rect{0, 0, 118, 79}}) {
        canvas = blankCanvas(120, 80, Qt::gray);
        const std::optional<Rect> drawn = draw(cell, path);
        ASSERT_TRUE(drawn);
        const QImage expected = Resample(decoded, drawn->width(), drawn->height(), Enlarge::Interpolate);
        for (int y = 0; y < drawn->height(); ++y)
            for (int x = 0; x < drawn->width(); ++x)
                ASSERT_EQ(rgbAt(canvas, drawn->left + x, drawn->top + y), expected.pixel(x, y) & 0xFFFFFFu)
                    << "cell " << cell.left << "," << cell.top << " pixel " << x << "," << y;
    }
}

TEST_F(DrawPictureTest, ExtensionsAreRecognisedWithoutRegardToCase)
{
    const QImage picture = solidPicture(30, 20, QColor(200, 30, 30));
    for (const auto &[name, format] : {std::pair{"PHOTO.JPG", "JPG"}, std::pair{"a.Png", "PNG"},
                                       std::pair{"b.jpeg", "JPG"}, std::pair{"c.BMP", "BMP"}}) {
        canvas.fill(Qt::gray);
        const QString path = writePicture(dir, QString::fromLatin1(name), picture, format);
        const std::optional<Rect> drawn = draw({0, 0, 60, 40}, path);
        ASSERT_TRUE(drawn) << name;
        EXPECT_EQ(*drawn, (Rect{0, 0, 60, 40})) << name;
        // JPEG is lossy: the middle of the cell is close to the picture's colour
        const QColor middle = canvas.pixelColor(30, 20);
        EXPECT_NEAR(middle.red(), 200, 12) << name;
        EXPECT_NEAR(middle.green(), 30, 12) << name;
    }
}

TEST_F(DrawPictureTest, UnrecognisedNamesDrawNothing)
{
    const QImage before = canvas;
    // real pictures under names the program does not read
    const QImage picture = solidPicture(30, 20, Qt::red);
    const QString gif = writePicture(dir, "c.gif", picture, "BMP");
    const QString bare = writePicture(dir, "noextension", picture, "BMP");
    for (const QString &path : {gif, bare, QString()})
        EXPECT_FALSE(draw({0, 0, 60, 40}, path)) << path.toStdString();
    EXPECT_EQ(canvas, before);
}

TEST_F(DrawPictureTest, CellWithoutRoomDrawsNothing)
{
    const QString path = writePicture(dir, "p.bmp", solidPicture(30, 20, Qt::red), "BMP");
    const QImage before = canvas;
    EXPECT_FALSE(draw({20, 20, 20, 60}, path));
    EXPECT_FALSE(draw({20, 20, 60, 10}, path));
    // a picture so flat that it fits into no row at all
    const QString flat = writePicture(dir, "flat.bmp", solidPicture(500, 1, Qt::red), "BMP");
    EXPECT_FALSE(draw({0, 0, 40, 40}, flat));
    EXPECT_EQ(canvas, before);
}

TEST_F(DrawPictureTest, UnreadableFileThrows)
{
    const QString path = dir.filePath("broken.png");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is not a picture");
    file.close();
    EXPECT_THROW(draw({0, 0, 60, 40}, path), Error);
    EXPECT_THROW(draw({0, 0, 60, 40}, dir.filePath("missing.jpg")), Error);
}

TEST_F(DrawPictureTest, AnOpenFileIsDecodedFromItsStartWhateverItsNameHoldsByThen)
{
    // Print estimates a picture's cost from the file it opens and decodes that same open file:
    // another picture put under its name in between is not the one decoded.
    for (const char *format : {"JPG", "PNG", "BMP"}) {
        SCOPED_TRACE(format);
        const QString name = QStringLiteral("open.%1").arg(QLatin1String(format)).toLower();
        const QString path = writePicture(dir, name, solidPicture(40, 30, Qt::red), format);
        const FilePtr file = OpenPictureFile(path);
        (void)HeldBytesWhileDecoding(path, file.get()); // reads the header, or the whole file
        const QString other = writePicture(dir, QStringLiteral("x") + name, solidPicture(30, 40, Qt::blue), format);
        ASSERT_TRUE(QFile::remove(path) && QFile::rename(other, path));
        const FittedPicture fitted = FitPictureFile(Rect{0, 0, 80, 60}, path, Turn::Upright, nullptr, file.get());
        ASSERT_TRUE(fitted.rect);
        EXPECT_EQ(*fitted.rect, (Rect{0, 0, 80, 60})); // 4:3 fills the cell, 3:4 would not
        const QRgb centre = rgbAt(fitted.image, 40, 30);
        EXPECT_GT(qRed(centre), 200);
        EXPECT_LT(qBlue(centre), 60);
    }
}

} // namespace
} // namespace quiltana
