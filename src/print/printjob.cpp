#include "printjob.h"

#include "compose.h"
#include "document.h"
#include "error.h"
#include "geometry.h"
#include "pagelist.h"
#include "printer.h"
#include "runstate.h"

#include <QDir>
#include <QPainter>

#include <algorithm>
#include <exception>
#include <new>

namespace quiltana {

namespace {

// Printing sets this many page redraw flags: the largest layout style.
constexpr int kPrintRedrawFlags = 50;
// How often the pages before a failed one are written into a new file before that is given up
// (a disk that is still full takes a page fewer each time).
constexpr int kRescueAttempts = 3;

// Runs `done` when the scope ends, however it ends.
class BusyScope {
public:
    explicit BusyScope(const PrintBusyHooks &hooks) : hooks_(hooks)
    {
        if (hooks_.begin)
            hooks_.begin();
    }
    ~BusyScope()
    {
        if (hooks_.done)
            hooks_.done();
    }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    const PrintBusyHooks &hooks_;
};

QString jobTitle() { return QString::fromLatin1(kPrintJobTitle); }

// The page as the page lists of `doc` hold it, drawn on the printer's canvas.
struct PrintPage {
    Document &doc;
    const PageSetup &setup;
};

void composeForPrint(QPainter &canvas, const PrintPage &page, FrameSwitch frames, const Printer &printer)
{
    ComposePage(canvas, page.doc, page.setup, printer.pageWidth(), printer.pageHeight(), frames, ComposeMode::Print);
}

// A page as a print job of its own: a page that fails has its job aborted.
void printOnePage(const PrintPage &lists, int page, FrameSwitch frames, Printer &printer, const PrintBusyHooks &hooks)
{
    LoadPrintPageLists(lists.doc, page);
    BusyScope busy(hooks);
    QPainter *canvas = printer.beginDocument(jobTitle());
    try {
        composeForPrint(*canvas, lists, frames, printer);
    } catch (...) {
        printer.abortDocument();
        throw;
    }
    printer.endDocument();
}

// The one document of a run that goes into a file: begun with its first page, further pages
// follow on new pages of it. Unless it is ended, it is aborted when the run leaves, so a run
// that fails leaves no file behind.
class RunDocument {
public:
    explicit RunDocument(Printer &printer) : printer_(printer) {}
    ~RunDocument()
    {
        if (open_)
            printer_.abortDocument();
    }
    RunDocument(const RunDocument &) = delete;
    RunDocument &operator=(const RunDocument &) = delete;

    QPainter *nextPage()
    {
        if (open_)
            return printer_.newPage();
        QPainter *canvas = printer_.beginDocument(jobTitle());
        open_ = true;
        return canvas;
    }
    [[nodiscard]] bool open() const { return open_; }
    // Ends the document; the file it was written to.
    QString end()
    {
        open_ = false;
        printer_.endDocument();
        return printer_.lastOutputFile();
    }

private:
    Printer &printer_;
    bool open_ = false;
};

// Asked before each page (only between pages, so that stopping never cuts a page short):
// whether the run goes on to `step`. `ask`: nextPage is asked too, which may set `stopped`;
// `abandoned` is set when the run is given up as a whole.
bool goOn(const PrintBusyHooks &hooks, const PrintStep &step, bool ask, bool &stopped, bool &abandoned)
{
    if (ask && hooks.nextPage && !hooks.nextPage(step))
        stopped = true;
    if (hooks.abandon && hooks.abandon()) {
        abandoned = true;
        return false;
    }
    return !stopped;
}

// The text of an exception that ended a page.
QString failureText(const std::exception_ptr &failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const Error &e) {
        return e.message();
    } catch (const std::bad_alloc &) {
        return QStringLiteral("メモリが足りません");
    } catch (const std::exception &e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
    }
    return QStringLiteral("原因のわからないエラーが起きました");
}

// The error of a failed page: its own text first (the file and what befell it), then which page
// it was and what became of the pages before it.
QString pageFailedText(const QString &cause, int page, const QString &before)
{
    QString text = cause + QStringLiteral("\n\nページ %1 は印刷できませんでした。").arg(page);
    if (!before.isEmpty())
        text += QLatin1Char('\n') + before;
    return text;
}

// One try at writing `pages` as one document into a file.
struct FileAttempt {
    int printed = 0;            // pages drawn whole; on a failure also the index of the failed page
    std::exception_ptr failure; // what ended it early, null when nothing failed
    bool stopped = false;
    bool abandoned = false;
    QString file;
};

// `progress`: the run's own first try, which the user watches (nextPage, pageDone); the pages
// written again after a failure are not shown as printed twice.
FileAttempt writeDocument(const PrintPage &lists, const std::vector<int> &pages, FrameSwitch frames,
                          Printer &printer, const PrintBusyHooks &hooks, bool progress)
{
    FileAttempt attempt;
    const int count = static_cast<int>(pages.size());
    RunDocument file(printer);
    // The page a failure now would belong to. A page is written out only when the next one
    // starts or the document ends, so a write that fails then fails the page before.
    int failing = 0;
    try {
        for (int i = 0; i < count; ++i) {
            const PrintStep step{pages[static_cast<std::size_t>(i)] + 1, i + 1, count};
            if (!goOn(hooks, step, progress, attempt.stopped, attempt.abandoned)) {
                if (attempt.abandoned)
                    return attempt; // the document is aborted as `file` goes
                break;
            }
            LoadPrintPageLists(lists.doc, pages[static_cast<std::size_t>(i)]);
            BusyScope busy(hooks);
            failing = std::max(i - 1, 0);
            QPainter *canvas = file.nextPage();
            failing = i;
            composeForPrint(*canvas, lists, frames, printer);
            attempt.printed = i + 1;
            if (progress && hooks.pageDone)
                hooks.pageDone(step);
        }
        if (file.open()) {
            BusyScope busy(hooks);
            failing = attempt.printed - 1;
            attempt.file = file.end();
        }
    } catch (...) {
        attempt.failure = std::current_exception();
        attempt.printed = failing;
    }
    return attempt;
}

PrintRun printIntoFile(const PrintPage &lists, const std::vector<int> &pages, FrameSwitch frames,
                       Printer &printer, const PrintBusyHooks &hooks)
{
    PrintRun run;
    run.count = static_cast<int>(pages.size());
    const FileAttempt first = writeDocument(lists, pages, frames, printer, hooks, true);
    run.stopped = first.stopped;
    if (first.abandoned) {
        run.abandoned = true;
        return run;
    }
    if (!first.failure) {
        run.printed = first.printed;
        run.file = first.file;
        return run;
    }

    // The failed file is gone; the pages before the failed one go into a new one.
    std::vector<int> keep(pages.begin(), pages.begin() + first.printed);
    QString saved;
    for (int i = 0; i < kRescueAttempts && !keep.empty(); ++i) {
        const FileAttempt again = writeDocument(lists, keep, frames, printer, hooks, false);
        if (again.abandoned) {
            run.abandoned = true;
            return run;
        }
        if (!again.failure) {
            saved = again.file;
            break;
        }
        keep.resize(static_cast<std::size_t>(std::min<int>(static_cast<int>(keep.size()) - 1, again.printed)));
    }
    const QString before =
        !saved.isEmpty()
            ? QStringLiteral("それまでの %1 ページは PDF ファイルに保存しました:\n%2")
                  .arg(QString::number(keep.size()), QDir::toNativeSeparators(saved))
        : first.printed > 0
            ? QStringLiteral("それまでの %1 ページも保存できなかったため、PDF ファイルは作られていません。").arg(first.printed)
            : QStringLiteral("PDF ファイルは作られていません。");
    throw Error(pageFailedText(failureText(first.failure), pages[static_cast<std::size_t>(first.printed)] + 1,
                               before));
}

} // namespace

