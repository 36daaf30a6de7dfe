#pragma once

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

// What printing several pages shows: "印刷中... k / N ページ" with the page being printed, a
// bar of the pages sent and a "中止" button. Stopping takes effect between pages: the page in
// progress is finished and the rest are not printed. A single page shows nothing.
class PrintProgress {
public:
    explicit PrintProgress(QWidget *parent);
    ~PrintProgress();
    PrintProgress(const PrintProgress &) = delete;
    PrintProgress &operator=(const PrintProgress &) = delete;

    // A PrintBusyHooks::nextPage: `page` of `pages` is about to be printed; false once the
    // user asked to stop.
    bool nextPage(int page, int pages);

private:
    QWidget *parent_;
    std::unique_ptr<QProgressDialog> dialog_;
    bool stopped_ = false;
};

// The dialogs' texts.
inline constexpr int kImportProgressDelayMs = 500;
[[nodiscard]] QString importProgressLabel();
[[nodiscard]] QString printProgressLabel(int page, int pages);
[[nodiscard]] QString printStoppingLabel();
[[nodiscard]] QString printStopButtonText();

} // namespace quiltana
