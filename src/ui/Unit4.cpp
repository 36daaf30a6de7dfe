#include "Unit4.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFocusEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include <algorithm>

#include "dialogplacement.h"
#include "dialogs.h"
#include "handlerguard.h"
#include "pagesetup.h"
#include "printer.h"

namespace quiltana {

namespace {

constexpr int kClientWidth = 360;
constexpr int kClientHeight = 318;
constexpr int kEditHeight = 20;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;

struct FieldRow {
    PrintField field;
    const char *label;        // UTF-8
    int top;                  // inside the margins group
    void (TForm4::*exit)();   // the field's exit handler
};

// The six millimetre fields from top to bottom; SpeedButton9/10 belong to the first row,
// SpeedButton11/12 to the second, and so on.
constexpr std::array<FieldRow, 6> kFieldRows{{
    {PrintField::Top, "上マージン", 24, &TForm4::Edit5Exit},
    {PrintField::Bottom, "下マージン", 48, &TForm4::Edit6Exit},
    {PrintField::Left, "左マージン", 72, &TForm4::Edit7Exit},
    {PrintField::Right, "右マージン", 96, &TForm4::Edit8Exit},
    {PrintField::VerticalSpacing, "上下間隔", 128, &TForm4::Edit9Exit},
    {PrintField::HorizontalSpacing, "左右間隔", 152, &TForm4::Edit10Exit},
}};

constexpr int kFaceNamePixels = 11; // Edit11's letters

constexpr std::array<const char *, 6> kPositionCaptions{"左上", "左下", "中央上", "中央下", "右上", "右下"};

QString u8(const char *text) { return QString::fromUtf8(text); }

// `control` with its designer name as its object name.
template <typename T> T *named(T *control, const char *name)
{
    control->setObjectName(QLatin1String(name));
    return control;
}

} // namespace

TForm4::TForm4(RunState &run, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      run_(run)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(u8("印刷"));
    QFont f(u8("ＭＳ Ｐゴシック"));
    f.setPointSize(9);
    setFont(f);
    setFixedSize(kClientWidth, kClientHeight);

    buildMarginGroup();
    buildFrameAndRangeGroups();
    buildCaptionGroup();
    buildButtons();

    // Form resource defaults.
    CheckBox1Click();
    RadioGroup1Items[1]->setChecked(true);
    pagecurrent->setChecked(true);
    Edit1->setText(QStringLiteral("1"));
    pagecurrentClick();
}

TForm4::~TForm4() = default;

void TForm4::buildMarginGroup()
{
    auto *GroupBox1 = named(new QGroupBox(u8("マージン・間隔(mm)"), this), "GroupBox1");
    GroupBox1->setGeometry(8, 8, 145, 185);
    GroupBox1->setToolTip(u8("マージンの最小値はプリンタによって決まります"));

    std::array<QLineEdit **, 6> edits{&Edit5, &Edit6, &Edit7, &Edit8, &Edit9, &Edit10};
    for (std::size_t i = 0; i < kFieldRows.size(); ++i) {
        const FieldRow &row = kFieldRows[i];
        auto *label = new QLabel(u8(row.label), GroupBox1);
        label->setGeometry(8, row.top + 3, 56, 14);

        auto *edit = new QLineEdit(GroupBox1);
        edit->setObjectName(QStringLiteral("Edit%1").arg(5 + i));
        edit->setGeometry(64, row.top, 41, kEditHeight);
        edit->setText(QStringLiteral("10"));
        edit->setAccessibleName(u8(row.label));
        label->setBuddy(edit);
        edit->installEventFilter(this);
        *edits[i] = edit;

        for (const ArrowStep step : {ArrowStep::Raise, ArrowStep::Lower}) {
            const bool up = step == ArrowStep::Raise;
            const int number = 9 + 2 * static_cast<int>(i) + (up ? 0 : 1);
            auto *b = new QToolButton(GroupBox1);
            b->setObjectName(QStringLiteral("SpeedButton%1").arg(number));
            b->setGeometry(104, row.top + (up ? 0 : 10), 25, 10);
            b->setArrowType(up ? Qt::UpArrow : Qt::DownArrow);
            // Like the speed buttons they stand for, they never take the focus, so pressing
            // one does not run the field's exit first.
            b->setFocusPolicy(Qt::NoFocus);
            b->setAccessibleName(u8(row.label) + (up ? QStringLiteral(" +") : QStringLiteral(" -")));
            connect(b, &QToolButton::clicked, this, [this, field = row.field, step] { SpeedButtonClick(field, step); });
        }
    }

    auto *line = new QFrame(GroupBox1);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(8, 119, 129, 4);
}

void TForm4::buildFrameAndRangeGroups()
{
    auto *GroupBox2 = named(new QGroupBox(u8("枠の印刷"), this), "GroupBox2");
    GroupBox2->setGeometry(8, 194, 145, 41);
    GroupBox2->setToolTip(u8("カットするラインが印刷できます"));
    CheckBox2 = named(new QCheckBox(u8("枠を印刷する"), GroupBox2), "CheckBox2");
    CheckBox2->setGeometry(16, 18, 121, 17);
    CheckBox2->setToolTip(GroupBox2->toolTip());

    auto *GroupBox3 = named(new QGroupBox(u8("印刷範囲"), this), "GroupBox3");
    GroupBox3->setGeometry(8, 240, 145, 73);
    pagecurrent = named(new QRadioButton(u8("現在のページ"), GroupBox3), "pagecurrent");
    pagecurrent->setGeometry(8, 16, 129, 17);
    pageall = named(new QRadioButton(u8("すべてのページ"), GroupBox3), "pageall");
    pageall->setGeometry(8, 34, 129, 17);
    pageset = named(new QRadioButton(u8("ページ指定"), GroupBox3), "pageset");
    pageset->setGeometry(8, 52, 80, 17);
    Edit1 = named(new QLineEdit(GroupBox3), "Edit1");
    Edit1->setGeometry(88, 50, 49, kEditHeight);
    Edit1->setAccessibleName(u8("ページ番号"));
    Edit1->setToolTip(QStringLiteral("1,3,5-7"));
    connect(pagecurrent, &QRadioButton::clicked, this, &TForm4::pagecurrentClick);
    connect(pageall, &QRadioButton::clicked, this, &TForm4::pageallClick);
    connect(pageset, &QRadioButton::clicked, this, &TForm4::pagesetClick);
}

void TForm4::buildCaptionGroup()
{
    auto *GroupBox4 = named(new QGroupBox(u8("ファイル名印刷"), this), "GroupBox4");
    GroupBox4->setGeometry(160, 8, 193, 233);

    CheckBox1 = named(new QCheckBox(u8("ファイル名を印刷する"), GroupBox4), "CheckBox1");
    CheckBox1->setGeometry(8, 18, 177, 17);
    connect(CheckBox1, &QCheckBox::toggled, this, &TForm4::CheckBox1Click);
    CheckBox4 = named(new QCheckBox(u8("拡張子を印刷する"), GroupBox4), "CheckBox4");
    CheckBox4->setGeometry(24, 40, 161, 17);

    RadioGroup1 = named(new QGroupBox(u8("位置"), GroupBox4), "RadioGroup1");
    RadioGroup1->setGeometry(8, 64, 177, 73);
    positionButtons_ = new QButtonGroup(this);
    for (int i = 0; i < 6; ++i) {
        auto *item = new QRadioButton(u8(kPositionCaptions[static_cast<std::size_t>(i)]), RadioGroup1);
        item->setObjectName(QStringLiteral("RadioGroup1Item%1").arg(i));
        positionButtons_->addButton(item, i);
        RadioGroup1Items[static_cast<std::size_t>(i)] = item;
    }
    placePositionItems();

    auto *Button4 = named(new QPushButton(u8("フォント指定"), GroupBox4), "Button4");
    Button4->setGeometry(8, 144, kButtonWidth, kButtonHeight);
    connect(Button4, &QPushButton::clicked, this, &TForm4::Button4Click);
    Edit11 = named(new QLineEdit(GroupBox4), "Edit11");
    Edit11->setGeometry(88, 146, 97, kEditHeight);
    Edit11->setReadOnly(true);
    // The face's name as it is written: in the proportional gothic "ＭＳ Ｐゴシック" would read
    // as "MS Pゴシック", its full-width letters drawn narrow. A fixed-pitch gothic keeps them
    // full width, and at this size the name the captions start with fits the field.
    QFont fixed(u8("ＭＳ ゴシック"));
    fixed.setStyleHint(QFont::Monospace);
    fixed.setFixedPitch(true);
    fixed.setPixelSize(kFaceNamePixels);
    Edit11->setFont(fixed);
    Edit11->setAccessibleName(u8("フォント名"));

    auto *Label11 = named(new QLabel(u8("フォントサイズ"), GroupBox4), "Label11");
    Label11->setGeometry(8, 180, 70, 14);
    Label12 = named(new QLabel(GroupBox4), "Label12");
    Label12->setGeometry(80, 180, 22, 14);
    Label12->setAccessibleName(u8("フォントサイズ"));
    auto *Label13 = named(new QLabel(u8("文字色"), GroupBox4), "Label13");
    Label13->setGeometry(104, 180, 36, 14);
    Panel1 = named(new QFrame(GroupBox4), "Panel1");
    Panel1->setGeometry(144, 176, 41, 22);
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Sunken);
    Panel1->setAutoFillBackground(true);
    Panel1->setCursor(Qt::PointingHandCursor);
    Panel1->setToolTip(u8("クリックすると色を変更できます"));
    Panel1->setAccessibleName(u8("文字色"));
    Panel1->installEventFilter(this);
    setPanel1Color(lastChosenColor_);

