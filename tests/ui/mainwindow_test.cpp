#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QSpinBox>
#include <QToolButton>

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "cellcommands.h"
#include "commandline.h"
#include "names.h"
#include "openfolder.h"
#include "rawnames.h"
#include "layouts.h"
#include "uitestsupport.h"
#include "workcopy.h"

namespace quiltana::test {
namespace {

using MainWindow = MainWindowFixture;

int clientHeight(const TForm1 &w) { return w.height() - w.menuBar()->height(); }

QColor pixel(const QImage &image, int x, int y) { return image.pixelColor(x, y); }

TEST_F(MainWindow, StartsEmptyWithOnePage)
{
    TForm1 &w = open();
    EXPECT_EQ(pageIndicator(w)->text(), QStringLiteral("1/1"));
    EXPECT_EQ(pageArrows(w)->maximum(), 0);
    EXPECT_EQ(run.document.layoutStyle, 2);
    EXPECT_TRUE(action(w, QStringLiteral("s2"))->isChecked());
    EXPECT_TRUE(speedButton(w, 4)->isChecked());
    EXPECT_TRUE(action(w, QStringLiteral("x1"))->isChecked());
    EXPECT_TRUE(fake.errors.isEmpty()) << fake.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(QFileInfo(QDir(programDir.path()).filePath(QStringLiteral("temp"))).isDir());
    // The preview holds a rendered white page of its own size.
    EXPECT_EQ(preview(w)->backBuffer().size(), preview(w)->size());
}

TEST_F(MainWindow, FolderArgumentTakesOnlyItsPictures)
{
    picture(QStringLiteral("a.JPG"), Qt::red);
    QFile text(QDir(pictureDir.path()).filePath(QStringLiteral("b.txt")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
    text.close();
    picture(QStringLiteral("c.png"), Qt::blue);

    open({pictureDir.path()});
    const Document &doc = run.document;
    QStringList names{QFileInfo(doc.cell(0).picturePath).fileName(), QFileInfo(doc.cell(1).picturePath).fileName()};
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("a.JPG"), QStringLiteral("c.png")}));
    EXPECT_TRUE(doc.cell(2).picturePath.isEmpty());
    EXPECT_EQ(doc.lastFilledCell, 1);
    EXPECT_EQ(doc.pageCount, 1);
    EXPECT_EQ(pageIndicator(*window)->text(), QStringLiteral("1/1"));
    EXPECT_EQ(WorkCopyFiles(run.workFolder.path).size(), 2);
    EXPECT_TRUE(fake.errors.isEmpty()) << fake.errors.join(QLatin1Char('\n')).toStdString();
}

TEST_F(MainWindow, UnreadablePicturesAreListedInOneErrorBoxAfterTheOthersAreConverted)
{
    const QString good = picture(QStringLiteral("good.jpg"), Qt::green);
    const QString bad1 = QDir(pictureDir.path()).filePath(QStringLiteral("bad1.jpg"));
    const QString bad2 = QDir(pictureDir.path()).filePath(QStringLiteral("bad2.png"));
    for (const QString &p : {bad1, bad2}) {
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("garbage, not a picture");
    }
    open({bad1, good, bad2});
    ASSERT_EQ(fake.errors.size(), 1);
    EXPECT_TRUE(fake.errors.front().contains(QStringLiteral("bad1.jpg")));
    EXPECT_TRUE(fake.errors.front().contains(QStringLiteral("bad2.png")));
    EXPECT_FALSE(run.document.cell(1).workPath.isEmpty()); // the good one was still converted
    EXPECT_EQ(run.document.lastFilledCell, 2);
    // Start-up went on: the dot values were set and the page shows.
    EXPECT_EQ(run.pageSetup.topDots, 10);
    EXPECT_EQ(pageIndicator(*window)->text(), QStringLiteral("1/2"));
}

TEST_F(MainWindow, WidthSnapsTo400AboveTheLimitAndClientHeightFollows)
{
    TForm1 &w = open();
    EXPECT_EQ(w.width(), 400);
    EXPECT_EQ(clientHeight(w), 400 * 300 / 210);

    w.resize(390, w.height());
    settle();
    EXPECT_EQ(w.width(), 400);
    EXPECT_EQ(clientHeight(w), 400 * 300 / 210);

    w.resize(360, w.height());
    settle();
    EXPECT_EQ(w.width(), 360);
    EXPECT_EQ(clientHeight(w), 360 * 300 / 210);
    EXPECT_EQ(preview(w)->hitTestWidth(), preview(w)->width());
    EXPECT_EQ(preview(w)->hitTestHeight(), preview(w)->height());
    EXPECT_EQ(preview(w)->backBuffer().size(), preview(w)->size());
}

TEST_F(MainWindow, ResizeTurnsThePrinterBackToPortrait)
{
    TForm1 &w = open();
    printer.setOrientation(Printer::Orientation::Landscape);
    w.resize(380, w.height());
    settle();
    EXPECT_EQ(printer.orientation(), Printer::Orientation::Portrait);
}

TEST_F(MainWindow, HintNamesThePictureOfTheCellOnTheCurrentPage)
{
    TForm1 &w = open();
    Document &doc = run.document;
    doc.cellAt(9)->picturePath = QStringLiteral("/pictures/nine.jpg");
    doc.cellAt(1)->picturePath = QStringLiteral("/pictures/one.jpg");
    doc.lastFilledCell = 9;
    w.s4Click();
    pageArrows(w)->setValue(2);
    ASSERT_EQ(doc.currentPage, 2);
    EXPECT_EQ(pageIndicator(w)->text(), QStringLiteral("3/3"));

    // The second cell of the page: right half, upper half of the preview.
    const int x = preview(w)->hitTestWidth() * 3 / 4, y = preview(w)->hitTestHeight() / 4;
    w.PaintBox1MouseMove(x, y);
    EXPECT_EQ(preview(w)->toolTip(), QStringLiteral("/pictures/nine.jpg"));
    EXPECT_EQ(control<QLabel>(w, QStringLiteral("StatusPanel0"))->text(), QStringLiteral("/pictures/nine.jpg"));

    doc.cellAt(9)->picturePath.clear();
    w.PaintBox1MouseMove(x, y);
    EXPECT_EQ(preview(w)->toolTip(),
              QStringLiteral("右クリックし、ポップアップメニューを出すか、ファイルをドラッグして下さい"));
    EXPECT_EQ(control<QLabel>(w, QStringLiteral("StatusPanel0"))->text(), QString());
    EXPECT_EQ(preview(w)->lastMouseX(), x);
    EXPECT_EQ(preview(w)->lastMouseY(), y);
}

TEST_F(MainWindow, LayoutChangeReturnsToTheFirstPage)
{
    TForm1 &w = open();
    run.document.lastFilledCell = 19;
    w.s4Click();
    pageArrows(w)->setValue(2);
    ASSERT_EQ(run.document.currentPage, 2);

    action(w, QStringLiteral("s9"))->trigger();
    EXPECT_EQ(run.document.layoutStyle, 9);
    EXPECT_EQ(run.document.currentPage, 0);
    EXPECT_EQ(pageArrows(w)->value(), 0);
    EXPECT_EQ(pageArrows(w)->maximum(), 2);
    EXPECT_EQ(pageIndicator(w)->text(), QStringLiteral("1/3"));
    EXPECT_TRUE(action(w, QStringLiteral("s9"))->isChecked());
    EXPECT_FALSE(action(w, QStringLiteral("s4"))->isChecked());
    EXPECT_TRUE(speedButton(w, 7)->isChecked());

    // The active layout once more also goes back to page 1.
    pageArrows(w)->setValue(1);
    speedButton(w, 7)->click();
    EXPECT_EQ(run.document.currentPage, 0);
    EXPECT_TRUE(action(w, QStringLiteral("s9"))->isChecked());
}

TEST_F(MainWindow, UpArrowShowsTheNextPageAndStopsAtTheLast)
{
    TForm1 &w = open();
    run.document.lastFilledCell = 5; // three pages of two
    w.s2Click();
    pageArrows(w)->stepUp();
    EXPECT_EQ(pageIndicator(w)->text(), QStringLiteral("2/3"));
    pageArrows(w)->stepUp();
    pageArrows(w)->stepUp();
    pageArrows(w)->stepUp();
    EXPECT_EQ(run.document.currentPage, 2);
    EXPECT_EQ(pageIndicator(w)->text(), QStringLiteral("3/3"));
    for (int i = 0; i < 4; ++i)
        pageArrows(w)->stepDown();
    EXPECT_EQ(run.document.currentPage, 0);
    EXPECT_EQ(pageIndicator(w)->text(), QStringLiteral("1/3"));
}

TEST_F(MainWindow, SubMenuLayoutClearsTheFirstLevelChecks)
{
    TForm1 &w = open();
    action(w, QStringLiteral("s24"))->trigger();
    EXPECT_EQ(run.document.layoutStyle, 24);
    for (const char *name : {"s1", "s2", "s4", "s6", "s8", "s9", "s12", "s16"})
        EXPECT_FALSE(action(w, QString::fromLatin1(name))->isChecked()) << name;
    EXPECT_FALSE(action(w, QStringLiteral("s24"))->isChecked());
    EXPECT_TRUE(speedButton(w, 12)->isChecked());

    action(w, QStringLiteral("s4"))->trigger();
    EXPECT_TRUE(action(w, QStringLiteral("s4"))->isChecked());
    EXPECT_TRUE(speedButton(w, 5)->isChecked());
    EXPECT_FALSE(speedButton(w, 12)->isChecked());
}

TEST_F(MainWindow, SpeedButton12OnlyPointsToTheMenu)
{
    TForm1 &w = open();
    w.s4Click();
    speedButton(w, 12)->click();
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_EQ(fake.messages[0].text, QStringLiteral("メニューの分割設定から選んでください。"));
    EXPECT_EQ(fake.messages[0].caption, QStringLiteral("Check"));
    EXPECT_EQ(run.document.layoutStyle, 4);
    EXPECT_TRUE(action(w, QStringLiteral("s4"))->isChecked());
    EXPECT_TRUE(speedButton(w, 12)->isChecked());
    EXPECT_FALSE(speedButton(w, 5)->isChecked());
}

TEST_F(MainWindow, MenusCarryTheirCaptionsShortcutsAndStates)
{
    TForm1 &w = open();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Quiltana V3.11"));
    EXPECT_EQ(action(w, QStringLiteral("New1"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
    EXPECT_EQ(action(w, QStringLiteral("Print1"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    EXPECT_EQ(action(w, QStringLiteral("N8"))->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));
    EXPECT_FALSE(action(w, QStringLiteral("Open1"))->isEnabled());
    EXPECT_FALSE(action(w, QStringLiteral("N5"))->isEnabled());
    EXPECT_FALSE(action(w, QStringLiteral("N10"))->isEnabled());
    // The hidden Edit items never show in the menu but their keys reach the window.
    EXPECT_FALSE(menu(w, QStringLiteral("Edit1"))->actions().contains(action(w, QStringLiteral("Copy2"))));
    EXPECT_TRUE(w.actions().contains(action(w, QStringLiteral("Copy2"))));
    EXPECT_TRUE(w.actions().contains(action(w, QStringLiteral("Paste2"))));
    EXPECT_TRUE(w.actions().contains(action(w, QStringLiteral("Cut2"))));
    EXPECT_FALSE(action(w, QStringLiteral("Paste2"))->isEnabled());
    // The toolbar buttons carry their hints for tool tips and for screen readers.
    EXPECT_EQ(speedButton(w, 9)->toolTip(), QStringLiteral("バージョン情報"));
    EXPECT_EQ(speedButton(w, 3)->accessibleName(), QStringLiteral("用紙全面"));
    EXPECT_EQ(speedButton(w, 3)->geometry(), QRect(56, 1, 25, 22));
    EXPECT_EQ(speedButton(w, 12)->x(), 248);
    EXPECT_EQ(pageIndicator(w)->geometry().x(), 298);
    EXPECT_EQ(pageIndicator(w)->accessibleName(), pageIndicator(w)->text());
    // The pop-up in its order, separators included.
    const QList<QAction *> popup = menu(w, QStringLiteral("PopupMenu1"))->actions();
    QStringList names;
    for (QAction *a : popup)
        names.append(a->objectName());
    EXPECT_EQ(names, (QStringList{"rotate", "N14", "Cut1", "Copy1", "Paste1", "N12", "popload", "N6", "rotateall",
                                  "N11", "pasteall"}));
}

TEST_F(MainWindow, CopyEnablesTheEditPasteAndPastingFillsTheCell)
{
    const QString red = picture(QStringLiteral("red.jpg"), Qt::red);
    TForm1 &w = open({red});
    EXPECT_FALSE(action(w, QStringLiteral("Paste2"))->isEnabled());
    w.PaintBox1MouseMove(10, 10); // cell 0
    action(w, QStringLiteral("Copy2"))->trigger();
    EXPECT_TRUE(action(w, QStringLiteral("Paste2"))->isEnabled());
    w.PaintBox1MouseMove(10, preview(w)->hitTestHeight() - 10); // cell 1
    action(w, QStringLiteral("Paste2"))->trigger();
    EXPECT_EQ(run.document.cell(1).picturePath, red);
    EXPECT_EQ(run.document.lastFilledCell, 1);
    EXPECT_EQ(pageIndicator(w)->text(), QStringLiteral("1/1"));
}

TEST_F(MainWindow, SingleCellCommandRedrawsOnlyThatCell)
{
    const QString red = picture(QStringLiteral("red.jpg"), Qt::red);
    const QString blue = picture(QStringLiteral("blue.png"), Qt::blue);
    TForm1 &w = open({red, blue});
    const QImage &buffer = preview(w)->backBuffer();
    const QPoint inCell0(preview(w)->width() / 2, preview(w)->height() / 4);
    const QPoint inCell1(preview(w)->width() / 2, preview(w)->height() * 3 / 4);
    EXPECT_GT(pixel(buffer, inCell0.x(), inCell0.y()).red(), 200);
    EXPECT_GT(pixel(buffer, inCell1.x(), inCell1.y()).blue(), 200);

    // Cell 0's work copy changes on disk behind the window's back: only a full render shows it.
    QImage green(120, 80, QImage::Format_RGB32);
    green.fill(Qt::green);
    ASSERT_TRUE(green.save(run.document.cell(0).workPath, "BMP"));

    w.PaintBox1MouseMove(inCell1.x(), inCell1.y());
    w.Cut1Click();
    EXPECT_GT(pixel(buffer, inCell0.x(), inCell0.y()).red(), 200) << "cell 0 was redrawn";
    EXPECT_EQ(pixel(buffer, inCell1.x(), inCell1.y()), QColor(Qt::white));
    EXPECT_TRUE(action(w, QStringLiteral("Paste2"))->isEnabled());

    w.RefreshPage();
    EXPECT_GT(pixel(preview(w)->backBuffer(), inCell0.x(), inCell0.y()).green(), 200);
}

TEST_F(MainWindow, PaintingCopiesTheBackBuffer)
{
    const QString red = picture(QStringLiteral("red.jpg"), Qt::red);
    TForm1 &w = open({red});
    const QImage shown = preview(w)->grab().toImage();
    const QPoint inCell0(preview(w)->width() / 2, preview(w)->height() / 4);
    EXPECT_EQ(shown.pixelColor(inCell0), preview(w)->backBuffer().pixelColor(inCell0));
}

TEST_F(MainWindow, CloseAsksOnlyWhenWorkCopiesExist)
{
    open();
    window->close();
    EXPECT_TRUE(fake.questions.empty());

    window.reset();
    const QString red = picture(QStringLiteral("red.jpg"), Qt::red);
    open({red});
    ASSERT_EQ(WorkCopyFiles(run.workFolder.path).size(), 1);
    fake.okCancelAnswers = {false};
    window->close();
    ASSERT_EQ(fake.questions.size(), 1u);
    EXPECT_EQ(fake.questions[0].text, QStringLiteral("作業ファイルを削除します。"));
    EXPECT_EQ(fake.questions[0].caption, QStringLiteral("確認"));
    EXPECT_EQ(WorkCopyFiles(run.workFolder.path).size(), 1); // Cancel keeps them

    window.reset();
    open({red});
    fake.okCancelAnswers = {true};
    window->close();
    EXPECT_EQ(fake.questions.size(), 2u);
    EXPECT_TRUE(WorkCopyFiles(run.workFolder.path).isEmpty());
}

TEST_F(MainWindow, PrinterSetupKeepsTheChosenSizeAndReturnsToPortrait)
{
    TForm1 &w = open();
    fake.onPrinterSetup = [](Printer &p) {
        Printer::Setup landscape = p.setup();
        landscape.orientation = Printer::Orientation::Landscape;
        p.applySetup(landscape);
        return true;
    };
    w.N3Click();
    EXPECT_EQ(run.pageSizeCache.width, 6779);
    EXPECT_EQ(run.pageSizeCache.height, 4760);
    EXPECT_EQ(printer.orientation(), Printer::Orientation::Portrait);
    // The metrics are read after the return to portrait.
    EXPECT_EQ(run.printerMetrics.widthMM, 201);
    EXPECT_EQ(run.printerMetrics.heightMM, 287);

    // A cancelled setup changes nothing.
    fake.onPrinterSetup = [](Printer &) { return false; };
    run.pageSizeCache = PageSizeCache{};
    w.N3Click();
    EXPECT_EQ(run.pageSizeCache.width, 0);
}

TEST_F(MainWindow, FontCommandStartsFromTheCopyEvenWhenCancelled)
{
    TForm1 &w = open();
    run.pageSetup.captionFontCopy.face = QStringLiteral("IPAGothic");
    run.pageSetup.captionFont.face = QStringLiteral("Other");
    w.N7Click();
    EXPECT_EQ(run.pageSetup.captionFont.face, QStringLiteral("IPAGothic"));
    ASSERT_TRUE(fake.lastFontOffered);
    EXPECT_EQ(fake.lastFontOffered->face, QStringLiteral("IPAGothic"));

    FontSpec chosen;
    chosen.face = QStringLiteral("IPAPGothic");
    chosen.pointSize = 14;
    fake.fontToChoose = chosen;
    w.N7Click();
    EXPECT_EQ(run.pageSetup.captionFontCopy, chosen);
    EXPECT_EQ(run.pageSetup.captionFont, chosen);
}

TEST_F(MainWindow, CaptionOptionFollowsTheCheckMark)
{
    TForm1 &w = open();
    ASSERT_TRUE(run.pageSetup.captionOption);
    action(w, QStringLiteral("x1"))->trigger();
    EXPECT_FALSE(action(w, QStringLiteral("x1"))->isChecked());
    EXPECT_FALSE(run.pageSetup.captionOption);
}

TEST_F(MainWindow, DroppedFilesFillTheDocumentFromTheFirstPage)
{
    TForm1 &w = open();
    const QString a = picture(QStringLiteral("a.jpg"), Qt::red);
    const QString b = picture(QStringLiteral("b.png"), Qt::blue);
    const QString c = picture(QStringLiteral("c.bmp"), Qt::green);
    w.WMDropFile({a, b, c});
    EXPECT_EQ(OpenDialogStartFolder(run.pictureFolder), pictureDir.path()); // where the next picture is looked for
    EXPECT_EQ(run.document.cell(0).picturePath, a);
    EXPECT_EQ(run.document.cell(2).picturePath, c);
    EXPECT_EQ(pageIndicator(w)->text(), QStringLiteral("1/2"));
    EXPECT_TRUE(fake.errors.isEmpty());
}

// The left-out message of the window, with its count.
QString leftOutText(int count)
{
    return QStringLiteral("写真は1000枚までです。入りきらなかった%1枚は読み込みませんでした。").arg(count);
}

TEST_F(MainWindow, PicturesPastTheLastCellAreToldOnceHoweverTheyArrive)
{
    QStringList names;
    for (int i = 0; i < 1200; ++i)
        names.append(QDir(pictureDir.path()).filePath(QStringLiteral("missing%1.png").arg(i)));

    open(names);
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_EQ(fake.messages.front().text, leftOutText(200));
    EXPECT_EQ(run.document.cell(999).picturePath, names.at(999));

    // A second drop onto the full document, appended: every picture of it is left out.
    fake.messages.clear();
    fake.okCancelAnswers = {true};
    window->WMDropFile(names.mid(0, 7));
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_EQ(fake.messages.front().text, leftOutText(7));

    // Started afresh, the drop fills the 1000 cells again and tells of the rest.
    fake.messages.clear();
    fake.okCancelAnswers = {false};
    window->WMDropFile(names);
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_EQ(fake.messages.front().text, leftOutText(200));
    EXPECT_EQ(run.document.lastFilledCell, 999);
}

// A drag of `urls` that enters the window and is let go in its middle; the drop is handled
// once the events are processed.
void dropOn(TForm1 &w, const QList<QUrl> &urls)
{
    QMimeData mime;
    mime.setUrls(urls);
    const QPoint middle(w.width() / 2, w.height() / 2);
    QDragEnterEvent enter(middle, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(middle), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &drop);
    ASSERT_TRUE(drop.isAccepted());
    settle();
}

TEST_F(MainWindow, NamesThatAreNoUtf8AreToldInTheOneErrorBoxOfTheirCommand)
{
    const test::RawName badFile(pictureDir.path(), "caf\xE9.jpg");
    const QByteArray &bad = badFile.path();
    if (!badFile.made())
        GTEST_SKIP() << "the file system takes no names that are not UTF-8";
    const QString good = picture(QStringLiteral("good.png"), Qt::red);
    const QString broken = QDir(pictureDir.path()).filePath(QStringLiteral("broken.jpg"));
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("garbage, not a picture");
    f.close();
    const QString escaped = QDir(pictureDir.path()).filePath(QStringLiteral("caf\\xE9.jpg"));

    // The command line as main reads it from the raw arguments.
    const CommandLine line = ReadCommandLine({bad, QFile::encodeName(good), QFile::encodeName(broken)}, pictureDir.path());
    window = std::make_unique<TForm1>(run, line.paths, line.refused);
    window->show();
    settle();
    ASSERT_EQ(fake.errors.size(), 1);
    EXPECT_TRUE(fake.errors.front().contains(escaped)) << fake.errors.front().toStdString();
    EXPECT_TRUE(fake.errors.front().contains(QStringLiteral("broken.jpg")));
    EXPECT_EQ(run.document.cell(0).picturePath, good);
    EXPECT_EQ(run.document.cell(1).picturePath, broken);
    EXPECT_EQ(run.document.lastFilledCell, 1);

    // The folder dropped on the window the way a file manager does it: one box again, and
    // no cell is given the name that Qt would have made of the bytes.
    fake.errors.clear();
    fake.okCancelAnswers = {false};
    dropOn(*window, {QUrl::fromLocalFile(pictureDir.path())});
    ASSERT_EQ(fake.errors.size(), 1);
    EXPECT_TRUE(fake.errors.front().contains(escaped)) << fake.errors.front().toStdString();
    EXPECT_TRUE(fake.errors.front().contains(QStringLiteral("broken.jpg")));
    for (int c = 0; c <= run.document.lastFilledCell; ++c)
        EXPECT_FALSE(run.document.cell(c).picturePath.contains(QChar(0xFFFD))) << c;
    EXPECT_EQ(run.document.lastFilledCell, 1);

    // The file itself dropped with another one, its bytes percent-encoded in the URL.
    fake.errors.clear();
    fake.okCancelAnswers = {false};
    dropOn(*window, {QUrl::fromEncoded("file://" + bad.toPercentEncoding("/")), QUrl::fromLocalFile(good)});
    ASSERT_EQ(fake.errors.size(), 1);
    EXPECT_EQ(fake.errors.front(), UnrepresentableNameError(bad));
    EXPECT_EQ(run.document.cell(0).picturePath, good);
    EXPECT_TRUE(run.document.cell(1).picturePath.isEmpty());
}

TEST_F(MainWindow, ClearingTheDocumentShowsAnEmptyFirstPage)
{
    TForm1 &w = open();
    run.document.lastFilledCell = 9;
    w.s4Click();
    pageArrows(w)->setValue(2);
    action(w, QStringLiteral("N8"))->trigger();
    EXPECT_EQ(pageIndicator(w)->text(), QStringLiteral("1/1"));
    EXPECT_EQ(run.document.currentPage, 0);
    EXPECT_TRUE(fake.questions.empty());
}

TEST(ProgramFolder, FallsBackToTheCacheWhenTheExecutableFolderIsNotWritable)
{
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(TForm1::ProgramFolder(dir.path()), dir.path());
    EXPECT_TRUE(QFileInfo(QDir(dir.path()).filePath(QStringLiteral("temp"))).isDir());

    // A "folder" that is a plain file can hold nothing.
    const QString file = QDir(dir.path()).filePath(QStringLiteral("plain"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    const QString fallback = TForm1::ProgramFolder(file);
    EXPECT_EQ(fallback, QStandardPaths::writableLocation(QStandardPaths::CacheLocation));
    EXPECT_TRUE(QFileInfo(fallback).isDir());

    // A "temp" that is a link to a folder of the user's is not used: closing would delete in it.
    QTemporaryDir linked, users;
    ASSERT_TRUE(linked.isValid());
    ASSERT_TRUE(users.isValid());
    ASSERT_TRUE(QFile::link(users.path(), QDir(linked.path()).filePath(QStringLiteral("temp"))));
    EXPECT_EQ(TForm1::ProgramFolder(linked.path()), fallback);
}

} // namespace
} // namespace quiltana::test
