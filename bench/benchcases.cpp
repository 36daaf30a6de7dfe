#include "benchcases.h"

#include "compose.h"
#include "document.h"
#include "dropimport.h"
#include "error.h"
#include "geometry.h"
#include "picture.h"
#include "memory.h"
#include "pagesetup.h"
#include "printer.h"
#include "printjob.h"
#include "qtprinter.h"
#include "referencedecode.h"
#include "runstate.h"
#include "workcopy.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>

#include <sched.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char **environ;

namespace quiltana::bench {

namespace {

bool isJpeg(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg");
}

double totalMegapixels(const QList<Photo> &photos)
{
    double sum = 0;
    for (const Photo &photo : photos)
        sum += photo.megapixels;
    return sum;
}

void keepToOneProcessor()
{
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) != 0)
        throw std::runtime_error("sched_getaffinity failed");
    int first = 0;
    while (first < CPU_SETSIZE && !CPU_ISSET(first, &allowed))
        ++first;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    if (sched_setaffinity(0, sizeof one, &one) != 0)
        throw std::runtime_error("sched_setaffinity failed");
}

// Brackets the measured work: the resident size before it and the peak during it.
class Measurement {
public:
    explicit Measurement(CaseResult &result) : result_(result)
    {
        resetPeakMemory();
        result_.restKb = residentKb();
        cpuStart_ = cpuSeconds();
        timer_.start();
    }
    void finish()
    {
        result_.seconds = static_cast<double>(timer_.nsecsElapsed()) / 1e9;
        result_.cpuSeconds = cpuSeconds() - cpuStart_;
        result_.peakKb = peakResidentKb();
    }

private:
    static double cpuSeconds()
    {
        double total = 0;
        for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
            rusage usage{};
            getrusage(who, &usage);
            total += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
                     + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        }
        return total;
    }

    CaseResult &result_;
    QElapsedTimer timer_;
    double cpuStart_ = 0;
};

// An offscreen application for the cases that need fonts and a printer.
std::unique_ptr<QGuiApplication> makeApplication()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "quiltana_bench";
    static char *argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