    CheckBox3 = named(new QCheckBox(u8("背景を透過させる"), GroupBox4), "CheckBox3");
    CheckBox3->setGeometry(8, 208, 177, 17);
    CheckBox3->setToolTip(u8("ファイル名を白で透過させると見栄えが良いです"));
}

void TForm4::placePositionItems()
{
    // Three columns of two, the way the positions lie on a cell. Each column is as wide as its
    // longer caption with its circle, so that no caption runs into the next column's circle;
    // the room left over is shared out between the columns, the outer margins kept.
    constexpr int kMargin = 8;
    std::array<int, 3> widths{};
    for (std::size_t i = 0; i < RadioGroup1Items.size(); ++i)
        widths[i / 2] = std::max(widths[i / 2], RadioGroup1Items[i]->sizeHint().width());
    const int used = widths[0] + widths[1] + widths[2];
    const int room = RadioGroup1->width() - used;
    // Too little room for both margins: the columns take what there is, evenly spaced.
    const int margin = std::clamp(room / 4, 0, kMargin);
    const int gap = std::max(0, (room - 2 * margin) / 2);
    int x = margin;
    for (std::size_t column = 0; column < widths.size(); ++column) {
        for (std::size_t row = 0; row < 2; ++row)
            RadioGroup1Items[2 * column + row]->setGeometry(x, 20 + static_cast<int>(row) * 24, widths[column], 17);
        x += widths[column] + gap;
    }
}

