// The open dialog's preview picture: how it fits the square and which files give none.
#include "preview.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "renderfixture.h"

namespace quiltana {
namespace {

using test::rgbAt;
using test::solidPicture;
using test::writePicture;

struct FitCase {
    QSize picture;
    int side;
    QSize expected;
};

class PreviewFitTest : public ::testing::TestWithParam<FitCase> {};

TEST_P(PreviewFitTest, ShrinksToTheSquareKeepingProportions)
{
    const FitCase &c = GetParam();
    EXPECT_EQ(PreviewFit(c.picture, c.side), c.expected)
        << c.picture.width() << " x " << c.picture.height() << " into " << c.side;
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, PreviewFitTest,
    ::testing::Values(FitCase{{400, 100}, 200, {200, 50}},   // wide: the width fills the square
                      FitCase{{100, 400}, 200, {50, 200}},   // tall: the height does
                      FitCase{{300, 300}, 200, {200, 200}},
                      FitCase{{299, 200}, 200, {200, 133}},  // 200 * 200 / 299 = 133.77, truncated
                      FitCase{{150, 80}, 200, {150, 80}},    // smaller pictures are not enlarged
                      FitCase{{200, 200}, 200, {200, 200}},
                      FitCase{{201, 1}, 200, {200, 1}},
                      FitCase{{60000, 2}, 200, {200, 1}},    // a sliver keeps one row
                      FitCase{{0, 10}, 200, {0, 0}},
                      FitCase{{10, 10}, 0, {0, 0}}));

class DecodePreviewTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString write(const QString &name, const QByteArray &bytes)
    {
        QFile file(dir_.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    QTemporaryDir dir_;
};

TEST_F(DecodePreviewTest, EachKindIsShrunkIntoTheSquareWithItsOwnSizeKept)
{
    const QColor red(220, 30, 30);
    const struct {
        const char *name;
        const char *format;
    } kinds[] = {{"big.jpg", "JPG"}, {"big.jpeg", "JPG"}, {"big.png", "PNG"}, {"big.bmp", "BMP"}};
    for (const auto &kind : kinds) {
        SCOPED_TRACE(kind.name);
        const QString path = writePicture(dir_, QString::fromLatin1(kind.name), solidPicture(1600, 1200, red), kind.format);
        const PicturePreviewImage preview = DecodePreview(path, 200);
        ASSERT_FALSE(preview.image.isNull());
        EXPECT_EQ(preview.image.size(), QSize(200, 150));
        EXPECT_EQ(preview.fullSize, QSize(1600, 1200));
        const QColor centre = QColor::fromRgb(rgbAt(preview.image, 100, 75));
        EXPECT_NEAR(centre.red(), red.red(), 8);
        EXPECT_NEAR(centre.green(), red.green(), 8);
        EXPECT_NEAR(centre.blue(), red.blue(), 8);
    }
}

TEST_F(DecodePreviewTest, FilesThatAreNoReadablePicturesGiveNone)
{
    const QString small = writePicture(dir_, QStringLiteral("small.png"), solidPicture(20, 10, Qt::blue), "PNG");
    QByteArray jpeg;
    {
        QFile file(writePicture(dir_, QStringLiteral("whole.jpg"), solidPicture(300, 300, Qt::green), "JPG"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        jpeg = file.readAll();
    }
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("folder.jpg")));

    // A BMP header declaring 30000 x 30000 pixels of 24 bits, followed by a few bytes only.
    QByteArray bmp(54, '\0');
    const auto put32 = [&bmp](int at, quint32 v) {
        for (int i = 0; i < 4; ++i)
            bmp[at + i] = char((v >> (8 * i)) & 0xff);
    };
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(2, 64);
    put32(10, 54);
    put32(14, 40);
    put32(18, 30000);
    put32(22, 30000);
    bmp[26] = 1;
    bmp[28] = 24;
    bmp.append(10, '\x7f');

    const QString none[] = {
        write(QStringLiteral("garbage.jpg"), QByteArray(4000, '\x55')),
        write(QStringLiteral("headeronly.jpg"), jpeg.left(20)), // ends inside its first segment
        write(QStringLiteral("empty.png"), QByteArray()),
        write(QStringLiteral("huge.bmp"), bmp),
        write(QStringLiteral("picture.txt"), jpeg), // a JPEG inside, but not by its name
        dir_.filePath(QStringLiteral("folder.jpg")),
        dir_.filePath(QStringLiteral("missing.jpg")),
    };
    for (const QString &path : none) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_TRUE(DecodePreview(path, 200).image.isNull());
    }

    const PicturePreviewImage kept = DecodePreview(small, 200);
    EXPECT_EQ(kept.image.size(), QSize(20, 10)); // the same side never enlarges it
}

} // namespace
} // namespace quiltana
