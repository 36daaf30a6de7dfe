// One page through the real QPrinter into a PDF file, rasterised again with pdftoppm, to check
// that frames and pictures land on paper where the cell geometry puts them.
#include "printjob.h"

#include "printjobfixture.h"
#include "error.h"
#include "qtprinter.h"
#include "smalldisk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>
#include <iostream>

namespace quiltana {
namespace {

class PrintToPdf : public test::PrintJobFixture {};

// Whether a pixel near (x, y) along the other axis is dark: the rasteriser may put a one-dot
// line half into the neighbouring pixel.
bool darkNear(const QImage &img, int x, int y, bool vertical)
{
    for (int d = -1; d <= 1; ++d) {
        const QPoint p = vertical ? QPoint(x + d, y) : QPoint(x, y + d);
        if (img.valid(p) && qGray(img.pixel(p)) < 128)
            return true;
    }
    return false;
}

TEST_F(PrintToPdf, FramesAndPicturesStandWhereTheCellsAre)
{
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (pdftoppm.isEmpty())
        GTEST_SKIP() << "pdftoppm is not installed; the PDF cannot be turned back into an image";

    QtPrinter pdf(dir.filePath(QStringLiteral("page.pdf")));
    // A small sheet keeps the 600 dpi image small; margins make the printable area's offset
    // inside the sheet count.
    pdf.printer()->setPageSize(QPageSize(QPageSize::A6));
    pdf.printer()->setPageMargins(QMarginsF(6, 9, 4, 7), QPageLayout::Millimeter);
    ASSERT_EQ(pdf.resolutionX(), 600);
    run.printer = &pdf;
    ReadPrinterMetrics(run.printerMetrics, pdf);
    ASSERT_GT(pdf.offsetX(), 0);
    ASSERT_GT(pdf.offsetY(), 0);

    fillCells(4, {picture("red.png", Qt::red), QString(), QString(), picture("blue.png", Qt::blue, 20, 30)});
    PrintDialogValues v;
    v.frameOption = true;
    v.captionOption = false;
    v.topText = v.bottomText = v.leftText = v.rightText = QStringLiteral("12");
    v.verticalSpacingText = v.horizontalSpacingText = QStringLiteral("3");
    FinishPrintCommand(run, PrintDialogResult::Print, v, pdf);
    const QString file = pdf.lastOutputFile();
    ASSERT_FALSE(file.isEmpty());

    const QString stem = dir.filePath(QStringLiteral("raster"));
    QProcess p;
    p.start(pdftoppm, {QStringLiteral("-r"), QStringLiteral("600"), QStringLiteral("-png"),
                       QStringLiteral("-singlefile"), file, stem});
    ASSERT_TRUE(p.waitForFinished(120000)) << "pdftoppm did not finish";
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QImage sheet(stem + QStringLiteral(".png"));
    ASSERT_FALSE(sheet.isNull());
    // The image is the whole sheet; the printer's canvas starts at the printable area.
    EXPECT_NEAR(sheet.width(), pdf.physicalWidth(), 2);
    EXPECT_NEAR(sheet.height(), pdf.physicalHeight(), 2);

    const int ox = pdf.offsetX();
    const int oy = pdf.offsetY();
    const auto cells = CellRects(4, pdf.pageWidth(), pdf.pageHeight(), dotMargins(), ComposeMode::Print);
    ASSERT_EQ(cells.size(), 4u);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const Rect &r = cells[i];
        const QPoint c = centre(r) + QPoint(ox, oy);
        EXPECT_TRUE(darkNear(sheet, c.x(), r.top + oy, false)) << "top frame of cell " << i;
        EXPECT_TRUE(darkNear(sheet, c.x(), r.bottom - 1 + oy, false)) << "bottom frame of cell " << i;
        // Just outside the frame the paper is blank.
        EXPECT_GT(qGray(sheet.pixel(c.x(), r.top + oy - 4)), 200) << i;
        EXPECT_GT(qGray(sheet.pixel(r.left + ox - 4, c.y())), 200) << i;
    }
    for (const std::size_t i : {std::size_t{1}, std::size_t{2}}) { // empty cells: frame, white inside
        const Rect &r = cells[i];
        const QPoint c = centre(r) + QPoint(ox, oy);
        EXPECT_TRUE(darkNear(sheet, r.left + ox, c.y(), true)) << "left frame of cell " << i;
        EXPECT_TRUE(darkNear(sheet, r.right - 1 + ox, c.y(), true)) << "right frame of cell " << i;
        EXPECT_GT(qGray(sheet.pixel(r.left + ox + 4, c.y())), 200) << i;
        EXPECT_GT(qGray(sheet.pixel(c)), 200) << i;
    }
    const QRgb red = sheet.pixel(centre(cells[0]) + QPoint(ox, oy));
    EXPECT_GT(qRed(red), 200);
    EXPECT_LT(qGreen(red), 60);
    const QRgb blue = sheet.pixel(centre(cells[3]) + QPoint(ox, oy));
    EXPECT_GT(qBlue(blue), 200);
    EXPECT_LT(qRed(blue), 60);
    // The red picture (wider than tall) fills its cell's width: it starts at the cell's left edge.
    const int y0 = centre(cells[0]).y() + oy;
    EXPECT_GT(qRed(sheet.pixel(cells[0].left + ox + 2, y0)), 200);
    EXPECT_GT(qGray(sheet.pixel(cells[0].left + ox - 4, y0)), 200);

