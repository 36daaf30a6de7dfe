#include "dropimport.h"

#include "cellcommands.h"
#include "error.h"
#include "importfixture.h"
#include "names.h"
#include "rawnames.h"
#include "workfolder.h"

#include <QUrl>

namespace quiltana {
namespace {

class DropTest : public ImportTest {
protected:
    // Answers the append question with `answer` and counts how often it was asked.
    std::function<bool()> answer(bool ok)
    {
        return [this, ok] {
            ++questions_;
            return ok;
        };
    }
    std::function<bool()> noQuestion()
    {
        return [this] {
            ADD_FAILURE() << "the append question was asked";
            ++questions_;
            return true;
        };
    }

    // Cells first..last hold real pictures (without work copies yet); returns their paths.
    QStringList fillCells(int first, int last, const QString &prefix = QStringLiteral("old"))
    {
        QStringList paths;
        for (int c = first; c <= last; ++c) {
            paths.append(picture(QStringLiteral("%1%2.png").arg(prefix).arg(c)));
            run.document.cells[static_cast<size_t>(c)].picturePath = paths.last();
        }
        run.document.lastFilledCell = last;
        return paths;
    }

    QStringList pictures(int count, const QString &prefix)
    {
        QStringList paths;
        for (int i = 0; i < count; ++i)
            paths.append(picture(QStringLiteral("%1%2.png").arg(prefix).arg(i)));
        return paths;
    }

