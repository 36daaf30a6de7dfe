#include "Unit4.h"

#include "error.h"
#include "fontsubstitutions.h"
#include "fakedialogs.h"
#include "printcommand.h"
#include "printjobfixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QToolButton>

#include <gtest/gtest.h>

namespace quiltana {
namespace {

// Records the colour each colour dialog was opened on.
class ColourRecordingDialogs : public test::FakeDialogs {
public:
    std::optional<QColor> chooseColor(QWidget *parent, const QColor &initial) override
    {
        colorsOffered.push_back(initial);
        return FakeDialogs::chooseColor(parent, initial);
    }
    std::vector<QColor> colorsOffered;
};

class PrintDialog : public test::PrintJobFixture {
protected:
    void SetUp() override
    {
        PrintJobFixture::SetUp();
        SetPageSetupDefaults(run.pageSetup, run.printerMetrics, printer);
        run.printerMetrics.topMM = 4.2336; // a border that does not fall on a whole tenth
    }
    // Sends the dialog's field a focus change from inside the dialog.
    static void leave(QLineEdit *edit, Qt::FocusReason reason = Qt::TabFocusReason)
    {
        QFocusEvent out(QEvent::FocusOut, reason);
        QApplication::sendEvent(edit, &out);
    }

    ColourRecordingDialogs fake;
    TForm4 form{run};
};

TEST_F(PrintDialog, StandsAsTheFormLaysItOut)
{
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8("印刷"));
    EXPECT_EQ(form.size(), QSize(360, 318));
    EXPECT_EQ(form.GroupBox1->geometry(), QRect(8, 8, 145, 185));
    EXPECT_EQ(form.GroupBox2->geometry(), QRect(8, 194, 145, 41));
    EXPECT_EQ(form.GroupBox3->geometry(), QRect(8, 240, 145, 73));
    EXPECT_EQ(form.GroupBox4->geometry(), QRect(160, 8, 193, 233));
    EXPECT_EQ(form.RadioGroup1->geometry(), QRect(8, 64, 177, 73));
    EXPECT_EQ(form.Edit9->geometry().topLeft(), QPoint(64, 128));
    EXPECT_EQ(form.SpeedButton(17)->geometry(), QRect(104, 128, 25, 10));
    EXPECT_EQ(form.SpeedButton(18)->geometry(), QRect(104, 138, 25, 10));
    EXPECT_EQ(form.Button3->pos(), QPoint(168, 253));
    EXPECT_EQ(form.Button2->pos(), QPoint(280, 253));
    EXPECT_EQ(form.Button1->pos(), QPoint(168, 288));
    EXPECT_EQ(form.Button5->pos(), QPoint(280, 288));
    EXPECT_TRUE(form.Button1->isDefault());
    EXPECT_EQ(form.Button1->text(), QString::fromUtf8("印刷実行"));
    EXPECT_EQ(form.Button5->toolTip(), QString::fromUtf8("設定を保持して閉じます"));
    EXPECT_EQ(form.Panel1->toolTip(), QString::fromUtf8("クリックすると色を変更できます"));

    // Three columns of two: each column holds an upper and a lower position.
    const auto &items = form.RadioGroup1Items;
    EXPECT_EQ(items[0]->text(), QString::fromUtf8("左上"));
    EXPECT_EQ(items[0]->x(), items[1]->x());
    EXPECT_LT(items[0]->y(), items[1]->y());
    EXPECT_EQ(items[2]->y(), items[0]->y());
    EXPECT_LT(items[0]->x(), items[2]->x());
    EXPECT_LT(items[2]->x(), items[4]->x());
    EXPECT_EQ(items[5]->text(), QString::fromUtf8("右下"));
    EXPECT_EQ(items[5]->y(), items[1]->y());
}

TEST_F(PrintDialog, PositionCaptionsAndTheFaceNameShowWhole)
{
    RegisterFontSubstitutions(); // as the program starts: its faces, not the fallback
    TForm4 shown(run);
    // Each caption with its circle fits its button, and no button reaches the next column's.
    const auto &items = shown.RadioGroup1Items;
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_LE(items[i]->sizeHint().width(), items[i]->width()) << items[i]->text().toStdString();
        EXPECT_LT(items[i]->geometry().right(), i + 2 < items.size() ? items[i + 2]->x() : shown.RadioGroup1->width());
    }
    // The face as it is named, its full-width letters as wide as its kana, all in sight (the
    // field keeps its frame and two pixels each side).
    shown.FillFromPageSetup(run.pageSetup);
    EXPECT_EQ(shown.Edit11->text(), QString::fromUtf8("ＭＳ Ｐゴシック")); // the blank a plain one
    const QFontMetrics metrics(shown.Edit11->font());
    for (const QChar c : shown.Edit11->text())
        EXPECT_TRUE(c == QLatin1Char(' ') || metrics.horizontalAdvance(c) == metrics.horizontalAdvance(QChar(0x30B4)));
    const int frame = shown.Edit11->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, shown.Edit11);
    EXPECT_LE(metrics.horizontalAdvance(shown.Edit11->text()), shown.Edit11->width() - 2 * frame - 2 * 2);
}

