// Pictures whose EXIF orientation says how the camera held them: decoded, made into work
// copies and drawn upright, with the user's turns on top; and EXIF blocks that lie.
#include "decode.h"
#include "exif.h"
#include "geometry.h"
#include "picture.h"
#include "picturewriter.h"

#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <optional>
#include <set>
#include <string>

namespace quiltana {
namespace {

using test::kQuadrants;

// The quadrant colours of the stored picture: a top left, b top right, c bottom left,
// d bottom right.
enum Quadrant { a, b, c, d };

// Which stored quadrant lands in each corner of the upright picture (top left, top right,
// bottom left, bottom right), for orientations 1 to 8.
constexpr std::array<std::array<Quadrant, 4>, 9> kUprightCorners = {{
    {},
    {a, b, c, d}, // as stored
    {b, a, d, c}, // mirrored left-right
    {d, c, b, a}, // half round
    {c, d, a, b}, // mirrored top-bottom
    {a, c, b, d}, // across the main diagonal
    {c, a, d, b}, // a quarter clockwise
    {d, b, c, a}, // across the other diagonal
    {b, d, a, c}, // a quarter counter-clockwise
}};

bool near(QRgb actual, QRgb expected)
{
    // JPEG keeps flat colours within a few levels.
    return std::abs(qRed(actual) - qRed(expected)) <= 12
           && std::abs(qGreen(actual) - qGreen(expected)) <= 12
           && std::abs(qBlue(actual) - qBlue(expected)) <= 12;
}

// Checks the four corners of `area` in `image`, each sampled a quarter of the way in.
void ExpectCorners(const QImage &image, const QRect &area, const std::array<Quadrant, 4> &corners,
                   const std::string &what)
{
    const int dx = area.width() / 4;
    const int dy = area.height() / 4;
    const QPoint points[4] = {{area.left() + dx, area.top() + dy},
                              {area.right() - dx, area.top() + dy},
                              {area.left() + dx, area.bottom() - dy},
                              {area.right() - dx, area.bottom() - dy}};
    const char *names[4] = {"top left", "top right", "bottom left", "bottom right"};
    for (int i = 0; i < 4; ++i) {
        const QRgb actual = image.pixel(points[i]) & 0xffffffu;
        EXPECT_TRUE(near(actual, kQuadrants[corners[static_cast<std::size_t>(i)]]))
            << what << ": " << names[i] << " is " << std::hex << actual << ", expected "
            << kQuadrants[corners[static_cast<std::size_t>(i)]];
    }
}

class ExifTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    // A 400 x 300 picture of quadrants tagged with `orientation` (0: no EXIF block at all).
    QString jpeg(int orientation, bool bigEndian = false)
    {
        QByteArray bytes = test::EncodeJpeg(test::QuadrantJpeg(400, 300));
        if (orientation)
            bytes = test::WithApp1(bytes, test::ExifWithOrientation(orientation, bigEndian));
        return write(QStringLiteral("q%1%2.jpg").arg(orientation).arg(bigEndian ? "m" : ""), bytes);
    }
    QString png(int orientation)
    {
        QByteArray bytes = test::QuadrantPng(400, 300);
        if (orientation)
            bytes = test::WithPngChunk(bytes, "eXIf", test::TiffWithOrientation(orientation));
        return write(QStringLiteral("q%1.png").arg(orientation), bytes);
    }
    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir_.filePath(name);
        test::WriteBytes(path, bytes);
        return path;
    }

    QTemporaryDir dir_;
};

QSize UprightSize(int orientation) { return orientation >= 5 ? QSize(300, 400) : QSize(400, 300); }

// The corners of the upright picture after the user's turn: turned right (1) its bottom left
// comes to the top left; turned left (2) its top right does.
std::array<Quadrant, 4> Turned(const std::array<Quadrant, 4> &q, int turn)
{
    if (turn == 1)
        return {q[2], q[0], q[3], q[1]};
    if (turn == 2)
        return {q[1], q[3], q[0], q[2]};
    return q;
}

TEST_F(ExifTest, DecodedPicturesStandUprightForAllEightOrientations)
{
    for (int o = 1; o <= 8; ++o) {
        for (const QString &path : {jpeg(o), png(o)}) {
            const std::string what = path.section(QLatin1Char('/'), -1).toStdString();
            const QImage picture = DecodePicture(path, pictureKindOf(path));
            ASSERT_EQ(picture.size(), UprightSize(o)) << what;
            ExpectCorners(picture, picture.rect(), kUprightCorners[static_cast<std::size_t>(o)], what);
        }
    }
}

