// The program's own BMP reader: layouts written here byte by byte, checked pixel by pixel
// against the rounded scaling of their colour masks, whole and cut short; and the corpus's
// BMPs of one picture in many layouts against each other.
#include "bmpreader.h"
#include "colour.h"
#include "error.h"
#include "picturewriter.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <initializer_list>
#include <cstdlib>
#include <utility>
#include <vector>

namespace quiltana {
namespace {

// `bytes` little-endian bytes of `v`, appended or written at `at`.
void Le(QByteArray &b, quint64 v, int bytes, qsizetype at = -1)
{
    for (int i = 0; i < bytes; ++i)
        at < 0 ? void(b.append(char(v >> (8 * i)))) : void(b[at + i] = char(v >> (8 * i)));
}

// A BMP as a test describes it. `masks` lie inside headers of 52 bytes and more, after a
// 40-byte one; `pixels` are rows top first: palette indices, 0xRRGGBB at 24 bits, the stored
// value at 16 and 32; `profile` follows the rows.
struct Bmp {
    int width = 9, height = 4, bits = 24;
    quint32 compression = 0, headerSize = 40; // 12 and 64: OS/2
    std::vector<quint32> masks{};
    std::vector<QRgb> palette{};
    quint32 coloursUsed = 0;
    bool topDown = false;
    std::vector<quint32> pixels{};
    quint32 csType = 0;
    QByteArray profile{};