bool runDjpeg(const QString &path)
{
    const std::string file = QFile::encodeName(path).toStdString();
    std::vector<std::string> args = {"djpeg", "-scale", "1/8", "-outfile", "/dev/null", file};
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, "djpeg", nullptr, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("djpeg cannot be started (install libjpeg-turbo-progs)");
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Every photo decoded by the plain libraries (or djpeg), on as many threads as there are
// processors to use, each taking the next photo.
CaseResult referenceCase(const QList<Photo> &photos, bool useDjpeg, int jpegDenominator)
{
    CaseResult result;
    result.threads = QThread::idealThreadCount();
    result.megapixels = totalMegapixels(photos);
    std::atomic<int> next{0};
    std::atomic<int> errors{0};
    const auto decodeAll = [&] {
        for (int i = next++; i < photos.size(); i = next++) {
            const QString &path = photos[i].path;
            std::string error;
            const std::string file = QFile::encodeName(path).toStdString();
            bool ok = false;
            if (isJpeg(path))
                ok = useDjpeg ? runDjpeg(path) : DecodeJpegReference(file, jpegDenominator, &error);
            else
                ok = DecodePngReference(file, &error);
            if (!ok)
                ++errors;
        }
    };
    Measurement measurement(result);
    {
        std::vector<std::thread> helpers;
        for (int n = 1; n < result.threads; ++n)
            helpers.emplace_back(decodeAll);
        decodeAll();
        for (std::thread &helper : helpers)
            helper.join();
    }
    measurement.finish();
    result.errors = errors;
    if (useDjpeg) {
        rusage children{};
        getrusage(RUSAGE_CHILDREN, &children);
        result.note = QStringLiteral("memory: largest djpeg process %1 MB").arg(children.ru_maxrss / 1024);
    }
    return result;
}

// A fresh run in a folder of its own, its work folder in it as the program has beside itself.
class FreshRun : public RunState {
public:
    FreshRun()
    {
        if (!folder_.isValid())
            throw std::runtime_error("no temporary folder");
        workFolder.path = folder_.filePath(QStringLiteral("temp"));
        EnsureWorkFolder(workFolder.path);
    }
    [[nodiscard]] QString folder() const { return folder_.path(); }

private:
    QTemporaryDir folder_;
};

CaseResult workCopiesCase(const QString &folder, const QList<Photo> &photos)
{
    const auto run = std::make_unique<FreshRun>(); // a document is large
    CaseResult result;
    result.threads = QThread::idealThreadCount();
    result.megapixels = totalMegapixels(photos);
    Measurement measurement(result);
    const DropResult drop = DropFiles(run->document, run->workFolder, {folder}, 0, [] { return false; });
    measurement.finish();
    result.errors = static_cast<int>(drop.errors.size());
    result.note = QStringLiteral("%1 work copies").arg(QDir(run->workFolder.path).entryList(QDir::Files).size());
    return result;
}

// A run on a 5X10 document holding `photos` in its cells (at most 1000), in a fresh run folder,
// with a PDF printer as the run's printer and its margins.
class PageRun : public FreshRun {
public:
    explicit PageRun(const QList<Photo> &photos)
        : app_(makeApplication()), pdf(QDir(folder()).filePath(QStringLiteral("page.pdf")))
    {
        printer = &pdf;
        Document &doc = document;
        doc.layoutStyle = 50;
        for (int i = 0; i < std::min<qsizetype>(photos.size(), kCellCount); ++i)
            doc.cellAt(i)->picturePath = photos[i].path;
        doc.lastFilledCell = doc.scanLastFilledCell();
        doc.pageCount = pageCountFor(doc.lastFilledCell, doc.layoutStyle);
        SetPageSetupDefaults(pageSetup, printerMetrics, pdf);
        DotMarginsFromTexts(pageSetup, printerMetrics, pdf);
    }
    PageRun(const PageRun &) = delete;
    PageRun &operator=(const PageRun &) = delete;

private:
    std::unique_ptr<QGuiApplication> app_;

public:
    QtPrinter pdf;
};

CaseResult printCase(const QList<Photo> &photos)
{
    const auto owned = std::make_unique<PageRun>(photos); // a document is large
    PageRun &run = *owned;
    QtPrinter &printer = run.pdf;
    run.pageSetup.frameOption = true;
    ResetToFirstPageLists(run.document);

    CaseResult result;
    result.threads = QThread::idealThreadCount();
    result.megapixels = totalMegapixels(photos);
    Measurement measurement(result);
    PrintPages(run.document, run.pageSetup, {0}, run.pageSetup.frameOption, printer);
    measurement.finish();
    result.outputBytes = QFileInfo(printer.lastOutputFile()).size();
    result.note = QStringLiteral("%1 dpi, page %2 x %3 dots, frames and captions")
                      .arg(printer.resolutionX())
                      .arg(printer.pageWidth())
                      .arg(printer.pageHeight());
    return result;
}

// The pictures of the printed page decoded and fitted into their cells as printing does it, on
// one thread and without a PDF: what the decoding alone costs.
CaseResult fitCase(const QList<Photo> &photos)
{
    const auto owned = std::make_unique<PageRun>(photos); // a document is large
    PageRun &run = *owned;
    QtPrinter &printer = run.pdf;
    const PageSetup &setup = run.pageSetup;
    const Margins margins{setup.topDots,   setup.bottomDots,          setup.leftDots,
                          setup.rightDots, setup.verticalSpacingDots, setup.horizontalSpacingDots};
    const std::vector<Rect> cells =
        CellRects(50, printer.pageWidth(), printer.pageHeight(), margins, ComposeMode::Print);

    CaseResult result;
    result.threads = 1;
    result.megapixels = totalMegapixels(photos);
    qint64 decodedPixels = 0;
    Measurement measurement(result);
    for (int i = 0; i < photos.size(); ++i) {
        const FittedPicture fitted = FitPictureFile(cells[static_cast<std::size_t>(i)], photos[i].path, Turn::Upright);
        decodedPixels += static_cast<qint64>(fitted.decoded.width()) * fitted.decoded.height();
    }
    measurement.finish();
    result.note = QStringLiteral("%1 MP decoded").arg(static_cast<double>(decodedPixels) / 1e6, 0, 'f', 1);
    return result;
}

// Every page of a 5X10 document holding all `photos` (1000 names: 20 pages), each page a job of
// its own, printed to PDF files.
CaseResult printAllCase(const QList<Photo> &photos)
{
    const auto owned = std::make_unique<PageRun>(photos); // a document is large
    PageRun &run = *owned;
    QtPrinter &printer = run.pdf;
    run.pageSetup.frameOption = true;
    const Document &doc = run.document;
    ResetToFirstPageLists(run.document);
    std::vector<int> pages;
    for (int page = 0; page < doc.pageCount; ++page)
        pages.push_back(page);

    CaseResult result;
    result.threads = QThread::idealThreadCount();
    result.megapixels = totalMegapixels(photos.mid(0, kCellCount));
    Measurement measurement(result);
    const int sent = PrintPages(run.document, run.pageSetup, pages, run.pageSetup.frameOption, printer).printed;
    measurement.finish();
    const QDir folder(run.folder());
    const QStringList pdfs = folder.entryList({QStringLiteral("*.pdf")}, QDir::Files);
    for (const QString &pdf : pdfs)
        result.outputBytes += QFileInfo(folder.filePath(pdf)).size();
    result.note = QStringLiteral("%1 pages, %2 PDF files, %3 dpi").arg(sent).arg(pdfs.size()).arg(printer.resolutionX());
    return result;
}

CaseResult previewCase(const QList<Photo> &photos)
{
    const auto owned = std::make_unique<PageRun>(photos); // a document is large
    PageRun &run = *owned;
    QtPrinter &printer = run.pdf;
    const QStringList errors = MakeWorkCopies(run.document, run.workFolder, 0, run.document.lastFilledCell);
    ResetToFirstPageLists(run.document);

    // The main window's preview at its designed width, with the page's proportions.
    const int width = 400;
    const int height = static_cast<int>(static_cast<qint64>(width) * printer.pageHeight() / printer.pageWidth());
    CaseResult result;
    result.threads = 1;
    for (int i = 0; i < photos.size(); ++i)
        result.megapixels += QImageReader(run.document.cell(i).workPath).size().width() * 200.0 / 1e6;
    result.errors = static_cast<int>(errors.size());
    Measurement measurement(result);
    {
        QImage backBuffer(width, height, QImage::Format_RGB32);
        backBuffer.fill(Qt::white);
        CopyPageWorkPaths(run.document);
        QPainter canvas(&backBuffer);
        ComposePage(canvas, run.document, run.pageSetup, width, height, FrameSwitch::Draw, ComposeMode::Preview);
    }
    measurement.finish();
    result.note = QStringLiteral("%1 x %2 back buffer").arg(width).arg(height);
    return result;
}

} // namespace

