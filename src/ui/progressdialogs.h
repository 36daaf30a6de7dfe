#pragma once

#include "printjob.h"

#include <QString>

#include <memory>

class QProgressDialog;
class QWidget;

namespace quiltana {

// What a long import shows: "写真を読み込み中..." over a bar reading "k / N", k pictures done
// of N. The dialog is made at the first report of a run of more than one picture and appears
// only when the run lasts longer than kImportProgressDelayMs; it is modal to `parent` and has
// no button, since an import is not stopped halfway. Each report lets the windows repaint
// (user input waits), so the window is never marked as not responding.
class ImportProgress {
public:
    explicit ImportProgress(QWidget *parent);
    ~ImportProgress();
    ImportProgress(const ImportProgress &) = delete;
    ImportProgress &operator=(const ImportProgress &) = delete;

    // A ConversionProgress: `done` pictures of `total` are converted.
    void report(int done, int total);

private:
    QWidget *parent_;
    std::unique_ptr<QProgressDialog> dialog_;
};

// What printing several pages shows, and the rule by which its text and bar agree: the text
// names the page being printed by its number in the document and its place in the run,
// "ページ 5 を印刷中... (3 / 5)" while the third of five pages (page 5) is printed; the bar
// counts the pages finished and says so, "印刷済み 2 / 5 ページ" at that moment, reaching
// 5 / 5 when the last page is done. A "中止" button stops the printing between pages: the page
// in progress is finished and the rest are not printed. A single page shows nothing.
class PrintProgress {
public:
    explicit PrintProgress(QWidget *parent);
    ~PrintProgress();
    PrintProgress(const PrintProgress &) = delete;
    PrintProgress &operator=(const PrintProgress &) = delete;

    // A PrintBusyHooks::nextPage: `step` is about to be printed; false once the user asked to
    // stop.
    bool nextPage(const PrintStep &step);
    // A PrintBusyHooks::pageDone: `step` is printed.
    void pageDone(const PrintStep &step);
    // Whether the user pressed "中止" (also when it came too late to leave a page out).
    [[nodiscard]] bool stopAsked() const { return stopped_; }
    // Takes the dialog off the screen, the run being over.
    void close();

private:
    QWidget *parent_;
    std::unique_ptr<QProgressDialog> dialog_;
    bool stopped_ = false;
};

// The dialogs' texts.
inline constexpr int kImportProgressDelayMs = 500;
[[nodiscard]] QString importProgressLabel();
[[nodiscard]] QString printProgressLabel(const PrintStep &step);
[[nodiscard]] QString printProgressBarFormat(); // QProgressBar's format: %v pages done of %m
// The box that tells, after "中止", how many of the run's pages were printed and, for PDF
// output (`toFile`), the file they went into or that none was written.
[[nodiscard]] QString printStoppedText(const PrintRun &run, bool toFile);
[[nodiscard]] QString printStoppedCaption();
[[nodiscard]] QString printStoppingLabel();
[[nodiscard]] QString printStopButtonText();

} // namespace quiltana