// Each pair of arrows stands at the right of its field, the upper one raising it by 0.1 and the
// lower one lowering it, named after the field's label; no other field moves.
TEST_F(PrintDialog, EveryArrowMovesItsOwnFieldOneWay)
{
    struct Arrow {
        int number;
        const char *field;
        const char *name;
        int top; // inside the margins group
        const char *after; // from "10"
    };
    const Arrow arrows[] = {
        {9, "Edit5", "上マージン +", 24, "10.10"},  {10, "Edit5", "上マージン -", 34, "9.90"},
        {11, "Edit6", "下マージン +", 48, "10.10"}, {12, "Edit6", "下マージン -", 58, "9.90"},
        {13, "Edit7", "左マージン +", 72, "10.10"}, {14, "Edit7", "左マージン -", 82, "9.90"},
        {15, "Edit8", "右マージン +", 96, "10.10"}, {16, "Edit8", "右マージン -", 106, "9.90"},
        {17, "Edit9", "上下間隔 +", 128, "10.10"},  {18, "Edit9", "上下間隔 -", 138, "9.90"},
        {19, "Edit10", "左右間隔 +", 152, "10.10"}, {20, "Edit10", "左右間隔 -", 162, "9.90"},
    };
    const QList<QLineEdit *> fields = form.GroupBox1->findChildren<QLineEdit *>();
    ASSERT_EQ(fields.size(), 6);
    for (const Arrow &arrow : arrows) {
        SCOPED_TRACE(arrow.number);
        QToolButton *button = form.SpeedButton(arrow.number);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->accessibleName(), QString::fromUtf8(arrow.name));
        EXPECT_EQ(button->geometry(), QRect(104, arrow.top, 25, 10));
        EXPECT_EQ(button->focusPolicy(), Qt::NoFocus);
        for (QLineEdit *field : fields)
            field->setText(QStringLiteral("10"));
        button->click();
        for (QLineEdit *field : fields)
            EXPECT_EQ(field->text(), field->objectName() == QLatin1String(arrow.field) ? arrow.after : "10")
                << field->objectName().toStdString();
    }
    EXPECT_EQ(form.Edit5->accessibleName(), QString::fromUtf8("上マージン"));
    EXPECT_EQ(form.Edit10->accessibleName(), QString::fromUtf8("左右間隔"));
}

// Leaving a field, by its handler or by moving the focus, corrects it to its own side's limit:
// the unprintable mm of that side for a margin, 0 for a spacing.
TEST_F(PrintDialog, EveryFieldIsCorrectedToItsOwnLimitWhenLeft)
{
    PrinterMetrics &m = run.printerMetrics;
    m.topMM = 4.2336;
    m.bottomMM = 5.5;
    m.leftMM = 3.1;
    m.rightMM = 6.0;
    struct Exit {
        void (TForm4::*handler)();
        QLineEdit *TForm4::*field;
        const char *cleared; // what an empty field becomes
        const char *below;   // what "-2" becomes
    };
    const Exit exits[] = {
        {&TForm4::Edit5Exit, &TForm4::Edit5, "4.23", "4.23"},  {&TForm4::Edit6Exit, &TForm4::Edit6, "5.50", "5.50"},
        {&TForm4::Edit7Exit, &TForm4::Edit7, "3.10", "3.10"},  {&TForm4::Edit8Exit, &TForm4::Edit8, "6.00", "6.00"},
        {&TForm4::Edit9Exit, &TForm4::Edit9, "0", "0"},        {&TForm4::Edit10Exit, &TForm4::Edit10, "0", "0"},
    };
    for (const Exit &exit : exits) {
        QLineEdit *field = form.*exit.field;
        SCOPED_TRACE(field->objectName().toStdString());
        field->clear();
        (form.*exit.handler)();
        EXPECT_EQ(field->text(), exit.cleared);
        field->setText(QStringLiteral("-2"));
        leave(field);
        EXPECT_EQ(field->text(), exit.below);
        field->setText(QStringLiteral("7.5"));
        leave(field);
        EXPECT_EQ(field->text(), "7.5"); // above the limit: as typed
    }
    EXPECT_TRUE(fake.errors.isEmpty());
}

