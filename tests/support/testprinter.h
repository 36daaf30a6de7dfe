#pragma once

#include "printer.h"

#include <QImage>
#include <QList>
#include <QPageSize>
#include <QPainter>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <vector>

namespace quiltana::test {

// A printer whose metrics a test sets. Each job paints into a white QImage of the page size;
// ended jobs are kept with their titles, aborted ones are counted. While it "prints" to PDF
// files (printerName empty) a print command's pages make one job, a page each.
class TestPrinter : public Printer {
public:
    struct Job {
        QString title;
        QImage page;                   // the first page
        std::vector<QImage> morePages; // the pages after it, in order
        QString file;                  // outputFile when it "printed" to PDF files, else ""
    };

    // Default: an A4-like page at 600 dpi with a small unprintable border.
    TestPrinter();

    QString name() const override
    {
        return printerName.isEmpty() ? QStringLiteral("PDF (%1)").arg(outputFile) : printerName;
    }
    int pageWidth() const override { return pw; }
    int pageHeight() const override { return ph; }
    int physicalWidth() const override { return fullW; }
    int physicalHeight() const override { return fullH; }
    int offsetX() const override { return offX; }
    int offsetY() const override { return offY; }
    int widthMM() const override { return mmW; }
    int heightMM() const override { return mmH; }
    int resolutionX() const override { return dpiX; }
    int resolutionY() const override { return dpiY; }
    Orientation orientation() const override { return orient; }
    // Turns the page as a real printer does: widths and heights, borders and dpi change places.
    void setOrientation(Orientation o) override;

    Setup setup() const override;
    // Refuses what a real printer refuses (a printer not in `installed`, a paper not in its
    // list, an open job). A new paper keeps the unprintable borders and the dpi.
    void applySetup(const Setup &setup) override;
    QStringList installedPrinters() const override { return installed; }
    QList<QPageSize> paperSizes(const QString &name) const override;

    QPainter *beginDocument(const QString &title) override;
    void endDocument() override;
    void abortDocument() override;
    bool onePerCommand() const override { return printerName.isEmpty(); }
    QPainter *newPage() override;
    QString lastOutputFile() const override { return jobs.empty() ? QString() : jobs.back().file; }

    // Sets the page of the canvas and the sheet around it; mm sizes and dpi as given.
    void setMetrics(int pageW, int pageH, int physicalW, int physicalH, int offsetX, int offsetY,
                    int widthMM, int heightMM, int dpi = 600);

    QString printerName = QStringLiteral("Test printer"); // "" while it "prints" to PDF files
    QString outputFile = QStringLiteral("/nowhere/Quiltana Document.pdf");
    QPageSize paper = QPageSize(QPageSize::A4);
    QStringList installed{QStringLiteral("Test printer")};
    // Papers per printer ("" the PDF files); a printer not listed takes A4, A5 and Letter.
    std::map<QString, QList<QPageSize>> papers;
    int setupsApplied = 0;
    int pw, ph, fullW, fullH, offX, offY, mmW, mmH, dpiX, dpiY;
    Orientation orient = Orientation::Portrait;
    bool failBegin = false; // beginDocument throws, as a printer that cannot start a job
    std::vector<Job> jobs;  // ended jobs, in order
    int abortedJobs = 0;
    bool jobOpen = false;

private:
    void startPage(); // a white page of the page size and a painter on it
    QImage current_;
    std::vector<QImage> donePages_; // the current job's pages before current_
    QString currentTitle_;
    std::unique_ptr<QPainter> painter_;
};

// The print queue the tests send real jobs to: QUILTANA_TEST_PRINTER, "QuiltanaTest" when unset.
[[nodiscard]] QString TestQueueName();

} // namespace quiltana::test