    qint64 stride() const { return (qint64(width) * bits + 31) / 32 * 4; }
    qint64 dataStart() const
    {
        return 14 + headerSize + (headerSize == 40 ? 4 * qint64(masks.size()) : 0)
               + qint64(palette.size()) * (headerSize == 12 ? 3 : 4);
    }
    QByteArray bytes() const
    {
        QByteArray b("BM");
        const int side = headerSize == 12 ? 2 : 4; // OS/2 1.x: 16-bit sides
        for (const auto &[v, n] : std::initializer_list<std::pair<quint64, int>>{
                 {0, 8}, {dataStart(), 4}, {headerSize, 4}, {width, side}, {quint32(topDown ? -height : height), side}, {1, 2}, {bits, 2}})
            Le(b, v, n);
        if (headerSize > 12) {
            for (const quint32 v : {compression, 0u, 2835u, 2835u, coloursUsed, 0u})
                Le(b, v, 4);
            b.append(QByteArray(headerSize - 40, '\0'));
            for (std::size_t i = 0; i < masks.size(); ++i)
                Le(b, masks[i], 4, headerSize >= 52 ? qsizetype(54 + 4 * i) : -1);
            if (headerSize == 124) {
                Le(b, csType, 4, 70);
                Le(b, dataStart() + stride() * height - 14, 4, 126); // from the info header
                Le(b, profile.size(), 4, 130);
            }
        }
        for (const QRgb c : palette)
            Le(b, c & 0xffffff, headerSize == 12 ? 3 : 4);
        for (int r = 0; r < height; ++r) {
            QByteArray row(stride(), '\0');
            for (int x = 0; x < width && bits > 0; ++x) {
                const quint64 v = pixels[std::size_t(topDown ? r : height - 1 - r) * width + x];
                for (int k = 0; k < std::max(bits / 8, 1); ++k)
                    row[x * bits / 8 + k] |= char(bits < 8 ? v << (8 - bits - x * bits % 8) : v >> (8 * k));
            }
            b += row;
        }
        return b + profile;
    }
};

// (v * 255 + max / 2) / max for the channel `mask` picks out of `pixel`; 0 for no mask.
int Scaled(quint32 pixel, quint32 mask)
{
    const quint64 max = mask == 0 ? 1 : quint64(mask) >> std::countr_zero(mask);
    return mask == 0 ? 0 : int((quint64((pixel & mask) >> std::countr_zero(mask)) * 255 + max / 2) / max);
}

class BmpTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QImage read(const QByteArray &bytes, QByteArray *profile = nullptr)
    {
        const QString path = dir_.filePath(QStringLiteral("t.bmp"));
        test::WriteBytes(path, bytes);
        const QImage image = ReadBmp(path, profile);
        EXPECT_EQ(image.format(), QImage::Format_RGB888);
        return image;
    }
    // `bmp` shows `expected` (rows top first); cut inside its second stored row, the pixels
    // past the cut show `fill`.
    void expectPixels(const Bmp &bmp, const std::vector<QRgb> &expected, QRgb fill)
    {
        const int cutBytes = (4 * bmp.bits + 7) / 8 + (bmp.bits > 8); // inside the fifth pixel
        const int kept = std::min(bmp.width, cutBytes * 8 / bmp.bits);
        for (const bool cut : {false, true}) {
            const QByteArray bytes = bmp.bytes();
            const QImage image = read(cut ? bytes.left(bmp.dataStart() + bmp.stride() + cutBytes) : bytes);
            ASSERT_EQ(image.size(), QSize(bmp.width, bmp.height));
            for (int y = 0, stored = bmp.topDown ? 0 : bmp.height - 1; y < bmp.height; ++y, stored += bmp.topDown ? 1 : -1) {
                for (int x = 0; x < bmp.width; ++x) {
                    const bool held = !cut || stored == 0 || (stored == 1 && x < kept);
                    const QRgb colour = held ? expected[std::size_t(y) * bmp.width + x] : fill;
                    ASSERT_EQ(image.pixel(x, y) & 0xffffff, colour & 0xffffff) << x << ", " << y << (cut ? " cut" : "");
                }
            }
        }
    }
    QTemporaryDir dir_;
};

// Every plainly stored layout, bottom-up and top-down, whole and cut short: palette entries
// (black past the palette), colour masks of every width scaled with rounding, alpha laid onto
// white unless it is zero everywhere.
TEST_F(BmpTest, EveryLayoutShowsItsColours)
{
    struct Layout {
        const char *name;
        int bits;
        quint32 compression, headerSize;
        std::vector<quint32> masks; // as written
        int entries = 0;            // of the palette
        quint32 coloursUsed = 0;
    };
    const Layout layouts[] = {
        {"1 bit", 1, 0, 40, {}, 2},
        {"2 bits", 2, 0, 40, {}, 4},
        {"4 bits, 6 used", 4, 0, 40, {}, 6, 6},
        {"8 bits", 8, 0, 40, {}, 256},
        {"8 bits, 100 used", 8, 0, 40, {}, 100, 100},
        // OS/2 files do not say that their palette is short: it ends where the rows begin.
        {"OS/2 1.x 8 bits, 100 entries", 8, 0, 12, {}, 100},
        {"OS/2 1.x 4 bits", 4, 0, 12, {}, 16},
        {"OS/2 2.x 8 bits, 37 entries", 8, 0, 64, {}, 37},
        {"24 bits", 24, 0, 40, {}},
        {"16 plain 5-5-5", 16, 0, 40, {}},
        {"32 plain 8-8-8", 32, 0, 40, {}},
        {"16 5-5-5", 16, 3, 40, {0x7C00, 0x03E0, 0x001F}},
        {"16 5-6-5", 16, 3, 40, {0xF800, 0x07E0, 0x001F}},
        {"16 2-3-1", 16, 3, 40, {0x30, 0x0E, 0x01}},
        {"16 3-10-3", 16, 3, 40, {0x38, 0xFFC0, 0x07}},
        {"16 8-8-0", 16, 3, 40, {0xFF00, 0x00FF, 0}},
        {"16 4-4-4-4 V5", 16, 3, 124, {0x0F00, 0x00F0, 0x000F, 0xF000}},
        {"16 1-9-2-4 V5", 16, 3, 124, {0x0800, 0x01FF, 0x0600, 0xF000}},
        {"16 5-5-5-1 alpha bit fields", 16, 6, 40, {0x7C00, 0x03E0, 0x001F, 0x8000}},
        {"32 11-11-10", 32, 3, 40, {0xFFE00000, 0x001FFC00, 0x000003FF}},
        {"32 7-18-7", 32, 3, 40, {0xFE000000, 0x01FFFF80, 0x0000007F}},
        {"32 32-bit red", 32, 3, 40, {0xFFFFFFFF, 0, 0}},
        {"32 8-8-8 high V2", 32, 3, 52, {0xFF000000, 0x0000FF00, 0x000000FF}},
        {"32 8-12-8-4 V3", 32, 3, 56, {0x0000FF00, 0x0FFF0000, 0x000000FF, 0xF0000000}},
        {"32 10-10-10-2 V4", 32, 3, 108, {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000}},
        {"32 6-17-5-4 V5", 32, 3, 124, {0x0FC00000, 0x003FFFE0, 0x0000001F, 0xF0000000}},
        {"32 8-8-8-8 alpha bit fields", 32, 6, 40, {0x0000FF00, 0x00FF0000, 0xFF000000, 0x000000FF}},
        // Without BI_BITFIELDS a header's masks mean nothing: plain 8-8-8, opaque.
        {"32 plain V5 with masks", 32, 0, 124, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}},
    };
    for (const Layout &layout : layouts) {
        std::vector<quint32> masks = layout.compression != 0 ? layout.masks
                                     : layout.bits == 16 ? std::vector<quint32>{0x7C00, 0x03E0, 0x001F}
                                                         : std::vector<quint32>{0xFF0000, 0xFF00, 0xFF};
        masks.resize(4);
        const quint32 stored = layout.bits == 32 ? ~0u : (1u << layout.bits) - 1;
        for (const bool zeroAlpha : {false, true}) {
            for (const bool topDown : {false, true}) {
                if ((zeroAlpha && masks[3] == 0) || (topDown && layout.headerSize == 12))
                    continue; // OS/2 1.x sides are unsigned
                SCOPED_TRACE(std::string(layout.name) + (zeroAlpha ? ", alpha 0" : "") + (topDown ? ", top-down" : ""));
                Bmp bmp{.width = 37, .height = 9, .bits = layout.bits, .compression = layout.compression,
                        .headerSize = layout.headerSize, .masks = layout.masks, .coloursUsed = layout.coloursUsed,
                        .topDown = topDown};
                for (int k = 0; k < layout.entries; ++k)
                    bmp.palette.push_back(qRgb(k * 7 % 256, 255 - k, k * 13 % 256));
                std::vector<QRgb> expected;
                quint32 random = 12345;
                for (int i = 0; i < bmp.width * bmp.height; ++i) {
                    random = random * 1103515245 + 12345;
                    // white, black, then any values, bits outside the masks included
                    const quint32 pixel = (i == 0 ? masks[0] | masks[1] | masks[2] | masks[3] : i == 1 ? 0 : random ^ random << 13)
                                          & stored & (zeroAlpha ? ~masks[3] : ~0u);
                    bmp.pixels.push_back(pixel);
                    const int a = masks[3] && !zeroAlpha ? Scaled(pixel, masks[3]) : 255;
                    const auto on = [&](int c) { return (Scaled(pixel, masks[c]) * a + 255 * (255 - a) + 127) / 255; };
                    if (layout.bits <= 8)
                        expected.push_back(int(pixel) < layout.entries ? bmp.palette[pixel] : qRgb(0, 0, 0));
                    else
                        expected.push_back(qRgb(on(0), on(1), on(2)));
                }
                EXPECT_TRUE(layout.bits <= 8 || !(masks[0] && masks[1] && masks[2]) || expected[0] == qRgb(255, 255, 255));
                expectPixels(bmp, expected, layout.bits <= 8 ? bmp.palette[0] : qRgb(0, 0, 0));
            }
        }
    }
}

