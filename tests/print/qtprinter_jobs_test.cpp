// Several jobs in a row on one real printer: each must start from a clean canvas, whatever the
// job before it left behind in the painter or in the PDF engine underneath.
#include "compose.h"
#include "document.h"
#include "geometry.h"
#include "pagesetup.h"
#include "printer.h"
#include "printjob.h"
#include "qtprinter.h"
#include "runstate.h"
#include "testprinter.h"

#include <QImage>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quiltana {
namespace {

class QtPrinterJobs : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
        if (pdftoppm.isEmpty())
            GTEST_SKIP() << "pdftoppm is not installed; the printed PDF cannot be turned back into an image";
    }

    // A real printer writing A6 PDF pages at 600 dpi, with unequal borders so that the printable
    // area's offset inside the sheet shows.
    std::unique_ptr<QtPrinter> makePrinter(const QString &name)
    {
        auto p = std::make_unique<QtPrinter>(dir.filePath(name));
        p->printer()->setPageSize(QPageSize(QPageSize::A6));
        p->printer()->setPageMargins(QMarginsF(6, 9, 4, 7), QPageLayout::Millimeter);
        return p;
    }

    QString picture(const QString &name, const QColor &color, int w, int h)
    {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(color);
        const QString path = dir.filePath(name);
        EXPECT_TRUE(img.save(path, "PNG"));
        return path;
    }

    // The whole sheet of `pdf` as an image at 100 dpi.
    QImage rasterise(const QString &pdf, const QString &stemName)
    {
        const QString stem = dir.filePath(stemName);
        QProcess p;
        p.start(pdftoppm, {QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-png"),
                           QStringLiteral("-singlefile"), pdf, stem});
        if (!p.waitForFinished(120000) || p.exitCode() != 0) {
            ADD_FAILURE() << "pdftoppm failed on " << pdf.toStdString() << ": "
                          << p.readAllStandardError().toStdString();
            return {};
        }
        return QImage(stem + QStringLiteral(".png"));
    }

    QTemporaryDir dir;
    QString pdftoppm;
    RunState run;
};

// A 600 dpi canvas position as a pixel of the 100 dpi sheet image.
QPoint onSheet(int x, int y, const Printer &p)
{
    return QPoint((x + p.offsetX()) / 6, (y + p.offsetY()) / 6);
}

// The darkest pixel within one pixel of `at`: a one-dot line at 600 dpi may fall into either
// neighbour at 100 dpi.
QRgb darkestNear(const QImage &img, QPoint at)
{
    QRgb darkest = qRgb(255, 255, 255);
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const QPoint q = at + QPoint(dx, dy);
            if (img.valid(q) && qGray(img.pixel(q)) < qGray(darkest))
                darkest = img.pixel(q);
        }
    return darkest;
}

// Black enough for a line, and not a dark shade of the colours the jobs use.
bool isBlack(QRgb c) { return qRed(c) < 110 && qGreen(c) < 110 && qBlue(c) < 110; }

bool isRed(QRgb c) { return qRed(c) > 200 && qGreen(c) < 80 && qBlue(c) < 80; }
bool isWhite(QRgb c) { return qGray(c) > 220; }

