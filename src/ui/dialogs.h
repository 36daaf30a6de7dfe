#pragma once

#include "pagesetup.h"

#include <QColor>
#include <QString>

#include <optional>

class QDialog;
class QWidget;

namespace quiltana {

class Printer;

// Every question box and dialog the windows show goes through here, so that tests can answer
// them. The real implementation (QtDialogs) uses Qt's message boxes and common dialogs.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A box with OK and Cancel, OK the default, no icon. True for OK; Esc and the close box
    // answer Cancel.
    virtual bool askOkCancel(QWidget *parent, const QString &text, const QString &caption) = 0;
    // A box with a text and an OK button.
    virtual void message(QWidget *parent, const QString &text, const QString &caption) = 0;
    // The error box, titled with the application title "Quiltana", showing the error's text;
    // `details`, when not empty, in a scrollable area the box opens on request.
    virtual void error(QWidget *parent, const QString &text, const QString &details) = 0;
    void error(QWidget *parent, const QString &text) { error(parent, text, QString()); }
    // The open-picture dialog (with a preview), starting in `startFolder`; the chosen file's
    // full path, or nothing.
    virtual std::optional<QString> openPicture(QWidget *parent, const QString &filter, const QString &startFolder) = 0;
    // Font dialog on `initial`, showing the face it is printed in; the chosen font with its
    // colour, or nothing when cancelled. What the user left alone stays as `initial` has it
    // (a face asked for by a substitute name keeps that name).
    virtual std::optional<FontSpec> chooseFont(QWidget *parent, const FontSpec &initial) = 0;
    // Colour dialog starting on `initial`; the chosen colour, or nothing.
    virtual std::optional<QColor> chooseColor(QWidget *parent, const QColor &initial) = 0;
    // Printer setup (printer, paper, orientation) on `printer`; true when confirmed, and then the
    // choice is in force. Throws Error when the printer refuses it, having changed nothing.
    virtual bool printerSetup(QWidget *parent, Printer &printer) = 0;
    // Shows one of the program's own modal dialogs (print dialog, About box) and returns its
    // result code.
    virtual int exec(QDialog &dialog) = 0;
};

// The dialogs in force; QtDialogs unless a test installed its own.
[[nodiscard]] Dialogs &dialogs();
void setDialogs(Dialogs *d); // nullptr restores the Qt dialogs

} // namespace quiltana
