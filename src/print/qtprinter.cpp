#include "qtprinter.h"

#include "error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>

namespace quiltana {

namespace {

// A PDF page at 600 dpi suits the preview scale: an A4 sheet is then about thirteen preview
// widths wide, as on the office printers the margins were chosen for.
constexpr int kPdfResolution = 600;

QString defaultPdfFile()
{
    // Starting the program must not create folders: the documents folder only where it exists.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    return QDir(folder).filePath(QStringLiteral("Quiltana Document.pdf"));
}

} // namespace

QtPrinter::QtPrinter() : printer_(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        usePdfOutput(defaultPdfFile());
    else
        printer_->setPrinterName(info.printerName());
}

QtPrinter::QtPrinter(const QString &pdfFile) : printer_(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    usePdfOutput(pdfFile);
}

QtPrinter::~QtPrinter()
{
    if (painter_)
        abortDocument();
}

void QtPrinter::usePdfOutput(const QString &pdfFile)
{
    printer_->setOutputFormat(QPrinter::PdfFormat);
    printer_->setResolution(kPdfResolution);
    printer_->setOutputFileName(pdfFile);
    baseFile_ = pdfFile;
}

bool QtPrinter::printsToFile() const { return !printer_->outputFileName().isEmpty(); }

QString QtPrinter::name() const
{
    if (printsToFile())
        return QStringLiteral("PDF (%1)").arg(QDir::toNativeSeparators(baseFile_));
    return printer_->printerName();
}

// GetDeviceCaps in the printer's terms: the paint rectangle is the printable page, the full
// rectangle the sheet, both in device pixels at the printer's resolution.
int QtPrinter::pageWidth() const { return printer_->pageLayout().paintRectPixels(printer_->resolution()).width(); }
int QtPrinter::pageHeight() const { return printer_->pageLayout().paintRectPixels(printer_->resolution()).height(); }
int QtPrinter::physicalWidth() const { return printer_->pageLayout().fullRectPixels(printer_->resolution()).width(); }
int QtPrinter::physicalHeight() const { return printer_->pageLayout().fullRectPixels(printer_->resolution()).height(); }

int QtPrinter::offsetX() const
{
    const QPageLayout layout = printer_->pageLayout();
    const int dpi = printer_->resolution();
    return layout.paintRectPixels(dpi).left() - layout.fullRectPixels(dpi).left();
}

int QtPrinter::offsetY() const
{
    const QPageLayout layout = printer_->pageLayout();
    const int dpi = printer_->resolution();
    return layout.paintRectPixels(dpi).top() - layout.fullRectPixels(dpi).top();
}

int QtPrinter::widthMM() const { return qRound(printer_->pageLayout().paintRect(QPageLayout::Millimeter).width()); }
int QtPrinter::heightMM() const { return qRound(printer_->pageLayout().paintRect(QPageLayout::Millimeter).height()); }
int QtPrinter::resolutionX() const { return printer_->resolution(); }
int QtPrinter::resolutionY() const { return printer_->resolution(); }

Printer::Orientation QtPrinter::orientation() const
{
    return printer_->pageLayout().orientation() == QPageLayout::Landscape ? Orientation::Landscape
                                                                          : Orientation::Portrait;
}

void QtPrinter::setOrientation(Orientation o)
{
    printer_->setPageOrientation(o == Orientation::Landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
}

QString QtPrinter::freeFileNameFor(const QString &base) const
{
    if (!QFileInfo::exists(base))
        return base;
    const QFileInfo info(base);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    const QString stem = info.suffix().isEmpty() ? info.fileName() : info.completeBaseName();
    for (int n = 2;; ++n) {
        const QString candidate = info.dir().filePath(stem + QLatin1Char('-') + QString::number(n) + suffix);
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

QPainter *QtPrinter::beginDocument(const QString &title)
{
    if (painter_)
        throw Error(QStringLiteral("A print job is already running on \"%1\".").arg(name()));
    printer_->setDocName(title);

    jobFile_.clear();
    if (printsToFile()) {
        // The printer setup dialog may have chosen another file since the last job; the name
        // we handed out ourselves is not a new choice.
        const QString requested = printer_->outputFileName();
        if (requested != handedOut_)
            baseFile_ = requested;
        jobFile_ = freeFileNameFor(baseFile_);
        printer_->setOutputFileName(jobFile_);
        handedOut_ = jobFile_;
    }

    auto painter = std::make_unique<QPainter>();
    if (!painter->begin(printer_.get())) {
        const QString target = jobFile_.isEmpty() ? name() : QDir::toNativeSeparators(jobFile_);
        jobFile_.clear();
        throw Error(QStringLiteral("The print job could not be started on \"%1\".").arg(target));
    }
    painter_ = std::move(painter);
    return painter_.get();
}

void QtPrinter::endDocument()
{
    if (!painter_)
        return;
    const bool ok = painter_->end();
    painter_.reset();
    if (!ok)
        throw Error(QStringLiteral("The print job on \"%1\" could not be finished.").arg(name()));
    lastOutputFile_ = jobFile_;
    jobFile_.clear();
}

void QtPrinter::abortDocument()
{
    if (!painter_)
        return;
    printer_->abort();
    painter_->end();
    painter_.reset();
    // The PDF engine cannot abort and writes out what was drawn; a half-drawn page must not be
    // left behind as if it were a finished one. The name was free when the job began, so the
    // file is this job's own.
    if (!jobFile_.isEmpty())
        QFile::remove(jobFile_);
    jobFile_.clear();
}

} // namespace quiltana