// Captions move and turn the painter and put it back afterwards; after the last caption of a
// job nothing else is drawn, so the engine never hears of the restore. The next job on the
// same printer must still draw its frames and pictures where the cells are, in black.
TEST_F(QtPrinterJobs, SecondJobWithCaptionsDrawsWhereTheCellsAre)
{
    const auto pdf = makePrinter(QStringLiteral("captions.pdf"));
    ASSERT_EQ(pdf->resolutionX(), 600);
    run.printer = pdf.get();
    ReadPrinterMetrics(run.printerMetrics, *pdf);
    ASSERT_GT(pdf->offsetX(), 0);
    ASSERT_GT(pdf->offsetY(), 0);

    Document &doc = run.document;
    doc.layoutStyle = 4;
    const QStringList paths = {picture(QStringLiteral("red.png"), Qt::red, 60, 40),
                               picture(QStringLiteral("tall.png"), Qt::blue, 40, 60),
                               picture(QStringLiteral("wide.png"), Qt::blue, 60, 40),
                               picture(QStringLiteral("last.png"), Qt::blue, 60, 40)};
    for (int i = 0; i < paths.size(); ++i) {
        doc.cells[static_cast<std::size_t>(i)].picturePath = paths[i];
        doc.cells[static_cast<std::size_t>(i)].workPath = paths[i];
    }
    doc.cells[3].orientation = Turn::Right; // the last caption of the page is also turned
    doc.lastFilledCell = doc.scanLastFilledCell();
    RefreshPageLists(doc);

    PageSetup &s = run.pageSetup;
    s.captionOption = true;
    s.captionPosition = CaptionPosition::TopRight;
    s.captionFont.color = QColor(0, 255, 0); // a caption pen that must not outlive its job
    s.frameOption = true;
    s.topText = s.bottomText = s.leftText = s.rightText = QStringLiteral("12");
    s.verticalSpacingText = s.horizontalSpacingText = QStringLiteral("3");
    DotMarginsFromTexts(run.pageSetup, run.printerMetrics, *pdf);

    const Margins margins{s.topDots, s.bottomDots, s.leftDots, s.rightDots, s.verticalSpacingDots,
                          s.horizontalSpacingDots};
    const auto cells = CellRects(4, pdf->pageWidth(), pdf->pageHeight(), margins, ComposeMode::Print);
    ASSERT_EQ(cells.size(), 4u);
    const Rect &c0 = cells[0];
    const int midX = (c0.left + c0.right) / 2;
    const int midY = (c0.top + c0.bottom) / 2;

    QStringList files;
    for (int job = 0; job < 2; ++job) {
        PrintPages(run.document, run.pageSetup, {0}, true, *pdf);
        files << pdf->lastOutputFile();
    }
    ASSERT_EQ(files.size(), 2);
    ASSERT_NE(files[0], files[1]);

    for (int job = 0; job < 2; ++job) {
        SCOPED_TRACE("job " + std::to_string(job + 1));
        const QImage sheet = rasterise(files[job], QStringLiteral("sheet%1").arg(job));
        ASSERT_FALSE(sheet.isNull());
        // Left frame line of cell 0, above the picture, which fills the cell's width.
        const QPoint frame = onSheet(c0.left, c0.top + 30, *pdf);
        EXPECT_TRUE(isBlack(darkestNear(sheet, frame))) << "no black frame at " << frame.x() << "," << frame.y();
        const QPoint top = onSheet(midX, c0.top, *pdf);
        EXPECT_TRUE(isBlack(darkestNear(sheet, top))) << "no black frame at " << top.x() << "," << top.y();
        // Paper left of the frame is blank.
        EXPECT_TRUE(isWhite(sheet.pixel(onSheet(c0.left - 18, midY, *pdf))));
        // The red picture sits in the middle of cell 0 and reaches its left edge.
        EXPECT_TRUE(isRed(sheet.pixel(onSheet(midX, midY, *pdf))));
        EXPECT_TRUE(isRed(sheet.pixel(onSheet(c0.left + 12, midY, *pdf))));
    }
}

// Pen, brush, font and background left behind by one job do not reach the next one's first
// drawing, even where that drawing uses the painter's defaults.
TEST_F(QtPrinterJobs, PainterStateDoesNotOutliveItsJob)
{
    const auto pdf = makePrinter(QStringLiteral("state.pdf"));
    QPainter *first = pdf->beginDocument(QStringLiteral("Quiltana Document"));
    ASSERT_NE(first, nullptr);
    first->translate(900, 700);
    first->setPen(QPen(Qt::green, 40));
    first->setBrush(Qt::green);
    first->setBackgroundMode(Qt::OpaqueMode);
    first->setBackground(Qt::green);
    first->setClipRect(0, 0, 50, 50);
    first->drawRect(0, 0, 100, 100);
    // Back to the defaults, but nothing is drawn afterwards.
    first->resetTransform();
    first->setPen(QPen());
    first->setBrush(QBrush());
    first->setBackgroundMode(Qt::TransparentMode);
    first->setClipping(false);
    pdf->endDocument();

    QPainter *second = pdf->beginDocument(QStringLiteral("Quiltana Document"));
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->transform().isIdentity());
    EXPECT_FALSE(second->hasClipping());
    second->drawRect(120, 120, 600, 600); // default pen and brush: a thin black outline
    pdf->endDocument();

    const QImage sheet = rasterise(pdf->lastOutputFile(), QStringLiteral("state"));
    ASSERT_FALSE(sheet.isNull());
    EXPECT_TRUE(isBlack(darkestNear(sheet, onSheet(120, 420, *pdf))));
    EXPECT_TRUE(isBlack(darkestNear(sheet, onSheet(720, 420, *pdf))));
    // Inside and outside the outline the paper is blank: no brush, no stale offset.
    EXPECT_TRUE(isWhite(sheet.pixel(onSheet(420, 420, *pdf))));
    EXPECT_TRUE(isWhite(sheet.pixel(onSheet(1100, 900, *pdf))));
}

} // namespace
} // namespace quiltana
