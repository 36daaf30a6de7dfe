// Printer setup on the real printer: the paper and orientation chosen for the PDF files are the
// page of the file written, read back with pdfinfo.
#include "error.h"
#include "qtprinter.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace quiltana {
namespace {

QPageSize lPrint()
{
    return QPageSize(QSizeF(89, 127), QPageSize::Millimeter, QStringLiteral("L判"), QPageSize::ExactMatch);
}

QPageSize twoLPrint()
{
    return QPageSize(QSizeF(127, 178), QPageSize::Millimeter, QStringLiteral("2L判"), QPageSize::ExactMatch);
}

bool offers(const QList<QPageSize> &papers, const QPageSize &paper)
{
    return std::any_of(papers.begin(), papers.end(), [&](const QPageSize &p) { return p.isEquivalentTo(paper); });
}

class QtPrinterSetup : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString path(const QString &name) const { return dir.filePath(name); }

    static void printOnePage(QtPrinter &p)
    {
        QPainter *painter = p.beginDocument(QStringLiteral("Quiltana Document"));
        ASSERT_NE(painter, nullptr);
        painter->drawRect(0, 0, p.pageWidth() - 1, p.pageHeight() - 1);
        p.endDocument();
    }

    // The first page's size in points as pdfinfo reads it from `pdf`.
    static QSizeF pdfPageSize(const QString &pdf)
    {
        const QString pdfinfo = QStandardPaths::findExecutable(QStringLiteral("pdfinfo"));
        if (pdfinfo.isEmpty()) {
            ADD_FAILURE() << "pdfinfo (poppler-utils) is not installed";
            return {};
        }
        QProcess p;
        p.start(pdfinfo, {pdf});
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            ADD_FAILURE() << "pdfinfo failed on " << pdf.toStdString() << ": "
                          << p.readAllStandardError().toStdString();
            return {};
        }
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+) pts")).match(out);
        if (!m.hasMatch()) {
            ADD_FAILURE() << "no page size in pdfinfo's answer: " << out.toStdString();
            return {};
        }
        return QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble());
    }

    QTemporaryDir dir;
};

TEST_F(QtPrinterSetup, PdfPapersHoldTheOfficeSizesAndThePhotoPrints)
{
    const QList<QPageSize> papers = QtPrinter::pdfPaperSizes();
    EXPECT_EQ(papers.first().id(), QPageSize::A4);
    for (const QPageSize::PageSizeId id : {QPageSize::A3, QPageSize::A5, QPageSize::JisB5, QPageSize::Letter,
                                           QPageSize::Legal, QPageSize::Postcard})
        EXPECT_TRUE(offers(papers, QPageSize(id))) << QPageSize(id).name().toStdString();
    EXPECT_TRUE(offers(papers, lPrint()));
    EXPECT_TRUE(offers(papers, twoLPrint()));
    for (const QPageSize &p : papers)
        EXPECT_TRUE(p.isValid());
    QtPrinter printer(path(QStringLiteral("list.pdf")));
    EXPECT_EQ(printer.paperSizes(QString()).size(), papers.size());
}

