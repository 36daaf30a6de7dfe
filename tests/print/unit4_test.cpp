#include "Unit4.h"

#include "dialogcontrols.h"
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

#include <array>

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

    // The dialog's controls by their names.
    QLineEdit *edit(const char *name) const { return test::named<QLineEdit>(form, name); }
    QCheckBox *checkBox(const char *name) const { return test::named<QCheckBox>(form, name); }
    QRadioButton *radio(const char *name) const { return test::named<QRadioButton>(form, name); }
    QPushButton *button(const char *name) const { return test::named<QPushButton>(form, name); }
    QWidget *widget(const char *name) const { return test::named<QWidget>(form, name); }
    QToolButton *speedButton(int number) const
    {
        return test::named<QToolButton>(form, QStringLiteral("SpeedButton%1").arg(number));
    }

    ColourRecordingDialogs fake;
    TForm4 form{run};
};

// RadioGroup1's six positions, RadioGroup1Item0 .. RadioGroup1Item5.
std::array<QRadioButton *, 6> positionItems(const TForm4 &form)
{
    std::array<QRadioButton *, 6> items{};
    for (std::size_t i = 0; i < items.size(); ++i)
        items[i] = test::named<QRadioButton>(form, QStringLiteral("RadioGroup1Item%1").arg(i));
    return items;
}

TEST_F(PrintDialog, StandsAsTheFormLaysItOut)
{
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8("印刷"));
    EXPECT_EQ(form.size(), QSize(360, 318));
    const struct {
        const char *name;
        QRect geometry; // in its parent
    } places[] = {
        {"GroupBox1", {8, 8, 145, 185}},      {"GroupBox2", {8, 194, 145, 41}},   {"GroupBox3", {8, 240, 145, 73}},
        {"GroupBox4", {160, 8, 193, 233}},    {"RadioGroup1", {8, 64, 177, 73}},  {"Edit9", {64, 128, 41, 20}},
        {"SpeedButton17", {104, 128, 25, 10}}, {"SpeedButton18", {104, 138, 25, 10}},
        {"Button3", {168, 253, 75, 25}},      {"Button2", {280, 253, 75, 25}},    {"Button1", {168, 288, 75, 25}},
        {"Button5", {280, 288, 75, 25}},
    };
    for (const auto &place : places)
        EXPECT_EQ(widget(place.name)->geometry(), place.geometry) << place.name;
    EXPECT_TRUE(button("Button1")->isDefault());
    EXPECT_EQ(button("Button1")->text(), QString::fromUtf8("印刷実行"));
    EXPECT_EQ(button("Button5")->toolTip(), QString::fromUtf8("設定を保持して閉じます"));
    EXPECT_EQ(widget("Panel1")->toolTip(), QString::fromUtf8("クリックすると色を変更できます"));

    // Three columns of two: each column holds an upper and a lower position.
    const auto items = positionItems(form);
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
    const auto items = positionItems(shown);
    const int groupWidth = test::named<QGroupBox>(shown, "RadioGroup1")->width();
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_LE(items[i]->sizeHint().width(), items[i]->width()) << items[i]->text().toStdString();
        EXPECT_LT(items[i]->geometry().right(), i + 2 < items.size() ? items[i + 2]->x() : groupWidth);
    }
    // The face as it is named, its full-width letters as wide as its kana, all in sight (the
    // field keeps its frame and two pixels each side).
    shown.FillFromPageSetup(run.pageSetup);
    const QLineEdit *face = test::named<QLineEdit>(shown, "Edit11");
    EXPECT_EQ(face->text(), QString::fromUtf8("ＭＳ Ｐゴシック")); // the blank a plain one
    const QFontMetrics metrics(face->font());
    for (const QChar c : face->text())
        EXPECT_TRUE(c == QLatin1Char(' ') || metrics.horizontalAdvance(c) == metrics.horizontalAdvance(QChar(0x30B4)));
    const int frame = face->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, face);
    EXPECT_LE(metrics.horizontalAdvance(face->text()), face->width() - 2 * frame - 2 * 2);
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
    const QList<QLineEdit *> fields = widget("GroupBox1")->findChildren<QLineEdit *>();
    ASSERT_EQ(fields.size(), 6);
    for (const Arrow &arrow : arrows) {
        SCOPED_TRACE(arrow.number);
        QToolButton *button = speedButton(arrow.number);
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
    EXPECT_EQ(edit("Edit5")->accessibleName(), QString::fromUtf8("上マージン"));
    EXPECT_EQ(edit("Edit10")->accessibleName(), QString::fromUtf8("左右間隔"));
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
        const char *field;
        const char *cleared; // what an empty field becomes
        const char *below;   // what "-2" becomes
    };
    const Exit exits[] = {
        {&TForm4::Edit5Exit, "Edit5", "4.23", "4.23"},  {&TForm4::Edit6Exit, "Edit6", "5.50", "5.50"},
        {&TForm4::Edit7Exit, "Edit7", "3.10", "3.10"},  {&TForm4::Edit8Exit, "Edit8", "6.00", "6.00"},
        {&TForm4::Edit9Exit, "Edit9", "0", "0"},        {&TForm4::Edit10Exit, "Edit10", "0", "0"},
    };
    for (const Exit &exit : exits) {
        QLineEdit *field = edit(exit.field);
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
    EXPECT_FALSE(checkBox("CheckBox1")->isChecked());
    EXPECT_FALSE(widget("RadioGroup1")->isEnabled());
    EXPECT_FALSE(checkBox("CheckBox4")->isEnabled());
    EXPECT_TRUE(positionItems(form)[1]->isChecked());
    EXPECT_TRUE(radio("pagecurrent")->isChecked());
    EXPECT_EQ(edit("Edit1")->text(), "1");
    EXPECT_FALSE(edit("Edit1")->isEnabled());
    EXPECT_EQ(edit("Edit5")->text(), "10");
}