TEST_F(ExifTest, BigEndianBlockIsReadWithItsByteOrder)
{
    const QImage picture = DecodePicture(jpeg(6, true), PictureKind::Jpeg);
    ASSERT_EQ(picture.size(), QSize(300, 400));
    ExpectCorners(picture, picture.rect(), kUprightCorners[6], "big-endian 6");
}

TEST_F(ExifTest, ReducedDecodeReportsTheUprightSize)
{
    int width = 0;
    int height = 0;
    // At least 100 x 140 upright is 140 x 100 stored: 3/8 of 400 x 300 (150 x 113) holds it.
    // Taken as stored, 100 x 140 would need 4/8.
    const QImage picture = DecodePictureForSize(jpeg(6), PictureKind::Jpeg, 100, 140, &width, &height);
    EXPECT_EQ(QSize(width, height), QSize(300, 400));
    EXPECT_EQ(picture.size(), QSize(113, 150));
    ExpectCorners(picture, picture.rect(), kUprightCorners[6], "reduced 6");
}

TEST_F(ExifTest, WorkCopiesFollowTheUprightSize)
{
    for (int o = 1; o <= 8; ++o) {
        for (const QString &path : {jpeg(o), png(o)}) {
            const std::string what = path.section(QLatin1Char('/'), -1).toStdString();
            const QImage copy = DecodeWorkCopyImage(path, pictureKindOf(path), 200);
            // 400 x 300 gives 266 x 200; upright 300 x 400 gives 150 x 200.
            ASSERT_EQ(copy.size(), o >= 5 ? QSize(150, 200) : QSize(266, 200)) << what;
            ExpectCorners(copy, copy.rect(), kUprightCorners[static_cast<std::size_t>(o)], what);
        }
    }
}

TEST_F(ExifTest, TurnedWorkCopyIsSizedByThePictureNotByItsReducedDecode)
{
    // 300 x 311 turned by its tag stands 311 x 300: trunc(200 * 311 / 300) = 207 wide. Decoded
    // at 6/8 (225 x 234, upright 234 x 225) the same rule would give 208.
    const QByteArray plain = test::EncodeJpeg(test::QuadrantJpeg(300, 311));
    for (const int o : {6, 8}) {
        const QString path = write(QStringLiteral("odd%1.jpg").arg(o), test::WithApp1(plain, test::ExifWithOrientation(o)));
        const QImage copy = DecodeWorkCopyImage(path, PictureKind::Jpeg, 200);
        EXPECT_EQ(copy.size(), QSize(207, 200)) << o;
    }
}

TEST_F(ExifTest, DrawingFitsTheUprightPictureAndTurnsOnTopOfIt)
{
    const Rect cell{0, 0, 600, 600};
    for (int o = 1; o <= 8; ++o) {
        for (int turn = 0; turn <= 2; ++turn) {
            for (const QString &path : {jpeg(o), png(o)}) {
                const std::string what = path.section(QLatin1Char('/'), -1).toStdString()
                                         + " turned " + std::to_string(turn);
                QImage canvas(600, 600, QImage::Format_RGB32);
                canvas.fill(Qt::white);
                QPainter painter(&canvas);
                const std::optional<Rect> drawn = DrawPicture(painter, cell, path, static_cast<Turn>(turn));
                painter.end();
                ASSERT_TRUE(drawn) << what;
                // A tall picture stands 450 x 600 in the middle, a wide one 600 x 450.
                const bool tall = (o >= 5) != (turn != 0);
                const Rect expected = tall ? Rect{75, 0, 525, 600} : Rect{0, 75, 600, 525};
                EXPECT_EQ(drawn->left, expected.left) << what;
                EXPECT_EQ(drawn->top, expected.top) << what;
                EXPECT_EQ(drawn->right, expected.right) << what;
                EXPECT_EQ(drawn->bottom, expected.bottom) << what;
                const QRect area(drawn->left, drawn->top, drawn->width(), drawn->height());
                ExpectCorners(canvas, area, Turned(kUprightCorners[static_cast<std::size_t>(o)], turn), what);
                // Nothing beside the picture rectangle is painted.
                const QPoint outside = tall ? QPoint(10, 300) : QPoint(300, 10);
                EXPECT_EQ(canvas.pixel(outside) & 0xffffffu, 0xffffffu) << what;
            }
        }
    }
}

