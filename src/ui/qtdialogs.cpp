#include "qtdialogs.h"

#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFont>
#include <QFontDialog>
#include <QIcon>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

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

QFont toQFont(const FontSpec &spec)
{
    QFont font(spec.face);
    if (spec.pointSize > 0)
        font.setPointSize(spec.pointSize);
    font.setBold(spec.bold);
    font.setItalic(spec.italic);
    font.setUnderline(spec.underline);
    font.setStrikeOut(spec.strikeOut);
    return font;
}

} // namespace

Dialogs &dialogs() { return g_dialogs ? *g_dialogs : qtDialogs(); }

void setDialogs(Dialogs *d) { g_dialogs = d; }

bool QtDialogs::askOkCancel(QWidget *parent, const QString &text, const QString &caption)
{
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

void QtDialogs::message(QWidget *parent, const QString &text, const QString &caption)
{
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

void QtDialogs::error(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Quiltana"), text, QMessageBox::Ok, parent);
    box.exec();
}

std::optional<QString> QtDialogs::openPicture(QWidget *parent, const QString &filter)
{
    // Qt's own dialog rather than the desktop's, so the chosen path comes back as typed,
    // without a portal's document copy standing in for the user's file.
    const QString path = QFileDialog::getOpenFileName(parent, QString(), QString(), filter, nullptr,
                                                      QFileDialog::DontUseNativeDialog);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<FontSpec> QtDialogs::chooseFont(QWidget *parent, const FontSpec &initial)
{
    // Qt's font dialog has no colour, which a caption font carries: the font dialog stands in
    // a box of our own with a colour button ("色...") beside OK and Cancel.
    QDialog box(parent);
    box.setWindowTitle(QStringLiteral("フォント"));
    auto *fonts = new QFontDialog(toQFont(initial), &box);
    fonts->setOptions(QFontDialog::NoButtons);
    fonts->setWindowFlags(Qt::Widget);
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
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
    auto *layout = new QVBoxLayout(&box);
    layout->addWidget(fonts);
    layout->addWidget(buttons);
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;

    const QFont chosen = fonts->currentFont();
    FontSpec result = initial;
    result.face = chosen.family();
    result.pointSize = chosen.pointSize() > 0 ? chosen.pointSize() : initial.pointSize;
    result.color = colour;
    result.bold = chosen.bold();
    result.italic = chosen.italic();
    result.underline = chosen.underline();
    result.strikeOut = chosen.strikeOut();
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