TEST_F(PrintDialog, StartsWithTheFormsValues)
{
    EXPECT_FALSE(form.CheckBox1->isChecked());
    EXPECT_FALSE(form.RadioGroup1->isEnabled());
    EXPECT_FALSE(form.CheckBox4->isEnabled());
    EXPECT_TRUE(form.RadioGroup1Items[1]->isChecked());
    EXPECT_TRUE(form.pagecurrent->isChecked());
    EXPECT_EQ(form.Edit1->text(), "1");
    EXPECT_FALSE(form.Edit1->isEnabled());
    EXPECT_EQ(form.Edit5->text(), "10");
}

TEST_F(PrintDialog, CaptionCheckBoxEnablesPositionAndExtension)
{
    form.CheckBox1->setChecked(true);
    EXPECT_TRUE(form.RadioGroup1->isEnabled());
    EXPECT_TRUE(form.CheckBox4->isEnabled());
    form.CheckBox1->setChecked(false);
    EXPECT_FALSE(form.RadioGroup1->isEnabled());
    EXPECT_FALSE(form.CheckBox4->isEnabled());
    EXPECT_TRUE(form.CheckBox3->isEnabled());
    EXPECT_TRUE(form.Button4->isEnabled());
    EXPECT_TRUE(form.Panel1->isEnabled());
}

TEST_F(PrintDialog, RangeButtonsEnableThePageField)
{
    form.pageset->click();
    EXPECT_TRUE(form.Edit1->isEnabled());
    form.pageall->click();
    EXPECT_FALSE(form.Edit1->isEnabled());
    EXPECT_EQ(form.values().range, PageRange::All);
}

TEST_F(PrintDialog, ArrowsAndExitsKeepTheFieldsValid)
{
    form.Edit5->setText(QStringLiteral("3.00"));
    form.SpeedButton(9)->click();
    EXPECT_EQ(form.Edit5->text(), "4.23");

    form.Edit10->setText(QStringLiteral("10"));
    form.SpeedButton(19)->click();
    EXPECT_EQ(form.Edit10->text(), "10.10");
    form.Edit9->setText(QStringLiteral("0.05"));
    form.SpeedButton(18)->click();
    EXPECT_EQ(form.Edit9->text(), "0.00");

    form.Edit5->setText(QStringLiteral("3"));
    leave(form.Edit5);
    EXPECT_EQ(form.Edit5->text(), "4.23");
    form.Edit5->setText(QStringLiteral("4.5"));
    leave(form.Edit5);
    EXPECT_EQ(form.Edit5->text(), "4.5");
    form.Edit5->clear();
    leave(form.Edit5);
    EXPECT_EQ(form.Edit5->text(), "4.23");
    form.Edit10->clear();
    leave(form.Edit10);
    EXPECT_EQ(form.Edit10->text(), "0");
    form.Edit10->setText(QStringLiteral("-2"));
    form.Edit10Exit();
    EXPECT_EQ(form.Edit10->text(), "0");
    EXPECT_TRUE(fake.errors.isEmpty());
}

TEST_F(PrintDialog, AnotherWindowComingToTheFrontIsNoExit)
{
    form.Edit5->setText(QStringLiteral("3"));
    leave(form.Edit5, Qt::ActiveWindowFocusReason);
    EXPECT_EQ(form.Edit5->text(), "3");
}

TEST_F(PrintDialog, AnArrowOnAnEmptyFieldShowsTheConversionError)
{
    form.Edit6->clear();
    form.SpeedButton(11)->click();
    EXPECT_EQ(form.Edit6->text(), "");
    ASSERT_EQ(fake.errors.size(), 1);
    form.Edit7->setText(QStringLiteral("abc"));
    leave(form.Edit7);
    EXPECT_EQ(form.Edit7->text(), "abc");
    EXPECT_EQ(fake.errors.size(), 2);
}

