#pragma once

#include "dialogs.h"

namespace quiltana {

// The dialogs of the running program: Qt's message boxes and common dialogs, and the
// program's own printer setup (PrinterSetupDialog).
class QtDialogs : public Dialogs {
public:
    bool askOkCancel(QWidget *parent, const QString &text, const QString &caption) override;
    void message(QWidget *parent, const QString &text, const QString &caption) override;
    using Dialogs::error;
    void error(QWidget *parent, const QString &text, const QString &details) override;
    std::optional<QString> openPicture(QWidget *parent, const QString &filter, const QString &startFolder) override;
    std::optional<FontSpec> chooseFont(QWidget *parent, const FontSpec &initial) override;
    std::optional<QColor> chooseColor(QWidget *parent, const QColor &initial) override;
    bool printerSetup(QWidget *parent, Printer &printer) override;
    int exec(QDialog &dialog) override;
};

} // namespace quiltana
