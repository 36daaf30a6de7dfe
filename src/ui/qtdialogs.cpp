#include "qtdialogs.h"

#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFont>
#include <QFontDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QListView>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

#include "compose.h"
#include "dialogplacement.h"
#include "openfolder.h"
#include "picturepreview.h"
#include "printer.h"
#include "printersetupdialog.h"

namespace quiltana {

namespace {

QtDialogs &qtDialogs()
{
    static QtDialogs instance;
    return instance;
}

Dialogs *g_dialogs = nullptr;

// The font the chooser starts on: the face the captions are really printed in (a requested
// face such as "ＭＳ Ｐゴシック" exists here only as a substitution, which the chooser's
// list of installed faces does not hold), with the size and style of `spec`.
QFont offeredFont(const FontSpec &spec)
{
    QFont font(QFontInfo(CaptionFont(spec)).family());
    if (spec.pointSize > 0)
        font.setPointSize(spec.pointSize);
    font.setBold(spec.bold);
    font.setItalic(spec.italic);
    font.setUnderline(spec.underline);
    font.setStrikeOut(spec.strikeOut);
    return font;
}

// A message box that places itself once its size is known: centred on its parent window when
// that is on screen, otherwise (at start-up, before the main window shows) on the screen.
// Qt alone would centre it on a parent that is not shown yet, which has no place, and the box
// would open in the screen's corner.
class CentredMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

    int exec() override
    {
        // Without a window of its own on screen the box would open under the splash, which
        // stays on top of everything for its three seconds.
        if (!ownerOnScreen())
            setWindowFlag(Qt::WindowStaysOnTopHint);
        return QMessageBox::exec();
    }

protected:
    void showEvent(QShowEvent *event) override
    {
        QMessageBox::showEvent(event); // sizes the box to its text and buttons
        CentreDialog(*this, CentreOn::Owner);
    }

private:
    [[nodiscard]] const QWidget *ownerOnScreen() const
    {
        const QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr;
        return owner && owner->isVisible() ? owner : nullptr;
    }
};

// What the user made of `initial` in the chooser, which started on `offered` and ended on
// `chosen`: only what was changed is taken over, so that confirming without a change leaves
// the caption font (the requested face above all) exactly as it was.
FontSpec chosenFont(const FontSpec &initial, const QFont &offered, const QFont &chosen)
{
    FontSpec result = initial;
    if (chosen.family() != offered.family())
        result.face = chosen.family();
    if (chosen.pointSize() > 0 && chosen.pointSize() != offered.pointSize())
        result.pointSize = chosen.pointSize();
    // One entry of the style list sets both.
    if (chosen.bold() != offered.bold() || chosen.italic() != offered.italic()) {
        result.bold = chosen.bold();
        result.italic = chosen.italic();
    }
    if (chosen.underline() != offered.underline())
        result.underline = chosen.underline();
    if (chosen.strikeOut() != offered.strikeOut())
        result.strikeOut = chosen.strikeOut();
    return result;
}

// Qt's font chooser as one part of the caption font box. On its own it closes itself on
// Escape and on Enter in its lists; here those belong to the whole box: its ending is passed
// on to the box, and the keys it does not use itself go up to the box.
class EmbeddedFontChooser : public QFontDialog {
public:
    EmbeddedFontChooser(const QFont &initial, QDialog &box) : QFontDialog(initial, &box), box_(box)
    {
        setOptions(QFontDialog::NoButtons);
        setWindowFlags(Qt::Widget);
    }

