#include "printjob.h"

#include "compose.h"
#include "document.h"
#include "geometry.h"
#include "pagelist.h"
#include "printer.h"

#include <QPainter>

#include <algorithm>
#include <optional>

namespace quiltana {

namespace {

// Printing sets this many page redraw flags: the largest layout style.
constexpr int kPrintRedrawFlags = 50;

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

void composeForPrint(QPainter &canvas, FrameSwitch frames, const Printer &printer)
{
    ComposePage(canvas, printer.pageWidth(), printer.pageHeight(), frames, ComposeMode::Print);
}

// A page as a print job of its own: a page that fails has its job aborted.
void printOnePage(int page, FrameSwitch frames, Printer &printer, const PrintBusyHooks &hooks)
{
    LoadPrintPageLists(document(), page);
    BusyScope busy(hooks);
    QPainter *canvas = printer.beginDocument(jobTitle());
    try {
        composeForPrint(*canvas, frames, printer);
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

} // namespace

void CommitPrintDialog(const PrintDialogValues &values, Printer &printer)
{
    PageSetup &setup = pageSetup();
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
    DotMarginsFromTexts(printer);
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

PrintRun PrintPages(const std::vector<int> &pages, bool frameOption, Printer &printer, const PrintBusyHooks &hooks)
{
    const FrameSwitch frames = frameOption ? FrameSwitch::Draw : FrameSwitch::Skip;
    std::fill_n(document().page.redraw.begin(), kPrintRedrawFlags, Redraw::Draw);
    PrintRun run;
    run.count = static_cast<int>(pages.size());
    std::optional<RunDocument> file;
    if (printer.onePerCommand())
        file.emplace(printer);
    for (const int page : pages) {
        const PrintStep step{page + 1, run.printed + 1, run.count};
        // Asked only between pages, so that stopping never cuts a page short.
        if (hooks.nextPage && !hooks.nextPage(step)) {
            run.stopped = true;
            break;
        }
        if (file) {
            LoadPrintPageLists(document(), page);
            BusyScope busy(hooks);
            composeForPrint(*file->nextPage(), frames, printer);
        } else {
            printOnePage(page, frames, printer, hooks);
        }
        ++run.printed;
        if (hooks.pageDone)
            hooks.pageDone(step);
    }
    if (file && file->open()) {
        BusyScope busy(hooks);
        run.file = file->end();
    }
    return run;
}

PrintRun FinishPrintCommand(int result, const PrintDialogValues &values, Printer &printer, const PrintBusyHooks &hooks)
{
    if (result != kPrintResultPrint && result != kPrintResultClose)
        return {};
    CommitPrintDialog(values, printer);
    if (result != kPrintResultPrint)
        return {};
    const Document &doc = document();
    return PrintPages(PagesToPrint(values.range, values.pageList, doc.currentPage, doc.pageCount),
                      pageSetup().frameOption, printer, hooks);
}

} // namespace quiltana
