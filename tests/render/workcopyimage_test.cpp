// The work copy sampled while decoding: its size, and its pixels against the whole picture
// stretched nearest-neighbour.
#include "decode.h"
#include "error.h"
#include "picturewriter.h"
#include "scale.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <png.h>

namespace quiltana {
namespace {

using test::PatternRows;
using test::PngSpec;

class WorkCopyImageTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString file(const QString &name) const { return dir_.filePath(name); }

    QString writePng(int width, int height, bool interlaced = false)
    {
        const QString path = file(QStringLiteral("p%1x%2%3.png").arg(width).arg(height).arg(interlaced ? "i" : ""));
        test::WritePng(path, PngSpec{width, height, PNG_COLOR_TYPE_RGB, 8, interlaced,
                                     PatternRows(width, height), {}, {}, -1});
        return path;
    }
    QString writeBmp(int width, int height)
    {
        const QString path = file(QStringLiteral("b%1x%2.bmp").arg(width).arg(height));
        QImage image(width, height, QImage::Format_RGB888);
        const auto rows = PatternRows(width, height);
        for (int y = 0; y < height; ++y)
            std::memcpy(image.scanLine(y), rows[static_cast<size_t>(y)].data(), static_cast<size_t>(width) * 3);
        EXPECT_TRUE(image.save(path, "BMP"));
        return path;
    }
    QString writeJpeg(int width, int height)
    {
        const QString path = file(QStringLiteral("j%1x%2.jpg").arg(width).arg(height));
        test::WriteBytes(path, test::EncodeJpeg(test::QuadrantJpeg(width, height)));
        return path;
    }

    QTemporaryDir dir_;
};

TEST_F(WorkCopyImageTest, SizeIsTwoHundredHighAndProportional)
{
    struct Case {
        int width, height;
        QSize expected;
    };
    const Case cases[] = {
        {400, 300, {266, 200}}, {300, 400, {150, 200}}, {100, 50, {400, 200}},
        {200, 200, {200, 200}}, {1200, 800, {300, 200}}, {1, 401, {1, 200}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        EXPECT_EQ(DecodeWorkCopyImage(writePng(c.width, c.height), PictureKind::Png, 200).size(), c.expected);
        EXPECT_EQ(DecodeWorkCopyImage(writeJpeg(c.width, c.height), PictureKind::Jpeg, 200).size(), c.expected);
        if (c.width * c.height <= 400 * 300) {
            EXPECT_EQ(DecodeWorkCopyImage(writeBmp(c.width, c.height), PictureKind::Bmp, 200).size(), c.expected);
        }
    }
}

TEST_F(WorkCopyImageTest, PixelsEqualTheWholePictureResampled)
{
    const QSize sizes[] = {{400, 300}, {300, 400}, {100, 50}, {401, 299}, {37, 1000}, {7, 3}};
    for (const QSize size : sizes) {
        SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
        for (const bool interlaced : {false, true}) {
            const QString png = writePng(size.width(), size.height(), interlaced);
            const QImage copy = DecodeWorkCopyImage(png, PictureKind::Png, 200);
            const QImage whole = DecodePicture(png, PictureKind::Png);
            EXPECT_EQ(copy, Resample(whole, copy.width(), 200, Enlarge::Repeat)) << "interlaced " << interlaced;
        }
        const QString bmp = writeBmp(size.width(), size.height());
        const QImage copy = DecodeWorkCopyImage(bmp, PictureKind::Bmp, 200);
        EXPECT_EQ(copy.format(), QImage::Format_RGB888);
        EXPECT_EQ(copy, Resample(DecodePicture(bmp, PictureKind::Bmp), copy.width(), 200, Enlarge::Repeat));
    }
}

// A JPEG is reduced while decoding (here to 1/4: 400 x 300), and the work copy is sampled from
// that reduced picture through the same filter.
TEST_F(WorkCopyImageTest, JpegIsSampledFromTheReducedDecode)
{
    const QString path = writeJpeg(1600, 1200);
    const QImage copy = DecodeWorkCopyImage(path, PictureKind::Jpeg, 200);
    ASSERT_EQ(copy.size(), QSize(266, 200));
    int w = 0, h = 0;
    const QImage reduced = DecodePictureForSize(path, PictureKind::Jpeg, 266, 200, &w, &h);
    EXPECT_EQ(reduced.size(), QSize(400, 300));
    EXPECT_EQ(copy, Resample(reduced, 266, 200, Enlarge::Repeat));
    const QImage full = Resample(DecodePicture(path, PictureKind::Jpeg), 266, 200, Enlarge::Repeat);
    for (const QPoint p : {QPoint(60, 50), QPoint(200, 50), QPoint(60, 150), QPoint(200, 150)}) {
        const QRgb a = copy.pixel(p), b = full.pixel(p);
        EXPECT_LE(std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b)), 12)
            << p.x() << "," << p.y();
    }
}

TEST_F(WorkCopyImageTest, OtherHeightsAndNoHeight)
{
    const QString png = writePng(400, 300);
    EXPECT_EQ(DecodeWorkCopyImage(png, PictureKind::Png, 30).size(), QSize(40, 30));
    EXPECT_TRUE(DecodeWorkCopyImage(png, PictureKind::Png, 0).isNull());
    EXPECT_THROW((void)DecodeWorkCopyImage(png, PictureKind::None, 200), Error);
}

// A picture one row high and 65535 wide is fine to decode, but its work copy would be
// 13,107,000 x 200 pixels: refused instead of allocated.
TEST_F(WorkCopyImageTest, WorkCopyOfAThinStripIsBoundedInWidth)
{
    const QString path = writePng(65535, 1);
    EXPECT_EQ(DecodePicture(path, PictureKind::Png).size(), QSize(65535, 1));
    EXPECT_EQ(DecodeWorkCopyImage(path, PictureKind::Png, 200).size(), QSize(4000, 1));
    const struct {
        int width, height;
        QSize copy;
    } cases[] = {{400, 300, {266, 200}}, {100, 50, {400, 200}}, {4000, 200, {4000, 200}},
                 {4001, 200, {4000, 199}}, {5000, 1, {4000, 1}}, {1, 5000, {1, 200}},
                 {65535, 65535, {200, 200}}};
    for (const auto &c : cases)
        EXPECT_EQ(WorkCopySize(200, c.width, c.height), c.copy) << c.width << "x" << c.height;
}

} // namespace
} // namespace quiltana
