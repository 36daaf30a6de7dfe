#include "qtdialogs.h"

#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QFont>
#include <QFontDialog>
#include <QMessageBox>
#include <QPrintDialog>

#include "printer.h"
#include "qtprinter.h"

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
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, toQFont(initial), parent);
    if (!ok)
        return std::nullopt;
    FontSpec result = initial; // Qt's font dialog has no colour: the colour stays
    result.face = chosen.family();
    result.pointSize = chosen.pointSize() > 0 ? chosen.pointSize() : initial.pointSize;
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
    auto *real = dynamic_cast<QtPrinter *>(&printer);
    if (!real || !real->printer())
        return false;
    // The print dialog chooses the printer (a PDF file counts as one), the paper and the
    // orientation; printing itself is started elsewhere.
    QPrintDialog dialog(real->printer(), parent);
    dialog.setWindowTitle(QStringLiteral("プリンタの設定"));
    dialog.setOptions(QAbstractPrintDialog::PrintToFile);
    dialog.setMinMax(1, 1);
    return dialog.exec() == QDialog::Accepted;
}

int QtDialogs::exec(QDialog &dialog) { return dialog.exec(); }

} // namespace quiltana
