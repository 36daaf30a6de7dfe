// Jobs for an installed printer in a build without CUPS: they are drawn on the printer's own
// canvas and Qt's print system sends them. These need a print queue Qt can reach (a PDF queue
// is enough): QUILTANA_TEST_PRINTER names it, "QuiltanaTest" by default. Where none is
// reachable the tests skip; the queue's jobs are counted with lpstat.
#include "document.h"
#include "pagesetup.h"
#include "printer.h"
#include "printjob.h"
#include "qtprinter.h"
#include "runstate.h"
#include "testprinter.h"

#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quiltana {
namespace {

class QtPrinterQtSend : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        queue = test::TestQueueName();
        if (QPrinterInfo::printerInfo(queue).isNull())
            GTEST_SKIP() << "No printer \"" << queue.toStdString()
                         << "\" is reachable through Qt's print system; set one up, e.g. "
                            "lpadmin -p QuiltanaTest -v cups-pdf:/ -E -m <a PDF model from lpinfo -m>";
        lpstat = QStandardPaths::findExecutable(QStringLiteral("lpstat"));
        if (lpstat.isEmpty())
            GTEST_SKIP() << "lpstat is not installed; the jobs on \"" << queue.toStdString()
                         << "\" cannot be counted";
        ASSERT_TRUE(printer.usePrinter(queue));
        ASSERT_FALSE(printer.printsToFile());
        run.printer = &printer;
        ReadPrinterMetrics(run.printerMetrics, printer);
    }

    // How many jobs, finished ones included, the print system knows on the queue; -1 when
    // lpstat fails.
    int jobCount()
    {
        QProcess p;
        p.start(lpstat, {QStringLiteral("-W"), QStringLiteral("all"), QStringLiteral("-o"), queue});
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            ADD_FAILURE() << "lpstat failed: " << p.readAllStandardError().toStdString();
            return -1;
        }
        int n = 0;
        for (const QByteArray &line : p.readAllStandardOutput().split('\n'))
            if (line.startsWith(queue.toUtf8() + '-'))
                ++n;
        return n;
    }

    QTemporaryDir dir;
    QString queue;
    QString lpstat;
    QtPrinter printer;
    RunState run;
};

// A job drawn by hand and a page printed as the print dialog prints it: both reach the queue,
// each as a job of its own, straight from the printer's canvas.
TEST_F(QtPrinterQtSend, FinishedJobsReachTheQueue)
{
    const int before = jobCount();
    ASSERT_GE(before, 0);

    QPainter *canvas = printer.beginDocument(QStringLiteral("Quiltana Document"));
    ASSERT_NE(canvas, nullptr);
    EXPECT_EQ(canvas->device(), printer.printer());
    EXPECT_EQ(canvas->device()->width(), printer.pageWidth());
    EXPECT_EQ(canvas->device()->height(), printer.pageHeight());
    canvas->drawRect(0, 0, printer.pageWidth() / 2, printer.pageHeight() / 2);
    printer.endDocument();
    EXPECT_EQ(jobCount(), before + 1);
    EXPECT_TRUE(printer.lastOutputFile().isEmpty());

    QImage img(60, 40, QImage::Format_RGB32);
    img.fill(Qt::blue);
    const QString path = dir.filePath(QStringLiteral("blue.png"));
    ASSERT_TRUE(img.save(path, "PNG"));
    Document &doc = run.document;
    doc.layoutStyle = 4;
    doc.cells[0].picturePath = doc.cells[0].workPath = path;
    doc.lastFilledCell = doc.scanLastFilledCell();
    RefreshPageLists(doc);
    PageSetup &s = run.pageSetup;
    s.captionOption = true;
    s.topText = s.bottomText = s.leftText = s.rightText = QStringLiteral("10");
    s.verticalSpacingText = s.horizontalSpacingText = QStringLiteral("5");
    DotMarginsFromTexts(run.pageSetup, run.printerMetrics, printer);
    PrintPages(run.document, run.pageSetup, {0}, true, printer);
    EXPECT_EQ(jobCount(), before + 2);
    // The print system tells Qt no job number.
    EXPECT_EQ(printer.lastJobId(), 0);
    EXPECT_TRUE(printer.lastOutputFile().isEmpty());
}

} // namespace
} // namespace quiltana