QList<Photo> PhotosIn(const QString &folder)
{
    QList<Photo> photos;
    const QDir dir(folder);
    const QStringList names = dir.entryList({QStringLiteral("*.jpg"), QStringLiteral("*.jpeg"), QStringLiteral("*.png")},
                                            QDir::Files, QDir::Name);
    for (const QString &name : names) {
        Photo photo;
        photo.path = dir.absoluteFilePath(name);
        const QSize size = QImageReader(photo.path).size();
        photo.megapixels = static_cast<double>(size.width()) * size.height() / 1e6;
        photos << photo;
    }
    return photos;
}

QList<Photo> LargestPhotos(const QList<Photo> &photos, int count)
{
    QList<Photo> chosen = photos;
    std::stable_sort(chosen.begin(), chosen.end(),
                     [](const Photo &a, const Photo &b) { return a.megapixels > b.megapixels; });
    chosen = chosen.mid(0, count);
    std::sort(chosen.begin(), chosen.end(), [](const Photo &a, const Photo &b) { return a.path < b.path; });
    return chosen;
}

QString RepeatedSet(const QString &folder, int count)
{
    const QList<Photo> photos = PhotosIn(folder);
    if (photos.isEmpty())
        throw std::runtime_error("no photos in the folder");
    const QString repeated = QDir::cleanPath(folder) + QStringLiteral("-x%1").arg(count);
    QDir dir(repeated);
    if (dir.exists() && dir.entryList(QDir::Files).size() == count)
        return repeated;
    if (dir.exists())
        dir.removeRecursively();
    if (!QDir().mkpath(repeated))
        throw std::runtime_error("cannot make the folder of repeated photos");
    for (int i = 0; i < count; ++i) {
        const QFileInfo photo(photos[i % photos.size()].path);
        const QString name = QStringLiteral("%1-%2").arg(i, 4, 10, QLatin1Char('0')).arg(photo.fileName());
        // Hard links where the file system allows them, so that each name is a plain file.
        const QByteArray from = QFile::encodeName(photo.absoluteFilePath());
        const QByteArray to = QFile::encodeName(dir.filePath(name));
        if (::link(from.constData(), to.constData()) != 0 && !QFile::copy(photo.absoluteFilePath(), dir.filePath(name)))
            throw std::runtime_error("cannot fill the folder of repeated photos");
    }
    return repeated;
}