TEST_F(PrintDialog, CaptionCheckBoxEnablesPositionAndExtension)
{
    checkBox("CheckBox1")->setChecked(true);
    EXPECT_TRUE(widget("RadioGroup1")->isEnabled());
    EXPECT_TRUE(checkBox("CheckBox4")->isEnabled());
    checkBox("CheckBox1")->setChecked(false);
    EXPECT_FALSE(widget("RadioGroup1")->isEnabled());
    EXPECT_FALSE(checkBox("CheckBox4")->isEnabled());
    EXPECT_TRUE(checkBox("CheckBox3")->isEnabled());
    EXPECT_TRUE(button("Button4")->isEnabled());
    EXPECT_TRUE(widget("Panel1")->isEnabled());
}

TEST_F(PrintDialog, RangeButtonsEnableThePageField)
{
    radio("pageset")->click();
    EXPECT_TRUE(edit("Edit1")->isEnabled());
    radio("pageall")->click();
    EXPECT_FALSE(edit("Edit1")->isEnabled());
    EXPECT_EQ(form.values().range, PageRange::All);
}

// A text typed into a field, then an arrow pressed (a number), its exit handler run, or the focus
// moved away for `leaving`: what the field shows after, and whether an error box came up. Only a
// move inside the dialog leaves the field; another window coming to the front does not.
TEST_F(PrintDialog, ArrowsAndExitsKeepTheFieldsValid)
{
    const struct {
        const char *field;
        const char *typed;
        int arrow;
        void (TForm4::*exit)();
        Qt::FocusReason leaving;
        const char *after;
        bool error;
    } steps[] = {
        {"Edit5", "3.00", 9, nullptr, Qt::TabFocusReason, "4.23", false},
        {"Edit10", "10", 19, nullptr, Qt::TabFocusReason, "10.10", false},
        {"Edit9", "0.05", 18, nullptr, Qt::TabFocusReason, "0.00", false},
        {"Edit5", "3", 0, nullptr, Qt::TabFocusReason, "4.23", false},
        {"Edit5", "4.5", 0, nullptr, Qt::TabFocusReason, "4.5", false},
        {"Edit5", "", 0, nullptr, Qt::TabFocusReason, "4.23", false},
        {"Edit10", "", 0, nullptr, Qt::TabFocusReason, "0", false},
        {"Edit10", "-2", 0, &TForm4::Edit10Exit, Qt::TabFocusReason, "0", false},
        {"Edit5", "3", 0, nullptr, Qt::ActiveWindowFocusReason, "3", false},
        // An arrow on an empty field and a field that is no number show the conversion error.
        {"Edit6", "", 11, nullptr, Qt::TabFocusReason, "", true},
        {"Edit7", "abc", 0, nullptr, Qt::TabFocusReason, "abc", true},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(std::string(step.field) + " \"" + step.typed + "\"");
        QLineEdit *field = edit(step.field);
        field->setText(QString::fromUtf8(step.typed));
        const qsizetype errorsBefore = fake.errors.size();
        if (step.arrow)
            speedButton(step.arrow)->click();
        else if (step.exit)
            (form.*step.exit)();
        else
            leave(field, step.leaving);
        EXPECT_EQ(field->text(), step.after);
        EXPECT_EQ(fake.errors.size() - errorsBefore, step.error ? 1 : 0);
    }
}

