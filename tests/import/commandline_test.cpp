#include "commandline.h"

#include "importfixture.h"
#include "names.h"
#include "openfolder.h"
#include "rawnames.h"

namespace quiltana {
namespace {

using CommandLineTest = ImportTest;

TEST_F(CommandLineTest, FolderContributesItsPicturesAsAFileManagerListsThem)
{
    // Numbers compared as numbers, letter case ignored, Japanese names by their collation;
    // created in another order than they are listed.
    const QStringList listed{QStringLiteral("IMG_0001.png"), QStringLiteral("img_0002.JPG"), QStringLiteral("IMG_0010.png"),
                             QStringLiteral("IMG_0012.png"), QStringLiteral("photo9.jpg"), QStringLiteral("Photo10.jpg"),
                             QStringLiteral("photo100.jpg"), QStringLiteral("写真2.png"), QStringLiteral("写真10.png")};
    const QString dir = folder(QStringLiteral("photos"));
    for (const int i : {5, 8, 0, 3, 7, 1, 6, 4, 2})
        file(QStringLiteral("photos/") + listed.at(i));
    file(QStringLiteral("photos/b.txt"));

    EXPECT_EQ(FillDocumentFromArguments(run.document, {dir}), 0);

    const Document &doc = run.document;
    for (int i = 0; i < listed.size(); ++i)
        EXPECT_EQ(doc.cell(i).picturePath, dir + QLatin1Char('/') + listed.at(i)) << i;
    EXPECT_TRUE(doc.cell(int(listed.size())).picturePath.isEmpty());
    EXPECT_EQ(doc.lastFilledCell, listed.size() - 1);
    EXPECT_EQ(doc.cell(0).orientation, Turn::Upright);
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

    EXPECT_EQ(FillDocumentFromArguments(run.document, {dir}), 0);

    QStringList placed{run.document.cell(0).picturePath, run.document.cell(1).picturePath};
    placed.sort();
    EXPECT_EQ(placed, QStringList({dir + QStringLiteral("/.hidden.BMP"), dir + QStringLiteral("/d.jpeg")}));
    EXPECT_TRUE(run.document.cell(2).picturePath.isEmpty());
    EXPECT_EQ(run.document.lastFilledCell, 1);
}

TEST_F(CommandLineTest, OtherArgumentsGoInUnchanged)
{
    const QString text = file(QStringLiteral("notes.txt"));
    const QString dir = folder(QStringLiteral("one"));
    const QString inFolder = file(QStringLiteral("one/p.png"));
    const QString missing = pictureDir_.filePath(QStringLiteral("missing.gif"));

    EXPECT_EQ(FillDocumentFromArguments(run.document, {text, dir, missing}), 0);

    const Document &doc = run.document;
    EXPECT_EQ(doc.cell(0).picturePath, text);
    EXPECT_EQ(doc.cell(1).picturePath, inFolder);
    EXPECT_EQ(doc.cell(2).picturePath, missing);
    EXPECT_EQ(doc.lastFilledCell, 2);
}

TEST_F(CommandLineTest, NoArgumentsLeaveAnEmptyDocument)
{
    EXPECT_EQ(FillDocumentFromArguments(run.document, {}), 0);
    EXPECT_EQ(run.document.lastFilledCell, 0);
    EXPECT_TRUE(run.document.cell(0).picturePath.isEmpty());
}

TEST_F(CommandLineTest, PicturesBeyondTheLastCellAreCountedNotPlaced)
{
    const QString dir = folder(QStringLiteral("many"));
    for (int i = 0; i < 1003; ++i)
        file(QStringLiteral("many/%1.png").arg(i), QByteArray());
    const QString extra = file(QStringLiteral("extra.jpg"));

    // 1003 pictures and one more file: 1000 cells, 4 left out.
    EXPECT_EQ(FillDocumentFromArguments(run.document, {dir, extra}), 4);

    const Document &doc = run.document;
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

    EXPECT_EQ(FillDocumentFromArguments(run.document, arguments), 200);
    EXPECT_EQ(run.document.cell(0).picturePath, QStringLiteral("/nowhere/0.jpg"));
    EXPECT_EQ(run.document.cell(999).picturePath, QStringLiteral("/nowhere/999.jpg"));
    EXPECT_EQ(run.document.lastFilledCell, 999);
}

TEST_F(CommandLineTest, FolderRefusesPicturesWhoseNamesAreNoUtf8)
{
    const QString dir = folder(QStringLiteral("names"));
    const test::RawName badFile(dir, "caf\xE9.jpg");
    if (!badFile.made())
        GTEST_SKIP() << "the file system takes no names that are not UTF-8";
    const test::RawName text(dir, "caf\xE9.txt"); // no picture: passed over without a word
    const test::RawName sub(dir, "dir\xE9.png", test::RawName::Folder); // no picture either
    const QString good = file(QStringLiteral("names/good.png"));

    QStringList refused;
    EXPECT_EQ(PicturesInFolder(dir, &refused), QStringList{good});
    const QString refusal = NameRefusal(dir + QStringLiteral("/caf\\xE9.jpg"));
    EXPECT_EQ(refused, QStringList{refusal});
    EXPECT_EQ(PicturesInFolder(dir), QStringList{good}); // without a list the refusal is silent

    refused.clear();
    EXPECT_EQ(FillDocumentFromArguments(run.document, {dir, dir}, &refused), 0);
    EXPECT_EQ(refused, QStringList({refusal, refusal}));
    EXPECT_EQ(run.document.cell(0).picturePath, good);
    EXPECT_EQ(run.document.cell(1).picturePath, good);
    EXPECT_TRUE(run.document.cell(2).picturePath.isEmpty());
}

TEST_F(CommandLineTest, ArgumentsAreMadeAbsoluteOrRefusedByTheirBytes)
{
    const QString dir = folder(QStringLiteral("args"));
    const test::RawName badFile(dir, "\xFFphoto.png");
    const QByteArray &bad = badFile.path();
    if (!badFile.made())
        GTEST_SKIP() << "the file system takes no names that are not UTF-8";
    const QString here = folder(QStringLiteral("start")); // where the program was started

    const CommandLine line = ReadCommandLine({"relative/../x.jpg", bad, QByteArray(), "sub\xE9/y.jpg",
                                              QFile::encodeName(dir + QStringLiteral("/./写真.png"))},
                                             here);

    EXPECT_EQ(line.paths, QStringList({here + QStringLiteral("/x.jpg"), QString(), dir + QStringLiteral("/写真.png")}));
    ASSERT_EQ(line.refused.size(), 2);
    EXPECT_EQ(line.refused.at(0), NameRefusal(dir + QStringLiteral("/\\xFFphoto.png")));
    EXPECT_EQ(line.refused.at(1), NameRefusal(here + QStringLiteral("/sub\\xE9/y.jpg")));

    // What is refused takes no cell: the others follow one another from cell 0.
    EXPECT_EQ(FillDocumentFromArguments(run.document, line.paths), 0);
    EXPECT_EQ(run.document.cell(0).picturePath, line.paths.at(0));
    EXPECT_EQ(run.document.cell(1).picturePath, line.paths.at(2));
    EXPECT_EQ(run.document.lastFilledCell, 1);
}

TEST(OpenDialogStart, LastPictureFolderThenPicturesThenHomeNeverTheCurrentDirectory)
{
    QTemporaryDir last, pictures, home;
    const QString gone = last.filePath(QStringLiteral("gone"));
    const QString cases[][3] = {// remembered, Pictures, expected
                                {last.path(), pictures.path(), last.path()},
                                {gone, pictures.path(), pictures.path()},
                                {QString(), gone, home.path()}};
    for (const auto &c : cases)
        EXPECT_EQ(StartFolder(c[0], c[1], home.path()), c[2]) << c[0].toStdString();

    // The last name that exists decides: a file its folder, a folder itself.
    PictureFolderMemory memory;
    EXPECT_NE(OpenDialogStartFolder(memory), QDir::currentPath());
    QFile photo(home.filePath(QStringLiteral("写真.jpg")));
    ASSERT_TRUE(photo.open(QIODevice::WriteOnly));
    RememberPictureFolder(memory, {last.path(), photo.fileName(), gone});
    EXPECT_EQ(OpenDialogStartFolder(memory), home.path());
    RememberPictureFolder(memory, {pictures.path() + QStringLiteral("/.")});
    EXPECT_EQ(memory.folder, pictures.path());
}

} // namespace
} // namespace quiltana