    int questions_ = 0;
};

TEST_F(DropTest, SinglePictureGoesIntoTheCellUnderTheMouse)
{
    Document &doc = run.document;
    doc.layoutStyle = 4;
    doc.currentPage = 1;
    doc.cells[6].orientation = Turn::Left;
    const QString photo = picture(QStringLiteral("single.png"), 40, 20);

    const DropResult result = DropFiles(run.document, run.workFolder, {photo}, 2, noQuestion());

    EXPECT_EQ(result.mode, PlacementMode::Single);
    EXPECT_EQ(result.placed, 1);
    EXPECT_TRUE(result.errors.isEmpty());
    EXPECT_EQ(doc.cell(6).picturePath, photo);
    EXPECT_EQ(doc.cell(6).orientation, Turn::Upright); // a dropped picture starts upright
    EXPECT_TRUE(hasWorkCopy(6));
    EXPECT_EQ(QImage(doc.cell(6).workPath).size(), QSize(400, 200));
    EXPECT_EQ(doc.page.redraw[2], Redraw::Draw);
    EXPECT_EQ(doc.lastFilledCell, 6);
    for (int c : {0, 2, 5, 7})
        EXPECT_TRUE(doc.cell(c).picturePath.isEmpty()) << c;
}

TEST_F(DropTest, SingleNonPictureRemakesEveryWorkCopy)
{
    const QStringList old = fillCells(0, 2);
    run.document.cells[1].workPath = QStringLiteral("stale.bmp");

    const DropResult result = DropFiles(run.document, run.workFolder, {file(QStringLiteral("readme.txt"))}, 0, noQuestion());

    EXPECT_EQ(result.mode, PlacementMode::Fresh);
    EXPECT_EQ(result.placed, 0);
    for (int c = 0; c <= 2; ++c) {
        EXPECT_EQ(run.document.cell(c).picturePath, old.at(c));
        EXPECT_TRUE(hasWorkCopy(c)) << c;
    }
    EXPECT_EQ(run.document.lastFilledCell, 2);
}

TEST_F(DropTest, SingleDropPastTheTableIsLeftOut)
{
    Document &doc = run.document;
    doc.layoutStyle = 6;
    doc.currentPage = 166; // cells 996..1001
    const DropResult result = DropFiles(run.document, run.workFolder, {picture(QStringLiteral("late.png"))}, 5, noQuestion());
    EXPECT_EQ(result.placed, 0);
    EXPECT_EQ(result.leftOut, 1);
    EXPECT_EQ(doc.scanLastFilledCell(), 0);
    EXPECT_TRUE(doc.page.workPath[5].isEmpty());
}

TEST_F(DropTest, SeveralPicturesOnAnEmptyDocument)
{
    const QStringList photos = pictures(3, QStringLiteral("new"));

    const DropResult result = DropFiles(run.document, run.workFolder, photos, 1, noQuestion());

    EXPECT_EQ(result.mode, PlacementMode::Fresh);
    EXPECT_EQ(result.placed, 3);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(run.document.cell(c).picturePath, photos.at(c));
        EXPECT_TRUE(hasWorkCopy(c)) << c;
    }
    EXPECT_EQ(run.document.lastFilledCell, 2);
}

TEST_F(DropTest, OnlyTheFirstCellFilledIsReplacedWithoutQuestion)
{
    fillCells(0, 0);
    run.document.cells[0].orientation = Turn::Right;
    const QStringList photos = pictures(2, QStringLiteral("new"));

    DropFiles(run.document, run.workFolder, photos, 0, noQuestion());

    EXPECT_EQ(run.document.cell(0).picturePath, photos.at(0));
    EXPECT_EQ(run.document.cell(0).orientation, Turn::Upright);
    EXPECT_EQ(run.document.cell(1).picturePath, photos.at(1));
    EXPECT_EQ(run.document.lastFilledCell, 1);
}

TEST_F(DropTest, AppendAnsweredOkFillsAndConvertsOnlyTheNewCells)
{
    fillCells(0, 9);
    const QStringList photos = pictures(5, QStringLiteral("new"));

    const DropResult result = DropFiles(run.document, run.workFolder, photos, 0, answer(true));

    EXPECT_EQ(questions_, 1);
    EXPECT_EQ(result.mode, PlacementMode::Append);
    for (int c = 0; c < 10; ++c)
        EXPECT_TRUE(run.document.cell(c).workPath.isEmpty()) << c; // not converted again
    for (int c = 10; c < 15; ++c) {
        EXPECT_EQ(run.document.cell(c).picturePath, photos.at(c - 10));
        EXPECT_TRUE(hasWorkCopy(c)) << c;
    }
    EXPECT_EQ(run.document.lastFilledCell, 14);
}

TEST_F(DropTest, AppendAnsweredCancelStartsANewDocument)
{
    fillCells(0, 9);
    run.document.cells[3].orientation = Turn::Left;
    run.document.cells[20].orientation = Turn::Right; // a turned empty cell is cleared as well
    const QStringList photos = pictures(5, QStringLiteral("new"));

    const DropResult result = DropFiles(run.document, run.workFolder, photos, 0, answer(false));

    EXPECT_EQ(questions_, 1);
    EXPECT_EQ(result.mode, PlacementMode::Fresh);
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(run.document.cell(c).picturePath, photos.at(c));
        EXPECT_TRUE(hasWorkCopy(c)) << c;
    }
    for (int c = 5; c < 10; ++c)
        EXPECT_TRUE(run.document.cell(c).picturePath.isEmpty()) << c;
    EXPECT_EQ(run.document.cell(3).orientation, Turn::Upright);
    EXPECT_EQ(run.document.cell(20).orientation, Turn::Upright);
    EXPECT_EQ(run.document.lastFilledCell, 4);
}

TEST_F(DropTest, NonPicturesOnAFilledDocument)
{
    const QStringList texts{file(QStringLiteral("a.txt")), file(QStringLiteral("b.doc"))};
    fillCells(0, 3);

    DropFiles(run.document, run.workFolder, texts, 0, answer(true));
    EXPECT_EQ(questions_, 1);
    EXPECT_EQ(run.document.scanLastFilledCell(), 3);
    EXPECT_EQ(run.document.lastFilledCell, 3);

    DropFiles(run.document, run.workFolder, texts, 0, answer(false));
    EXPECT_EQ(questions_, 2);
    EXPECT_EQ(run.document.scanLastFilledCell(), 0);
    EXPECT_TRUE(run.document.cell(0).picturePath.isEmpty());
    EXPECT_EQ(run.document.lastFilledCell, 0);
}