TEST_F(PrintDialog, CloseButtonsGiveTheirResults)
{
    form.Button5->click();
    EXPECT_EQ(form.result(), static_cast<int>(PrintDialogResult::Close));
    form.Button1->click();
    EXPECT_EQ(form.result(), static_cast<int>(PrintDialogResult::Print));
    form.reject(); // Esc and the close box
    EXPECT_EQ(form.result(), static_cast<int>(PrintDialogResult::Cancel));
}

TEST_F(PrintDialog, ACancelledPageRangeIsKeptForTheNextShowing)
{
    fillCells(1, {picture("a.png", Qt::red)});
    fake.onExec = [this](QDialog &) {
        form.pageset->click();
        form.Edit1->setText(QStringLiteral("2-3"));
        form.Edit5->setText(QStringLiteral("20"));
        return static_cast<int>(PrintDialogResult::Cancel);
    };
    EXPECT_EQ(Print1Click(nullptr, form, run), PrintDialogResult::Cancel);

    bool keptRange = false;
    QString top;
    fake.onExec = [&](QDialog &) {
        keptRange = form.pageset->isChecked() && form.Edit1->text() == "2-3" && form.Edit1->isEnabled();
        top = form.Edit5->text();
        return static_cast<int>(PrintDialogResult::Cancel);
    };
    Print1Click(nullptr, form, run);
    EXPECT_TRUE(keptRange);
    EXPECT_EQ(top, run.pageSetup.topText); // the other fields show the record again
    EXPECT_TRUE(printer.jobs.empty());
}

TEST_F(PrintDialog, AFontChosenThenCancelledKeepsOnlyItsColour)
{
    const FontSpec old = run.pageSetup.captionFont;
    FontSpec chosen;
    chosen.face = QStringLiteral("IPAPGothic");
    chosen.pointSize = 20;
    chosen.color = Qt::red;
    fake.fontToChoose = chosen;
    fake.onExec = [this](QDialog &) {
        form.Button4Click();
        EXPECT_EQ(form.Edit11->text(), "IPAPGothic");
        EXPECT_EQ(form.Label12->text(), "20");
        EXPECT_EQ(form.Panel1Color(), QColor(Qt::red));
        return static_cast<int>(PrintDialogResult::Cancel);
    };
    Print1Click(nullptr, form, run);
    EXPECT_EQ(run.pageSetup.captionFont.face, old.face);
    EXPECT_EQ(run.pageSetup.captionFont.pointSize, old.pointSize);
    EXPECT_EQ(run.pageSetup.captionFont.color, QColor(Qt::red));
    EXPECT_EQ(run.pageSetup.captionFontCopy, chosen);

    fake.fontToChoose.reset(); // the next font dialog is cancelled
    fake.onExec = [this, old](QDialog &) {
        EXPECT_EQ(form.Edit11->text(), run.pageSetup.captionFont.face);
        EXPECT_EQ(form.Label12->text(), QString::number(old.pointSize));
        form.Button4Click();
        return static_cast<int>(PrintDialogResult::Close);
    };
    Print1Click(nullptr, form, run);
    ASSERT_TRUE(fake.lastFontOffered.has_value());
    EXPECT_EQ(*fake.lastFontOffered, chosen); // starts from the font chosen last
    // Pressing the font button took the copy as the working font, which "終了" commits.
    EXPECT_EQ(run.pageSetup.captionFont, chosen);
}

TEST_F(PrintDialog, AFontChosenAndPrintedBecomesTheCaptionFont)
{
    FontSpec chosen;
    chosen.face = QStringLiteral("Noto Sans CJK JP");
    chosen.pointSize = 12;
    chosen.italic = true;
    fake.fontToChoose = chosen;
    fake.onExec = [this](QDialog &) {
        form.Button4Click();
        return static_cast<int>(PrintDialogResult::Print);
    };
    Print1Click(nullptr, form, run);
    EXPECT_EQ(run.pageSetup.captionFont, chosen);
    EXPECT_EQ(printer.jobs.size(), 1u); // the current page, empty as it is
}

TEST_F(PrintDialog, AColourFromTheSwatchCountsAtOnceWhateverTheResult)
{
    FontSpec copy = run.pageSetup.captionFontCopy;
    copy.face = QStringLiteral("IPAPGothic");
    run.pageSetup.captionFontCopy = copy;
    fake.colorToChoose = QColor(Qt::blue);
    fake.onExec = [this](QDialog &) {
        form.Panel1Click();
        EXPECT_EQ(form.Panel1Color(), QColor(Qt::blue));
        EXPECT_EQ(form.workingFont().color, QColor(Qt::blue));
        return static_cast<int>(PrintDialogResult::Cancel);
    };
    Print1Click(nullptr, form, run);
    copy.color = Qt::blue;
    EXPECT_EQ(run.pageSetup.captionFontCopy, copy);
    EXPECT_EQ(run.pageSetup.captionFont, copy); // the copy, whole

    fake.colorToChoose = QColor(Qt::green);
    form.Panel1Click();
    ASSERT_EQ(fake.colorsOffered.size(), 2u);
    EXPECT_EQ(fake.colorsOffered[0], QColor(Qt::black)); // black the first time
    EXPECT_EQ(fake.colorsOffered[1], QColor(Qt::blue));  // then where it ended
}