TEST_F(PrintDialog, CloseButtonsGiveTheirResults)
{
    button("Button5")->click();
    EXPECT_EQ(form.result(), static_cast<int>(PrintDialogResult::Close));
    button("Button1")->click();
    EXPECT_EQ(form.result(), static_cast<int>(PrintDialogResult::Print));
    form.reject(); // Esc and the close box
    EXPECT_EQ(form.result(), static_cast<int>(PrintDialogResult::Cancel));
}

TEST_F(PrintDialog, ACancelledPageRangeIsKeptForTheNextShowing)
{
    fillCells(1, {picture("a.png", Qt::red)});
    fake.onExec = [this](QDialog &) {
        radio("pageset")->click();
        edit("Edit1")->setText(QStringLiteral("2-3"));
        edit("Edit5")->setText(QStringLiteral("20"));
        return static_cast<int>(PrintDialogResult::Cancel);
    };
    EXPECT_EQ(Print1Click(nullptr, form, run), PrintDialogResult::Cancel);

    bool keptRange = false;
    QString top;
    fake.onExec = [&](QDialog &) {
        keptRange = radio("pageset")->isChecked() && edit("Edit1")->text() == "2-3" && edit("Edit1")->isEnabled();
        top = edit("Edit5")->text();
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
        EXPECT_EQ(edit("Edit11")->text(), "IPAPGothic");
        EXPECT_EQ(test::named<QLabel>(form, "Label12")->text(), "20");
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
        EXPECT_EQ(edit("Edit11")->text(), run.pageSetup.captionFont.face);
        EXPECT_EQ(test::named<QLabel>(form, "Label12")->text(), QString::number(old.pointSize));
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
    EXPECT_TRUE(widget("RadioGroup1")->isEnabled());
    EXPECT_EQ(edit("Edit5")->text(), "7.77");
    EXPECT_EQ(edit("Edit10")->text(), "3");
    EXPECT_EQ(test::named<QLabel>(form, "Label12")->text(), "11");
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
    EXPECT_EQ(edit("Edit11")->text(), "IPAPGothic");
    EXPECT_EQ(test::named<QLabel>(form, "Label12")->text(), "16");
    EXPECT_EQ(form.Panel1Color(), QColor(Qt::magenta));
}

TEST_F(PrintDialog, PrinterButtonRereadsTheMetricsButNotTheTexts)
{
    form.FillFromPageSetup(run.pageSetup);
    const QString top = edit("Edit5")->text();
    fake.onPrinterSetup = [](Printer &p) {
        static_cast<test::TestPrinter &>(p).setMetrics(400, 600, 440, 640, 20, 20, 100, 150, 100);
        return true;
    };
    form.Button3Click();
    EXPECT_EQ(run.printerMetrics.topDots, 20);
    EXPECT_DOUBLE_EQ(run.printerMetrics.topMM, 5.0);
    EXPECT_EQ(edit("Edit5")->text(), top);
    edit("Edit5")->setText(QStringLiteral("4"));
    leave(edit("Edit5"));
    EXPECT_EQ(edit("Edit5")->text(), "5.00"); // the new border applies from the next exit
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
        checkBox("CheckBox2")->setChecked(true);
        edit("Edit9")->setText(QStringLiteral("5"));
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
