#include "printjob.h"

#include "compose.h"
#include "document.h"
#include "geometry.h"
#include "pagelist.h"
#include "printer.h"

#include <QPainter>

#include <algorithm>

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

void printOnePage(int page, FrameSwitch frames, Printer &printer, const PrintBusyHooks &hooks)
{
    LoadPrintPageLists(document(), page);
    BusyScope busy(hooks);
    QPainter *canvas = printer.beginDocument(QString::fromLatin1(kPrintJobTitle));
    try {
        ComposePage(*canvas, printer.pageWidth(), printer.pageHeight(), frames, ComposeMode::Print);
    } catch (...) {
        printer.abortDocument();
        throw;
    }
    printer.endDocument();
}

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

int PrintPages(const std::vector<int> &pages, bool frameOption, Printer &printer, const PrintBusyHooks &hooks)
{
    const FrameSwitch frames = frameOption ? FrameSwitch::Draw : FrameSwitch::Skip;
    std::fill_n(document().page.redraw.begin(), kPrintRedrawFlags, Redraw::Draw);
    const int total = static_cast<int>(pages.size());
    int sent = 0;
    for (const int page : pages) {
        // Asked only between jobs, so that stopping never cuts a page short.
        if (hooks.nextPage && !hooks.nextPage(sent + 1, total))
            break;
        printOnePage(page, frames, printer, hooks);
        ++sent;
    }
    return sent;
}

void FinishPrintCommand(int result, const PrintDialogValues &values, Printer &printer, const PrintBusyHooks &hooks)
{
    if (result != kPrintResultPrint && result != kPrintResultClose)
        return;
    CommitPrintDialog(values, printer);
    if (result != kPrintResultPrint)
        return;
    const Document &doc = document();
    PrintPages(PagesToPrint(values.range, values.pageList, doc.currentPage, doc.pageCount),
               pageSetup().frameOption, printer, hooks);
}

} // namespace quiltana
