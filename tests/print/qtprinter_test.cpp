// The real printer over QPrinter, driven through its PDF output.
#include "error.h"
#include "pagesetup.h"
#include "qtprinter.h"
#include "runstate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quiltana {
namespace {

class QtPrinterTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString path(const QString &name) const { return dir.filePath(name); }

    // One job that draws a frame and a filled square, as a page composition would.
    static void printOnePage(QtPrinter &p, const QString &title)
    {
        QPainter *painter = p.beginDocument(title);
        ASSERT_NE(painter, nullptr);
        painter->drawRect(10, 10, p.pageWidth() - 20, p.pageHeight() - 20);
        painter->fillRect(100, 100, 300, 300, Qt::black);
        p.endDocument();
    }

    QTemporaryDir dir;
};

TEST_F(QtPrinterTest, MetricsFollowThePageLayout)
{
    QtPrinter p(path(QStringLiteral("metrics.pdf")));
    // Unequal borders on every side, so that each offset shows where it comes from.
    p.printer()->setPageSize(QPageSize(QPageSize::A4));
    p.printer()->setPageMargins(QMarginsF(5, 7, 11, 13), QPageLayout::Millimeter);

    // A4 is 210 x 297 mm; at 600 dots per inch a millimetre is 23.62 dots. Qt keeps paper sizes
    // and margins in whole points, so each length is within a point (8.3 dots) of its millimetres.
    const auto dots = [](double mm) { return mm * 600 / 25.4; };
    const double point = 600.0 / 72;
    EXPECT_EQ(p.resolutionX(), 600);
    EXPECT_EQ(p.resolutionY(), 600);
    EXPECT_NEAR(p.physicalWidth(), dots(210), point);  // 4960.6
    EXPECT_NEAR(p.physicalHeight(), dots(297), point); // 7015.7
    EXPECT_NEAR(p.pageWidth(), dots(210 - 5 - 11), point);  // 4582.7
    EXPECT_NEAR(p.pageHeight(), dots(297 - 7 - 13), point); // 6543.3
    EXPECT_NEAR(p.offsetX(), dots(5), point); // 118.1
    EXPECT_NEAR(p.offsetY(), dots(7), point); // 165.4
    // The canvas the jobs paint on has the same size as the reported page.
    EXPECT_EQ(p.pageWidth(), p.printer()->width());
    EXPECT_EQ(p.pageHeight(), p.printer()->height());
    EXPECT_EQ(p.widthMM(), p.printer()->widthMM());
    EXPECT_EQ(p.heightMM(), p.printer()->heightMM());
    EXPECT_EQ(p.widthMM(), 194);
    EXPECT_EQ(p.heightMM(), 277);

    // The unprintable borders the page setup derives come out as the layout's margins.
    PrinterMetrics m;
    ReadPrinterMetrics(m, p);
    EXPECT_EQ(m.leftDots, p.offsetX());
    EXPECT_EQ(m.topDots, p.offsetY());
    EXPECT_NEAR(m.rightDots, dots(11), point);  // 259.8
    EXPECT_NEAR(m.bottomDots, dots(13), point); // 307.1
    EXPECT_NEAR(m.leftMM, 5.0, 0.2);
    EXPECT_NEAR(m.topMM, 7.0, 0.2);
    EXPECT_NEAR(m.rightMM, 11.0, 0.2);
    EXPECT_NEAR(m.bottomMM, 13.0, 0.2);
}

TEST_F(QtPrinterTest, OrientationTurnsThePage)
{
    QtPrinter p(path(QStringLiteral("turn.pdf")));
    EXPECT_EQ(p.orientation(), Printer::Orientation::Portrait);
    const int portraitWidth = p.pageWidth();
    const int portraitHeight = p.pageHeight();
    EXPECT_LT(portraitWidth, portraitHeight);
    p.setOrientation(Printer::Orientation::Landscape);
    EXPECT_EQ(p.orientation(), Printer::Orientation::Landscape);
    EXPECT_EQ(p.printer()->pageLayout().orientation(), QPageLayout::Landscape);
    EXPECT_GT(p.pageWidth(), p.pageHeight());
    p.setOrientation(Printer::Orientation::Portrait);
    EXPECT_EQ(p.pageWidth(), portraitWidth);
}

TEST_F(QtPrinterTest, JobCarriesItsTitle)
{
    QtPrinter p(path(QStringLiteral("title.pdf")));
    ASSERT_NE(p.beginDocument(QStringLiteral("Quiltana Document")), nullptr);
    EXPECT_EQ(p.printer()->docName(), QStringLiteral("Quiltana Document"));
    EXPECT_THROW(p.beginDocument(QStringLiteral("second")), Error);
    p.endDocument();
    EXPECT_EQ(p.lastOutputFile(), path(QStringLiteral("title.pdf")));
}

TEST_F(QtPrinterTest, TwoJobsWriteTwoFilesAndOverwriteNothing)
{
    const QString base = path(QStringLiteral("out.pdf"));
    {
        QFile existing(base);
        ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
        existing.write("not ours");
    }
    QtPrinter p(base);
    EXPECT_TRUE(p.printsToFile());

    printOnePage(p, QStringLiteral("Quiltana Document"));
    const QString first = p.lastOutputFile();
    printOnePage(p, QStringLiteral("Quiltana Document"));
    const QString second = p.lastOutputFile();

    EXPECT_NE(first, base);
    EXPECT_NE(second, base);
    EXPECT_NE(first, second);
    for (const QString &f : {first, second}) {
        QFile file(f);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << f.toStdString();
        EXPECT_GT(file.size(), 0) << f.toStdString();
        EXPECT_TRUE(file.read(5) == "%PDF-") << f.toStdString();
    }
    QFile kept(base);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("not ours"));
}