// A side of `full` pixels as libjpeg decodes it at the DCT scale num/8.
int Scaled(int full, int num) { return (full * num + 7) / 8; }

TEST_F(ExifTest, FittingDecodesAtTheSmallestScaleThatCoversThePictureRectangle)
{
    // An odd size, so that reduced sides are rounded up.
    constexpr int kWidth = 1601;
    constexpr int kHeight = 1203;
    const QByteArray plain = test::EncodeJpeg(test::QuadrantJpeg(kWidth, kHeight));
    // Smaller than an eighth of the picture, wide, tall, between two scales, larger than it.
    const Rect cells[] = {{5, 7, 102, 68}, {0, 0, 520, 300}, {10, 20, 310, 720}, {0, 0, 700, 900}, {0, 0, 2000, 1900}};
    std::set<int> scales;
    for (int o = 1; o <= 8; ++o) {
        const QString path =
            write(QStringLiteral("big%1.jpg").arg(o), test::WithApp1(plain, test::ExifWithOrientation(o)));
        const QSize upright = o >= 5 ? QSize(kHeight, kWidth) : QSize(kWidth, kHeight);
        for (int turn = 0; turn <= 2; ++turn) {
            const QSize shown = turn ? upright.transposed() : upright;
            for (const Rect &cell : cells) {
                const std::string what = "orientation " + std::to_string(o) + " turned " + std::to_string(turn)
                                         + " cell " + std::to_string(cell.width()) + "x"
                                         + std::to_string(cell.height());
                const FittedPicture fitted = FitPictureFile(cell, path, static_cast<Turn>(turn));
                // Placed by the picture's full size, whatever scale it was decoded at.
                const std::optional<Rect> expected = FitPicture(shown.width(), shown.height(), cell);
                ASSERT_TRUE(expected && fitted.rect) << what;
                EXPECT_EQ(*fitted.rect, *expected) << what;
                const QSize rect(expected->width(), expected->height());
                EXPECT_EQ(fitted.image.size(), rect) << what;
                // The rectangle in the stored picture's terms: the user's turn and the camera's
                // taken back; never more than the picture has.
                QSize needed = turn ? rect.transposed() : rect;
                if (o >= 5)
                    needed.transpose();
                needed = needed.boundedTo(QSize(kWidth, kHeight));
                int num = 1;
                while (num < 8 && fitted.decoded != QSize(Scaled(kWidth, num), Scaled(kHeight, num)))
                    ++num;
                ASSERT_EQ(fitted.decoded, QSize(Scaled(kWidth, num), Scaled(kHeight, num))) << what << ": no DCT scale";
                EXPECT_GE(fitted.decoded.width(), needed.width()) << what;
                EXPECT_GE(fitted.decoded.height(), needed.height()) << what;
                if (num > 1) {
                    EXPECT_TRUE(Scaled(kWidth, num - 1) < needed.width() || Scaled(kHeight, num - 1) < needed.height())
                        << what << ": " << num - 1 << "/8 would have done";
                }
                scales.insert(num);
                ExpectCorners(fitted.image, fitted.image.rect(),
                              Turned(kUprightCorners[static_cast<std::size_t>(o)], turn), what);
            }
        }
    }
    // The cells call for reduced scales as well as none.
    EXPECT_GE(scales.size(), 4u);
}

