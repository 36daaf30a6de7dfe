// Pictures whose names hold Japanese characters, blanks, quotes and several dots, and names
// without an extension, through every way a picture enters the document and onto the printer.
#include "commandline.h"
#include "dropimport.h"
#include "error.h"
#include "hardeningfixture.h"
#include "printjob.h"

#include <QStringList>

namespace quiltana {
namespace {

using test::HardeningTest;

// Names a camera, a phone or a user gives: each is a picture by its last extension.
const QStringList kAwkwardNames = {
    QStringLiteral("写真 2024年 夏.jpg"),
    QStringLiteral("  blanks  around .png"),
    QStringLiteral("it's \"quoted\".bmp"),
    QStringLiteral("a.b.c.jpg"),
    QStringLiteral("旅行.JPEG"),
    QStringLiteral("semi;colon,comma&amp%20.png"),
};

class PathNames : public HardeningTest {
protected:
    QStringList awkwardPictures()
    {
        QStringList paths;
        for (const QString &name : kAwkwardNames)
            paths << picture(name);
        return paths;
    }
};

TEST_F(PathNames, CommandLineKeepsEveryNameAndMakesItsWorkCopy)
{
    const QStringList paths = awkwardPictures();
    EXPECT_EQ(FillDocumentFromArguments(run.document, paths), 0);
    EXPECT_TRUE(MakeWorkCopies(run.document, run.workFolder, 0, run.document.lastFilledCell).isEmpty());
    for (int i = 0; i < paths.size(); ++i)
        EXPECT_TRUE(hasWorkCopy(i, paths[i]));
}

TEST_F(PathNames, FolderOnTheCommandLineFindsEveryName)
{
    const QStringList paths = awkwardPictures();
    EXPECT_EQ(FillDocumentFromArguments(run.document, {pictureDir_.path()}), 0);
    QStringList placed;
    for (int i = 0; i <= run.document.lastFilledCell; ++i)
        placed << run.document.cell(i).picturePath;
    placed.sort();
    QStringList expected = paths;
    expected.sort();
    EXPECT_EQ(placed, expected);
}

TEST_F(PathNames, DroppedFilesAndFoldersKeepEveryName)
{
    const QStringList paths = awkwardPictures();
    DropResult files = DropFiles(run.document, run.workFolder, paths, 0, {});
    EXPECT_EQ(files.placed, paths.size());
    EXPECT_TRUE(files.errors.isEmpty()) << files.errors.join(u'\n').toStdString();
    for (int i = 0; i < paths.size(); ++i)
        EXPECT_TRUE(hasWorkCopy(i, paths[i]));

    run.document = Document{};
    const DropResult folders = DropFiles(run.document, run.workFolder, {pictureDir_.path()}, 0, {});
    EXPECT_EQ(folders.placed, paths.size());
    EXPECT_TRUE(folders.errors.isEmpty()) << folders.errors.join(u'\n').toStdString();
}

TEST_F(PathNames, OneDroppedAndOneLoadedPictureKeepTheirNames)
{
    const QStringList paths = awkwardPictures();
    for (int i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(paths[i].toStdString());
        run.document = Document{};
        run.document.layoutStyle = 2;
        const DropResult single = DropFiles(run.document, run.workFolder, {paths[i]}, 1, {});
        EXPECT_EQ(single.mode, PlacementMode::Single);
        EXPECT_TRUE(single.errors.isEmpty());
        EXPECT_TRUE(hasWorkCopy(1, paths[i]));

        LoadIntoCell(run.document, run.workFolder, 0, 0, paths[i]);
        EXPECT_TRUE(hasWorkCopy(0, paths[i]));
    }
}

TEST_F(PathNames, NameWithoutExtensionIsNoPictureOnAnyPath)
{
    // A real JPEG, but the program knows pictures by their extension only.
    const QString bare = picture(QStringLiteral("IMG_0001"));
    const QString dotted = picture(QStringLiteral("no.extension.")); // ends in a bare dot
    const QString good = picture(QStringLiteral("good.png"));

    // Named on the command line, a file goes into its cell unchanged but gets no work copy.
    EXPECT_EQ(FillDocumentFromArguments(run.document, {bare, good, dotted}), 0);
    EXPECT_TRUE(MakeWorkCopies(run.document, run.workFolder, 0, run.document.lastFilledCell).isEmpty());
    EXPECT_EQ(run.document.cell(0).picturePath, bare);
    EXPECT_TRUE(run.document.cell(0).workPath.isEmpty());
    EXPECT_TRUE(hasWorkCopy(1, good));
    EXPECT_EQ(run.document.cell(2).picturePath, dotted);

    // Dropped among pictures it is passed over; dropped alone it changes no cell.
    run.document = Document{};
    const DropResult several = DropFiles(run.document, run.workFolder, {bare, good, dotted}, 0, {});
    EXPECT_EQ(several.placed, 1);
    EXPECT_TRUE(hasWorkCopy(0, good));
    EXPECT_TRUE(run.document.cell(1).picturePath.isEmpty());
    const DropResult alone = DropFiles(run.document, run.workFolder, {bare}, 1, {});
    EXPECT_EQ(alone.mode, PlacementMode::Fresh);
    EXPECT_EQ(alone.placed, 0);
    EXPECT_TRUE(run.document.cell(1).picturePath.isEmpty());
    EXPECT_TRUE(hasWorkCopy(0, good));

    // Loaded into a cell it is kept as the cell's picture, without a work copy or an error.
    EXPECT_NO_THROW(LoadIntoCell(run.document, run.workFolder, 2, 0, bare));
    EXPECT_EQ(run.document.cell(2).picturePath, bare);
    EXPECT_TRUE(run.document.cell(2).workPath.isEmpty());
}

TEST_F(PathNames, AwkwardNamesPrintTheirPicturesAndCaptions)
{
    const QList<QColor> colours = {Qt::red, Qt::green, Qt::blue, Qt::yellow};
    QStringList paths;
    for (int i = 0; i < colours.size(); ++i)
        paths << picture(kAwkwardNames[i].section(u'.', 0, -2) + QStringLiteral(".png"), colours[i], 30, 20);
    paths << picture(QStringLiteral("IMG_0001"), Qt::magenta, 30, 20); // prints as an empty cell
    ASSERT_EQ(FillDocumentFromArguments(run.document, paths), 0);
    Document &doc = run.document;
    doc.layoutStyle = 1;
    ResetToFirstPageLists(doc);
    ASSERT_EQ(doc.pageCount, paths.size());

    PrintDialogValues values;
    values.topText = values.bottomText = values.leftText = values.rightText = QStringLiteral("2.5");
    values.verticalSpacingText = values.horizontalSpacingText = QStringLiteral("2");
    values.captionOption = true; // the names themselves are drawn, Japanese included
    values.captionPosition = CaptionPosition::TopLeft;
    values.range = PageRange::All;
    FinishPrintCommand(run, PrintDialogResult::Print, values, printer_);
    ASSERT_EQ(printer_.jobs.size(), static_cast<std::size_t>(paths.size()));
    EXPECT_EQ(printer_.abortedJobs, 0);
    const QPoint centre(printer_.pw / 2, printer_.ph / 2);
    for (int i = 0; i < colours.size(); ++i)
        EXPECT_EQ(printer_.jobs[static_cast<std::size_t>(i)].page.pixelColor(centre), colours[i]) << i;
    EXPECT_EQ(printer_.jobs.back().page.pixelColor(centre), QColor(Qt::white));
    // Printing reads the cells; it never changes which pictures they hold.
    for (int i = 0; i < paths.size(); ++i)
        EXPECT_EQ(doc.cell(i).picturePath, paths[i]);
}

} // namespace
} // namespace quiltana
