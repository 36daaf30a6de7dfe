// Decoding pictures the tests write themselves: colours of every PNG and JPEG colour model,
// the reduced JPEG scale, and how failures are reported.
#include "decode.h"
#include "error.h"
#include "picture.h"
#include "picturewriter.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>

namespace quiltana {
namespace {

using test::EncodeJpeg;
using test::kQuadrants;
using test::PatternRows;
using test::QuadrantJpeg;
using test::JpegSpec;
using test::PngSpec;
using test::WriteBytes;
using test::WritePng;

class DecodeTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString file(const QString &name) const { return dir_.filePath(name); }

    QTemporaryDir dir_;
};

QRgb PixelOf(const QImage &image, int x, int y) { return image.pixel(x, y) & 0xffffff; }

::testing::AssertionResult NearColour(QRgb got, QRgb expected, int tolerance)
{
    if (std::abs(qRed(got) - qRed(expected)) <= tolerance
        && std::abs(qGreen(got) - qGreen(expected)) <= tolerance
        && std::abs(qBlue(got) - qBlue(expected)) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << std::hex << "got " << got << ", expected " << expected;
}

TEST_F(DecodeTest, GreyPngsOfEveryDepthBecomeGreyRgb)
{
    struct Case {
        int depth;
        std::vector<unsigned char> row; // four pixels, packed
        std::vector<int> grey;          // what they mean at 8 bits
    };
    const Case cases[] = {
        {1, {0b1010'0000}, {255, 0, 255, 0}},
        {2, {0b0001'1011}, {0, 85, 170, 255}},
        {4, {0x0f, 0x83}, {0, 255, 136, 51}},
        {8, {0, 17, 200, 255}, {0, 17, 200, 255}},
        {16, {0x12, 0x34, 0xab, 0xcd, 0xff, 0xff, 0x00, 0x80}, {0x12, 0xab, 0xff, 0x00}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.depth);
        const QString path = file(QStringLiteral("grey%1.png").arg(c.depth));
        WritePng(path, PngSpec{4, 1, PNG_COLOR_TYPE_GRAY, c.depth, false, {c.row}, {}, {}, -1});
        const QImage image = DecodePicture(path, PictureKind::Png);
        ASSERT_EQ(image.size(), QSize(4, 1));
        ASSERT_EQ(image.format(), QImage::Format_RGB888);
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(PixelOf(image, x, 0), qRgb(c.grey[x], c.grey[x], c.grey[x]) & 0xffffff) << x;
    }
}

TEST_F(DecodeTest, SixteenBitPngGivesTheStoredColours)
{
    const QString rgb16 = file(QStringLiteral("rgb16.png"));
    WritePng(rgb16, PngSpec{1, 1, PNG_COLOR_TYPE_RGB, 16, false,
                            {{0xfe, 0x01, 0x80, 0xff, 0x00, 0x10}}, {}, {}, -1});
    EXPECT_EQ(PixelOf(DecodePicture(rgb16, PictureKind::Png), 0, 0), 0xfe8000u);
}

TEST_F(DecodeTest, InterlacedPngEqualsThePlainOne)
{
    const auto rows = PatternRows(13, 11);
    const QString plain = file(QStringLiteral("plain.png"));
    const QString interlaced = file(QStringLiteral("adam7.png"));
    WritePng(plain, PngSpec{13, 11, PNG_COLOR_TYPE_RGB, 8, false, rows, {}, {}, -1});
    WritePng(interlaced, PngSpec{13, 11, PNG_COLOR_TYPE_RGB, 8, true, rows, {}, {}, -1});
    const QImage a = DecodePicture(plain, PictureKind::Png);
    const QImage b = DecodePicture(interlaced, PictureKind::Png);
    ASSERT_EQ(a.size(), QSize(13, 11));
    EXPECT_EQ(a, b);
    EXPECT_EQ(PixelOf(b, 12, 10), qRgb(12 * 7 + 130, 12 * 7 + 130 + 50, (12 * 7 + 130 + 100) & 0xff) & 0xffffff);
}

void ExpectQuadrants(const QImage &image, int tolerance)
{
    const int w = image.width(), h = image.height();
    EXPECT_TRUE(NearColour(PixelOf(image, w / 4, h / 4), kQuadrants[0], tolerance));
    EXPECT_TRUE(NearColour(PixelOf(image, 3 * w / 4, h / 4), kQuadrants[1], tolerance));
    EXPECT_TRUE(NearColour(PixelOf(image, w / 4, 3 * h / 4), kQuadrants[2], tolerance));
    EXPECT_TRUE(NearColour(PixelOf(image, 3 * w / 4, 3 * h / 4), kQuadrants[3], tolerance));
}

TEST_F(DecodeTest, JpegBaselineProgressiveAndArithmeticGiveTheSameColours)
{
    for (int variant = 0; variant < 3; ++variant) {
        SCOPED_TRACE(variant);
        JpegSpec spec = QuadrantJpeg(32, 32);
        spec.progressive = variant == 1;
        spec.arithmetic = variant == 2;
        const QString path = file(QStringLiteral("q%1.jpg").arg(variant));
        WriteBytes(path, EncodeJpeg(spec));
        const QImage image = DecodePicture(path, PictureKind::Jpeg);
        ASSERT_EQ(image.size(), QSize(32, 32));
        ASSERT_EQ(image.format(), QImage::Format_RGB888);
        ExpectQuadrants(image, 6);
    }
}

TEST_F(DecodeTest, GreyJpegBecomesGreyRgb)
{
    JpegSpec spec;
    spec.width = 16;
    spec.height = 8;
    spec.inSpace = JCS_GRAYSCALE;
    spec.components = 1;
    spec.pixels.assign(16 * 8, 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 8; x < 16; ++x)
            spec.pixels[static_cast<size_t>(y * 16 + x)] = 200;
    const QString path = file(QStringLiteral("grey.jpg"));
    WriteBytes(path, EncodeJpeg(spec));
    const QImage image = DecodePicture(path, PictureKind::Jpeg);
    EXPECT_TRUE(NearColour(PixelOf(image, 3, 3), qRgb(0, 0, 0), 3));
    EXPECT_TRUE(NearColour(PixelOf(image, 12, 3), qRgb(200, 200, 200), 3));
    const QRgb p = PixelOf(image, 12, 3);
    EXPECT_TRUE(qRed(p) == qGreen(p) && qGreen(p) == qBlue(p));
}

// Adobe stores CMYK inverted (255 = no ink), as Photoshop writes it; libjpeg writes the Adobe
// marker for CMYK and YCCK files.
TEST_F(DecodeTest, AdobeCmykAndYcckJpegsGiveRgb)
{
    for (J_COLOR_SPACE stored : {JCS_CMYK, JCS_YCCK}) {
        SCOPED_TRACE(stored);
        JpegSpec spec;
        spec.width = 32;
        spec.height = 32;
        spec.inSpace = JCS_CMYK;
        spec.components = 4;
        spec.storedSpace = stored;
        spec.fullChroma = true;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const int q = (y >= 16) * 2 + (x >= 16);
                const QRgb c = kQuadrants[q];
                // The last quadrant's grey is made with black ink alone.
                if (q == 3)
                    spec.pixels.insert(spec.pixels.end(), {255, 255, 255, 128});
                else
                    spec.pixels.insert(spec.pixels.end(),
                                       {static_cast<unsigned char>(qRed(c)), static_cast<unsigned char>(qGreen(c)),
                                        static_cast<unsigned char>(qBlue(c)), 255});
            }
        const QString path = file(QStringLiteral("cmyk%1.jpg").arg(stored));
        WriteBytes(path, EncodeJpeg(spec));
        const QImage image = DecodePicture(path, PictureKind::Jpeg);
        ASSERT_EQ(image.size(), QSize(32, 32));
        ExpectQuadrants(image, 6);
    }
}

TEST_F(DecodeTest, TruncatedJpegDecodesButTruncatedPngFails)
{
    // Fine detail, so that most of the file is picture data rather than tables.
    JpegSpec spec = QuadrantJpeg(128, 128);
    for (size_t i = 0; i < spec.pixels.size(); ++i)
        spec.pixels[i] = static_cast<unsigned char>(spec.pixels[i] ^ ((i * 2654435761u) >> 24));
    const QByteArray jpeg = EncodeJpeg(spec);
    const QString cutJpeg = file(QStringLiteral("cut.jpg"));
    WriteBytes(cutJpeg, jpeg.left(jpeg.size() * 2 / 3));
    // libjpeg warns ("Premature end of JPEG file") and fills the rest; the picture is usable.
    EXPECT_EQ(DecodePicture(cutJpeg, PictureKind::Jpeg).size(), QSize(128, 128));

    const QString whole = file(QStringLiteral("whole.png"));
    WritePng(whole, PngSpec{40, 40, PNG_COLOR_TYPE_RGB, 8, false, PatternRows(40, 40), {}, {}, -1});
    QFile in(whole);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QByteArray png = in.readAll();
    const QString cutPng = file(QStringLiteral("cut.png"));
    WriteBytes(cutPng, png.left(png.size() / 2));
    EXPECT_THROW((void)DecodePicture(cutPng, PictureKind::Png), Error);
}

// The error text: the file as the user knows it, a colon, the reason.
QString ErrorText(const QString &path, PictureKind kind)
{
    try {
        (void)DecodePicture(path, kind);
    } catch (const Error &e) {
        return e.message();
    }
    return QString();
}

TEST_F(DecodeTest, FailuresNameTheFileAndTheReason)
{
    const QString missing = file(QStringLiteral("missing.jpg"));
    const QString prefix = QDir::toNativeSeparators(missing) + QStringLiteral(": ");
    EXPECT_TRUE(ErrorText(missing, PictureKind::Jpeg).startsWith(prefix + QStringLiteral("cannot open")));
    EXPECT_TRUE(ErrorText(file(QStringLiteral("missing.png")), PictureKind::Png).contains(QStringLiteral("cannot open")));
    EXPECT_TRUE(ErrorText(file(QStringLiteral("missing.bmp")), PictureKind::Bmp).contains(QStringLiteral("cannot open")));

    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("folder.jpg")));
    EXPECT_TRUE(ErrorText(file(QStringLiteral("folder.jpg")), PictureKind::Jpeg).contains(QStringLiteral("folder")));

    const QString empty = file(QStringLiteral("empty.jpg"));
    WriteBytes(empty, QByteArray());
    EXPECT_EQ(ErrorText(empty, PictureKind::Jpeg), QDir::toNativeSeparators(empty) + QStringLiteral(": Empty input file"));

    const QString text = file(QStringLiteral("text.png"));
    WriteBytes(text, QByteArray("this is not a picture at all"));
    EXPECT_EQ(ErrorText(text, PictureKind::Png), QDir::toNativeSeparators(text) + QStringLiteral(": Not a PNG file"));
    const QString textJpeg = file(QStringLiteral("text.jpg"));
    WriteBytes(textJpeg, QByteArray("this is not a picture at all"));
    EXPECT_TRUE(ErrorText(textJpeg, PictureKind::Jpeg).startsWith(QDir::toNativeSeparators(textJpeg) + QStringLiteral(": Not a JPEG file")));
    const QString textBmp = file(QStringLiteral("text.bmp"));
    WriteBytes(textBmp, QByteArray("this is not a picture at all"));
    EXPECT_EQ(ErrorText(textBmp, PictureKind::Bmp), QDir::toNativeSeparators(textBmp) + QStringLiteral(": not a BMP file"));

    const QString shortBmp = file(QStringLiteral("short.bmp"));
    WriteBytes(shortBmp, QByteArray("BM\x40\0\0\0\0\0\0\0\x36\0\0\0\x28\0", 16));
    EXPECT_EQ(ErrorText(shortBmp, PictureKind::Bmp), QDir::toNativeSeparators(shortBmp) + QStringLiteral(": the BMP header is truncated"));

    EXPECT_TRUE(ErrorText(textBmp, PictureKind::None).endsWith(QStringLiteral("not a picture file")));
}

TEST_F(DecodeTest, JapaneseFileNamesOpen)
{
    const QString png = file(QStringLiteral("写真 1.png"));
    WritePng(png, PngSpec{3, 2, PNG_COLOR_TYPE_RGB, 8, false, PatternRows(3, 2), {}, {}, -1});
    EXPECT_EQ(DecodePicture(png, PictureKind::Png).size(), QSize(3, 2));
    const QString jpg = file(QStringLiteral("写真 2.JPG"));
    WriteBytes(jpg, EncodeJpeg(QuadrantJpeg(16, 8)));
    EXPECT_EQ(DecodePicture(jpg, PictureKind::Jpeg).size(), QSize(16, 8));
    const QString bmp = file(QStringLiteral("写真 3.bmp"));
    QImage small(5, 4, QImage::Format_RGB888);
    small.fill(QColor(10, 200, 30));
    ASSERT_TRUE(small.save(bmp, "BMP"));
    const QImage back = DecodePicture(bmp, PictureKind::Bmp);
    EXPECT_EQ(back.format(), QImage::Format_RGB888);
    EXPECT_EQ(back, small);
}

TEST_F(DecodeTest, ReducedJpegScaleIsTheSmallestThatHoldsTheSize)
{
    const QString path = file(QStringLiteral("scaled.jpg"));
    WriteBytes(path, EncodeJpeg(QuadrantJpeg(800, 600)));
    struct Case {
        int minWidth, minHeight;
        QSize expected;
    };
    const Case cases[] = {
        {100, 75, {100, 75}},   {101, 75, {200, 150}},  {100, 76, {200, 150}},
        {300, 200, {300, 225}}, {700, 1, {700, 525}},   {800, 600, {800, 600}},
        {1000, 900, {800, 600}}, {0, 0, {100, 75}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.minWidth << "x" << c.minHeight);
        int w = 0, h = 0;
        const QImage image = DecodePictureForSize(path, PictureKind::Jpeg, c.minWidth, c.minHeight, &w, &h);
        EXPECT_EQ(image.size(), c.expected);
        EXPECT_EQ(w, 800);
        EXPECT_EQ(h, 600);
        ExpectQuadrants(image, 8);
    }
    // Other kinds always come whole.
    const QString png = file(QStringLiteral("scaled.png"));
    WritePng(png, PngSpec{40, 30, PNG_COLOR_TYPE_RGB, 8, false, PatternRows(40, 30), {}, {}, -1});
    int w = 0, h = 0;
    EXPECT_EQ(DecodePictureForSize(png, PictureKind::Png, 5, 5, &w, &h).size(), QSize(40, 30));
    EXPECT_EQ(QSize(w, h), QSize(40, 30));
}

TEST_F(DecodeTest, AStoppedDecodingGivesUpBeforeItsRowsAndNamesItsFile)
{
    // Asked before it starts, each kind stops where it asks: a progressive JPEG while libjpeg
    // reads its scans, an interlaced PNG between the rows of its passes, a BMP between chunks.
    JpegSpec spec = QuadrantJpeg(40, 64);
    WriteBytes(file(QStringLiteral("s.jpg")), EncodeJpeg(spec));
    spec.progressive = true;
    WriteBytes(file(QStringLiteral("p.jpg")), EncodeJpeg(spec));
    PngSpec png;
    png.width = 40;
    png.height = 64;
    png.colorType = PNG_COLOR_TYPE_RGB;
    png.rows = PatternRows(40, 64);
    WritePng(file(QStringLiteral("plain.png")), png);
    png.interlaced = true;
    WritePng(file(QStringLiteral("adam7.png")), png);
    ASSERT_TRUE(QImage(40, 64, QImage::Format_RGB888).save(file(QStringLiteral("b.bmp"))));
    for (const char *name : {"s.jpg", "p.jpg", "plain.png", "adam7.png", "b.bmp"}) {
        const QString path = file(QString::fromLatin1(name));
        StopFlag stop{true};
        try {
            (void)FitPictureFile(Rect{0, 0, 40, 64}, path, Turn::Upright, &stop);
            ADD_FAILURE() << name << ": not stopped";
        } catch (const PictureError &e) {
            EXPECT_TRUE(e.message().startsWith(QDir::toNativeSeparators(path) + QStringLiteral(": "))) << e.what();
        }
        stop = false;
        EXPECT_TRUE(FitPictureFile(Rect{0, 0, 40, 64}, path, Turn::Upright, &stop).rect) << name;
    }
}

} // namespace
} // namespace quiltana
