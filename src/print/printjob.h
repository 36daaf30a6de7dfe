#pragma once

#include "pagesetup.h"

#include <QString>

#include <functional>
#include <vector>

namespace quiltana {

class Printer;
struct Document;

// How the print dialog was closed.
inline constexpr int kPrintResultPrint = 1;  // "印刷実行"
inline constexpr int kPrintResultCancel = 2; // "キャンセル", Esc, the close box
inline constexpr int kPrintResultClose = 6;  // "終了": keep the settings, print nothing

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

// Takes the dialog's values into pageSetup() as they are (the texts unformatted, the working font
// as the caption font) and then converts the texts to dots for `printer`. A text that is not a
// number throws ConversionError after everything before the conversion was taken over.
void CommitPrintDialog(const PrintDialogValues &values, Printer &printer);

// The 0-based pages a range choice prints, in printing order.
[[nodiscard]] std::vector<int> PagesToPrint(PageRange range, const QString &pageList, int currentPage, int pageCount);

// Loads page `page`'s cells into the page lists for printing: the source picture paths (not
// the work copies), their orientations, every position's redraw flag set. Positions beyond
// cell 999 are empty.
void LoadPrintPageLists(Document &doc, int page);

// Called around the printing of each page so that the window can show a busy cursor; `done`
// runs on every exit, a failed page included.
//
// `nextPage`, when given, is asked before each page of the run, between jobs: `page` (1, 2, ...
// `pages`) is the one about to be printed, `pages` how many the run prints. It returns false to
// stop: that page and the ones after it are not printed, while the jobs already sent stay
// sent. A page once begun is always finished (or, when it fails, aborted).
struct PrintBusyHooks {
    std::function<void()> begin;
    std::function<void()> done;
    std::function<bool(int page, int pages)> nextPage;
};

// Prints `pages` of the program's document, each a job of its own on `printer`, composed at
// the printer's page size; frames when `frameOption` is on. A page whose composition fails
// has its job aborted (nothing half drawn is sent); the error propagates and the pages after
// it are not printed. Returns the number of jobs sent: fewer than the pages when
// hooks.nextPage stopped the run.
int PrintPages(const std::vector<int> &pages, bool frameOption, Printer &printer, const PrintBusyHooks &hooks = {});

// What the print command does once the dialog has closed with `result`: 1 commits and prints
// the chosen range, 6 commits only, anything else changes nothing. The caller refreshes the
// page lists and the preview afterwards in every case, also when this throws.
void FinishPrintCommand(int result, const PrintDialogValues &values, Printer &printer,
                        const PrintBusyHooks &hooks = {});

} // namespace quiltana
