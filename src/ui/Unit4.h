#pragma once

#include "pagesetup.h"
#include "runstate.h"
#include "printfields.h"
#include "printjob.h"

#include <QColor>
#include <QDialog>

#include <array>

class QButtonGroup;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace quiltana {

// Which way an arrow beside a millimetre field moves its value.
enum class ArrowStep { Raise, Lower };

// The print dialog "印刷": margins and spacings, captions, frames, the page range and the
// printer. Created once and shown again for every print command; its handlers keep the fields
// valid and never print. The print command fills it before each showing and reads it back.
// Its handlers work on the page setup, printer metrics and printer of `run`.
class TForm4 : public QDialog {
    Q_OBJECT

public:
    explicit TForm4(RunState &run, QWidget *parent = nullptr);
    ~TForm4() override;

    // Writes the page setup record into every control except the page range and Edit1, which
    // keep what the user left in them; the working font becomes the caption font.
    void FillFromPageSetup(const PageSetup &setup);
    // The controls' values as the print command takes them over.
    [[nodiscard]] PrintDialogValues values() const;
    // Edit11, Label12 and Panel1 show `font`'s face, size and colour.
    void ShowCaptionFont(const FontSpec &font);

    [[nodiscard]] const FontSpec &workingFont() const { return workingFont_; }
    [[nodiscard]] QColor Panel1Color() const;

    // Handlers. Those that call the rules run under the handler guard, which shows their errors
    // in the error box.
    void CheckBox1Click();
    // SpeedButton9 .. SpeedButton20: the arrow `step` beside the field of `field`.
    void SpeedButtonClick(PrintField field, ArrowStep step);
    void Edit5Exit();
    void Edit6Exit();
    void Edit7Exit();
    void Edit8Exit();
    void Edit9Exit();
    void Edit10Exit();
    void Button3Click();
    void Button4Click();
    void Panel1Click();
    void pagesetClick();
    void pagecurrentClick();
    void pageallClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

public slots:
    void reject() override; // Esc and the close box: "キャンセル"

private:
    void buildMarginGroup();
    void buildFrameAndRangeGroups();
    void buildCaptionGroup();
    void placePositionItems();
    void buildButtons();
    void fieldExit(PrintField field);
    void finish(PrintDialogResult result);
    void setPanel1Color(const QColor &color);
    [[nodiscard]] int radioGroup1Index() const;
    // The millimetre field of `field` (Edit5..Edit10).
    [[nodiscard]] QLineEdit *fieldEdit(PrintField field) const;

    // Controls, each with its designer name as its object name; those not kept here are found
    // by that name.
    //
    // What each name stands for:
    //   GroupBox1   margins and spacings in millimetres:
    //     Edit5, Edit6, Edit7, Edit8   top, bottom, left and right margin
    //     Edit9, Edit10                vertical and horizontal spacing between the cells
    //     SpeedButton9 .. SpeedButton20  the arrows beside them, two a field from Edit5 down:
    //                                    the odd one raises (9 Edit5 +, 10 Edit5 -, 11 Edit6 +
    //                                    ... 20 Edit10 -)
    //   GroupBox2   frame printing; CheckBox2 prints a frame around every cell
    //   GroupBox3   page range: pagecurrent the current page, pageall every page, pageset the
    //               pages listed in Edit1 ("1,3,5-7", enabled with pageset only)
    //   GroupBox4   file name printing (the captions):
    //     CheckBox1   print file names; enables RadioGroup1 and CheckBox4
    //     CheckBox4   with the extension
    //     RadioGroup1 the caption's position; RadioGroup1Item0 .. RadioGroup1Item5 top left,
    //                 bottom left, top centre, bottom centre, top right, bottom right
    //     Button4     the caption font ("フォント指定")
    //     Edit11      the font's face (read-only); Label11 the caption "フォントサイズ" of
    //                 Label12, the font's size; Label13 the caption "文字色" of Panel1
    //     Panel1      the caption colour; a click opens the colour dialog
    //     CheckBox3   captions on a transparent background
    //   Button3     printer setup ("プリンタ設定")
    //   Button1     print ("印刷実行"): keeps the settings and prints, result Print
    //   Button2     cancel ("キャンセル"), as Esc and the close box: result Cancel
    //   Button5     close ("終了"): keeps the settings, prints nothing, result Close
    QLineEdit *Edit5 = nullptr, *Edit6 = nullptr, *Edit7 = nullptr, *Edit8 = nullptr;
    QLineEdit *Edit9 = nullptr, *Edit10 = nullptr;
    QCheckBox *CheckBox1 = nullptr, *CheckBox2 = nullptr, *CheckBox3 = nullptr, *CheckBox4 = nullptr;
    QGroupBox *RadioGroup1 = nullptr;
    std::array<QRadioButton *, 6> RadioGroup1Items{}; // RadioGroup1Item0 .. RadioGroup1Item5
    QLineEdit *Edit11 = nullptr;
    QLabel *Label12 = nullptr;
    QFrame *Panel1 = nullptr;
    QRadioButton *pagecurrent = nullptr, *pageall = nullptr, *pageset = nullptr;
    QLineEdit *Edit1 = nullptr;

    RunState &run_;
    QButtonGroup *positionButtons_ = nullptr;
    FontSpec workingFont_;
    QColor lastChosenColor_ = QColor(0, 0, 0); // the colour dialog starts where it ended
};

} // namespace quiltana