TEST_F(DropTest, FirstNameDecidesBetweenFoldersAndFiles)
{
    const QString dir = folder(QStringLiteral("trip"));
    const QString inFolder = picture(QStringLiteral("trip/beach.png"));
    const QString loose = picture(QStringLiteral("loose.png"));

    DropResult result = DropFiles(run.document, run.workFolder, {dir, loose}, 0, noQuestion());
    EXPECT_EQ(result.placed, 1);
    EXPECT_EQ(run.document.cell(0).picturePath, inFolder);
    EXPECT_TRUE(run.document.cell(1).picturePath.isEmpty());

    run.document = Document{};
    const QString folderNamedLikePicture = folder(QStringLiteral("fake.png"));
    result = DropFiles(run.document, run.workFolder, {loose, dir, folderNamedLikePicture}, 0, noQuestion());
    EXPECT_EQ(result.placed, 1);
    EXPECT_EQ(run.document.cell(0).picturePath, loose);
    EXPECT_TRUE(run.document.cell(1).picturePath.isEmpty());
}

TEST_F(DropTest, FolderDropTakesTheFolderAsAFileManagerListsIt)
{
    const QString dir = folder(QStringLiteral("album"));
    picture(QStringLiteral("album/photo10.png"));
    picture(QStringLiteral("album/photo9.bmp"));
    file(QStringLiteral("album/three.txt"));
    picture(QStringLiteral("album/sub/four.png")); // subfolders are not entered

    const DropResult result = DropFiles(run.document, run.workFolder, {dir}, 0, noQuestion());

    EXPECT_EQ(result.placed, 2);
    EXPECT_EQ(run.document.cell(0).picturePath, dir + QStringLiteral("/photo9.bmp"));
    EXPECT_EQ(run.document.cell(1).picturePath, dir + QStringLiteral("/photo10.png"));
    EXPECT_TRUE(hasWorkCopy(0));
    EXPECT_TRUE(hasWorkCopy(1));
    EXPECT_EQ(run.document.lastFilledCell, 1);
}

// Names of pictures that do not exist: placed like any picture, their conversion fails fast.
QStringList missingPictures(int count, const QString &prefix = QStringLiteral("/nowhere/"))
{
    QStringList names;
    for (int i = 0; i < count; ++i)
        names.append(QStringLiteral("%1%2.png").arg(prefix).arg(i));
    return names;
}

TEST_F(DropTest, EveryDroppedNameIsLookedAtAndTheSurplusCounted)
{
    QStringList names = missingPictures(1200);
    for (int i = 0; i < 30; ++i)
        names.insert(i * 40, QStringLiteral("/nowhere/%1.txt").arg(i)); // passed over, never counted

    const DropResult result = DropFiles(run.document, run.workFolder, names, 0, noQuestion());

    EXPECT_EQ(result.mode, PlacementMode::Fresh);
    EXPECT_EQ(result.placed, 1000);
    EXPECT_EQ(result.leftOut, 200);
    EXPECT_EQ(run.document.cell(999).picturePath, QStringLiteral("/nowhere/999.png"));
    EXPECT_EQ(run.document.lastFilledCell, 999);

    // Onto the full table: appending places nothing and counts every picture of the drop,
    // starting afresh places the first 1000 again.
    const DropResult appended = DropFiles(run.document, run.workFolder, missingPictures(1200, QStringLiteral("/elsewhere/")), 0, answer(true));
    EXPECT_EQ(appended.mode, PlacementMode::Append);
    EXPECT_EQ(appended.placed, 0);
    EXPECT_EQ(appended.leftOut, 1200);
    EXPECT_EQ(run.document.cell(999).picturePath, QStringLiteral("/nowhere/999.png"));

    const DropResult fresh = DropFiles(run.document, run.workFolder, missingPictures(1001, QStringLiteral("/elsewhere/")), 0, answer(false));
    EXPECT_EQ(fresh.placed, 1000);
    EXPECT_EQ(fresh.leftOut, 1);
    EXPECT_EQ(run.document.cell(0).picturePath, QStringLiteral("/elsewhere/0.png"));
}

