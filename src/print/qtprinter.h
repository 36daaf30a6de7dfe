#pragma once

#include "printer.h"

#include <QString>

#include <memory>

class QPainter;
class QPrinter;

namespace quiltana {

// The program's real printer: a high-resolution QPrinter, at first the system's default
// printer. Where no printer is installed it writes PDF files at 600 dpi instead. Whenever the
// output is a file, every job gets a file name of its own, so that no job overwrites another's
// or a file that was there before: "name.pdf", then "name-2.pdf", "name-3.pdf" ...
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

    QPainter *beginDocument(const QString &title) override;
    void endDocument() override;
    void abortDocument() override;

    // The QPrinter itself, for the printer setup dialog (printer, paper, orientation, file).
    [[nodiscard]] QPrinter *printer() const { return printer_.get(); }

    // Whether jobs go into files rather than to a printer.
    [[nodiscard]] bool printsToFile() const;
    // The file the last ended job was written to; "" when it went to a printer or none ended.
    [[nodiscard]] QString lastOutputFile() const { return lastOutputFile_; }

private:
    void usePdfOutput(const QString &pdfFile);
    [[nodiscard]] QString freeFileNameFor(const QString &base) const;

    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<QPainter> painter_;
    QString baseFile_;  // the name the user (or the default) chose for file output
    QString handedOut_; // the last name this class put on the QPrinter
    QString jobFile_;   // the file of the job in progress
    QString lastOutputFile_;
};

} // namespace quiltana
