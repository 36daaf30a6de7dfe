// File-name parts and the picture kinds recognised by extension.
#include "paths.h"

#include <gtest/gtest.h>

namespace quiltana {
namespace {

TEST(Paths, FileNamePartAndExtensionComeFromAfterTheLastSeparator)
{
    const struct {
        const char *path, *fileName, *extension;
    } rows[] = {
        {"/home/a/IMG_0001.JPG", "IMG_0001.JPG", ".JPG"},
        {"plain.png", "plain.png", ".png"},
        {"/home/a/folder/", "", ""},
        {"/a.b/c.tar.JPG", "c.tar.JPG", ".JPG"},
        {"/a.b/noext", "noext", ""},
    };
    for (const auto &row : rows) {
        const QString path = QString::fromLatin1(row.path);
        EXPECT_EQ(fileNamePart(path), QString::fromLatin1(row.fileName)) << row.path;
        EXPECT_EQ(extensionOf(path), QString::fromLatin1(row.extension)) << row.path;
    }
}

TEST(Paths, PictureKindIgnoresLetterCase)
{
    const struct {
        const char *path;
        PictureKind kind;
    } rows[] = {
        {"x.PNG", PictureKind::Png},        {"x.Bmp", PictureKind::Bmp},
        {"x.jpg", PictureKind::Jpeg},       {"x.JPEG", PictureKind::Jpeg},
        {"/p/a.jPg", PictureKind::Jpeg},    {"x.gif", PictureKind::None},
        {"/dir.jpg/readme", PictureKind::None}, {"/p/a.jpg.txt", PictureKind::None},
    };
    for (const auto &row : rows) {
        const QString path = QString::fromLatin1(row.path);
        EXPECT_EQ(pictureKindOf(path), row.kind) << row.path;
        EXPECT_EQ(isAcceptedPicture(path), row.kind != PictureKind::None) << row.path;
    }
}

} // namespace
} // namespace quiltana