TEST_F(DropTest, PicturesOfSeveralFoldersBeyondCell999AreCounted)
{
    const QString first = folder(QStringLiteral("first"));
    const QString second = folder(QStringLiteral("second"));
    for (int i = 0; i < 600; ++i) {
        file(QStringLiteral("first/%1.png").arg(i), QByteArray());
        file(QStringLiteral("second/%1.jpg").arg(i), QByteArray());
    }
    file(QStringLiteral("second/notes.txt"));

    const DropResult result = DropFiles(run.document, run.workFolder, {first, second}, 0, noQuestion());
    EXPECT_EQ(result.placed, 1000);
    EXPECT_EQ(result.leftOut, 200);
    EXPECT_TRUE(run.document.cell(599).picturePath.startsWith(first));
    EXPECT_TRUE(run.document.cell(600).picturePath.startsWith(second));
    EXPECT_EQ(run.document.lastFilledCell, 999);

    // The same folder appended to the full table: all of its pictures are left out.
    const DropResult again = DropFiles(run.document, run.workFolder, {second}, 0, answer(true));
    EXPECT_EQ(again.mode, PlacementMode::Append);
    EXPECT_EQ(again.placed, 0);
    EXPECT_EQ(again.leftOut, 600);
}

TEST_F(DropTest, PicturesBeyondCell999AreCountedNotPlaced)
{
    fillCells(997, 997);
    const QStringList photos = pictures(5, QStringLiteral("tail"));

    const DropResult result = DropFiles(run.document, run.workFolder, photos, 0, answer(true));

    EXPECT_EQ(result.mode, PlacementMode::Append);
    EXPECT_EQ(result.placed, 2);
    EXPECT_EQ(result.leftOut, 3);
    EXPECT_EQ(run.document.cell(998).picturePath, photos.at(0));
    EXPECT_EQ(run.document.cell(999).picturePath, photos.at(1));
    EXPECT_TRUE(hasWorkCopy(998));
    EXPECT_TRUE(hasWorkCopy(999));
    EXPECT_EQ(run.document.lastFilledCell, 999);

    // A full table: an appending drop places nothing at all.
    const DropResult full = DropFiles(run.document, run.workFolder, photos, 0, answer(true));
    EXPECT_EQ(full.placed, 0);
    EXPECT_EQ(full.leftOut, 5);
    EXPECT_EQ(run.document.cell(999).picturePath, photos.at(1));
}

// The URL a file manager hands over for a file: its bytes percent-encoded.
QUrl urlOf(const QByteArray &rawPath) { return QUrl::fromEncoded("file://" + rawPath.toPercentEncoding("/")); }

TEST_F(DropTest, NamesThatAreNoUtf8AreRefusedAndTakeNoCell)
{
    const QString dir = folder(QStringLiteral("drop"));
    const test::RawName badFile(dir, "caf\xE9.jpg");
    const QByteArray &bad = badFile.path();
    if (!badFile.made())
        GTEST_SKIP() << "the file system takes no names that are not UTF-8";
    const QString good = picture(QStringLiteral("drop/good.png"));
    const QString message = NameRefusal(dir + QStringLiteral("/caf\\xE9.jpg"));

    // Dropped alone: nothing is placed and nothing asked, the work copies are made again.
    fillCells(0, 2);
    DroppedNames dropped = NamesOfDroppedUrls({urlOf(bad)});
    ASSERT_TRUE(dropped.names.isEmpty());
    DropResult result = DropFiles(run.document, run.workFolder, dropped.names, 1, noQuestion(), dropped.refused);
    EXPECT_EQ(result.mode, PlacementMode::Fresh);
    EXPECT_EQ(result.placed, 0);
    EXPECT_EQ(result.errors, QStringList{message});
    EXPECT_TRUE(hasWorkCopy(1));
    EXPECT_EQ(run.document.lastFilledCell, 2);

    // Dropped with a picture: still a drop of several names, so the picture does not go into
    // the cell under the mouse but behind the filled cells.
    dropped = NamesOfDroppedUrls({urlOf(bad), QUrl::fromLocalFile(good)});
    EXPECT_EQ(dropped.names, QStringList{good});
    result = DropFiles(run.document, run.workFolder, dropped.names, 1, answer(true), dropped.refused);
    EXPECT_EQ(questions_, 1);
    EXPECT_EQ(result.mode, PlacementMode::Append);
    EXPECT_EQ(result.placed, 1);
    EXPECT_EQ(result.errors, QStringList{message});
    EXPECT_EQ(run.document.cell(3).picturePath, good);
    EXPECT_TRUE(hasWorkCopy(3));

    // Several names, every one refused: nothing to place, so nothing is asked or cleared.
    result = DropFiles(run.document, run.workFolder, {}, 1, noQuestion(), {message, message});
    EXPECT_EQ(result.placed, 0);
    EXPECT_EQ(result.errors.size(), 2);
    EXPECT_EQ(run.document.lastFilledCell, 3);

    // The folder dropped: its good picture is placed, the other refused before conversion.
    run.document = Document{};
    result = DropFiles(run.document, run.workFolder, {dir}, 0, noQuestion());
    EXPECT_EQ(result.placed, 1);
    EXPECT_EQ(result.errors, QStringList{message});
    EXPECT_EQ(run.document.cell(0).picturePath, good);
    EXPECT_TRUE(run.document.cell(1).picturePath.isEmpty());
}