    void done(int result) override { box_.done(result); }

protected:
    void keyPressEvent(QKeyEvent *event) override { QWidget::keyPressEvent(event); }

private:
    QDialog &box_;
};

// The open dialog's file list in detail: name, size, type and modification date. The size and
// the date are as wide as what they show, the name takes the rest. The type goes: the list
// holds only the picture kinds the filter names, each plain from its extension, and the type
// names come from the desktop's file type catalogue in the system's language, which need not be
// the program's.
void fitFileColumns(QTreeView &files)
{
    enum Column { Name, Size, Type, Date };
    QHeaderView *header = files.header();
    header->setStretchLastSection(false);
    header->setSectionHidden(Type, true);
    header->setSectionResizeMode(Name, QHeaderView::Stretch);
    header->setSectionResizeMode(Size, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(Date, QHeaderView::ResizeToContents);
}

// The places at the left of the open dialog as wide as their names ("コンピュータ"), the
// file list narrower by as much.
void fitPlaces(QFileDialog &dialog)
{
    auto *splitter = dialog.findChild<QSplitter *>(QStringLiteral("splitter"));
    auto *places = dialog.findChild<QListView *>(QStringLiteral("sidebar"));
    if (!splitter || !places || splitter->count() != 2 || splitter->widget(0) != places)
        return;
    // Before the dialog is shown the splitter has no width of its own yet: the file list is
    // given the dialog's, and the splitter shares out what it gets in these proportions.
    const int wanted = places->sizeHintForColumn(0) + 2 * places->frameWidth() + 4;
    const int list = std::max(splitter->sizes().at(1), dialog.width() - wanted);
    if (wanted > splitter->sizes().at(0) && wanted < list / 2)
        splitter->setSizes({wanted, list});
}

} // namespace

Dialogs &dialogs() { return g_dialogs ? *g_dialogs : qtDialogs(); }

void setDialogs(Dialogs *d) { g_dialogs = d; }

bool QtDialogs::askOkCancel(QWidget *parent, const QString &text, const QString &caption)
{
    CentredMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

void QtDialogs::message(QWidget *parent, const QString &text, const QString &caption)
{
    CentredMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

void QtDialogs::error(QWidget *parent, const QString &text, const QString &details)
{
    CentredMessageBox box(QMessageBox::Critical, QStringLiteral("Quiltana"), text, QMessageBox::Ok, parent);
    // The box breaks its lines between words, and a long path may hold none: a line that would
    // make the box wider than the screen (less its icon and margins) is shortened in its
    // middle, and the details then hold it whole.
    const QScreen *screen = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
    const int widest = screen ? std::max(200, screen->availableGeometry().width() - 200) : 600;
    const QFontMetrics metrics(box.font());
    QStringList lines = text.split(QLatin1Char('\n'));
    bool shortened = false;
    for (QString &line : lines) {
        if (metrics.horizontalAdvance(line) <= widest)
            continue;
        line = metrics.elidedText(line, Qt::ElideMiddle, widest);
        shortened = true;
    }
    if (shortened)
        box.setText(lines.join(QLatin1Char('\n')));
    if (!details.isEmpty())
        box.setDetailedText(details);
    else if (shortened)
        box.setDetailedText(text);
    box.exec();
}

std::optional<QString> QtDialogs::openPicture(QWidget *parent, const QString &filter, const QString &startFolder)
{
    // Qt's own dialog rather than the desktop's, so the chosen path comes back as typed,
    // without a portal's document copy standing in for the user's file, and so that the
    // preview can stand beside its file list.
    // The window starts it where the user last took pictures from (OpenDialogStartFolder),
    // never in the program's own folder.
    QFileDialog dialog(parent, QString(), startFolder, filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setViewMode(QFileDialog::Detail);
    if (auto *files = dialog.findChild<QTreeView *>(QStringLiteral("treeView")))
        fitFileColumns(*files);
    // The dialog's widgets stand in a grid; the preview takes a column of its own on the right.
    if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout())) {
        auto *preview = new PicturePreview(&dialog);
        grid->addWidget(preview, 0, grid->columnCount(), grid->rowCount(), 1, Qt::AlignTop);
        QObject::connect(&dialog, &QFileDialog::currentChanged, preview, &PicturePreview::showFile);
        dialog.resize(dialog.sizeHint().width() + PicturePreview::kSide, dialog.sizeHint().height());
    }
    fitPlaces(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty())
        return std::nullopt;
    return files.first();
}

std::optional<FontSpec> QtDialogs::chooseFont(QWidget *parent, const FontSpec &initial)
{
    // Qt's font dialog has no colour, which a caption font carries: the font dialog stands in
    // a box of our own with a colour button ("色...") beside OK and Cancel.
    QDialog box(parent);
    box.setWindowTitle(QStringLiteral("フォント"));
    auto *fonts = new EmbeddedFontChooser(offeredFont(initial), box);
    const QFont offered = fonts->currentFont();
    QColor colour = initial.color;
    auto *colourButton = new QPushButton(QStringLiteral("色..."), &box);
    colourButton->setAccessibleName(QStringLiteral("文字色"));
    const auto showColour = [colourButton, &colour] {
        QPixmap swatch(16, 16);
        swatch.fill(colour);
        colourButton->setIcon(QIcon(swatch));
    };
    showColour();
    QObject::connect(colourButton, &QPushButton::clicked, &box, [&] {
        const QColor chosen = QColorDialog::getColor(colour, &box);
        if (chosen.isValid()) {
            colour = chosen;
            showColour();
        }
    });
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &box);
    buttons->addButton(colourButton, QDialogButtonBox::ActionRole);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
    auto *layout = new QVBoxLayout(&box);
    layout->addWidget(fonts);
    layout->addWidget(buttons);
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;

    FontSpec result = chosenFont(initial, offered, fonts->currentFont());
    result.color = colour;
    return result;
}

std::optional<QColor> QtDialogs::chooseColor(QWidget *parent, const QColor &initial)
{
    const QColor chosen = QColorDialog::getColor(initial, parent);
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
}

bool QtDialogs::printerSetup(QWidget *parent, Printer &printer)
{
    PrinterSetupDialog dialog(printer, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    printer.applySetup(dialog.chosen());
    return true;
}

int QtDialogs::exec(QDialog &dialog) { return dialog.exec(); }

} // namespace quiltana
