// Files made to cost the decoders far more than their size, or to show memory that no pixel
// was ever written to: each is refused naming its file, or decoded with every pixel defined.
#include "bmpreader.h"
#include "cappedchild.h"
#include "decode.h"
#include "error.h"
#include "picture.h"
#include "picturewriter.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>

#include <unistd.h>

#if defined(__GLIBC__) && !defined(QUILTANA_PORTABLE)
#include <malloc.h>
#endif

namespace quiltana {
namespace {

using test::EncodeJpeg;
using test::JpegSpec;
using test::QuadrantJpeg;
using test::WithLastScanRepeated;
using test::WriteBytes;

class HostileFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir_.filePath(name);
        WriteBytes(path, bytes);
        return path;
    }
    // The text of the error the full decode throws; empty when it decodes.
    static QString refusal(const QString &path, PictureKind kind)
    {
        try {
            (void)DecodePicture(path, kind);
        } catch (const Error &e) {
            return e.message();
        }
        return {};
    }

    QTemporaryDir dir_;
};

int scanCount(const QByteArray &jpeg)
{
    int count = 0;
    for (qsizetype at = 0; (at = jpeg.indexOf(QByteArray("\xff\xda", 2), at)) >= 0; at += 2)
        ++count;
    return count;
}

TEST_F(HostileFileTest, RepeatedScansAreRefusedInSequentialAndProgressiveJpegs)
{
    JpegSpec sequential = QuadrantJpeg(64, 48);
    sequential.scanPerComponent = true;
    const QByteArray threeScans = EncodeJpeg(sequential);
    ASSERT_EQ(scanCount(threeScans), 3);
    JpegSpec progressiveSpec = QuadrantJpeg(64, 48);
    progressiveSpec.progressive = true;
    const QByteArray progressive = EncodeJpeg(progressiveSpec);
    const int progressiveScans = scanCount(progressive);
    ASSERT_GT(progressiveScans, 3);

    // Up to the limits they decode: 16 scans sequential, 100 progressive.
    const QString fewest = write(QStringLiteral("sequential16.jpg"), WithLastScanRepeated(threeScans, 13));
    EXPECT_EQ(DecodePicture(fewest, PictureKind::Jpeg).size(), QSize(64, 48));
    const QString hundred =
        write(QStringLiteral("progressive100.jpg"), WithLastScanRepeated(progressive, 100 - progressiveScans));
    EXPECT_EQ(DecodePicture(hundred, PictureKind::Jpeg).size(), QSize(64, 48));

    const struct {
        QString path;
        const char *kind;
    } refused[] = {
        {write(QStringLiteral("sequential17.jpg"), WithLastScanRepeated(threeScans, 14)), "シーケンシャル"},
        {write(QStringLiteral("sequential-many.jpg"), WithLastScanRepeated(threeScans, 5000)), "シーケンシャル"},
        {write(QStringLiteral("progressive101.jpg"), WithLastScanRepeated(progressive, 101 - progressiveScans)),
         "プログレッシブ"},
    };
    for (const auto &r : refused) {
        const QString text = refusal(r.path, PictureKind::Jpeg);
        EXPECT_TRUE(text.startsWith(r.path) && text.contains(QString::fromUtf8(r.kind)) && text.contains(QStringLiteral("スキャン")))
            << r.path.toStdString() << ": " << text.toStdString();
        // the work copy decodes at a reduced scale, through the same scans
        EXPECT_THROW((void)DecodeWorkCopyImage(r.path, PictureKind::Jpeg, 200), Error);
    }
}

TEST_F(HostileFileTest, DeclaredPixelsAreBoundedByTheFileSize)
{
    // A few hundred bytes may declare up to about 16 million pixels, not 20 million.
    const QByteArray smallJpeg = EncodeJpeg(QuadrantJpeg(16, 16));
    const struct {
        QString path;
        PictureKind kind;
        qint64 bytes;
    } files[] = {
        {write(QStringLiteral("wide.png"), test::PngDeclaring(5000, 4000)), PictureKind::Png, 0},
        {write(QStringLiteral("wide.jpg"), test::WithJpegSize(smallJpeg, 5000, 4000)), PictureKind::Jpeg, 0},
        {write(QStringLiteral("wide.bmp"), test::BmpDeclaring(5000, 4000, 24)), PictureKind::Bmp, 0},
    };
    for (const auto &f : files) {
        const QString text = refusal(f.path, f.kind);
        EXPECT_TRUE(text.startsWith(f.path) && text.contains(QStringLiteral("5000 x 4000"))
                    && text.contains(QStringLiteral("バイトのファイルで開けるのは")))
            << text.toStdString();
    }
    // 4000 x 4000 is within the allowance: whatever else is wrong with the file, it is not that.
    const QString within = write(QStringLiteral("within.jpg"), test::WithJpegSize(smallJpeg, 4000, 4000));
    EXPECT_FALSE(refusal(within, PictureKind::Jpeg).contains(QStringLiteral("バイトのファイルで開けるのは")));
    EXPECT_TRUE(PictureSizeAllowed(20000, 1000, 2000));
    EXPECT_FALSE(PictureSizeAllowed(20000, 1000, 1000));
}