TEST_F(PrintDialog, FillingShowsTheRecord)
{
    PageSetup &s = run.pageSetup;
    s.captionOption = true;
    s.frameOption = true;
    s.captionPosition = CaptionPosition::TopRight;
    s.transparentCaptions = true;
    s.captionExtension = true;
    s.topText = QStringLiteral("7.77");
    s.horizontalSpacingText = QStringLiteral("3");
    s.captionFont.pointSize = 11;
    s.captionFontCopy.color = Qt::darkGreen;
    form.FillFromPageSetup(s);
    EXPECT_TRUE(form.RadioGroup1->isEnabled());
    EXPECT_EQ(form.Edit5->text(), "7.77");
    EXPECT_EQ(form.Edit10->text(), "3");
    EXPECT_EQ(form.Label12->text(), "11");
    EXPECT_EQ(form.Panel1Color(), QColor(Qt::darkGreen));
    const PrintDialogValues v = form.values();
    EXPECT_TRUE(v.captionOption);
    EXPECT_TRUE(v.frameOption);
    EXPECT_EQ(v.captionPosition, CaptionPosition::TopRight);
    EXPECT_TRUE(v.transparentCaptions);
    EXPECT_TRUE(v.captionExtension);
    EXPECT_EQ(v.workingFont, s.captionFont);
    EXPECT_EQ(v.topText, "7.77");
}

TEST_F(PrintDialog, TheMainWindowsFontCommandIsMirrored)
{
    FontSpec f;
    f.face = QStringLiteral("IPAPGothic");
    f.pointSize = 16;
    f.color = Qt::magenta;
    MirrorCaptionFont(form, f);
    EXPECT_EQ(form.Edit11->text(), "IPAPGothic");
    EXPECT_EQ(form.Label12->text(), "16");
    EXPECT_EQ(form.Panel1Color(), QColor(Qt::magenta));
}

TEST_F(PrintDialog, PrinterButtonRereadsTheMetricsButNotTheTexts)
{
    form.FillFromPageSetup(run.pageSetup);
    const QString top = form.Edit5->text();
    fake.onPrinterSetup = [](Printer &p) {
        static_cast<test::TestPrinter &>(p).setMetrics(400, 600, 440, 640, 20, 20, 100, 150, 100);
        return true;
    };
    form.Button3Click();
    EXPECT_EQ(run.printerMetrics.topDots, 20);
    EXPECT_DOUBLE_EQ(run.printerMetrics.topMM, 5.0);
    EXPECT_EQ(form.Edit5->text(), top);
    form.Edit5->setText(QStringLiteral("4"));
    leave(form.Edit5);
    EXPECT_EQ(form.Edit5->text(), "5.00"); // the new border applies from the next exit
}

TEST_F(PrintDialog, PrintingRestoresTheCursorAlsoWhenAPictureFails)
{
    fillCells(1, {brokenPicture("broken.png")});
    fake.onExec = [](QDialog &) { return static_cast<int>(PrintDialogResult::Print); };
    EXPECT_THROW(Print1Click(nullptr, form, run), Error);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(printer.abortedJobs, 1);
}

TEST_F(PrintDialog, CloseCommitsAndPrintsNothing)
{
    fillCells(1, {picture("a.png", Qt::red)});
    fake.onExec = [this](QDialog &) {
        form.CheckBox2->setChecked(true);
        form.Edit9->setText(QStringLiteral("5"));
        return static_cast<int>(PrintDialogResult::Close);
    };
    Print1Click(nullptr, form, run);
    EXPECT_TRUE(printer.jobs.empty());
    EXPECT_TRUE(run.pageSetup.frameOption);
    EXPECT_EQ(run.pageSetup.verticalSpacingText, "5");
    EXPECT_EQ(run.pageSetup.verticalSpacingDots, 20);
}

} // namespace
} // namespace quiltana
