// Files of a few hundred bytes that declare enormous pictures are refused before any large
// allocation: each is decoded in a child process whose address space is capped.
#include "cappedchild.h"
#include "decode.h"
#include "error.h"
#include "picturewriter.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quiltana {
namespace {

enum ChildResult { Refused = 0, Decoded = 10, OtherFailure = 11 };

// Runs `decode` in a child limited to 512 MB of address space (left off under
// AddressSanitizer). Returns the child's exit code, or -signal when it died.
template <typename Decode>
int InCappedChild(Decode decode)
{
    test::ChildCaps caps;
    caps.addressSpace = 512u * 1024 * 1024;
    caps.failureExit = OtherFailure;
    return test::RunInCappedChild(caps, [&] {
        try {
            decode();
        } catch (const Error &) {
            return int(Refused);
        } catch (...) {
            return int(OtherFailure);
        }
        return int(Decoded);
    });
}

class BombTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    // Writes the file and checks that both the full decode and the work copy refuse it, with
    // the file named in the text when `reason` is given.
    void expectRefused(const QString &name, const QByteArray &bytes, PictureKind kind,
                       const QString &reason = QString())
    {
        SCOPED_TRACE(name.toStdString());
        const QString path = dir_.filePath(name);
        test::WriteBytes(path, bytes);
        EXPECT_LT(bytes.size(), 1000);
        EXPECT_EQ(InCappedChild([&] { (void)DecodePicture(path, kind); }), Refused);
        EXPECT_EQ(InCappedChild([&] { (void)DecodeWorkCopyImage(path, kind, 200); }), Refused);
        if (!reason.isEmpty()) {
            try {
                (void)DecodePicture(path, kind);
            } catch (const Error &e) {
                EXPECT_TRUE(e.message().startsWith(path + QStringLiteral(": "))) << e.what();
                EXPECT_TRUE(e.message().contains(reason)) << e.what();
            }
        }
    }

    QTemporaryDir dir_;
};

const QString kDeclares = QStringLiteral("写真が大きすぎます");

TEST_F(BombTest, EveryDecoderRefusesHugeDeclaredSizes)
{
    const QByteArray small = test::EncodeJpeg(test::QuadrantJpeg(16, 16));
    test::JpegSpec spec = test::QuadrantJpeg(16, 16);
    spec.progressive = true;
    const QByteArray progressive = test::EncodeJpeg(spec);
    const struct {
        const char *name;
        QByteArray bytes;
        QString reason; // empty: any refusal
    } bombs[] = {
        {"side.png", test::PngDeclaring(65535, 65535), kDeclares},
        {"area.png", test::PngDeclaring(20000, 20000), kDeclares},
        // Beyond the side bound too, where libpng's own limits would refuse the header itself.
        {"wide.png", test::PngDeclaring(100000, 10), kDeclares},
        {"most.png", test::PngDeclaring(0x7fffffff, 0x7fffffff), kDeclares},
        {"side.jpg", test::WithJpegSize(small, 65500, 65500), kDeclares},
        // libjpeg itself stops at 65500 a side: the text names that bound.
        {"max.jpg", test::WithJpegSize(small, 65535, 65535), QStringLiteral("一辺 65500 ピクセル")},
        {"area.jpg", test::WithJpegSize(small, 64250, 64250), kDeclares},
        {"long.jpg", test::WithJpegSize(small, 4, 65535 - 1), kDeclares},
        {"prog.jpg", test::WithJpegSize(progressive, 60000, 60000), kDeclares},
        // Within the pixel bound, but its coefficients (6 bytes a pixel at 4:4:4) exceed the
        // decoder's memory bound; refused before they are allocated.
        {"coefficients.jpg", test::WithJpegSize(progressive, 14000, 13500), QString()},
        {"side.bmp", test::BmpDeclaring(65535, 65535, 24), kDeclares},
        {"area.bmp", test::BmpDeclaring(20000, 20000, 32), kDeclares},
        {"wide.bmp", test::BmpDeclaring(3000000, 2, 8), kDeclares},
        // A negative height only means top-down rows; its size counts the same.
        {"topdown.bmp", test::BmpDeclaring(30000, -30000, 24), kDeclares},
        {"lowest.bmp", test::BmpDeclaring(10, std::numeric_limits<qint32>::min(), 24), kDeclares},
        {"bits.bmp", test::BmpDeclaring(10, 10, 7), QStringLiteral("1 ピクセル 7 ビット")},
    };
    for (const auto &b : bombs) {
        const QString name = QString::fromLatin1(b.name);
        expectRefused(name, b.bytes, pictureKindOf(name), b.reason);
    }
}

} // namespace
} // namespace quiltana