TEST_F(DropTest, UnreadablePictureDoesNotEndTheImport)
{
    const QString dir = folder(QStringLiteral("broken"));
    picture(QStringLiteral("broken/first.png"));
    const QString bad = file(QStringLiteral("broken/corrupt.png"), "\x89PNG garbage");
    picture(QStringLiteral("broken/last.png"));

    const DropResult result = DropFiles(run.document, run.workFolder, {dir}, 0, noQuestion());

    EXPECT_EQ(result.placed, 3);
    ASSERT_EQ(result.errors.size(), 1);
    EXPECT_TRUE(result.errors.first().contains(QLatin1String("corrupt.png"))) << result.errors.first().toStdString();
    int converted = 0;
    for (int c = 0; c < 3; ++c) {
        const Cell &cell = run.document.cell(c);
        ASSERT_FALSE(cell.picturePath.isEmpty()) << c;
        if (cell.picturePath == bad) {
            EXPECT_TRUE(cell.workPath.isEmpty());
        } else {
            EXPECT_TRUE(hasWorkCopy(c)) << c;
            ++converted;
        }
    }
    EXPECT_EQ(converted, 2);
    EXPECT_EQ(run.document.lastFilledCell, 2);
}

TEST_F(DropTest, EmptyDropAsksNothingAndChangesNoCell)
{
    const QStringList old = fillCells(0, 1);
    const DropResult result = DropFiles(run.document, run.workFolder, {}, 0, noQuestion());
    EXPECT_EQ(result.placed, 0);
    EXPECT_EQ(run.document.cell(1).picturePath, old.at(1));
    EXPECT_TRUE(hasWorkCopy(1));
}

TEST_F(DropTest, DropLeavesTheCopyBufferAlone)
{
    run.document.copyBuffer = CopyBuffer{QStringLiteral("/kept.png"), Turn::Left};
    DropFiles(run.document, run.workFolder, pictures(2, QStringLiteral("x")), 0, noQuestion());
    EXPECT_EQ(run.document.copyBuffer.path, QStringLiteral("/kept.png"));
    EXPECT_EQ(run.document.copyBuffer.orientation, Turn::Left);
}

using LoadTest = DropTest;

TEST_F(LoadTest, LoadedPictureKeepsTheTurnOfItsCell)
{
    Document &doc = run.document;
    doc.layoutStyle = 4;
    doc.currentPage = 2;
    RefreshPageLists(doc);
    TurnRight(run.document, 3); // cell 11, still empty
    for (auto &flag : doc.page.redraw)
        flag = Redraw::Done;
    const QString photo = picture(QStringLiteral("loaded.png"), 30, 60);

    LoadIntoCell(run.document, run.workFolder, 11, 3, photo);

    EXPECT_EQ(doc.cell(11).picturePath, photo);
    EXPECT_EQ(doc.cell(11).orientation, Turn::Right);
    EXPECT_EQ(doc.page.orientation[3], Turn::Right);
    EXPECT_TRUE(hasWorkCopy(11));
    EXPECT_EQ(QImage(doc.cell(11).workPath).size(), QSize(100, 200));
    EXPECT_EQ(doc.page.workPath[3], doc.cell(11).workPath);
    EXPECT_EQ(doc.page.redraw[3], Redraw::Draw);
    EXPECT_EQ(doc.page.redraw[0], Redraw::Done);
    EXPECT_EQ(doc.lastFilledCell, 0); // not recounted
}