    const QString pdfinfo = QStandardPaths::findExecutable(QStringLiteral("pdfinfo"));
    if (!pdfinfo.isEmpty()) {
        QProcess info;
        info.start(pdfinfo, {file});
        ASSERT_TRUE(info.waitForFinished(60000));
        const QString out = QString::fromUtf8(info.readAllStandardOutput());
        EXPECT_TRUE(out.contains(QStringLiteral("Quiltana Document"))) << out.toStdString();
        EXPECT_TRUE(out.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\b")))) << out.toStdString();
    }
}

// A print command to PDF files writes one file of its pages in order, beside a file of the
// user's that it leaves alone; a stopped one keeps the pages printed, a failed one the pages before
// the failed one.
TEST_F(PrintToPdf, OneFilePerCommandWithItsPagesInOrder)
{
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (pdftoppm.isEmpty())
        GTEST_SKIP() << "pdftoppm is not installed; the PDF's pages cannot be read";
    const QString base = dir.filePath(QStringLiteral("Quiltana Document.pdf"));
    QFile mine(base);
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly) && mine.write("mine") == 4);
    mine.close();
    QtPrinter pdf(base);
    pdf.printer()->setPageSize(QPageSize(QPageSize::A6));
    run.printer = &pdf;
    ReadPrinterMetrics(run.printerMetrics, pdf);
    const QList<QColor> colours{Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan, Qt::magenta, Qt::black};
    QStringList paths;
    for (const QColor &c : colours)
        paths << picture(c.name() + QStringLiteral(".png"), c);
    fillCells(1, paths);
    PrintDialogValues v;
    v.range = PageRange::List;
    v.pageList = QStringLiteral("1,3,5-7");
    struct Command {
        int stopBefore;   // "中止" before the run's n-th page; 0 never
        bool brokenPage3; // the picture of page 3 cannot be read
        QString file;
        std::vector<int> pages; // the file's pages: the document's, from 1
    };
    // A failed page: the file begun for the command goes, and the page before it is written again
    // into a file of its own, which the message names.
    for (const Command &c : {Command{0, false, QStringLiteral("Quiltana Document-2.pdf"), {1, 3, 5, 6, 7}},
                             Command{3, false, QStringLiteral("Quiltana Document-3.pdf"), {1, 3}},
                             Command{1, false, {}, {}},
                             Command{0, true, QStringLiteral("Quiltana Document-4.pdf"), {1}}}) {
        SCOPED_TRACE(c.stopBefore);
        if (c.brokenPage3)
            run.document.cells[2].picturePath = brokenPicture(QStringLiteral("broken.png"));
        PrintBusyHooks hooks;
        hooks.nextPage = [&c](const PrintStep &step) { return step.index != c.stopBefore; };
        const QString file = c.file.isEmpty() ? c.file : dir.filePath(c.file);
        try {
            EXPECT_EQ(FinishPrintCommand(run, PrintDialogResult::Print, v, pdf, hooks).file, file);
            EXPECT_FALSE(c.brokenPage3) << "no error";
        } catch (const Error &e) {
            EXPECT_TRUE(c.brokenPage3) << e.what();
            EXPECT_TRUE(e.message().startsWith(run.document.cells[2].picturePath)) << e.what();
            EXPECT_TRUE(e.message().contains(QStringLiteral("ページ 3 は印刷できませんでした。"))) << e.what();
            EXPECT_TRUE(e.message().contains(QDir::toNativeSeparators(file))) << e.what();
        }
        if (file.isEmpty())
            continue;
        const QString stem = QStringLiteral("run%1%2").arg(c.stopBefore).arg(c.brokenPage3);
        QProcess p; // one PNG a page: run1-1.png, run1-2.png ...
        p.start(pdftoppm,
                {QStringLiteral("-r"), QStringLiteral("20"), QStringLiteral("-png"), file, dir.filePath(stem)});
        ASSERT_TRUE(p.waitForFinished(120000) && p.exitCode() == 0) << p.readAllStandardError().toStdString();
        const QStringList images =
            QDir(dir.path()).entryList({stem + QStringLiteral("-*.png")}, QDir::Files, QDir::Name);
        ASSERT_EQ(images.size(), static_cast<qsizetype>(c.pages.size()));
        for (std::size_t i = 0; i < c.pages.size(); ++i) {
            const QImage page(dir.filePath(images[static_cast<qsizetype>(i)]));
            const QRgb seen = page.pixel(page.width() / 2, page.height() / 2);
            const QRgb want = colours[c.pages[i] - 1].rgb();
            EXPECT_LT(std::abs(qRed(seen) - qRed(want)) + std::abs(qGreen(seen) - qGreen(want))
                          + std::abs(qBlue(seen) - qBlue(want)), 60)
                << "page " << i + 1 << " should be page " << c.pages[i];
        }
    }
    // No temporary file is left, and the user's file is as it was.
    EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden).isEmpty());
    ASSERT_TRUE(mine.open(QIODevice::ReadOnly));
    EXPECT_EQ(mine.readAll(), QByteArray("mine"));
}

