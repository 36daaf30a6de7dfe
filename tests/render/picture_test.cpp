#include "picture.h"

#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "decode.h"
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

TEST(TurnPicture, RightMovesEveryPixelToColumnHMinus1MinusYRowX)
{
    const QImage source = distinctPicture();
    const QImage turned = TurnPicture(source, Turn::Right);
    ASSERT_EQ(turned.size(), QSize(2, 3));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(turned.pixel(2 - 1 - y, x), source.pixel(x, y)) << x << "," << y;
}

TEST(TurnPicture, LeftMovesEveryPixelToColumnYRowWMinus1MinusX)
{
    const QImage source = distinctPicture();
    const QImage turned = TurnPicture(source, Turn::Left);
    ASSERT_EQ(turned.size(), QSize(2, 3));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(turned.pixel(y, 3 - 1 - x), source.pixel(x, y)) << x << "," << y;
}

TEST(TurnPicture, OtherOrientationsLeaveThePictureUpright)
{
    const QImage source = distinctPicture();
    for (int orientation : {0, 3, -1, 90}) {
        const QImage same = TurnPicture(source, static_cast<Turn>(orientation));
        EXPECT_EQ(same, source) << orientation;
    }
}

// ---- Stretching ------------------------------------------------------------------------

TEST(StretchBitmap, RepeatsAndDropsPixelsWithoutBlending)
{
    QImage picture(2, 1, QImage::Format_RGB888);
    picture.setPixel(0, 0, qRgb(255, 0, 0));
    picture.setPixel(1, 0, qRgb(0, 0, 255));
    QImage canvas = blankCanvas(12, 6, Qt::gray);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        EXPECT_EQ(StretchBitmap(painter, 1, 2, 6, 4, picture), 0);
        // the painter's own setting survives the transfer
        EXPECT_TRUE(painter.testRenderHint(QPainter::SmoothPixmapTransform));
    }
    // five columns from two: source column x * 2 / 5 = 0, 0, 0, 1, 1
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 12; ++x) {
            QRgb expected = rgbOf(Qt::gray);
            if (y >= 2 && y < 4 && x >= 1 && x < 6)
                expected = x - 1 < 3 ? qRgb(255, 0, 0) & 0xFFFFFFu : qRgb(0, 0, 255) & 0xFFFFFFu;
            EXPECT_EQ(rgbAt(canvas, x, y), expected) << x << "," << y;
        }
    }
}

TEST(StretchBitmap, EmptyDestinationDrawsNothing)
{
    QImage canvas = blankCanvas(10, 10, Qt::gray);
    const QImage before = canvas;
    {
        QPainter painter(&canvas);
        EXPECT_EQ(StretchBitmap(painter, 5, 5, 5, 9, solidPicture(4, 4, Qt::red)), 0);
        EXPECT_EQ(StretchBitmap(painter, 5, 5, 9, 2, solidPicture(4, 4, Qt::red)), 0);
    }
    EXPECT_EQ(canvas, before);
}

// ---- Nearest-neighbour sampling -----------------------------------------------------------

// A picture whose every pixel has its own colour, in a format other than RGB888.
QImage rampPicture(int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y, qRgb(x * 7 % 256, y * 11 % 256, (x * 3 + y * 5) % 256));
    return picture;
}

// Every destination pixel (x, y) is source pixel (x * sw / w, y * sh / h), nothing blended.
void expectNearest(const QImage &result, const QImage &source, const std::string &what)
{
    ASSERT_FALSE(result.isNull()) << what;
    ASSERT_EQ(result.format(), QImage::Format_RGB888) << what;
    const int w = result.width();
    const int h = result.height();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int sx = static_cast<int>(static_cast<qint64>(x) * source.width() / w);
            const int sy = static_cast<int>(static_cast<qint64>(y) * source.height() / h);
            ASSERT_EQ(result.pixel(x, y) & 0xFFFFFFu, source.pixel(sx, sy) & 0xFFFFFFu)
                << what << " pixel " << x << "," << y;
        }
}