void TForm4::buildButtons()
{
    auto *Button3 = named(new QPushButton(u8("プリンタ設定"), this), "Button3");
    Button3->setGeometry(168, 253, kButtonWidth, kButtonHeight);
    Button3->setToolTip(u8("プリンタの用紙設定などをしてください"));
    connect(Button3, &QPushButton::clicked, this, &TForm4::Button3Click);

    auto *Button2 = named(new QPushButton(u8("キャンセル"), this), "Button2");
    Button2->setGeometry(280, 253, kButtonWidth, kButtonHeight);
    Button2->setToolTip(u8("設定を保持せずに閉じます"));
    connect(Button2, &QPushButton::clicked, this, [this] { finish(PrintDialogResult::Cancel); });

    auto *Button1 = named(new QPushButton(u8("印刷実行"), this), "Button1");
    Button1->setGeometry(168, 288, kButtonWidth, kButtonHeight);
    Button1->setToolTip(u8("印刷を実行します"));
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, [this] { finish(PrintDialogResult::Print); });

    auto *Button5 = named(new QPushButton(u8("終了"), this), "Button5");
    Button5->setGeometry(280, 288, kButtonWidth, kButtonHeight);
    Button5->setToolTip(u8("設定を保持して閉じます"));
    connect(Button5, &QPushButton::clicked, this, [this] { finish(PrintDialogResult::Close); });
}

void TForm4::FillFromPageSetup(const PageSetup &setup)
{
    workingFont_ = setup.captionFont;
    setPanel1Color(setup.captionFontCopy.color);
    CheckBox1->setChecked(setup.captionOption); // runs CheckBox1Click when it changes
    CheckBox2->setChecked(setup.frameOption);
    Edit11->setText(setup.captionFont.face);
    Label12->setText(QString::number(setup.captionFont.pointSize));
    Edit5->setText(setup.topText);
    Edit6->setText(setup.bottomText);
    Edit7->setText(setup.leftText);
    Edit8->setText(setup.rightText);
    Edit9->setText(setup.verticalSpacingText);
    Edit10->setText(setup.horizontalSpacingText);
    CheckBox3->setChecked(setup.transparentCaptions);
    CheckBox4->setChecked(setup.captionExtension);
    if (isCaptionPosition(setup.captionPosition))
        RadioGroup1Items[static_cast<std::size_t>(setup.captionPosition)]->setChecked(true);
}

PrintDialogValues TForm4::values() const
{
    PrintDialogValues v;
    v.captionOption = CheckBox1->isChecked();
    v.captionExtension = CheckBox4->isChecked();
    v.captionPosition = static_cast<CaptionPosition>(radioGroup1Index());
    v.transparentCaptions = CheckBox3->isChecked();
    v.frameOption = CheckBox2->isChecked();
    v.workingFont = workingFont_;
    v.topText = Edit5->text();
    v.bottomText = Edit6->text();
    v.leftText = Edit7->text();
    v.rightText = Edit8->text();
    v.verticalSpacingText = Edit9->text();
    v.horizontalSpacingText = Edit10->text();
    // The three choices are tested in this order.
    v.range = pagecurrent->isChecked() ? PageRange::Current
              : pageall->isChecked()   ? PageRange::All
              : pageset->isChecked()   ? PageRange::List
                                       : PageRange::Current;
    v.pageList = Edit1->text();
    return v;
}