// A disk that fills up in the middle of a print: the page that did not fit and the reason are
// named, the pages before it stay in a whole PDF file, and nothing else is left on the disk.
TEST_F(PrintToPdf, AFullDiskKeepsTheWholePagesInAReadableFileAndNamesThePageAndTheCause)
{
    const QString pdfinfo = QStandardPaths::findExecutable(QStringLiteral("pdfinfo"));
    const test::SmallDisk disk(2 * 1024 * 1024);
    if (pdfinfo.isEmpty() || !disk.mounted())
        GTEST_SKIP() << (pdfinfo.isEmpty() ? "pdfinfo is not installed" : disk.skipReason().toStdString());
    QtPrinter pdf(disk.filePath(QStringLiteral("Quiltana Document.pdf")));
    pdf.printer()->setPageSize(QPageSize(QPageSize::A6));
    pdf.printer()->setResolution(100); // a page of noise, which no compression shrinks, is then half a megabyte
    run.printer = &pdf;
    ReadPrinterMetrics(run.printerMetrics, pdf);
    QImage noise(330, 500, QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, QRandomGenerator::global()->generate() | 0xff000000u);
    ASSERT_TRUE(noise.save(dir.filePath(QStringLiteral("noise.png"))));
    fillCells(1, QStringList(10, dir.filePath(QStringLiteral("noise.png"))));
    PrintDialogValues v;
    v.range = PageRange::All;
    QString message;
    try {
        FinishPrintCommand(run, PrintDialogResult::Print, v, pdf);
    } catch (const Error &e) {
        message = e.message();
    }
    const auto m = QRegularExpression(QStringLiteral("^%1: .*(ディスクがいっぱいです).*\n\nページ (\\d+) は印刷できませんでした。"
                                                     "\nそれまでの (\\d+) ページは PDF ファイルに保存しました")
                                          .arg(QRegularExpression::escape(disk.filePath(QStringLiteral("Quiltana Document.pdf")))),
                                      QRegularExpression::DotMatchesEverythingOption)
                       .match(message);
    ASSERT_TRUE(m.hasMatch()) << message.toStdString();
    EXPECT_LE(m.captured(3).toInt(), m.captured(2).toInt() - 1); // a page fewer when the disk is still too full
    EXPECT_GE(m.captured(3).toInt(), 1);
    const QStringList left = QDir(disk.path()).entryList(QDir::Files | QDir::Hidden);
    ASSERT_EQ(left, QStringList{QStringLiteral("Quiltana Document.pdf")});
    QProcess info;
    info.start(pdfinfo, {disk.filePath(left[0])});
    ASSERT_TRUE(info.waitForFinished(60000));
    EXPECT_EQ(info.exitCode(), 0) << info.readAllStandardError().toStdString();
    EXPECT_TRUE(QString::fromUtf8(info.readAllStandardOutput())
                    .contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\\b").arg(m.captured(3)))));
}

// A picture whose every pixel differs from its neighbours, which JPEG cannot keep.
QImage SharpPattern(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, (x + y) % 2 ? qRgb(255, (x * 37) & 0xff, 0) : qRgb(0, (y * 53) & 0xff, 255));
    return image;
}