TEST_F(ExifTest, BlocksThatLieLeaveThePictureAsStored)
{
    const QByteArray good = test::ExifWithOrientation(6);
    const QByteArray goodTiff = test::TiffWithOrientation(6);
    auto orientationOf = [](const QByteArray &block) {
        return ExifOrientation(reinterpret_cast<const unsigned char *>(block.constData()),
                               static_cast<std::size_t>(block.size()));
    };
    EXPECT_EQ(orientationOf(good), 6);
    // Cut short anywhere: the entry's value is gone, or the whole IFD.
    for (int length : {0, 5, 6, 10, 14, 16, 20, 24})
        EXPECT_EQ(orientationOf(good.left(length)), 1) << "cut to " << length;
    // Values outside 1..8, a byte-order mark that is neither, an entry of the wrong type,
    // an IFD0 offset beyond the block.
    EXPECT_EQ(orientationOf(test::ExifWithOrientation(0)), 1);
    EXPECT_EQ(orientationOf(test::ExifWithOrientation(9)), 1);
    EXPECT_EQ(orientationOf(test::ExifWithOrientation(0x0600, true)), 1);
    QByteArray badMark = good;
    badMark[6] = 'X';
    EXPECT_EQ(orientationOf(badMark), 1);
    QByteArray longType = good;
    longType[6 + 12] = 4; // LONG
    EXPECT_EQ(orientationOf(longType), 1);
    QByteArray farIfd = good;
    farIfd[6 + 4] = char(0xf0);
    farIfd[6 + 7] = char(0x7f);
    EXPECT_EQ(orientationOf(farIfd), 1);
    // A block larger than any APP1 segment could be is not read at all.
    EXPECT_EQ(orientationOf(good + QByteArray(70000, '\0')), 1);

    // In the files themselves: decoded as stored, without an error.
    const QByteArray jpegBytes = test::EncodeJpeg(test::QuadrantJpeg(400, 300));
    const QByteArray pngBytes = test::QuadrantPng(400, 300);
    const QString cutJpeg = write(QStringLiteral("cut.jpg"), test::WithApp1(jpegBytes, good.left(20)));
    const QString cutPng = write(QStringLiteral("cut.png"), test::WithPngChunk(pngBytes, "eXIf", goodTiff.left(14)));
    const QString hugePng = write(QStringLiteral("huge.png"),
                                  test::WithPngChunk(pngBytes, "eXIf", goodTiff + QByteArray(70000, '\0')));
    // An eXIf chunk whose checksum fails is not believed.
    QByteArray badCrc = test::WithPngChunk(pngBytes, "eXIf", goodTiff);
    badCrc[33 + 8 + goodTiff.size() + 3] = char(badCrc[33 + 8 + goodTiff.size() + 3] ^ 1);
    const QString badCrcPng = write(QStringLiteral("badcrc.png"), badCrc);
    // An APP1 segment that is not EXIF (XMP) before the EXIF one does not hide it.
    const QString xmpFirst = write(QStringLiteral("xmp.jpg"),
                                   test::WithApp1(test::WithApp1(jpegBytes, good),
                                                  QByteArray("http://ns.adobe.com/xap/1.0/\0<x/>", 34)));
    for (const QString &path : {cutJpeg, cutPng, hugePng, badCrcPng}) {
        const std::string what = path.section(QLatin1Char('/'), -1).toStdString();
        QImage picture;
        ASSERT_NO_THROW(picture = DecodePicture(path, pictureKindOf(path))) << what;
        ASSERT_EQ(picture.size(), QSize(400, 300)) << what;
        ExpectCorners(picture, picture.rect(), kUprightCorners[1], what);
    }
    EXPECT_EQ(DecodePicture(xmpFirst, PictureKind::Jpeg).size(), QSize(300, 400));
}

TEST_F(ExifTest, PngExifChunkCountsWhereverItStandsBeforeThePictureData)
{
    const QByteArray pngBytes = test::QuadrantPng(400, 300);
    const QByteArray tiff = test::TiffWithOrientation(6);
    // The chunk as WithPngChunk puts it right after IHDR, to be moved elsewhere.
    const QByteArray chunk = test::WithPngChunk(pngBytes, "eXIf", tiff).mid(33, 12 + tiff.size());
    // After other chunks, and even ahead of IHDR (libpng passes over it there): turned.
    const QString afterText = write(QStringLiteral("text.png"),
                                    test::WithPngChunk(test::WithPngChunk(pngBytes, "eXIf", tiff), "tEXt",
                                                       QByteArray("a\0b", 3)));
    const QString beforeHeader = write(QStringLiteral("first.png"), pngBytes.left(8) + chunk + pngBytes.mid(8));
    for (const QString &path : {afterText, beforeHeader}) {
        const QImage picture = DecodePicture(path, PictureKind::Png);
        ASSERT_EQ(picture.size(), QSize(300, 400)) << path.toStdString();
        ExpectCorners(picture, picture.rect(), kUprightCorners[6], path.toStdString());
    }
    // After the picture data: too late for a decoder that delivers rows as it reads them.
    const QString late = write(QStringLiteral("late.png"),
                               pngBytes.left(pngBytes.size() - 12) + chunk + pngBytes.right(12));
    EXPECT_EQ(DecodePicture(late, PictureKind::Png).size(), QSize(400, 300));
}

} // namespace
} // namespace quiltana
