// Decoding pictures the tests write themselves: colours of every PNG and JPEG colour model,
// the reduced JPEG scale, and how failures are reported.
#include "cappedchild.h"
#include "decode.h"
#include "error.h"
#include "names.h"
#include "picture.h"
#include "picturewriter.h"
#include "preview.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>

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

// The same, decoded in a child whose address space is capped below what the picture needs
// (no cap is put in place under AddressSanitizer).
QString ErrorTextShortOfMemory(const QString &path, PictureKind kind, const QString &textFile)
{
    test::ChildCaps caps;
    caps.addressSpace = 512u * 1024 * 1024;
    caps.failureExit = 1;
    const int exit = test::RunInCappedChild(caps, [&] {
        QFile out(textFile);
        return out.open(QIODevice::WriteOnly) && out.write(ErrorText(path, kind).toUtf8()) >= 0 ? 0 : 1;
    });
    QFile in(textFile);
    return exit == 0 && in.open(QIODevice::ReadOnly) ? QString::fromUtf8(in.readAll()) : QStringLiteral("(child failed)");
}

bool HasJapanese(const QString &text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return (c.unicode() >= 0x3040 && c.unicode() <= 0x30FF) || (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF);
    });
}

// Every message the program composes about a picture: the file first, then the reason in
// Japanese, then what the decoder or the system said, in parentheses.
TEST_F(DecodeTest, FailuresNameTheFileThenTheReasonThenTheDecodersText)
{
    struct Refused {
        QString path; // as the text names it
        QString text;
    };
    // Decodes the file (written first when there are bytes for it) and answers the error's text.
    const auto refused = [&](const char *name, PictureKind kind, std::optional<QByteArray> bytes = std::nullopt) {
        const QString path = name[0] == '/' ? QString::fromLatin1(name) : file(QLatin1String(name));
        if (bytes)
            WriteBytes(path, *bytes);
        return Refused{path, ErrorText(path, kind)};
    };
    const QByteArray text("this is not a picture at all");
    const QByteArray jpeg = EncodeJpeg(QuadrantJpeg(16, 16));
    WritePng(file(QStringLiteral("whole.png")), PngSpec{40, 40, PNG_COLOR_TYPE_RGB, 8, false, PatternRows(40, 40), {}, {}, -1});
    QFile whole(file(QStringLiteral("whole.png")));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray png = whole.readAll();
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("folder.jpg")));
    // 14000 x 14000 within every bound (two comment segments pay for the pixels), but its
    // 588 MB of RGB do not fit under the child's cap.
    QByteArray roomy = test::WithJpegSize(jpeg, 14000, 14000);
    for (int i = 0; i < 2; ++i)
        roomy.insert(2, QByteArray("\xFF\xFE\xEA\x62", 4) + QByteArray(60000, 'c'));
    const QString roomyPath = file(QStringLiteral("roomy.jpg"));
    WriteBytes(roomyPath, roomy);
    const bool memoryCapped = !test::UnderAddressSanitizer();
    const QString badName = QStringLiteral("/tmp/p/caf\\xE9.jpg");

    const struct {
        const char *what;
        Refused refused;
        QString reason;
        QString detail; // empty: none
    } cases[] = {
        {"missing file", refused("missing.jpg", PictureKind::Jpeg), QStringLiteral("ファイルを開けません"),
         QString::fromLocal8Bit(std::strerror(ENOENT))},
        {"folder", refused("folder.jpg", PictureKind::Png), QStringLiteral("フォルダです"), {}},
        {"device", refused("/dev/null", PictureKind::Bmp), QStringLiteral("通常のファイルではない"), QStringLiteral("デバイス")},
        {"name not in the file-name encoding", {badName, UnrepresentableNameError("/tmp/p/caf\xE9.jpg")},
         QStringLiteral("ファイル名が"), {}},
        {"text as JPEG", refused("text.jpg", PictureKind::Jpeg, text), QStringLiteral("JPEG ファイルとして読めません"),
         QStringLiteral("Not a JPEG file: starts with 0x74 0x68")},
        {"text as PNG", refused("text.png", PictureKind::Png, text), QStringLiteral("PNG ファイルとして読めません"),
         QStringLiteral("Not a PNG file")},
        {"text as BMP", refused("text.bmp", PictureKind::Bmp, text), QStringLiteral("BMP ファイルとして読めません"), {}},
        {"no picture kind", refused("text.bmp", PictureKind::None), QStringLiteral("写真のファイルとして扱えない"), {}},
        {"empty JPEG", refused("empty.jpg", PictureKind::Jpeg, QByteArray()), QStringLiteral("ファイルが空です"),
         QStringLiteral("Empty input file")},
        {"JPEG cut in its headers", refused("cut.jpg", PictureKind::Jpeg, jpeg.left(jpeg.indexOf("\xFF\xDA"))),
         QStringLiteral("ファイルが途中で切れています"), QStringLiteral("Premature end of JPEG file")},
        {"PNG cut in half", refused("cut.png", PictureKind::Png, png.left(png.size() / 2)),
         QStringLiteral("ファイルが途中で切れています"), QStringLiteral("Read Error")},
        {"BMP cut in its header", refused("cut.bmp", PictureKind::Bmp, QByteArray("BM\x40\0\0\0\0\0\0\0\x36\0\0\0\x28\0", 16)),
         QStringLiteral("ファイルが BMP のヘッダーの途中で切れています"), {}},
        {"BMP of 7 bits a pixel", refused("seven.bmp", PictureKind::Bmp, test::BmpDeclaring(10, 10, 7)),
         QStringLiteral("対応していない BMP の形式です"), QStringLiteral("1 ピクセル 7 ビット")},
        // Past the side bound: the program's bound is named, not libpng's or libjpeg's refusal
        // of the header.
        {"PNG 70000 wide", refused("wide.png", PictureKind::Png, test::PngDeclaring(70000, 100)),
         QStringLiteral("写真が大きすぎます"), QStringLiteral("70000 x 100 ピクセル。開けるのは一辺 65535 ピクセル")},
        {"JPEG 65535 wide", refused("wide.jpg", PictureKind::Jpeg, test::WithJpegSize(jpeg, 65535, 100)),
         QStringLiteral("写真が大きすぎます"), QStringLiteral("65535 x 100 ピクセル。開けるのは一辺 65500 ピクセル")},
        {"BMP 70000 wide", refused("wide.bmp", PictureKind::Bmp, test::BmpDeclaring(70000, 100, 24)),
         QStringLiteral("写真が大きすぎます"), QStringLiteral("70000 x 100 ピクセル。開けるのは一辺 65535 ピクセル")},
        {"out of memory",
         {roomyPath, memoryCapped ? ErrorTextShortOfMemory(roomyPath, PictureKind::Jpeg, file(QStringLiteral("roomy.txt")))
                                  : QString()},
         QStringLiteral("メモリが足りない"), {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        if (!memoryCapped && QLatin1String(c.what) == QLatin1String("out of memory"))
            continue;
        const QString prefix = QDir::toNativeSeparators(c.refused.path) + QStringLiteral(": ");
        ASSERT_TRUE(c.refused.text.startsWith(prefix)) << c.refused.text.toStdString();
        const QString said = c.refused.text.mid(prefix.size());
        EXPECT_TRUE(said.startsWith(c.reason)) << said.toStdString();
        EXPECT_TRUE(HasJapanese(said)) << said.toStdString();
        if (c.detail.isEmpty())
            EXPECT_FALSE(said.contains(QLatin1Char('('))) << said.toStdString();
        else
            EXPECT_TRUE(said.contains(QStringLiteral(" (") + c.detail) && said.endsWith(QLatin1Char(')')))
                << said.toStdString();
    }
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

TEST(PreviewError, TheReasonWithoutThePathInFront)
{
    const QString path = QStringLiteral("/写真/a.jpg");
    const QString cases[][2] = {
        {path + QStringLiteral(": not a picture file"), QStringLiteral("not a picture file")},
        {path + QStringLiteral("：壊れています"), QStringLiteral("壊れています")},
        {QStringLiteral("「") + path + QStringLiteral("」は開けません"), {}}, // the path not in front
        {path + QStringLiteral(": "), {}},                                     // nothing but the path
        {path + QStringLiteral("x: another file"), {}}};
    for (const auto &c : cases)
        EXPECT_EQ(ErrorTextWithoutPath(c[0], path), c[1].isNull() ? c[0] : c[1]) << c[0].toStdString();
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