void TForm4::ShowCaptionFont(const FontSpec &font)
{
    Edit11->setText(font.face);
    Label12->setText(QString::number(font.pointSize));
    setPanel1Color(font.color);
}

QColor TForm4::Panel1Color() const { return Panel1->palette().color(QPalette::Window); }

QLineEdit *TForm4::fieldEdit(PrintField field) const
{
    switch (field) {
    case PrintField::Top:
        return Edit5;
    case PrintField::Bottom:
        return Edit6;
    case PrintField::Left:
        return Edit7;
    case PrintField::Right:
        return Edit8;
    case PrintField::VerticalSpacing:
        return Edit9;
    case PrintField::HorizontalSpacing:
        return Edit10;
    }
    return Edit5;
}

void TForm4::CheckBox1Click()
{
    const bool on = CheckBox1->isChecked();
    RadioGroup1->setEnabled(on);
    CheckBox4->setEnabled(on);
}

void TForm4::SpeedButtonClick(PrintField field, ArrowStep step)
{
    QLineEdit *edit = fieldEdit(field);
    const bool up = step == ArrowStep::Raise;
    guarded(this, [&] { edit->setText(ArrowStepText(edit->text(), field, up, run_.printerMetrics)); });
}

void TForm4::fieldExit(PrintField field)
{
    QLineEdit *edit = fieldEdit(field);
    guarded(this, [&] {
        const QString corrected = FieldExitText(edit->text(), field, run_.printerMetrics);
        if (corrected != edit->text())
            edit->setText(corrected);
    });
}

void TForm4::Edit5Exit() { fieldExit(PrintField::Top); }
void TForm4::Edit6Exit() { fieldExit(PrintField::Bottom); }
void TForm4::Edit7Exit() { fieldExit(PrintField::Left); }
void TForm4::Edit8Exit() { fieldExit(PrintField::Right); }
void TForm4::Edit9Exit() { fieldExit(PrintField::VerticalSpacing); }
void TForm4::Edit10Exit() { fieldExit(PrintField::HorizontalSpacing); }

void TForm4::Button3Click()
{
    guarded(this, [this] {
        if (dialogs().printerSetup(this, CurrentPrinter(run_)))
            ReadPrinterMetrics(run_.printerMetrics, CurrentPrinter(run_));
    });
}

void TForm4::Button4Click()
{
    guarded(this, [this] {
        PageSetup &setup = run_.pageSetup;
        workingFont_ = setup.captionFontCopy;
        const std::optional<FontSpec> chosen = dialogs().chooseFont(this, workingFont_);
        if (!chosen)
            return;
        // The face and size wait for the dialog's result; the colour counts at once.
        setup.captionFontCopy = *chosen;
        setup.captionFont.color = chosen->color;
        workingFont_ = *chosen;
        ShowCaptionFont(*chosen);
    });
}

void TForm4::Panel1Click()
{
    guarded(this, [this] {
        const std::optional<QColor> chosen = dialogs().chooseColor(this, lastChosenColor_);
        if (!chosen)
            return;
        lastChosenColor_ = *chosen;
        PageSetup &setup = run_.pageSetup;
        setup.captionFontCopy.color = *chosen;
        setup.captionFont = setup.captionFontCopy;
        workingFont_.color = *chosen;
        setPanel1Color(*chosen);
    });
}

void TForm4::pagesetClick() { Edit1->setEnabled(true); }
void TForm4::pagecurrentClick() { Edit1->setEnabled(false); }
void TForm4::pageallClick() { Edit1->setEnabled(false); }

bool TForm4::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut) {
        // Only a move of the focus inside the dialog leaves a field; another window coming to
        // the front (an error box, a menu) does not.
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            for (const FieldRow &row : kFieldRows)
                if (watched == fieldEdit(row.field))
                    (this->*row.exit)();
        }
    } else if (watched == Panel1 && event->type() == QEvent::MouseButtonRelease) {
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton
            && Panel1->rect().contains(static_cast<QMouseEvent *>(event)->position().toPoint()))
            Panel1Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TForm4::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    CentreDialog(*this, CentreOn::Screen);
}

void TForm4::reject() { finish(PrintDialogResult::Cancel); }

void TForm4::finish(PrintDialogResult result) { done(static_cast<int>(result)); }

void TForm4::setPanel1Color(const QColor &color)
{
    QPalette p = Panel1->palette();
    p.setColor(QPalette::Window, color);
    Panel1->setPalette(p);
}

int TForm4::radioGroup1Index() const
{
    const int id = positionButtons_->checkedId();
    return id < 0 ? 1 : id;
}

} // namespace quiltana