void CommitPrintDialog(PageSetup &setup, const PrinterMetrics &metrics, const PrintDialogValues &values,
                       Printer &printer)
{
    setup.frameOption = values.frameOption;
    setup.captionOption = values.captionOption;
    setup.captionExtension = values.captionExtension;
    setup.captionPosition = values.captionPosition;
    setup.transparentCaptions = values.transparentCaptions;
    setup.captionFont = values.workingFont;
    setup.topText = values.topText;
    setup.bottomText = values.bottomText;
    setup.leftText = values.leftText;
    setup.rightText = values.rightText;
    setup.verticalSpacingText = values.verticalSpacingText;
    setup.horizontalSpacingText = values.horizontalSpacingText;
    DotMarginsFromTexts(setup, metrics, printer);
}

std::vector<int> PagesToPrint(PageRange range, const QString &pageList, int currentPage, int pageCount)
{
    switch (range) {
    case PageRange::Current:
        return {currentPage};
    case PageRange::All: {
        std::vector<int> pages;
        for (int p = 0; p < pageCount; ++p)
            pages.push_back(p);
        return pages;
    }
    case PageRange::List:
        return SelectedPages(pageList, pageCount);
    }
    return {};
}

void LoadPrintPageLists(Document &doc, int page) { FillPageLists(doc, page, PageFill::Print); }

PrintRun PrintPages(Document &doc, const PageSetup &setup, const std::vector<int> &pages, bool frameOption,
                    Printer &printer, const PrintBusyHooks &hooks)
{
    const FrameSwitch frames = frameOption ? FrameSwitch::Draw : FrameSwitch::Skip;
    const PrintPage lists{doc, setup};
    std::fill_n(doc.page.redraw.begin(), kPrintRedrawFlags, Redraw::Draw);
    if (printer.onePerCommand())
        return printIntoFile(lists, pages, frames, printer, hooks);

    PrintRun run;
    run.count = static_cast<int>(pages.size());
    for (const int page : pages) {
        const PrintStep step{page + 1, run.printed + 1, run.count};
        if (!goOn(hooks, step, true, run.stopped, run.abandoned))
            break;
        try {
            printOnePage(lists, page, frames, printer, hooks);
        } catch (...) {
            throw Error(pageFailedText(failureText(std::current_exception()), step.page,
                                       run.printed > 0 ? QStringLiteral("それまでの %1 ページは印刷しました。").arg(run.printed)
                                                       : QString()));
        }
        ++run.printed;
        if (hooks.pageDone)
            hooks.pageDone(step);
    }
    return run;
}

PrintRun FinishPrintCommand(RunState &run, PrintDialogResult result, const PrintDialogValues &values, Printer &printer,
                            const PrintBusyHooks &hooks)
{
    if (result != PrintDialogResult::Print && result != PrintDialogResult::Close)
        return {};
    CommitPrintDialog(run.pageSetup, run.printerMetrics, values, printer);
    if (result != PrintDialogResult::Print)
        return {};
    Document &doc = run.document;
    return PrintPages(doc, run.pageSetup, PagesToPrint(values.range, values.pageList, doc.currentPage, doc.pageCount),
                      run.pageSetup.frameOption, printer, hooks);
}

} // namespace quiltana