TEST(NearestSampling, WholePicturesAndRowsFedOneByOneTakeTheSameSourcePixels)
{
    const QImage source = rampPicture(37, 23);
    const QImage rgb = source.convertToFormat(QImage::Format_RGB888);
    // Reduced, enlarged, one way each, to a single pixel, and at the same size.
    for (const QSize size : {QSize(11, 7), QSize(100, 61), QSize(80, 5), QSize(3, 50), QSize(1, 1), QSize(37, 23)}) {
        const std::string what = std::to_string(size.width()) + "x" + std::to_string(size.height());
        expectNearest(StretchNearest(source, size.width(), size.height()), source, "whole " + what);

        // As a decoder delivers them: each row written into the sampler's own buffer.
        NearestRowSampler sampler;
        ASSERT_TRUE(sampler.start(rgb.width(), rgb.height(), size.width(), size.height()));
        for (int y = 0; y < rgb.height(); ++y) {
            std::memcpy(sampler.rowBuffer(), rgb.constScanLine(y), static_cast<std::size_t>(rgb.width()) * 3);
            sampler.rowDone(y);
        }
        expectNearest(sampler.image(), source, "rows " + what);
    }
}

TEST(NearestSampling, NothingToSampleGivesNoPicture)
{
    const QImage source = rampPicture(5, 4);
    EXPECT_TRUE(StretchNearest(source, 0, 4).isNull());
    EXPECT_TRUE(StretchNearest(source, 4, -1).isNull());
    EXPECT_TRUE(StretchNearest(QImage(), 4, 4).isNull());
    // A sampler with a target of zero size takes the rows and keeps nothing.
    NearestRowSampler sampler;
    ASSERT_TRUE(sampler.start(5, 4, 0, 3));
    for (int y = 0; y < 4; ++y)
        sampler.rowDone(y);
    EXPECT_TRUE(sampler.image().isNull());
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

TEST_F(DrawPictureTest, TurnedPictureLandsPixelByPixel)
{
    const QImage source = distinctPicture();
    const QString path = writePicture(dir, "distinct.bmp", source, "BMP");
    // turned right the picture is 2 x 3; a 20 x 30 cell gives every pixel a 10 x 10 block
    const std::optional<Rect> drawn = draw({10, 5, 30, 35}, path, Turn::Right);
    ASSERT_TRUE(drawn);
    EXPECT_EQ(*drawn, (Rect{10, 5, 30, 35}));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            for (int dy = 0; dy < 10; ++dy)
                for (int dx = 0; dx < 10; ++dx)
                    ASSERT_EQ(rgbAt(canvas, 10 + (1 - y) * 10 + dx, 5 + x * 10 + dy),
                              source.pixel(x, y) & 0xFFFFFFu);
    // nothing outside the picture rectangle was touched
    EXPECT_EQ(boundingBox(canvas, [](QRgb c) { return c != rgbOf(Qt::gray); }), QRect(10, 5, 20, 30));
}

TEST_F(DrawPictureTest, TurnedLeftPictureLandsPixelByPixel)
{
    const QImage source = distinctPicture();
    const QString path = writePicture(dir, "distinct.png", source, "PNG");
    ASSERT_TRUE(draw({0, 0, 20, 30}, path, Turn::Left));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(rgbAt(canvas, y * 10 + 5, (2 - x) * 10 + 5), source.pixel(x, y) & 0xFFFFFFu);
}

TEST_F(DrawPictureTest, FitsAndCentresTheDecodedPicture)
{
    const QString path = writePicture(dir, "square.bmp", solidPicture(100, 100, Qt::blue), "BMP");
    const std::optional<Rect> drawn = draw({10, 10, 110, 50}, path);
    ASSERT_TRUE(drawn);
    EXPECT_EQ(*drawn, (Rect{40, 10, 80, 50}));
    EXPECT_EQ(boundingBox(canvas, [](QRgb c) { return c == rgbOf(Qt::blue); }), QRect(40, 10, 40, 40));
}

TEST_F(DrawPictureTest, UprightPicturesSampledRowByRowMatchAWholeStretch)
{
    // Every pixel its own colour, drawn reduced and enlarged: sampling the rows as the decoder
    // delivers them must give exactly what stretching the whole decoded picture gives.
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
        const QImage expected = StretchNearest(decoded, drawn->width(), drawn->height());
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

} // namespace
} // namespace quiltana