TEST_F(BmpTest, LayoutsItDoesNotReadAreRefusedByName)
{
    const struct {
        Bmp bmp;
        qint64 keep; // bytes kept of the file, -1: all
        const char *text;
    } cases[] = {
        {{.bits = 16, .compression = 3, .masks = {0xB000, 0x03E0, 0x001F}}, -1,
         "1 ピクセル 16 ビットのカラーマスク: 赤のマスク 0x0000b000 のビットが連続していません"},
        {{.bits = 32, .compression = 3, .masks = {0xFF0000, 0x1FF00, 0xFF}}, -1,
         "1 ピクセル 32 ビットのカラーマスク: 赤のマスク 0x00ff0000 と緑のマスク 0x0001ff00 が重なっています"},
        {{.bits = 32, .compression = 6, .masks = {1, 2, 4, 8}}, 14 + 40 + 14, "ファイルがカラーマスクの途中で切れています"},
        {{.bits = 64}, -1, "対応していない BMP の形式です (1 ピクセル 64 ビット)"},
        {{.bits = 0, .compression = 4, .headerSize = 124}, -1, "JPEG の写真を収めた BMP"},
        {{.bits = 0, .compression = 5, .headerSize = 124}, -1, "PNG の写真を収めた BMP"},
        {{.bits = 1, .compression = 3, .headerSize = 64}, -1, "OS/2 のハフマン符号化"},
        {{.bits = 24, .compression = 4, .headerSize = 64}, -1, "OS/2 の RLE24 圧縮"},
        {{.bits = 8, .coloursUsed = 300}, -1, "1 ピクセル 8 ビットなのにパレットが 300 色"},
        {{.bits = 8, .headerSize = 12, .palette = std::vector<QRgb>(256)}, 26 + 300, "ファイルがカラーテーブルの途中で切れています"},
    };
    for (const auto &c : cases) {
        Bmp bmp = c.bmp;
        bmp.pixels.assign(std::size_t(bmp.width) * bmp.height, 0);
        QString text = QStringLiteral("(decoded)");
        try {
            (void)read(c.keep < 0 ? bmp.bytes() : bmp.bytes().left(c.keep));
        } catch (const Error &e) {
            text = e.message();
        }
        EXPECT_TRUE(text.contains(QString::fromUtf8(c.text))) << c.text << ": " << text.toStdString();
    }
}

