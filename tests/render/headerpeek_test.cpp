// Reading what a picture file's header declares: the fields of each kind, the segments and
// chunks around the header, and headers cut short or broken.
#include "headerpeek.h"
#include "picturewriter.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace quiltana {
namespace {

// The header of a file holding `bytes`, read from a file as the program reads it (a file,
// unlike a buffer, may be sought past its end).
PictureHeader Peek(const QByteArray &bytes, PictureKind kind)
{
    static const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picture"));
    test::WriteBytes(path, bytes);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return PeekPictureHeader(file, kind);
}

TEST(HeaderPeek, JpegFrameAndFirstScan)
{
    // libjpeg's default: 4:2:0, one interleaved scan; here behind an APP1 segment.
    test::JpegSpec spec = test::QuadrantJpeg(33, 17);
    spec.fullChroma = false;
    const QByteArray plain = test::WithApp1(test::EncodeJpeg(spec), test::ExifWithOrientation(6));
    const PictureHeader header = Peek(plain, PictureKind::Jpeg);
    ASSERT_TRUE(header.complete);
    EXPECT_EQ(header.width, 33);
    EXPECT_EQ(header.height, 17);
    EXPECT_FALSE(header.progressive);
    EXPECT_EQ(header.components, 3);
    EXPECT_EQ(std::vector<int>(header.horizontalSampling, header.horizontalSampling + 3), (std::vector<int>{2, 1, 1}));
    EXPECT_EQ(std::vector<int>(header.verticalSampling, header.verticalSampling + 3), (std::vector<int>{2, 1, 1}));
    EXPECT_TRUE(header.firstScanHasEveryComponent);

    spec.progressive = true;
    EXPECT_TRUE(Peek(test::EncodeJpeg(spec), PictureKind::Jpeg).progressive);
    spec.progressive = false;
    spec.scanPerComponent = true;
    const PictureHeader perComponent = Peek(test::EncodeJpeg(spec), PictureKind::Jpeg);
    ASSERT_TRUE(perComponent.complete);
    EXPECT_FALSE(perComponent.progressive);
    EXPECT_FALSE(perComponent.firstScanHasEveryComponent);
}

TEST(HeaderPeek, JpegCutOrBrokenIsIncomplete)
{
    const QByteArray jpeg = test::EncodeJpeg(test::QuadrantJpeg(16, 16));
    // The header ends with the first scan's component count, after the scan's marker and length.
    const qsizetype scan = jpeg.indexOf("\xff\xda");
    ASSERT_GT(scan, 0);
    for (qsizetype cut = 0; cut < scan + 5; ++cut)
        EXPECT_FALSE(Peek(jpeg.left(cut), PictureKind::Jpeg).complete) << cut;
    EXPECT_TRUE(Peek(jpeg.left(scan + 5), PictureKind::Jpeg).complete);

    // A second frame header, a frame whose length does not fit its components, no JPEG.
    const qsizetype frame = jpeg.indexOf("\xff\xc0");
    ASSERT_GT(frame, 0);
    const int frameLength = uchar(jpeg[frame + 2]) << 8 | uchar(jpeg[frame + 3]);
    EXPECT_FALSE(Peek(jpeg.left(scan) + jpeg.mid(frame, 2 + frameLength) + jpeg.mid(scan), PictureKind::Jpeg).complete);
    QByteArray wrongLength = jpeg;
    wrongLength[frame + 3] = char(frameLength + 1);
    EXPECT_FALSE(Peek(wrongLength, PictureKind::Jpeg).complete);
    EXPECT_FALSE(Peek(test::BmpDeclaring(16, 16, 24), PictureKind::Jpeg).complete);
}

TEST(HeaderPeek, PngHeaderAndAnExifChunkBeforeThePictureData)
{
    const QByteArray png = test::QuadrantPng(20, 10);
    const PictureHeader plain = Peek(png, PictureKind::Png);
    ASSERT_TRUE(plain.complete);
    EXPECT_EQ(plain.width, 20);
    EXPECT_EQ(plain.height, 10);
    EXPECT_FALSE(plain.interlaced);
    EXPECT_EQ(plain.exifChunkAt, -1);
    QByteArray interlaced = png;
    interlaced[28] = 1; // IHDR's last byte (the peek reads no checksums)
    EXPECT_TRUE(Peek(interlaced, PictureKind::Png).interlaced);
    // Transparency: a tRNS chunk, also after eXIf (an alpha channel: workcopy_test).
    EXPECT_FALSE(plain.transparency);
    const PictureHeader keyed = Peek(test::WithPngChunk(test::WithPngChunk(png, "tRNS", QByteArray(6, '\0')), "eXIf",
                                                        test::TiffWithOrientation(8)), PictureKind::Png);
    EXPECT_TRUE(keyed.transparency);
    EXPECT_EQ(keyed.exifChunkAt, 33);

    // After another chunk: tEXt holds 3 bytes, so eXIf starts 33 + 12 + 3 bytes in.
    const QByteArray tiff = test::TiffWithOrientation(8);
    const QByteArray tagged = test::WithPngChunk(test::WithPngChunk(png, "eXIf", tiff), "tEXt", QByteArray("a\0b", 3));
    const PictureHeader found = Peek(tagged, PictureKind::Png);
    EXPECT_EQ(found.exifChunkAt, 48);
    EXPECT_EQ(found.exifChunkLength, static_cast<quint32>(tiff.size()));
    // Also ahead of IHDR, where libpng passes over it: the chunks are walked from the signature on.
    const QByteArray exifChunk = test::WithPngChunk(png, "eXIf", tiff).mid(33, 12 + tiff.size());
    EXPECT_EQ(Peek(png.left(8) + exifChunk + png.mid(8), PictureKind::Png).exifChunkAt, 8);
    // Not after IDAT.
    EXPECT_EQ(Peek(png.left(png.size() - 12) + exifChunk + png.right(12), PictureKind::Png).exifChunkAt, -1);

    // Signature and IHDR up to its interlace byte are the header; a chunk header cut short
    // ends the walk.
    EXPECT_FALSE(Peek(tagged.left(28), PictureKind::Png).complete);
    EXPECT_TRUE(Peek(tagged.left(29), PictureKind::Png).complete);
    EXPECT_EQ(Peek(tagged.left(48 + 7), PictureKind::Png).exifChunkAt, -1);
    EXPECT_EQ(Peek(tagged.left(48 + 8), PictureKind::Png).exifChunkAt, 48);
}

TEST(HeaderPeek, BmpDeclaredSize)
{
    // Rows stored top-down declare a negative height.
    const PictureHeader topDown = Peek(test::BmpDeclaring(300, -200, 24), PictureKind::Bmp);
    ASSERT_TRUE(topDown.complete);
    EXPECT_EQ(topDown.width, 300);
    EXPECT_EQ(topDown.height, 200);
    EXPECT_FALSE(Peek(test::BmpDeclaring(300, 200, 24).left(20), PictureKind::Bmp).complete);
    EXPECT_FALSE(Peek(test::PngDeclaring(300, 200), PictureKind::Bmp).complete);
    EXPECT_FALSE(Peek(test::BmpDeclaring(300, 200, 24), PictureKind::None).complete);
}

} // namespace
} // namespace quiltana
