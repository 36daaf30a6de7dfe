#pragma once

#include "pagesetup.h"

#include <QString>

#include <functional>
#include <vector>

namespace quiltana {

class Printer;
struct Document;
struct RunState;

// How the print dialog was closed: the result its showing returns.
enum class PrintDialogResult : int {
    Print = 1,  // "印刷実行": keep the settings and print
    Cancel = 2, // "キャンセル", Esc, the close box: keep nothing
    Close = 6,  // "終了": keep the settings, print nothing
};

// Every print job carries this title.
inline constexpr const char *kPrintJobTitle = "Quiltana Document";

// The print dialog's three page-range choices.
enum class PageRange { Current, All, List };

// Everything the print dialog hands back, free of widgets.
struct PrintDialogValues {
    bool captionOption = false;       // "ファイル名を印刷する"
    bool captionExtension = false;    // "拡張子を印刷する"
    CaptionPosition captionPosition = CaptionPosition::BottomLeft; // "位置"
    bool transparentCaptions = false; // "背景を透過させる"
    bool frameOption = false;         // "枠を印刷する"
    FontSpec workingFont;             // becomes the caption font
    QString topText = QStringLiteral("10"), bottomText = QStringLiteral("10");
    QString leftText = QStringLiteral("10"), rightText = QStringLiteral("10");
    QString verticalSpacingText = QStringLiteral("10"), horizontalSpacingText = QStringLiteral("10");
    PageRange range = PageRange::Current;
    QString pageList = QStringLiteral("1"); // the "ページ指定" field
};

// Takes the dialog's values into `setup` as they are (the texts unformatted, the working font
// as the caption font) and then converts the texts to dots for `printer` against `metrics`. A
// text that is not a number throws ConversionError after everything before the conversion was
// taken over.
void CommitPrintDialog(PageSetup &setup, const PrinterMetrics &metrics, const PrintDialogValues &values,
                       Printer &printer);

// The 0-based pages a range choice prints, in printing order.
[[nodiscard]] std::vector<int> PagesToPrint(PageRange range, const QString &pageList, int currentPage, int pageCount);

// Loads page `page`'s cells into the page lists for printing: the source picture paths (not
// the work copies), their orientations, every position's redraw flag set. Positions beyond
// cell 999 are empty.
void LoadPrintPageLists(Document &doc, int page);

// Where a run of pages stands: the `index`-th (1, 2 ... `count`) of the run's pages, which is
// page `page` of the document as the page list counts (from 1).
struct PrintStep {
    int page = 0;
    int index = 0;
    int count = 0;
};

// Called around the printing of each page so that the window can show a busy cursor; `done`
// runs on every exit, a failed page included.
//
// `nextPage`, when given, is asked before each page of the run, between pages: `step` is the
// one about to be printed. It returns false to stop: that page and the ones after it are not
// printed, while the pages already printed stay printed. A page once begun is always finished
// (or, when it fails, thrown away). `pageDone`, when given, hears of each page printed.
//
// `abandon`, when given, is asked at every point where the run can be given up as a whole: before
// each page, after `nextPage` (also before each page that is written again after a failure, see
// PrintPages). True gives the run up at once: the document in progress is aborted, so a PDF file
// begun for the run is removed and nothing is left of it; pages already sent to a printer as jobs
// of their own stay sent. The program does so when it is told to end (a signal) while it prints.
struct PrintBusyHooks {
    std::function<void()> begin;
    std::function<void()> done;
    std::function<bool(const PrintStep &step)> nextPage;
    std::function<void(const PrintStep &step)> pageDone;
    std::function<bool()> abandon;
};

// How a run of pages ended.
struct PrintRun {
    int printed = 0;        // pages printed (jobs sent, or pages in the file)
    int count = 0;          // pages the run was to print
    bool stopped = false;   // nextPage stopped it before its last page
    bool abandoned = false; // abandon gave it up
    QString file;           // the PDF file the pages went into; "" for a printer or no page printed
};

// Prints `pages` of `doc` at the printer's page size with the margins and captions of `setup`;
// frames when `frameOption` is on. A printer gets each page as a job of its own; PDF files get the pages of
// the run as one document (Printer::onePerCommand), begun with the first page, so a run stopped
// before its first page writes no file at all.
//
// A page that fails (a picture that cannot be read, a file that cannot be written: a full disk)
// is never sent half drawn and the pages after it are not printed; an Error is thrown that names
// the page and the cause, and says what became of the pages before it. On a printer the job of
// that page is aborted and the pages before it stay sent. A PDF file cannot take back a page it
// has begun, so the run's file is thrown away, and the pages before the failed one are written
// again into a new file, which is kept when it is whole (a disk that is still full may not take
// all of them: then as many as it takes, or none). No file is ever left that ends in a
// half-drawn page, and the files being the run's own, nothing of the user's is lost.
PrintRun PrintPages(Document &doc, const PageSetup &setup, const std::vector<int> &pages, bool frameOption,
                    Printer &printer, const PrintBusyHooks &hooks = {});

// What the print command does once the dialog has closed with `result`: Print commits (into
// the page setup of `run`) and prints the chosen range of its document, Close commits only,
// Cancel changes nothing. The caller refreshes the page lists and the preview afterwards in
// every case, also when this throws. Returns how the printing went (nothing printed unless
// the result is Print).
PrintRun FinishPrintCommand(RunState &run, PrintDialogResult result, const PrintDialogValues &values, Printer &printer,
                            const PrintBusyHooks &hooks = {});

} // namespace quiltana
