#include "qtprinter.h"

#include "error.h"
#include "wholefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QMarginsF>
#include <QPageLayout>
#include <QPaintEngine>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintEngine>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>

#include <cerrno>

#ifdef QUILTANA_WITH_CUPS
#include <cups/cups.h>
#endif

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

// Qt's PDF engine, which also carries the CUPS printers, lives on from job to job with the
// QPrinter and keeps the last state a painter sent it; a fresh painter only sends what it
// changes. A job that ended right after moving the painter (a caption) would otherwise pass
// its offset, pen or clipping on to the first drawing of the next job. Marking the state as
// changed makes the engine take the painter's defaults; the clip path (none) is what clears a
// stale clip, the clip switch alone does not.
void startClean(QPainter &painter)
{
    painter.resetTransform();
    painter.setPen(QPen());
    painter.setBrush(QBrush());
    painter.setBrushOrigin(0, 0);
    painter.setFont(QFont());
    painter.setBackground(QBrush(Qt::white));
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setClipping(false);
    painter.setOpacity(1.0);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (QPaintEngine *engine = painter.paintEngine())
        engine->setDirty(QPaintEngine::DirtyTransform | QPaintEngine::DirtyPen | QPaintEngine::DirtyBrush |
                         QPaintEngine::DirtyBrushOrigin | QPaintEngine::DirtyFont |
                         QPaintEngine::DirtyBackground | QPaintEngine::DirtyBackgroundMode |
                         QPaintEngine::DirtyClipEnabled | QPaintEngine::DirtyClipPath |
                         QPaintEngine::DirtyOpacity | QPaintEngine::DirtyCompositionMode);
}

#ifdef QUILTANA_WITH_CUPS
// The options the print dialog chose for CUPS printers, as name/value pairs. Qt keeps them in
// a print engine property of its own.
constexpr auto kCupsOptionsProperty = static_cast<QPrintEngine::PrintEnginePropertyKey>(0xfe00);

// The print system's name for the paper: the PPD's own name where the printer gave the size,
// otherwise the size in points.
QByteArray mediaName(const QPageSize &size)
{
    if (size.id() != QPageSize::Custom && !size.key().isEmpty())
        return size.key().toUtf8();
    const QSize points = size.sizePoints();
    return QStringLiteral("Custom.%1x%2").arg(points.width()).arg(points.height()).toUtf8();
}
#endif

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

bool QtPrinter::usePrinter(const QString &printerName)
{
    if (painter_ || QPrinterInfo::printerInfo(printerName).isNull())
        return false;
    printer_->setOutputFileName(QString());
    printer_->setPrinterName(printerName);
    return printer_->outputFormat() == QPrinter::NativeFormat && printer_->printerName() == printerName;
}

void QtPrinter::makePdfOutput(QPrinter &target, const QString &pdfFile)
{
    target.setOutputFormat(QPrinter::PdfFormat);
    target.setResolution(kPdfResolution);
    target.setOutputFileName(pdfFile);
}

void QtPrinter::usePdfOutput(const QString &pdfFile)
{
    makePdfOutput(*printer_, pdfFile);
    baseFile_ = pdfFile;
}

QList<QPageSize> QtPrinter::pdfPaperSizes()
{
    // L and 2L are the photo prints of Japanese labs (3.5 x 5 and 5 x 7 inches, as they are
    // cut in millimetres); Qt has no ids for them.
    return {QPageSize(QPageSize::A4),
            QPageSize(QPageSize::A3),
            QPageSize(QPageSize::A5),
            QPageSize(QPageSize::JisB4),
            QPageSize(QPageSize::JisB5),
            QPageSize(QPageSize::Postcard),
            QPageSize(QSizeF(89, 127), QPageSize::Millimeter, QStringLiteral("L判"), QPageSize::ExactMatch),
            QPageSize(QSizeF(127, 178), QPageSize::Millimeter, QStringLiteral("2L判"), QPageSize::ExactMatch),
            QPageSize(QPageSize::Letter),
            QPageSize(QPageSize::Legal)};
}

