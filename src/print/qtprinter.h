#pragma once

#include "printer.h"

#include <QString>

#include <memory>

class QPainter;
class QPdfWriter;
class QPrinter;

namespace quiltana {

class WholeFile;

// The program's real printer: a high-resolution QPrinter, at first the system's default
// printer. Where no printer is installed it writes PDF files at 600 dpi instead. Whenever the
// output is a file, a document (the pages of one print command, newPage between them) gets a
// file name of its own, so that no document overwrites another's or a file that was there
// before: "name.pdf", then "name-2.pdf", "name-3.pdf" ...
//
// A file is only ever whole under its name. The document is drawn by a PDF writer into a hidden
// temporary file of the program's own beside it (WholeFile: ".name.pdf-XXXXXX"); when the
// document ends, the file is checked (every write, the sync to the disk, its size) and only then
// given the first free name, without ever replacing a name that is taken in any form (a symbolic
// link that leads nowhere included). A write that fails (a full disk) fails the document with the
// system's reason, and an aborted or failed document's temporary file is removed.
//
// A job for an installed printer is drawn the same way into a temporary PDF file in the temporary
// folder and handed to the print system only when that file is whole, since Qt cannot abort a
// job already going to a CUPS printer: an aborted or failed job is thrown away without anything
// reaching the printer. A build without CUPS (QUILTANA_WITH_CUPS off) draws the job on the
// printer's own canvas instead and leaves sending it to Qt's print system, which tells no job
// number; an aborted job is then abandoned only as far as that print system can abandon it.
class QtPrinter : public Printer {
public:
    // The system's default printer, or PDF files in the user's documents folder.
    QtPrinter();
    // PDF files named after `pdfFile` (the first free of pdfFile, pdfFile-2 ...), at 600 dpi.
    explicit QtPrinter(const QString &pdfFile);
    ~QtPrinter() override;

    QtPrinter(const QtPrinter &) = delete;
    QtPrinter &operator=(const QtPrinter &) = delete;

    [[nodiscard]] QString name() const override;
    [[nodiscard]] int pageWidth() const override;
    [[nodiscard]] int pageHeight() const override;
    [[nodiscard]] int physicalWidth() const override;
    [[nodiscard]] int physicalHeight() const override;
    [[nodiscard]] int offsetX() const override;
    [[nodiscard]] int offsetY() const override;
    [[nodiscard]] int widthMM() const override;
    [[nodiscard]] int heightMM() const override;
    [[nodiscard]] int resolutionX() const override;
    [[nodiscard]] int resolutionY() const override;

    [[nodiscard]] Orientation orientation() const override;
    void setOrientation(Orientation o) override;

    [[nodiscard]] Setup setup() const override;
    // Another printer starts afresh from that printer's own defaults; the PDF files are written
    // at 600 dpi, named as the constructor taking a file name does.
    void applySetup(const Setup &setup) override;
    [[nodiscard]] QStringList installedPrinters() const override;
    [[nodiscard]] QList<QPageSize> paperSizes(const QString &printerName) const override;
    // The papers offered for PDF files: the common office sizes and the photo prints.
    [[nodiscard]] static QList<QPageSize> pdfPaperSizes();

    QPainter *beginDocument(const QString &title) override;
    void endDocument() override;
    void abortDocument() override;
    // PDF files take a print command's pages as one document; a printer a job a page.
    [[nodiscard]] bool onePerCommand() const override { return printsToFile(); }
    QPainter *newPage() override;

    // The QPrinter itself; applySetup puts another one in its place.
    [[nodiscard]] QPrinter *printer() const { return printer_.get(); }

    // Sends the jobs to the installed printer `printerName` from now on; false (and nothing
    // changed) where no such printer is installed or a job is running.
    bool usePrinter(const QString &printerName);

    // Whether jobs go into files rather than to a printer.
    [[nodiscard]] bool printsToFile() const;
    // The file the last ended job was written to; "" when it went to a printer or none ended.
    [[nodiscard]] QString lastOutputFile() const override { return lastOutputFile_; }
    // The print system's number for the last job sent to a printer; 0 when none was sent, and
    // always 0 in a build without CUPS.
    [[nodiscard]] int lastJobId() const { return lastJobId_; }

private:
    void usePdfOutput(const QString &pdfFile);
    // `target` writes PDF files named after `pdfFile` at the PDF resolution.
    static void makePdfOutput(QPrinter &target, const QString &pdfFile);
    // A PDF writer on out_ with the printer's sheet, borders, resolution and origin, so that the
    // metrics the page was laid out with hold on it too; throws Error where they cannot.
    void startWriter(const QString &title);
    // What a document that could not be written says: the file, what failed and why.
    [[nodiscard]] QString writeFailure(const WholeFile &file) const;
#ifdef QUILTANA_WITH_CUPS
    [[nodiscard]] int submitSpool(const QString &spoolFile);
#endif

    std::unique_ptr<QPrinter> printer_;
    // The document in progress: the file it is written to (a PDF file of the user's, or the job
    // for an installed printer), the writer drawing into it, and the painter. The painter alone
    // where a build without CUPS draws on the printer's own canvas.
    std::unique_ptr<WholeFile> out_;
    std::unique_ptr<QPdfWriter> writer_;
    std::unique_ptr<QPainter> painter_;
    QString baseFile_; // the name the user (or the default) chose for file output
    QString lastOutputFile_;
    int lastJobId_ = 0;
};

} // namespace quiltana