TEST_F(LoadTest, FailedLoadKeepsThePicturePathAndThrows)
{
    const QString bad = file(QStringLiteral("bad.jpg"), "not a jpeg");
    EXPECT_THROW(LoadIntoCell(run.document, run.workFolder, 1, 1, bad), Error);
    EXPECT_EQ(run.document.cell(1).picturePath, bad);
    EXPECT_TRUE(run.document.cell(1).workPath.isEmpty());
}

TEST_F(LoadTest, FailedLoadOverAPictureShowsNothingRatherThanTheOldPicture)
{
    Document &doc = run.document;
    LoadIntoCell(run.document, run.workFolder, 1, 1, picture(QStringLiteral("ok.png")));
    ASSERT_FALSE(doc.cell(1).workPath.isEmpty());
    ASSERT_EQ(doc.page.workPath[1], doc.cell(1).workPath);
    const QString bad = file(QStringLiteral("broken.jpg"), "not a jpeg");
    EXPECT_THROW(LoadIntoCell(run.document, run.workFolder, 1, 1, bad), Error);
    EXPECT_EQ(doc.cell(1).picturePath, bad);
    EXPECT_TRUE(doc.cell(1).workPath.isEmpty());
    EXPECT_TRUE(doc.page.workPath[1].isEmpty());
    EXPECT_EQ(doc.page.redraw[1], Redraw::Draw);
}

TEST_F(LoadTest, CellPastTheTableIsNotTouched)
{
    Document &doc = run.document;
    doc.layoutStyle = 6;
    doc.currentPage = 166;
    const Document before = doc;
    EXPECT_NO_THROW(LoadIntoCell(run.document, run.workFolder, 1000, 4, picture(QStringLiteral("x.png"))));
    EXPECT_EQ(doc.scanLastFilledCell(), 0);
    EXPECT_EQ(doc.page.redraw[4], before.page.redraw[4]);
}

// The work folder is the run's own absolute path: moving the process to another directory,
// one with a "temp" folder holding a file named like a work copy, neither moves where copies
// are written nor lets the clean-up at close reach that directory's files.
TEST_F(DropTest, WorkCopiesStayInTheRunsFolderWhateverTheCurrentDirectory)
{
    QTemporaryDir elsewhere;
    ASSERT_TRUE(elsewhere.isValid());
    ASSERT_TRUE(QDir(elsewhere.path()).mkdir(QStringLiteral("temp")));
    const QString strangers = elsewhere.filePath(QStringLiteral("temp/other.jpg.bmp"));
    QFile stranger(strangers);
    ASSERT_TRUE(stranger.open(QIODevice::WriteOnly));
    stranger.close();
    const QString started = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));

    DropFiles(run.document, run.workFolder, pictures(2, QStringLiteral("p")), 0, noQuestion());
    LoadIntoCell(run.document, run.workFolder, 5, 0, picture(QStringLiteral("loaded.png")));
    for (int c : {0, 1, 5})
        EXPECT_TRUE(hasWorkCopy(c)) << c; // in the run's folder, under its own name
    const QStringList copies = WorkCopyFiles(run.workFolder.path);
    DeleteWorkCopies(run.workFolder.path);
    QDir::setCurrent(started);

    EXPECT_EQ(copies.size(), 3);
    EXPECT_TRUE(WorkCopyFiles(run.workFolder.path).isEmpty());
    EXPECT_TRUE(QFileInfo::exists(strangers));
    EXPECT_EQ(QDir(elsewhere.filePath(QStringLiteral("temp"))).entryList(QDir::Files).size(), 1);
}

} // namespace
} // namespace quiltana
