// Pictures of a few hundred bytes that declare 65535 x 65535 pixels or more are refused with a
// clear text, in every build: each refusal runs in a child process whose processor time is
// capped and whose allocations are capped (the address space where it can be; under
// AddressSanitizer, whose shadow memory needs terabytes of address space, a malloc hook that
// ends the child on any large allocation).
#include "cappedchild.h"
#include "decode.h"
#include "error.h"
#include "hardeningfixture.h"

#include <QFile>

#include <cstddef>

namespace quiltana {
namespace {

enum ChildExit { Refused = 0, Decoded = 10, OtherFailure = 11, LargeAllocation = 12, WrongText = 13 };

// No refusal needs more than this at once; the smallest bomb would need 12 GB.
constexpr std::size_t kLargestAllocation = 64u * 1024 * 1024;

// Runs `refuse` in a child capped at 768 MB of address space (under AddressSanitizer: ended on
// any allocation above kLargestAllocation) and 20 s of processor time, a refusal taking
// milliseconds even sanitized. Returns its exit code, or -signal (SIGXCPU when it ran out of
// time, SIGKILL past the hard limit).
template <typename Work>
int InCappedChild(Work refuse)
{
    test::ChildCaps caps;
    caps.addressSpace = 768u * 1024 * 1024;
    caps.processorSeconds = 20;
    caps.largestAllocation = kLargestAllocation;
    caps.largeAllocationExit = LargeAllocation;
    caps.failureExit = OtherFailure;
    return test::RunInCappedChild(caps, refuse);
}

class BombLimits : public test::HardeningTest {
protected:
    // Copies the fixture into the picture folder under its own name.
    QString bomb(const char *name)
    {
        const QString target = pictureDir_.filePath(QString::fromLatin1(name));
        EXPECT_TRUE(QFile::copy(QStringLiteral(QUILTANA_TEST_DATA_DIR "/") + QString::fromLatin1(name), target));
        EXPECT_LT(QFileInfo(target).size(), 1000);
        return target;
    }

    // The full decode, the work-copy decode and the work copy of a cell each refuse the file
    // with a text that names it and, when given, holds `reason`.
    void expectRefused(const QString &path, PictureKind kind, const QString &reason)
    {
        SCOPED_TRACE(path.toStdString());
        const auto judged = [&](const QString &text) {
            return text.startsWith(path + QStringLiteral(": ")) && text.contains(reason) ? Refused : WrongText;
        };
        const auto full = [&] {
            try {
                (void)DecodePicture(path, kind);
                return int(Decoded);
            } catch (const Error &e) {
                return int(judged(e.message()));
            }
        };
        const auto workImage = [&] {
            try {
                (void)DecodeWorkCopyImage(path, kind, kWorkCopyHeight);
                return int(Decoded);
            } catch (const Error &e) {
                return int(judged(e.message()));
            }
        };
        const auto workCopy = [&] {
            run.document.cells[0].picturePath = path;
            try {
                MakeWorkCopy(run.document, run.workFolder, 0);
                return int(Decoded);
            } catch (const Error &e) {
                return int(run.document.cell(0).picturePath == path ? judged(e.message()) : WrongText);
            }
        };
        EXPECT_EQ(InCappedChild(full), Refused);
        EXPECT_EQ(InCappedChild(workImage), Refused);
        EXPECT_EQ(InCappedChild(workCopy), Refused);
    }
};

const QString kDeclares = QStringLiteral("写真が大きすぎます");

TEST_F(BombLimits, EveryDecoderRefusesTheLargestSides)
{
    const struct {
        const char *name;
        PictureKind kind;
        QString reason;
    } bombs[] = {
        {"bomb-65535x65535.png", PictureKind::Png, kDeclares},
        {"bomb-65535x65535.bmp", PictureKind::Bmp, kDeclares},
        // libjpeg stops above 65500 a side by itself, the program's bound below that.
        {"bomb-65535x65535.jpg", PictureKind::Jpeg, QStringLiteral("65500")},
        {"bomb-65500x65500.jpg", PictureKind::Jpeg, kDeclares},
    };
    for (const auto &b : bombs) {
        SCOPED_TRACE(b.name);
        expectRefused(bomb(b.name), b.kind, b.reason);
    }
}

// Found by the PNG fuzzer: a text chunk declaring 1.2 GB in a file of 255 bytes made libpng
// allocate and clear that much before it found the file ending. The chunk is now skipped
// unread, and the file refused for ending early.
TEST_F(BombLimits, PngChunkDeclaringGigabytes)
{
    expectRefused(bomb("png-huge-text-chunk.png"), PictureKind::Png, QString());
}

// Found by the PNG fuzzer: an eXIf chunk declaring 1 GB in a file of 59 bytes, which libpng
// would allocate before reading it. The EXIF block is read apart, only up to 64 KB; libpng
// skips the chunk unread, and the file is refused for ending early.
TEST_F(BombLimits, PngExifChunkDeclaringAGigabyte)
{
    expectRefused(bomb("png-huge-exif-chunk.png"), PictureKind::Png, QString());
}

TEST_F(BombLimits, TheCapsCatchWhatTheyGuardAgainst)
{
    // Without this the tests above could pass with caps that never bite.
    EXPECT_EQ(InCappedChild([] {
                  // Kept in a volatile pointer, so that the compiler cannot leave it out.
                  static char *volatile block = nullptr;
                  block = new char[kLargestAllocation * 16];
                  block[0] = 1;
                  delete[] block;
                  return int(Decoded);
              }),
              // Under the address-space cap, std::bad_alloc.
              test::UnderAddressSanitizer() ? LargeAllocation : OtherFailure);
}

} // namespace
} // namespace quiltana