TEST_F(BmpTest, OnlyAnEmbeddedProfileWithinTheFileIsHandedOut)
{
    Bmp bmp{.headerSize = 124, .csType = 0x4D424544 /* MBED */, .profile = QByteArray(3000, 'p')};
    bmp.pixels.assign(std::size_t(bmp.width) * bmp.height, 0x123456);
    QByteArray profile("left over");
    EXPECT_EQ(read(bmp.bytes(), &profile).pixel(2, 2), qRgb(0x12, 0x34, 0x56));
    EXPECT_EQ(profile, bmp.profile);

    QByteArray past = bmp.bytes();
    Le(past, bmp.profile.size() + 1, 4, 130);
    Bmp linked = bmp;
    linked.csType = 0x4C494E4B; // LINK: the profile is a file name
    Bmp large = bmp;
    large.profile = QByteArray(qsizetype(kMaxColourProfileBytes) + 1, 'p');
    for (const QByteArray &other : {past, linked.bytes(), large.bytes()}) {
        (void)read(other, &profile);
        EXPECT_TRUE(profile.isEmpty()) << profile.size();
    }
}

// The corpus's BMPs of one picture in other layouts show the colours of its copy in a plain
// layout, within the rounding of their narrowest colour channel.
TEST(BmpCorpus, LayoutsOfOnePictureAgree)
{
    const QString dir = QStringLiteral(QUILTANA_SHARED_DIR "/corpus/bmp/bmpsuite/");
    if (!QFile::exists(dir + QStringLiteral("g/rgb24.bmp")))
        GTEST_SKIP() << "BMP corpus not found at " << dir.toStdString();
    const struct {
        const char *reference;
        int tolerance;
        std::vector<const char *> files;
    } groups[] = {
        {"g/rgb24.bmp", 0, {"g/rgb32.bmp", "q/rgb32fakealpha.bmp", "g/rgb32bf.bmp", "g/rgb32bfdef.bmp",
                            "q/rgb32-xbgr.bmp", "q/rgb32h52.bmp", "q/rgb24prof.bmp", "g/rgb24pal.bmp"}},
        {"g/rgb24.bmp", 1, {"q/rgb32-111110.bmp", "q/rgb32-7187.bmp"}},
        {"g/rgb24.bmp", 4, {"g/rgb16.bmp", "q/rgb16faketrns.bmp", "g/rgb16bfdef.bmp", "g/rgb16-565.bmp"}},
        {"g/pal8.bmp", 0, {"g/pal8-0.bmp", "g/pal8os2.bmp", "q/pal8os2sp.bmp", "q/pal8os2v2.bmp",
                           "q/pal8os2v2-40sz.bmp", "g/pal8v4.bmp", "g/pal8v5.bmp", "g/pal8topdown.bmp",
                           "g/pal8rle.bmp", "q/pal8offs.bmp"}},
        {"g/pal4.bmp", 0, {"g/pal4rle.bmp"}},
        {"q/rgba32-1.bmp", 0, {"q/rgba32-2.bmp", "q/rgba32abf.bmp", "q/rgba32h56.bmp"}},
        {"q/rgba32-1.bmp", 8, {"q/rgba32-81284.bmp", "q/rgba32-61754.bmp", "q/rgba16-4444.bmp"}},
    };
    for (const auto &same : groups) {
        const QImage reference = ReadBmp(dir + QLatin1String(same.reference));
        for (const char *file : same.files) {
            const QImage image = ReadBmp(dir + QLatin1String(file));
            ASSERT_EQ(image.size(), reference.size()) << file;
            int worst = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int i = 0; i < image.width() * 3; ++i) // RGB888 bytes
                    worst = std::max(worst, std::abs(image.constScanLine(y)[i] - reference.constScanLine(y)[i]));
            EXPECT_LE(worst, same.tolerance) << file;
        }
    }
}

} // namespace
} // namespace quiltana