// Every paper and both orientations end up as the page of the file, and as the metrics.
TEST_F(QtPrinterSetup, ThePaperChosenForPdfIsThePageWritten)
{
    struct Case {
        const char *file;
        QPageSize paper;
        Printer::Orientation orientation;
    };
    const Case cases[] = {
        {"l.pdf", lPrint(), Printer::Orientation::Portrait},
        {"2l-landscape.pdf", twoLPrint(), Printer::Orientation::Landscape},
        {"a5-landscape.pdf", QPageSize(QPageSize::A5), Printer::Orientation::Landscape},
        {"postcard.pdf", QPageSize(QPageSize::Postcard), Printer::Orientation::Portrait},
        {"letter.pdf", QPageSize(QPageSize::Letter), Printer::Orientation::Portrait},
    };
    QtPrinter printer(path(QStringLiteral("start.pdf")));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        const QString file = path(QString::fromLatin1(c.file));
        printer.applySetup({QString(), file, c.paper, c.orientation});
        const Printer::Setup now = printer.setup();
        EXPECT_TRUE(now.printerName.isEmpty());
        EXPECT_EQ(now.outputFile, file);
        EXPECT_TRUE(now.paper.isEquivalentTo(c.paper));
        EXPECT_EQ(now.orientation, c.orientation);
        EXPECT_EQ(printer.resolutionX(), 600);

        QSizeF sheet = c.paper.size(QPageSize::Millimeter);
        if (c.orientation == Printer::Orientation::Landscape)
            sheet.transpose();
        // Qt keeps page sizes in whole points: within a point of the paper.
        EXPECT_NEAR(printer.physicalWidth(), sheet.width() / 25.4 * 600, 600.0 / 72);
        EXPECT_NEAR(printer.physicalHeight(), sheet.height() / 25.4 * 600, 600.0 / 72);

        printOnePage(printer);
        EXPECT_EQ(printer.lastOutputFile(), file);
        const QSizeF page = pdfPageSize(file);
        EXPECT_NEAR(page.width(), sheet.width() / 25.4 * 72, 1.0);
        EXPECT_NEAR(page.height(), sheet.height() / 25.4 * 72, 1.0);
    }
}

TEST_F(QtPrinterSetup, ARefusedSetupChangesNothing)
{
    const QString file = path(QStringLiteral("kept.pdf"));
    QtPrinter printer(file);
    printer.applySetup({QString(), file, QPageSize(QPageSize::A5), Printer::Orientation::Landscape});
    const Printer::Setup before = printer.setup();
    const int width = printer.pageWidth();
    QPrinter *const qprinter = printer.printer();

    const Printer::Setup refused[] = {
        {QStringLiteral("Quiltana no such printer"), file, QPageSize(QPageSize::A4), Printer::Orientation::Portrait},
        {QString(), QString(), QPageSize(QPageSize::A4), Printer::Orientation::Portrait},
        {QString(), path(QStringLiteral("other.pdf")), QPageSize(), Printer::Orientation::Portrait},
    };
    for (const Printer::Setup &s : refused)
        EXPECT_THROW(printer.applySetup(s), Error) << s.printerName.toStdString() << s.outputFile.toStdString();

    // Not while a job is being drawn either.
    ASSERT_NE(printer.beginDocument(QStringLiteral("Quiltana Document")), nullptr);
    EXPECT_THROW(printer.applySetup({QString(), path(QStringLiteral("other.pdf")), QPageSize(QPageSize::A4),
                                     Printer::Orientation::Portrait}),
                 Error);
    printer.endDocument();

    const Printer::Setup after = printer.setup();
    EXPECT_EQ(after.printerName, before.printerName);
    EXPECT_EQ(after.outputFile, before.outputFile);
    EXPECT_TRUE(after.paper.isEquivalentTo(before.paper));
    EXPECT_EQ(after.orientation, before.orientation);
    EXPECT_EQ(printer.pageWidth(), width);
    EXPECT_EQ(printer.printer(), qprinter);
    EXPECT_EQ(printer.lastOutputFile(), file);
}

// The same PDF output keeps its file's numbering: a second job on an unchanged name is "-2".
TEST_F(QtPrinterSetup, ChoosingTheSameFileAgainStillOverwritesNothing)
{
    const QString file = path(QStringLiteral("sheet.pdf"));
    QtPrinter printer(file);
    printOnePage(printer);
    printer.applySetup({QString(), file, QPageSize(QPageSize::A5), Printer::Orientation::Portrait});
    printOnePage(printer);
    EXPECT_EQ(printer.lastOutputFile(), path(QStringLiteral("sheet-2.pdf")));
    EXPECT_TRUE(QFileInfo::exists(file));
}

} // namespace
} // namespace quiltana
