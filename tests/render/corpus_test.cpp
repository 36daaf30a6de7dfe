// Every file of the shared decoder corpus must decode or fail as its expected.tsv says, and
// never crash, hang or take unbounded memory.
#include "decode.h"
#include "error.h"
#include "exif.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTextStream>

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include <vector>

namespace quiltana {
namespace {

struct CorpusEntry {
    QString path;
    PictureKind kind = PictureKind::None;
    // The decoder its folder (its extension) stands for, when that is another one.
    PictureKind folderKind = PictureKind::None;
    bool ok = false;
    int width = 0;
    int height = 0;
};

PictureKind KindNamed(const QString &name)
{
    if (name == QLatin1String("png"))
        return PictureKind::Png;
    if (name == QLatin1String("jpeg"))
        return PictureKind::Jpeg;
    if (name == QLatin1String("bmp"))
        return PictureKind::Bmp;
    return PictureKind::None;
}

// The EXIF orientation a JPEG's first Exif APP1 segment or a PNG's eXIf chunk before IDAT
// records, found by walking the file's segments or chunks; 1 when there is none.
int RecordedOrientation(const QString &path, PictureKind kind)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray bytes = file.readAll();
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype size = bytes.size();
    auto bigEndian = [&](qsizetype at, int count) {
        quint32 value = 0;
        for (int i = 0; i < count; ++i)
            value = value << 8 | data[at + i];
        return value;
    };
    if (kind == PictureKind::Jpeg) {
        for (qsizetype at = 2; at + 4 <= size && data[at] == 0xff;) {
            const int marker = data[at + 1];
            const qsizetype length = bigEndian(at + 2, 2);
            if (marker == 0xda || length < 2 || at + 2 + length > size)
                break;
            if (marker == 0xe1 && length >= 8 && std::memcmp(data + at + 4, "Exif\0", 6) == 0)
                return ExifOrientation(data + at + 4, static_cast<std::size_t>(length - 2));
            at += 2 + length;
        }
    } else if (kind == PictureKind::Png) {
        for (qsizetype at = 8; at + 12 <= size;) {
            const qsizetype length = bigEndian(at, 4);
            if (length > size - at - 12 || std::memcmp(data + at + 4, "IDAT", 4) == 0)
                break;
            if (std::memcmp(data + at + 4, "eXIf", 4) == 0)
                return ExifOrientationOfTiff(data + at + 8, static_cast<std::size_t>(length));
            at += 12 + length;
        }
    }
    return 1;
}

// Verdicts of the table that Qt's BMP reader reached, for layouts the program's own BMP reader
// judges otherwise: 2-bit palettes, V2 and V3 headers and BI_ALPHABITFIELDS are read (at the
// size their headers declare), a colour mask that is not one run of bits is refused.
struct Revised {
    const char *path;
    bool ok;
    int width;
    int height;
};
constexpr Revised kRevisedVerdicts[] = {
    {"bmp/bmpsuite/q/pal2.bmp", true, 127, 64},
    {"bmp/bmpsuite/q/pal2color.bmp", true, 127, 64},
    {"bmp/bmpsuite/q/rgb32h52.bmp", true, 127, 64},
    {"bmp/bmpsuite/q/rgba32h56.bmp", true, 127, 64},
    {"bmp/bmpsuite/q/rgba32abf.bmp", true, 127, 64},
    {"bmp/afl-testcases-edges-only/id:001252,src:001227,op:arith8,pos:22,val:-13.bmp", false, 0, 0},
};

// The decoder is the one the file's contents call for; files of no known format go to the
// decoder their folder stands for, which must refuse them. The verdict of a file whose
// contents and folder disagree (a PNG named .jpg) was reached with its folder's decoder, as
// the program picks decoders by extension.
std::vector<CorpusEntry> ReadCorpus(const QString &corpus)
{
    std::vector<CorpusEntry> entries;
    QFile table(corpus + QStringLiteral("/expected.tsv"));
    if (!table.open(QIODevice::ReadOnly | QIODevice::Text))
        return entries;
    QTextStream in(&table);
    in.readLine(); // header
    while (!in.atEnd()) {
        const QStringList cols = in.readLine().split(QLatin1Char('\t'));
        if (cols.size() < 5)
            continue;
        CorpusEntry entry;
        entry.path = corpus + QLatin1Char('/') + cols[0];
        entry.kind = KindNamed(cols[1]);
        entry.folderKind = KindNamed(cols[0].section(QLatin1Char('/'), 0, 0));
        if (entry.kind == PictureKind::None)
            entry.kind = entry.folderKind;
        entry.ok = cols[2] == QLatin1String("ok");
        entry.width = cols[3].toInt();
        entry.height = cols[4].toInt();
        for (const Revised &revised : kRevisedVerdicts) {
            if (cols[0] == QLatin1String(revised.path)) {
                entry.ok = revised.ok;
                entry.width = revised.width;
                entry.height = revised.height;
            }
        }
        // The table gives the stored size; pictures are decoded upright.
        if (entry.ok && ExifSwapsSides(RecordedOrientation(entry.path, entry.kind)))
            std::swap(entry.width, entry.height);
        entries.push_back(entry);
    }
    return entries;
}

class CorpusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        corpus_ = QStringLiteral(QUILTANA_SHARED_DIR "/corpus");
        if (!QFile::exists(corpus_ + QStringLiteral("/expected.tsv")))
            GTEST_SKIP() << "decoder corpus not found at " << corpus_.toStdString();
        entries_ = ReadCorpus(corpus_);
        ASSERT_GT(entries_.size(), 1000u);
    }

    QString corpus_;
    std::vector<CorpusEntry> entries_;
};