QStringList QtPrinter::installedPrinters() const { return QPrinterInfo::availablePrinterNames(); }

QList<QPageSize> QtPrinter::paperSizes(const QString &printerName) const
{
    if (printerName.isEmpty())
        return pdfPaperSizes();
    return QPrinterInfo::printerInfo(printerName).supportedPageSizes();
}

Printer::Setup QtPrinter::setup() const
{
    Setup s;
    if (!printsToFile())
        s.printerName = printer_->printerName();
    s.outputFile = baseFile_.isEmpty() ? defaultPdfFile() : baseFile_;
    s.paper = printer_->pageLayout().pageSize();
    s.orientation = orientation();
    return s;
}

void QtPrinter::applySetup(const Setup &setup)
{
    const QString wanted = setup.printerName.isEmpty()
                               ? QStringLiteral("PDF (%1)").arg(QDir::toNativeSeparators(setup.outputFile))
                               : setup.printerName;
    if (painter_)
        throw Error(QStringLiteral("%1: 印刷中のため、プリンタの設定は変更できません。").arg(name()));
    const bool toFile = setup.printerName.isEmpty();
    if (toFile && setup.outputFile.isEmpty())
        throw Error(QStringLiteral("PDF ファイルに印刷するには、ファイル名が必要です。"));
    if (!toFile && QPrinterInfo::printerInfo(setup.printerName).isNull())
        throw Error(QStringLiteral("%1: このプリンタはインストールされていません。").arg(setup.printerName));
    if (!setup.paper.isValid())
        throw Error(QStringLiteral("%1: 用紙が選ばれていません。").arg(wanted));

    // Everything is set on a printer of its own first, so that a paper the printer refuses
    // leaves the current one as it was. Another printer starts from its own defaults (copies,
    // two-sided printing, its borders); the same printer keeps what it had.
    const bool samePrinter = toFile ? printsToFile() : !printsToFile() && printer_->printerName() == setup.printerName;
    auto next = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (toFile)
        makePdfOutput(*next, setup.outputFile);
    else
        next->setPrinterName(setup.printerName);
    if (samePrinter) {
        next->setResolution(printer_->resolution());
        next->setFullPage(printer_->fullPage());
        next->setPageLayout(printer_->pageLayout());
        next->setCopyCount(printer_->copyCount());
        next->setCollateCopies(printer_->collateCopies());
        next->setDuplex(printer_->duplex());
        next->setColorMode(printer_->colorMode());
    }
    if (!toFile && (next->outputFormat() != QPrinter::NativeFormat || next->printerName() != setup.printerName))
        throw Error(QStringLiteral("%1: このプリンタは使用できません。").arg(setup.printerName));
    next->setPageOrientation(QPageLayout::Portrait);
    if (!next->setPageSize(setup.paper) || !next->pageLayout().pageSize().isEquivalentTo(setup.paper))
        throw Error(QStringLiteral("%1: 用紙 %2 には印刷できません。").arg(wanted, setup.paper.name()));
    next->setPageOrientation(setup.orientation == Orientation::Landscape ? QPageLayout::Landscape
                                                                        : QPageLayout::Portrait);

    printer_ = std::move(next);
    if (toFile)
        baseFile_ = setup.outputFile;
}

bool QtPrinter::printsToFile() const { return !printer_->outputFileName().isEmpty(); }

