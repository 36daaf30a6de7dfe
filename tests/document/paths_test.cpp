// File-name parts and the picture kinds recognised by extension.
#include "paths.h"

#include <gtest/gtest.h>

namespace quiltana {
namespace {

TEST(Paths, FileNamePartIsEverythingAfterTheLastSeparator)
{
    EXPECT_EQ(fileNamePart(QStringLiteral("/home/a/IMG_0001.JPG")), QStringLiteral("IMG_0001.JPG"));
    EXPECT_EQ(fileNamePart(QStringLiteral("plain.png")), QStringLiteral("plain.png"));
    EXPECT_EQ(fileNamePart(QStringLiteral("/home/a/folder/")), QString());
}

TEST(Paths, ExtensionComesFromTheFileNamePartOnly)
{
    EXPECT_EQ(extensionOf(QStringLiteral("/a.b/c.tar.JPG")), QStringLiteral(".JPG"));
    EXPECT_EQ(extensionOf(QStringLiteral("/a.b/noext")), QString());
}

TEST(Paths, PictureKindIgnoresLetterCase)
{
    EXPECT_EQ(pictureKindOf(QStringLiteral("x.PNG")), PictureKind::Png);
    EXPECT_EQ(pictureKindOf(QStringLiteral("x.Bmp")), PictureKind::Bmp);
    EXPECT_EQ(pictureKindOf(QStringLiteral("x.jpg")), PictureKind::Jpeg);
    EXPECT_EQ(pictureKindOf(QStringLiteral("x.JPEG")), PictureKind::Jpeg);
    EXPECT_EQ(pictureKindOf(QStringLiteral("x.gif")), PictureKind::None);
    EXPECT_EQ(pictureKindOf(QStringLiteral("/dir.jpg/readme")), PictureKind::None);
    EXPECT_TRUE(isAcceptedPicture(QStringLiteral("/p/a.jPg")));
    EXPECT_FALSE(isAcceptedPicture(QStringLiteral("/p/a.jpg.txt")));
}

} // namespace
} // namespace quiltana