TEST_F(CorpusTest, EveryFileDecodesOrFailsAsExpected)
{
    for (const CorpusEntry &entry : entries_) {
        SCOPED_TRACE(entry.path.toStdString());
        ASSERT_NE(entry.kind, PictureKind::None);
        PictureKind judge = entry.kind;
        if (entry.folderKind != entry.kind && entry.folderKind != PictureKind::None) {
            // Read by what it really is, it must decode at its declared size.
            const QImage image = DecodePicture(entry.path, entry.kind);
            EXPECT_EQ(image.size(), QSize(entry.width, entry.height));
            judge = entry.folderKind;
        }
        if (entry.ok) {
            QImage image;
            try {
                image = DecodePicture(entry.path, judge);
            } catch (const Error &e) {
                ADD_FAILURE() << "should decode: " << e.what();
                continue;
            }
            EXPECT_EQ(image.format(), QImage::Format_RGB888);
            EXPECT_EQ(image.width(), entry.width);
            EXPECT_EQ(image.height(), entry.height);
        } else {
            try {
                (void)DecodePicture(entry.path, judge);
                ADD_FAILURE() << "should have been refused";
            } catch (const Error &e) {
                // The text names the file, then the decoder's reason.
                const QString text = e.message();
                EXPECT_TRUE(text.startsWith(QDir::toNativeSeparators(entry.path) + QStringLiteral(": ")))
                    << text.toStdString();
                EXPECT_GT(text.size(), QDir::toNativeSeparators(entry.path).size() + 2);
            }
        }
    }
}

// The work copy is sampled from the rows as they arrive (a JPEG at a reduced scale); it must
// reach the same verdict as the full decode and the size the full size calls for.
TEST_F(CorpusTest, WorkCopiesFollowTheFullDecode)
{
    constexpr int kHeight = 200;
    for (const CorpusEntry &entry : entries_) {
        SCOPED_TRACE(entry.path.toStdString());
        const PictureKind judge = entry.folderKind == PictureKind::None ? entry.kind : entry.folderKind;
        if (entry.ok) {
            QImage copy;
            try {
                copy = DecodeWorkCopyImage(entry.path, judge, kHeight);
            } catch (const Error &e) {
                ADD_FAILURE() << "should give a work copy: " << e.what();
                continue;
            }
            // The size the picture's full size calls for (WorkCopySize has its own table of
            // cases), however the rows were sampled.
            EXPECT_EQ(copy.size(), WorkCopySize(kHeight, entry.width, entry.height));
            EXPECT_EQ(copy.format(), QImage::Format_RGB888);
        } else {
            EXPECT_THROW((void)DecodeWorkCopyImage(entry.path, judge, kHeight), Error);
        }
    }
}

} // namespace
} // namespace quiltana
