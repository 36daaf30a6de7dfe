// Reading what a picture file's header declares: the fields of each kind, the segments and
// chunks around the header, and headers cut short or broken; a JPEG's as libjpeg reads it.
#include "decode.h"
#include "decodecost.h"
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

// What the estimate of a JPEG's decoding holds; the same whether it opens the file or reads
// one already open (from its start, wherever the file was read to).
qint64 JpegHeld(const QByteArray &bytes)
{
    static const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picture.jpg"));
    test::WriteBytes(path, bytes);
    const qint64 held = HeldBytesWhileDecoding(path);
    const FilePtr file = OpenPictureFile(path);
    std::fseek(file.get(), 0, SEEK_END);
    EXPECT_EQ(HeldBytesWhileDecoding(path, file.get()), held);
    return held;
}

TEST(JpegEstimate, IsWhatLibjpegReadsOfTheHeaderWhateverComesBeforeTheFrame)
{
    // 4:4:4 in whole blocks: a progressive file keeps 64 x 48 x 3 coefficients of two bytes.
    test::JpegSpec spec = test::QuadrantJpeg(64, 48);
    const QByteArray sequential = test::EncodeJpeg(spec);
    spec.progressive = true;
    const QByteArray jpeg = test::EncodeJpeg(spec);
    const qint64 all = 64LL * 48 * 3 * 2;
    // A restart marker (no length) and two stray bytes, which a reader of segment lengths takes
    // for a length that lands in a comment hiding a 16 x 16 sequential frame.
    const QByteArray hidden = QByteArray(4, '\0') + QByteArray::fromHex("ffc000110800100010030122000211010311")
                              + QByteArray::fromHex("01ffda000c03");
    const QByteArray decoy = jpeg.left(2) + QByteArray::fromHex("ffd0000afffe00") + char(hidden.size() + 2) + hidden
                             + jpeg.mid(2);
    const QByteArray app1(5000, 'x'); // kept by the decoder
    const qsizetype scan = jpeg.indexOf("\xff\xda");
    const struct {
        const char *name;
        QByteArray bytes;
        qint64 least, most;
    } cases[] = {
        {"sequential", sequential, 0, 0},
        {"progressive", jpeg, all, all},
        {"decoy", decoy, all, all},
        {"thousands of comments", jpeg.left(2) + QByteArray::fromHex("fffe0002").repeated(5000) + jpeg.mid(2), all, all},
        {"two APP1", test::WithApp1(test::WithApp1(jpeg, app1), app1), all + 10000, all + 11000},
        {"cut in the scan header", jpeg.left(scan + 5), kMaxPicturePixels, kMaxPicturePixels * 4},
        {"no JPEG", test::BmpDeclaring(16, 16, 24), kMaxPicturePixels, kMaxPicturePixels * 4},
    };
    for (const auto &c : cases) {
        EXPECT_GE(JpegHeld(c.bytes), c.least) << c.name;
        EXPECT_LE(JpegHeld(c.bytes), c.most) << c.name;
    }
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
