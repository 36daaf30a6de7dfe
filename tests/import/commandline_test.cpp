#include "commandline.h"

#include "importfixture.h"

namespace quiltana {
namespace {

using CommandLineTest = ImportTest;

// Only the pictures among the names, kept in the order given.
QStringList picturesIn(const QStringList &names)
{
    QStringList pictures;
    for (const QString &name : names)
        if (name.endsWith(QLatin1String(".JPG")) || name.endsWith(QLatin1String(".png")))
            pictures.append(name);
    return pictures;
}

TEST_F(CommandLineTest, FolderContributesItsPicturesInDirectoryOrder)
{
    const QString dir = folder(QStringLiteral("photos"));
    file(QStringLiteral("photos/a.JPG"));
    file(QStringLiteral("photos/b.txt"));
    file(QStringLiteral("photos/c.png"));

    EXPECT_EQ(FillDocumentFromArguments({dir}), 0);

    const QStringList expected = picturesIn(directoryOrder(dir));
    ASSERT_EQ(expected.size(), 2);
    const Document &doc = document();
    EXPECT_EQ(doc.cell(0).picturePath, dir + QLatin1Char('/') + expected.at(0));
    EXPECT_EQ(doc.cell(1).picturePath, dir + QLatin1Char('/') + expected.at(1));
    EXPECT_TRUE(doc.cell(2).picturePath.isEmpty());
    EXPECT_EQ(doc.lastFilledCell, 1);
    EXPECT_EQ(pageCountFor(doc.lastFilledCell, 2), 1);
    EXPECT_EQ(doc.cell(0).orientation, 0);
    EXPECT_TRUE(doc.cell(0).workPath.isEmpty()); // work copies are the caller's next step
}

TEST_F(CommandLineTest, FolderTakesHiddenPicturesButNoSubfolders)
{
    const QString dir = folder(QStringLiteral("mixed"));
    file(QStringLiteral("mixed/.hidden.BMP"));
    file(QStringLiteral("mixed/d.jpeg"));
    folder(QStringLiteral("mixed/x.jpg"));             // a folder, not a picture
    file(QStringLiteral("mixed/x.jpg/inside.png"));    // never reached: no descent
    file(QStringLiteral("mixed/noextension"));

    EXPECT_EQ(FillDocumentFromArguments({dir}), 0);

    QStringList placed{document().cell(0).picturePath, document().cell(1).picturePath};
    placed.sort();
    EXPECT_EQ(placed, QStringList({dir + QStringLiteral("/.hidden.BMP"), dir + QStringLiteral("/d.jpeg")}));
    EXPECT_TRUE(document().cell(2).picturePath.isEmpty());
    EXPECT_EQ(document().lastFilledCell, 1);
}

TEST_F(CommandLineTest, OtherArgumentsGoInUnchanged)
{
    const QString text = file(QStringLiteral("notes.txt"));
    const QString dir = folder(QStringLiteral("one"));
    const QString inFolder = file(QStringLiteral("one/p.png"));
    const QString missing = pictureDir_.filePath(QStringLiteral("missing.gif"));

    EXPECT_EQ(FillDocumentFromArguments({text, dir, missing}), 0);

    const Document &doc = document();
    EXPECT_EQ(doc.cell(0).picturePath, text);
    EXPECT_EQ(doc.cell(1).picturePath, inFolder);
    EXPECT_EQ(doc.cell(2).picturePath, missing);
    EXPECT_EQ(doc.lastFilledCell, 2);
}

TEST_F(CommandLineTest, NoArgumentsLeaveAnEmptyDocument)
{
    EXPECT_EQ(FillDocumentFromArguments({}), 0);
    EXPECT_EQ(document().lastFilledCell, 0);
    EXPECT_TRUE(document().cell(0).picturePath.isEmpty());
}

TEST_F(CommandLineTest, PicturesBeyondTheLastCellAreCountedNotPlaced)
{
    const QString dir = folder(QStringLiteral("many"));
    for (int i = 0; i < 1003; ++i)
        file(QStringLiteral("many/%1.png").arg(i), QByteArray());
    const QString extra = file(QStringLiteral("extra.jpg"));

    // 1003 pictures and one more file: 1000 cells, 4 left out.
    EXPECT_EQ(FillDocumentFromArguments({dir, extra}), 4);

    const Document &doc = document();
    for (int c = 0; c < kCellCount; ++c)
        ASSERT_TRUE(doc.cell(c).picturePath.startsWith(dir)) << c;
    EXPECT_EQ(doc.lastFilledCell, 999);
}

TEST_F(CommandLineTest, EveryArgumentIsReadAndTheSurplusCounted)
{
    QStringList arguments;
    for (int i = 0; i < 1200; ++i)
        arguments.append(QStringLiteral("/nowhere/%1.jpg").arg(i));
    arguments.insert(500, QString()); // an empty argument names nothing and is not counted

    EXPECT_EQ(FillDocumentFromArguments(arguments), 200);
    EXPECT_EQ(document().cell(0).picturePath, QStringLiteral("/nowhere/0.jpg"));
    EXPECT_EQ(document().cell(999).picturePath, QStringLiteral("/nowhere/999.jpg"));
    EXPECT_EQ(document().lastFilledCell, 999);
}

} // namespace
} // namespace quiltana
