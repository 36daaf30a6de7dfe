#include "printersetupdialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "dialogplacement.h"

namespace quiltana {

namespace {

QString millimetres(qreal value) { return QString::number(value, 'g', 5); }

// Room for the names in the lists without letting one long printer name widen the dialog.
constexpr int kListCharacters = 28;

} // namespace

QString paperLabel(const QPageSize &paper)
{
    QString name = paper.name();
    // Qt names the Japanese postcards in English.
    if (paper.id() == QPageSize::Postcard)
        name = QStringLiteral("はがき");
    else if (paper.id() == QPageSize::DoublePostcard)
        name = QStringLiteral("往復はがき");
    // The size follows in brackets of the name's own width, and the name's brackets are made
    // the same: full-width after a Japanese name, half-width otherwise. A half-width bracket
    // after Japanese letters would be drawn in the Japanese font, the closing one in the Latin
    // font, and the two would not match ("はがき（100 x 148 mm)").
    name = name.trimmed();
    const bool japanese = std::any_of(name.cbegin(), name.cend(), [](QChar c) {
        const QChar::Script script = c.script();
        return script == QChar::Script_Han || script == QChar::Script_Hiragana || script == QChar::Script_Katakana
               || (c.unicode() >= 0xFF01 && c.unicode() <= 0xFF60); // full-width forms
    });
    const QChar open = japanese ? QChar(0xFF08) : QLatin1Char('(');
    const QChar close = japanese ? QChar(0xFF09) : QLatin1Char(')');
    for (QChar &c : name) {
        if (c == QLatin1Char('(') || c == QChar(0xFF08))
            c = open;
        else if (c == QLatin1Char(')') || c == QChar(0xFF09))
            c = close;
    }
    const QSizeF mm = paper.size(QPageSize::Millimeter);
    return name + (japanese ? QString() : QStringLiteral(" ")) + open
           + QStringLiteral("%1 x %2 mm").arg(millimetres(mm.width()), millimetres(mm.height())) + close;
}

PrinterSetupDialog::PrinterSetupDialog(const Printer &printer, QWidget *parent)
    : QDialog(parent), printer_(printer)
{
    setWindowTitle(QStringLiteral("プリンタの設定"));
    const Printer::Setup current = printer.setup();

    auto *printerGroup = new QGroupBox(QStringLiteral("プリンタ"), this);
    PrinterBox = new QComboBox(printerGroup);
    PrinterBox->setObjectName(QStringLiteral("PrinterBox"));
    PrinterBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    PrinterBox->setMinimumContentsLength(kListCharacters);
    QStringList names = printer.installedPrinters();
    // The printer in use stays choosable even when the print system no longer lists it.
    if (!current.printerName.isEmpty() && !names.contains(current.printerName))
        names.prepend(current.printerName);
    for (const QString &name : names)
        PrinterBox->addItem(name, name);
    PrinterBox->addItem(QStringLiteral("PDF ファイル"), QString());
    PrinterBox->setCurrentIndex(PrinterBox->findData(current.printerName));

    FileEdit = new QLineEdit(QDir::toNativeSeparators(current.outputFile), printerGroup);
    FileEdit->setObjectName(QStringLiteral("FileEdit"));
    BrowseButton = new QPushButton(QStringLiteral("参照(&B)..."), printerGroup);
    BrowseButton->setObjectName(QStringLiteral("BrowseButton"));
    BrowseButton->setAutoDefault(false);
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(FileEdit, 1);
    fileRow->addWidget(BrowseButton);
    auto *printerForm = new QFormLayout(printerGroup);
    printerForm->addRow(QStringLiteral("プリンタ名(&N):"), PrinterBox);
    auto *fileLabel = new QLabel(QStringLiteral("出力ファイル(&F):"), printerGroup);
    fileLabel->setBuddy(FileEdit);
    printerForm->addRow(fileLabel, fileRow);

    auto *paperGroup = new QGroupBox(QStringLiteral("用紙"), this);
    PaperBox = new QComboBox(paperGroup);
    PaperBox->setObjectName(QStringLiteral("PaperBox"));
    PaperBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    PaperBox->setMinimumContentsLength(kListCharacters);
    auto *PortraitButton = new QRadioButton(QStringLiteral("縦(&O)"), paperGroup);
    PortraitButton->setObjectName(QStringLiteral("PortraitButton"));
    LandscapeButton = new QRadioButton(QStringLiteral("横(&A)"), paperGroup);
    LandscapeButton->setObjectName(QStringLiteral("LandscapeButton"));
    (current.orientation == Printer::Orientation::Landscape ? LandscapeButton : PortraitButton)->setChecked(true);
    auto *orientationRow = new QHBoxLayout;
    orientationRow->addWidget(PortraitButton);
    orientationRow->addWidget(LandscapeButton);
    orientationRow->addStretch(1);
    auto *paperForm = new QFormLayout(paperGroup);
    paperForm->addRow(QStringLiteral("用紙サイズ(&Z):"), PaperBox);
    paperForm->addRow(QStringLiteral("印刷の向き:"), orientationRow);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    OkButton = buttons->button(QDialogButtonBox::Ok);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    QPushButton *CancelButton = buttons->button(QDialogButtonBox::Cancel);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    OkButton->setText(QStringLiteral("OK"));
    CancelButton->setText(QStringLiteral("キャンセル"));
    OkButton->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(printerGroup);
    layout->addWidget(paperGroup);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    fillPapers(current.paper);
    printerChanged();
    connect(PrinterBox, &QComboBox::currentIndexChanged, this, &PrinterSetupDialog::printerChanged);
    connect(FileEdit, &QLineEdit::textChanged, this, &PrinterSetupDialog::updateOk);
    connect(BrowseButton, &QPushButton::clicked, this, &PrinterSetupDialog::browse);
    PrinterBox->setFocus();
}

QString PrinterSetupDialog::chosenPrinter() const { return PrinterBox->currentData().toString(); }

Printer::Setup PrinterSetupDialog::chosen() const
{
    Printer::Setup s = printer_.setup();
    s.printerName = chosenPrinter();
    if (s.printerName.isEmpty())
        s.outputFile = QDir::fromNativeSeparators(FileEdit->text().trimmed());
    const int paper = PaperBox->currentIndex();
    if (paper >= 0 && paper < papers_.size())
        s.paper = papers_[paper];
    s.orientation = LandscapeButton->isChecked() ? Printer::Orientation::Landscape : Printer::Orientation::Portrait;
    return s;
}

void PrinterSetupDialog::fillPapers(const QPageSize &keep)
{
    papers_ = printer_.paperSizes(chosenPrinter());
    const QSignalBlocker quiet(PaperBox);
    PaperBox->clear();
    for (const QPageSize &paper : papers_)
        PaperBox->addItem(paperLabel(paper));
    const auto find = [this](const QPageSize &wanted) {
        const auto it = std::find_if(papers_.begin(), papers_.end(),
                                     [&](const QPageSize &p) { return p.isEquivalentTo(wanted); });
        return it == papers_.end() ? -1 : static_cast<int>(it - papers_.begin());
    };
    int index = keep.isValid() ? find(keep) : -1;
    if (index < 0)
        index = find(QPageSize(QPageSize::A4));
    PaperBox->setCurrentIndex(index < 0 && !papers_.isEmpty() ? 0 : index);
}

void PrinterSetupDialog::printerChanged()
{
    const bool toFile = chosenPrinter().isEmpty();
    FileEdit->setEnabled(toFile);
    BrowseButton->setEnabled(toFile);
    const int paper = PaperBox->currentIndex();
    fillPapers(paper >= 0 && paper < papers_.size() ? papers_[paper] : QPageSize());
    updateOk();
}

void PrinterSetupDialog::browse()
{
    // The program never writes over a file (a taken name gets "-2", "-3" ...), so there is
    // nothing to confirm.
    const QString file = QFileDialog::getSaveFileName(
        this, QStringLiteral("出力ファイル"), QDir::fromNativeSeparators(FileEdit->text().trimmed()),
        QStringLiteral("PDF (*.pdf)"), nullptr, QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    if (!file.isEmpty())
        FileEdit->setText(QDir::toNativeSeparators(file));
}

void PrinterSetupDialog::updateOk()
{
    const bool fileMissing = chosenPrinter().isEmpty() && FileEdit->text().trimmed().isEmpty();
    OkButton->setEnabled(PaperBox->currentIndex() >= 0 && !fileMissing);
}

void PrinterSetupDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    keepOnScreen();
    // A window manager frames the dialog only after mapping it; check again with its frame.
    QTimer::singleShot(300, this, &PrinterSetupDialog::keepOnScreen);
}

void PrinterSetupDialog::keepOnScreen()
{
    const QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr;
    const QScreen *screen = owner ? owner->screen() : this->screen();
    if (!screen)
        return;
    QRect frame = frameGeometry();
    // Not framed yet: reckon with a frame like the owner's, which the same window manager drew.
    if (frame == geometry() && owner) {
        const QRect of = owner->frameGeometry();
        const QRect og = owner->geometry();
        frame.adjust(of.left() - og.left(), of.top() - og.top(), of.right() - og.right(), of.bottom() - og.bottom());
    }
    const QRect placed = placeWithin(frame, screen->availableGeometry());
    if (placed.topLeft() != frame.topLeft())
        move(pos() + (placed.topLeft() - frame.topLeft()));
}

} // namespace quiltana
