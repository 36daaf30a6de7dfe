#pragma once

#include "printer.h"

#include <QDialog>
#include <QList>
#include <QPageSize>
#include <QRect>

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quiltana {

// How a paper is named in the list: its name and its size in millimetres, "A4 (210 x 297 mm)";
// after a Japanese name every bracket is full-width, "はがき（100 x 148 mm）".
[[nodiscard]] QString paperLabel(const QPageSize &paper);

// Printer setup, "プリンタの設定": the printer (the PDF files count as one), a paper that printer
// takes, and the orientation. It only chooses; the caller applies chosen() to the printer.
// It opens beside its parent and always wholly on the parent's screen.
class PrinterSetupDialog : public QDialog {
    Q_OBJECT

public:
    explicit PrinterSetupDialog(const Printer &printer, QWidget *parent = nullptr);

    // The choice as the controls hold it.
    [[nodiscard]] Printer::Setup chosen() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    [[nodiscard]] QString chosenPrinter() const;
    // Lists the papers of the chosen printer, keeping `keep` chosen where that printer has it.
    void fillPapers(const QPageSize &keep);
    void printerChanged();
    void browse();
    void updateOk();
    void keepOnScreen();

    // Controls, each with its name as its object name; PortraitButton ("縦") and CancelButton
    // are found by theirs.
    QComboBox *PrinterBox = nullptr;    // "プリンタ名": the installed printers, then "PDF ファイル"
    QLineEdit *FileEdit = nullptr;      // "出力ファイル", for the PDF files only
    QPushButton *BrowseButton = nullptr;
    QComboBox *PaperBox = nullptr;      // "用紙サイズ": the chosen printer's papers
    QRadioButton *LandscapeButton = nullptr; // "横"
    QPushButton *OkButton = nullptr;

    const Printer &printer_;
    QList<QPageSize> papers_;
};

} // namespace quiltana