QString CaseResult::toLine() const
{
    return QStringLiteral("RESULT\t%1\t%2\t%3\t%4\t%5\t%6\t%7\t%8\t%9")
        .arg(seconds, 0, 'f', 6)
        .arg(cpuSeconds, 0, 'f', 6)
        .arg(megapixels, 0, 'f', 3)
        .arg(restKb)
        .arg(peakKb)
        .arg(outputBytes)
        .arg(threads)
        .arg(errors)
        .arg(note);
}

CaseResult CaseResult::fromLine(const QString &line, bool *ok)
{
    const QStringList f = line.split(QLatin1Char('\t'));
    CaseResult r;
    *ok = f.size() == 10 && f[0] == QLatin1String("RESULT");
    if (!*ok)
        return r;
    r.seconds = f[1].toDouble();
    r.cpuSeconds = f[2].toDouble();
    r.megapixels = f[3].toDouble();
    r.restKb = f[4].toLong();
    r.peakKb = f[5].toLong();
    r.outputBytes = f[6].toLongLong();
    r.threads = f[7].toInt();
    r.errors = f[8].toInt();
    r.note = f[9];
    return r;
}

QStringList CaseNames()
{
    return {QStringLiteral("reference-djpeg"), QStringLiteral("reference-lib"), QStringLiteral("full-decode"),
            QStringLiteral("workcopies"),      QStringLiteral("print"),         QStringLiteral("preview"),
            QStringLiteral("full-decode-50"),  QStringLiteral("print-all"),     QStringLiteral("fit-50")};
}

CaseResult RunCase(const QString &name, const QString &folder, bool oneCore)
{
    // Before anything starts a thread, so that the program's own thread count sees one core.
    if (oneCore)
        keepToOneProcessor();
    const QList<Photo> photos = PhotosIn(folder);
    if (photos.isEmpty())
        throw std::runtime_error("no photos in the folder");
    try {
        if (name == QLatin1String("reference-djpeg"))
            return referenceCase(photos, true, 8);
        if (name == QLatin1String("reference-lib"))
            return referenceCase(photos, false, 8);
        if (name == QLatin1String("full-decode"))
            return referenceCase(photos, false, 1);
        if (name == QLatin1String("workcopies"))
            return workCopiesCase(folder, photos);
        if (name == QLatin1String("full-decode-50"))
            return referenceCase(LargestPhotos(photos, 50), false, 1);
        if (name == QLatin1String("fit-50"))
            return fitCase(LargestPhotos(photos, 50));
        if (name == QLatin1String("print-all"))
            return printAllCase(photos);
        if (name == QLatin1String("print"))
            return printCase(LargestPhotos(photos, 50));
        if (name == QLatin1String("preview"))
            return previewCase(LargestPhotos(photos, 50));
    } catch (const Error &e) {
        throw std::runtime_error(e.message().toStdString());
    }
    throw std::runtime_error("unknown case " + name.toStdString());
}

} // namespace quiltana::bench