// Pictures that were lossless on disk reach the PDF lossless (Flate); a JPEG stays JPEG (DCT).
// pdfimages lists each image with its size and encoding ("jpeg" for DCT, "image" for Flate);
// the three pictures have different shapes, so their images tell themselves apart.
TEST_F(PrintToPdf, PngAndBmpPicturesStayLosslessAndJpegsStayJpeg)
{
    const QString pdfimages = QStandardPaths::findExecutable(QStringLiteral("pdfimages"));
    if (pdfimages.isEmpty())
        GTEST_SKIP() << "pdfimages is not installed; the PDF's images cannot be listed";

    QtPrinter pdf(dir.filePath(QStringLiteral("page.pdf")));
    pdf.printer()->setPageSize(QPageSize(QPageSize::A6));
    run.printer = &pdf;
    ReadPrinterMetrics(run.printerMetrics, pdf);

    const QString png = dir.filePath(QStringLiteral("wide.png"));
    const QString bmp = dir.filePath(QStringLiteral("square.bmp"));
    const QString jpg = dir.filePath(QStringLiteral("tall.jpg"));
    ASSERT_TRUE(SharpPattern(60, 20).save(png, "PNG"));
    ASSERT_TRUE(SharpPattern(30, 30).save(bmp, "BMP"));
    ASSERT_TRUE(SharpPattern(20, 60).save(jpg, "JPG", 90));
    fillCells(4, {png, bmp, jpg});
    PrintDialogValues v;
    v.frameOption = false;
    v.captionOption = false;
    v.topText = v.bottomText = v.leftText = v.rightText = QStringLiteral("12");
    v.verticalSpacingText = v.horizontalSpacingText = QStringLiteral("3");
    FinishPrintCommand(run, PrintDialogResult::Print, v, pdf);
    const QString file = pdf.lastOutputFile();
    ASSERT_FALSE(file.isEmpty());
    std::cout << "PDF of the page: " << QFileInfo(file).size() << " bytes\n";

    QProcess list;
    list.start(pdfimages, {QStringLiteral("-list"), file});
    ASSERT_TRUE(list.waitForFinished(60000)) << "pdfimages did not finish";
    ASSERT_EQ(list.exitCode(), 0) << list.readAllStandardError().toStdString();
    // page num type width height color comp bpc enc ...
    QMap<QString, QString> encodingOf; // "wide", "square", "tall"
    for (const QString &line : QString::fromUtf8(list.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        const QStringList cols = line.simplified().split(QLatin1Char(' '));
        if (cols.size() < 9 || cols[2] != QLatin1String("image"))
            continue;
        const double ratio = cols[3].toDouble() / std::max(1.0, cols[4].toDouble());
        const QString shape = ratio > 2 ? QStringLiteral("wide")
                              : ratio < 0.5 ? QStringLiteral("tall")
                                            : QStringLiteral("square");
        EXPECT_FALSE(encodingOf.contains(shape)) << "two images look " << shape.toStdString();
        encodingOf[shape] = cols[8];
    }
    ASSERT_EQ(encodingOf.size(), 3) << "the page should hold three images";
    EXPECT_EQ(encodingOf[QStringLiteral("wide")].toStdString(), "image") << "the PNG";
    EXPECT_EQ(encodingOf[QStringLiteral("square")].toStdString(), "image") << "the BMP";
    EXPECT_EQ(encodingOf[QStringLiteral("tall")].toStdString(), "jpeg") << "the JPEG";
}

} // namespace
} // namespace quiltana
