#pragma once

#include <QDialog>

#include "runstate.h"

class QPlainTextEdit;
class QPushButton;

namespace quiltana {

// The About box ("バージョン情報"): the program's name and version, the current printer's
// information and, on request, the history of changes. Created once and refilled at each opening.
// The printer's information comes from `run`.
class TForm3 : public QDialog {
    Q_OBJECT

public:
    explicit TForm3(const RunState &run, QWidget *parent = nullptr);

    // Memo1 emptied and refilled with the printer lines; Memo2 likewise with the history.
    void FillPrinterInformation();
    void FillHistory();

    void FormShow();
    void Button1Click();

    [[nodiscard]] bool historyShown() const { return historyShown_; }

    static constexpr int kCollapsedHeight = 240;
    static constexpr int kExpandedHeight = 340;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void setHeight(int height);

    // Children keep their designer names as their object names; Qt's parent ownership releases
    // them. Those not kept here are found by name.
    //
    // What each name stands for:
    //   Panel1       the raised frame around the picture, the names and the printer lines
    //   ProgramIcon  the program's picture
    //   ProductName  "Quiltana" in bold
    //   Version      the version and its date
    //   Comments     the caption over Memo1
    //   Memo1        the current printer's information (PrinterInformationLines)
    //   OKButton     closes the box
    //   Button1      "詳細>>>" shows the history below and becomes "<<<詳細", which hides it
    //   Memo2        the history of changes (HistoryLines), out of sight while collapsed
    QPlainTextEdit *Memo1 = nullptr;
    QPushButton *Button1 = nullptr;
    QPlainTextEdit *Memo2 = nullptr;

    const RunState &run_;
    bool historyShown_ = false;
};

// The printer lines of the About box, one entry per line, from the page size cache, the printer
// metrics, the page setup's margin texts and the current printer's resolution of `run`.
[[nodiscard]] QStringList PrinterInformationLines(const RunState &run);

// The history lines: the heading and fourteen dated lines, oldest first.
[[nodiscard]] QStringList HistoryLines();

} // namespace quiltana