TEST_F(HostileFileTest, TinyFilesDeclaringAThinStripMakeSmallWorkCopies)
{
    const QString jpeg = write(QStringLiteral("strip.jpg"),
                               test::WithJpegSize(EncodeJpeg(QuadrantJpeg(16, 16)), 5000, 1));
    test::PngSpec png;
    png.width = 4000;
    png.height = 1;
    png.rows.assign(1, std::vector<unsigned char>(4000, 128));
    const QString pngPath = dir_.filePath(QStringLiteral("strip.png"));
    test::WritePng(pngPath, png);
    EXPECT_EQ(DecodeWorkCopyImage(jpeg, PictureKind::Jpeg, 200).size(), QSize(4000, 1));
    EXPECT_EQ(DecodeWorkCopyImage(pngPath, PictureKind::Png, 200).size(), QSize(4000, 1));
}

TEST_F(HostileFileTest, APictureTurnedByItsCameraOrByTheUserIsNeverHeldWhole)
{
    // 4000 x 3000 that its EXIF block turns a quarter: 36 MB decoded, from a few kilobytes. Its
    // print pictures and work copy are made in a child that may map no more than half of that
    // beyond what it starts with (/proc/self/statm: pages mapped).
    constexpr std::size_t kDecoded = 4000u * 3000 * 3;
    const QString path = write(QStringLiteral("turned.png"), test::WithPngChunk(test::PngDeclaring(4000, 3000, true),
                                                                                "eXIf", test::TiffWithOrientation(6)));
    std::size_t pages = 0;
    std::FILE *statm = std::fopen("/proc/self/statm", "r");
    ASSERT_TRUE(statm && std::fscanf(statm, "%zu", &pages) == 1);
    std::fclose(statm);
    test::ChildCaps caps;
    caps.addressSpace = pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) + kDecoded / 2;
    caps.largestAllocation = kDecoded / 2; // under AddressSanitizer
    caps.largeAllocationExit = caps.failureExit = 11;
    for (const Turn turn : {Turn::Upright, Turn::Right, Turn::Left})
        EXPECT_EQ(test::RunInCappedChild(caps, [&] { return FitPictureFile({0, 0, 300, 200}, path, turn).image.isNull(); }), 0);
    EXPECT_EQ(test::RunInCappedChild(caps, [&] { return DecodeWorkCopyImage(path, PictureKind::Png, 200).width() != 150; }), 0);
}

#if defined(__GLIBC__) && !defined(QUILTANA_PORTABLE)
// Freshly allocated memory filled with a pattern: a pixel left unwritten shows it.
class PerturbedHeap {
public:
    explicit PerturbedHeap(int value) { mallopt(M_PERTURB, value); }
    ~PerturbedHeap() { mallopt(M_PERTURB, 0); }
    PerturbedHeap(const PerturbedHeap &) = delete;
    PerturbedHeap &operator=(const PerturbedHeap &) = delete;
};
#endif

// A 64 x 64 BMP of 8-bit palette indices, palette entry i = red i / 2, green 255 - i, blue i, with `pixels`
// as its pixel data (run-length coded when `rle`).
QByteArray PaletteBmp(bool rle, const QByteArray &pixels)
{
    QByteArray b("BM");
    const auto le = [&b](quint32 v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b.append(char((v >> (8 * i)) & 255));
    };
    le(0, 4);
    le(0, 4);
    le(14 + 40 + 256 * 4, 4);
    for (const quint32 v : {40u, 64u, 64u})
        le(v, 4);
    le(1, 2);
    le(8, 2);
    for (const quint32 v : {rle ? 1u : 0u, 0u, 2835u, 2835u, 256u, 0u})
        le(v, 4);
    for (int i = 0; i < 256; ++i)
        b.append(char(i)).append(char(255 - i)).append(char(i / 2)).append('\0');
    return b + pixels;
}

TEST_F(HostileFileTest, RowsMissingFromABmpAreDefined)
{
    // Two rows of index 5, then the file ends: plainly stored, and run-length coded.
    const QByteArray plain = PaletteBmp(false, QByteArray(2 * 64, '\5'));
    QByteArray runs;
    for (int row = 0; row < 2; ++row)
        runs.append("\x40\x05\x00\x00", 4);
    const QByteArray coded = PaletteBmp(true, runs);
    // A delta that skips most of the picture, then the end of the picture.
    const QByteArray skipping = PaletteBmp(true, QByteArray("\x02\x05\x00\x02\x30\x30\x00\x01", 8));

    const QRgb first = qRgb(0, 255, 0); // palette entry 0
    const QRgb five = qRgb(2, 250, 5);
    for (const auto &[name, bytes] : {std::pair{"plain.bmp", plain}, std::pair{"coded.bmp", coded},
                                      std::pair{"skipping.bmp", skipping}}) {
        const QString path = write(QString::fromLatin1(name), bytes);
        QImage pictures[2];
        for (int n = 0; n < 2; ++n) {
#if defined(__GLIBC__) && !defined(QUILTANA_PORTABLE)
            const PerturbedHeap heap(n == 0 ? 0x55 : 0xAA);
#endif
            pictures[n] = ReadBmp(path).convertToFormat(QImage::Format_RGB32);
        }
        ASSERT_EQ(pictures[0].size(), QSize(64, 64)) << name;
        EXPECT_TRUE(pictures[0] == pictures[1]) << name << ": pixels differ from one decode to the next";
        EXPECT_EQ(pictures[0].pixel(1, 63) & 0xFFFFFF, five & 0xFFFFFF) << name;
        EXPECT_EQ(pictures[0].pixel(10, 10) & 0xFFFFFF, first & 0xFFFFFF) << name;
        // the work copy, made by the same reader, shows the same
        const QImage copy = DecodeWorkCopyImage(path, PictureKind::Bmp, 64);
        EXPECT_EQ(copy.convertToFormat(QImage::Format_RGB32), pictures[0]) << name;
    }
}

} // namespace
} // namespace quiltana
