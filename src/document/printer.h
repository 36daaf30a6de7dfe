#pragma once

#include <QList>
#include <QPageSize>
#include <QString>
#include <QStringList>

class QPainter;

namespace quiltana {

// What the program asks of a printer. The real one wraps QPrinter (print library); tests use a
// printer whose metrics they set. All sizes are device pixels ("dots") unless named mm.
class Printer {
public:
    enum class Orientation { Portrait, Landscape };

    virtual ~Printer() = default;

    [[nodiscard]] virtual QString name() const = 0;
    [[nodiscard]] virtual int pageWidth() const = 0;      // printable area (HORZRES)
    [[nodiscard]] virtual int pageHeight() const = 0;     // printable area (VERTRES)
    [[nodiscard]] virtual int physicalWidth() const = 0;  // whole sheet (PHYSICALWIDTH)
    [[nodiscard]] virtual int physicalHeight() const = 0; // whole sheet (PHYSICALHEIGHT)
    [[nodiscard]] virtual int offsetX() const = 0;        // printable area inside the sheet
    [[nodiscard]] virtual int offsetY() const = 0;
    [[nodiscard]] virtual int widthMM() const = 0;        // printable area in mm (HORZSIZE)
    [[nodiscard]] virtual int heightMM() const = 0;       // (VERTSIZE)
    [[nodiscard]] virtual int resolutionX() const = 0;    // dots per inch
    [[nodiscard]] virtual int resolutionY() const = 0;

    [[nodiscard]] virtual Orientation orientation() const = 0;
    virtual void setOrientation(Orientation o) = 0;

    // What printer setup chooses: where the jobs go, on which paper, which way round.
    struct Setup {
        QString printerName; // an installed printer; empty for PDF files named after outputFile
        QString outputFile;
        QPageSize paper;
        Orientation orientation = Orientation::Portrait;
    };
    [[nodiscard]] virtual Setup setup() const = 0;
    // Takes the whole setup, or throws Error saying why not and leaves everything as it was
    // (a printer that is gone, a paper it does not take, a job in progress).
    virtual void applySetup(const Setup &setup) = 0;
    // The printers that can be chosen besides the PDF files.
    [[nodiscard]] virtual QStringList installedPrinters() const = 0;
    // The papers `printerName` takes ("" for the PDF files), in the order to offer them.
    [[nodiscard]] virtual QList<QPageSize> paperSizes(const QString &printerName) const = 0;

    // One print job: begin returns the canvas (origin at the printable area's top-left corner)
    // and throws Error when the job cannot start. end sends the job, or throws Error when it
    // cannot be finished whole (a file that could not be written: a full disk), having
    // discarded it; abort discards it.
    virtual QPainter *beginDocument(const QString &title) = 0;
    virtual void endDocument() = 0;
    virtual void abortDocument() = 0;

    // Whether the pages of one print command belong in one document: true for PDF files (one
    // file a command, its pages in order), false for a printer, which takes every page as a
    // job of its own.
    [[nodiscard]] virtual bool onePerCommand() const = 0;
    // Inside a document: finishes the page drawn so far and returns the canvas of the next one,
    // as clean as a new job's. Throws Error when no document is open or no page can follow (the
    // page before could not be written); the document is then to be aborted.
    virtual QPainter *newPage() = 0;
    // The file the last ended document was written to; "" when it went to a printer.
    [[nodiscard]] virtual QString lastOutputFile() const = 0;
};

} // namespace quiltana