TEST_F(QtPrinterTest, NamesTakenByLinksOrFoldersArePassedOverAndNoLinkIsFollowed)
{
    const QString base = path(QStringLiteral("Quiltana Document.pdf"));
    const QString nowhere = path(QStringLiteral("nowhere.pdf"));
    const QString kept = path(QStringLiteral("kept.pdf"));
    {
        QFile target(kept);
        ASSERT_TRUE(target.open(QIODevice::WriteOnly));
        target.write("not ours");
    }
    ASSERT_TRUE(QFile::link(nowhere, base));                                   // leads nowhere
    ASSERT_TRUE(QFile::link(kept, path(QStringLiteral("Quiltana Document-2.pdf")))); // leads to a file
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Quiltana Document-3.pdf")));

    QtPrinter p(base);
    printOnePage(p, QStringLiteral("Quiltana Document"));
    EXPECT_EQ(p.lastOutputFile(), path(QStringLiteral("Quiltana Document-4.pdf")));
    EXPECT_GT(QFileInfo(p.lastOutputFile()).size(), 0);
    EXPECT_FALSE(QFileInfo(p.lastOutputFile()).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(nowhere)); // the link's target was not created
    EXPECT_TRUE(QFileInfo(base).isSymLink());
    QFile target(kept);
    ASSERT_TRUE(target.open(QIODevice::ReadOnly));
    EXPECT_EQ(target.readAll(), QByteArray("not ours"));

    // A file chosen in printer setup that is a dangling link is passed over the same way.
    const QString chosen = path(QStringLiteral("chosen.pdf"));
    ASSERT_TRUE(QFile::link(nowhere, chosen));
    p.printer()->setOutputFileName(chosen);
    printOnePage(p, QStringLiteral("Quiltana Document"));
    EXPECT_EQ(p.lastOutputFile(), path(QStringLiteral("chosen-2.pdf")));
    EXPECT_FALSE(QFileInfo::exists(nowhere));
}

TEST_F(QtPrinterTest, FileChosenInSetupBecomesTheNewBase)
{
    QtPrinter p(path(QStringLiteral("first.pdf")));
    printOnePage(p, QStringLiteral("Quiltana Document"));
    EXPECT_EQ(p.lastOutputFile(), path(QStringLiteral("first.pdf")));
    p.printer()->setOutputFileName(path(QStringLiteral("chosen.pdf")));
    printOnePage(p, QStringLiteral("Quiltana Document"));
    EXPECT_EQ(p.lastOutputFile(), path(QStringLiteral("chosen.pdf")));
    printOnePage(p, QStringLiteral("Quiltana Document"));
    EXPECT_EQ(p.lastOutputFile(), path(QStringLiteral("chosen-2.pdf")));
}

TEST_F(QtPrinterTest, AbortedJobLeavesNoFile)
{
    QtPrinter p(path(QStringLiteral("aborted.pdf")));
    QPainter *painter = p.beginDocument(QStringLiteral("Quiltana Document"));
    ASSERT_NE(painter, nullptr);
    painter->fillRect(0, 0, 500, 500, Qt::black); // half a page
    p.abortDocument();

    const QStringList left = QDir(dir.path()).entryList(QDir::Files);
    EXPECT_TRUE(left.isEmpty()) << left.join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(p.lastOutputFile().isEmpty());

    // The printer is usable again, and the next job takes the free name.
    printOnePage(p, QStringLiteral("Quiltana Document"));
    EXPECT_EQ(p.lastOutputFile(), path(QStringLiteral("aborted.pdf")));
    EXPECT_GT(QFileInfo(p.lastOutputFile()).size(), 0);
}

TEST_F(QtPrinterTest, JobThatCannotStartIsAnError)
{
    QtPrinter p(path(QStringLiteral("missing-folder/deeper/x.pdf")));
    EXPECT_THROW(p.beginDocument(QStringLiteral("Quiltana Document")), Error);
    // Nothing half-open remains: ending or aborting now does nothing.
    p.endDocument();
    p.abortDocument();
    EXPECT_TRUE(p.lastOutputFile().isEmpty());
}

TEST_F(QtPrinterTest, DefaultPrinterOrPdfFiles)
{
    QtPrinter p;
    if (QPrinterInfo::defaultPrinter().isNull()) {
        EXPECT_TRUE(p.printsToFile());
        EXPECT_EQ(p.printer()->outputFormat(), QPrinter::PdfFormat);
        EXPECT_EQ(p.resolutionX(), 600);
        EXPECT_TRUE(p.name().contains(QStringLiteral(".pdf"))) << p.name().toStdString();
    } else {
        EXPECT_EQ(p.name(), QPrinterInfo::defaultPrinter().printerName());
    }
    EXPECT_GT(p.pageWidth(), 0);
    EXPECT_GT(p.pageHeight(), 0);
    EXPECT_GT(p.widthMM(), 0);
}

} // namespace
} // namespace quiltana