QString QtPrinter::name() const
{
    if (printsToFile())
        return QStringLiteral("PDF (%1)").arg(QDir::toNativeSeparators(printer_->outputFileName()));
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

void QtPrinter::startWriter(const QString &title)
{
    auto writer = std::make_unique<QPdfWriter>(out_.get());
    writer->setResolution(printer_->resolution());
    QPageLayout layout = printer_->pageLayout();
    if (printer_->fullPage()) {
        // The canvas is then the whole sheet, from its corner.
        layout.setMode(QPageLayout::FullPageMode);
        layout.setMargins(QMarginsF());
    }
    const bool laidOut = writer->setPageLayout(layout);
    writer->setTitle(title);
    if (!printer_->creator().isEmpty())
        writer->setCreator(printer_->creator());
    const int dpi = printer_->resolution();
    if (!laidOut || writer->width() != printer_->width() || writer->height() != printer_->height()
        || (!printer_->fullPage()
            && writer->pageLayout().paintRectPixels(dpi) != printer_->pageLayout().paintRectPixels(dpi)))
        throw Error(QStringLiteral("%1: 用紙のレイアウトができないため、印刷を開始できません。").arg(name()));
    writer_ = std::move(writer);
}

QString QtPrinter::writeFailure(const WholeFile &file) const
{
    const QString reason = SystemErrorText(file.failed() ? file.errorNumber() : EIO);
    if (printsToFile())
        return FileErrorText(baseFile_, QStringLiteral("PDF ファイルを書き込めません"), reason);
    return FileErrorText(file.temporaryPath(), QStringLiteral("%1 への印刷ジョブを書き込めません").arg(name()), reason);
}

QPainter *QtPrinter::beginDocument(const QString &title)
{
    if (painter_)
        throw Error(QStringLiteral("%1: 別の印刷が進行中です。").arg(name()));
    printer_->setDocName(title);

    QPaintDevice *target = printer_.get();
    if (printsToFile()) {
        // The printer setup dialog may have chosen another file since the last job.
        baseFile_ = printer_->outputFileName();
        auto file = std::make_unique<WholeFile>();
        if (!file->createBeside(baseFile_))
            throw Error(FileErrorText(baseFile_, QStringLiteral("印刷を開始できません"),
                                      SystemErrorText(file->errorNumber())));
        out_ = std::move(file);
    } else {
#ifdef QUILTANA_WITH_CUPS
        auto file = std::make_unique<WholeFile>();
        if (!file->create(QDir::tempPath(), QStringLiteral("quiltana-job-"), QStringLiteral(".pdf")))
            throw Error(FileErrorText(QDir::tempPath(),
                                      QStringLiteral("%1 への印刷ジョブを作れません").arg(name()),
                                      SystemErrorText(file->errorNumber())));
        out_ = std::move(file);
#endif
        // Without CUPS the job is drawn on the printer's own canvas, and Qt sends it.
    }
    if (out_) {
        try {
            startWriter(title);
        } catch (...) {
            out_.reset(); // removes the temporary file
            throw;
        }
        target = writer_.get();
    }

    auto painter = std::make_unique<QPainter>();
    if (!painter->begin(target)) {
        const QString where = printsToFile() ? QDir::toNativeSeparators(baseFile_) : name();
        writer_.reset();
        out_.reset();
        throw Error(QStringLiteral("%1: 印刷を開始できません。").arg(where));
    }
    startClean(*painter);
    painter_ = std::move(painter);
    return painter_.get();
}

QPainter *QtPrinter::newPage()
{
    if (!painter_)
        throw Error(QStringLiteral("%1: 印刷が始まっていないため、次のページに進めません。").arg(name()));
    if (writer_) {
        // The page before is written out when the next one starts: that is where a full disk
        // shows, if the pictures drawn on the page had not shown it already.
        if (out_->failed())
            throw Error(writeFailure(*out_));
        const bool next = writer_->newPage();
        if (out_->failed())
            throw Error(writeFailure(*out_));
        if (!next)
            throw Error(QStringLiteral("%1: 次のページに進めません。").arg(name()));
    } else if (!printer_->newPage()) {
        throw Error(QStringLiteral("%1: 次のページに進めません。").arg(name()));
    }
    // The page composition starts from a fresh painter's state on every page.
    startClean(*painter_);
    return painter_.get();
}

#ifdef QUILTANA_WITH_CUPS
int QtPrinter::submitSpool(const QString &spoolFile)
{
    const QPageLayout layout = printer_->pageLayout();
    cups_option_t *options = nullptr;
    int count = 0;
    count = cupsAddOption("media", mediaName(layout.pageSize()).constData(), count, &options);
    if (printer_->copyCount() > 1) {
        count = cupsAddOption("copies", QByteArray::number(printer_->copyCount()).constData(), count, &options);
        if (printer_->collateCopies())
            count = cupsAddOption("Collate", "True", count, &options);
    }
    const bool landscape = layout.orientation() == QPageLayout::Landscape;
    // The job's page is already turned; the print system is told so that it lays the turned
    // page on the paper the right way round rather than guessing.
    if (landscape)
        count = cupsAddOption("orientation-requested", "4", count, &options);
    switch (printer_->duplex()) {
    case QPrinter::DuplexNone:
        count = cupsAddOption("sides", "one-sided", count, &options);
        break;
    case QPrinter::DuplexAuto:
        count = cupsAddOption("sides", landscape ? "two-sided-short-edge" : "two-sided-long-edge", count,
                              &options);
        break;
    case QPrinter::DuplexLongSide:
        count = cupsAddOption("sides", "two-sided-long-edge", count, &options);
        break;
    case QPrinter::DuplexShortSide:
        count = cupsAddOption("sides", "two-sided-short-edge", count, &options);
        break;
    }
    // What else the print dialog chose (banner pages, n-up, colour ...). Page ranges are left
    // out: every job is a single page the program composed itself.
    const QStringList chosen = printer_->printEngine()->property(kCupsOptionsProperty).toStringList();
    for (qsizetype i = 0; i + 1 < chosen.size(); i += 2) {
        if (chosen[i] == QLatin1String("page-ranges") || chosen[i] == QLatin1String("page-set"))
            continue;
        count = cupsAddOption(chosen[i].toUtf8().constData(), chosen[i + 1].toUtf8().constData(), count,
                              &options);
    }

    const int job = cupsPrintFile(printer_->printerName().toUtf8().constData(),
                                  QFile::encodeName(spoolFile).constData(),
                                  printer_->docName().toUtf8().constData(), count, options);
    cupsFreeOptions(count, options);
    if (job <= 0)
        throw Error(QStringLiteral("%1: 印刷ジョブを送れません (%2)")
                        .arg(name(), QString::fromUtf8(cupsLastErrorString())));
    return job;
}
#endif

void QtPrinter::endDocument()
{
    if (!painter_)
        return;
    const bool ended = painter_->end();
    painter_.reset();
    writer_.reset();
    if (!out_) {
        // Drawn on the printer's own canvas; Qt's print system sends it.
        if (!ended)
            throw Error(QStringLiteral("%1: 印刷を最後まで終えられませんでした。").arg(name()));
        lastOutputFile_.clear();
        return;
    }
    // However this ends, the temporary file goes with `file` unless it was given its name.
    const std::unique_ptr<WholeFile> file = std::move(out_);
    if (!ended || !file->finish())
        throw Error(writeFailure(*file));
    if (printsToFile()) {
        const QString placed = file->placeAsNew(baseFile_);
        if (placed.isEmpty())
            throw Error(FileErrorText(baseFile_, QStringLiteral("PDF ファイルを保存できません"),
                                      SystemErrorText(file->errorNumber())));
        lastOutputFile_ = placed;
        return;
    }
#ifdef QUILTANA_WITH_CUPS
    lastJobId_ = submitSpool(file->temporaryPath());
    lastOutputFile_.clear();
#endif
}

void QtPrinter::abortDocument()
{
    if (!painter_)
        return;
    if (out_)
        out_->discard(); // what the writer still writes while it ends goes nowhere
    else
        printer_->abort();
    painter_->end();
    painter_.reset();
    writer_.reset();
    out_.reset();
}

} // namespace quiltana
