#pragma once

#include "dialogs.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>

namespace quiltana::test {

// Dialogs that a test answers: every box is recorded, question boxes take their answers from a
// script (OK when it runs out), the common dialogs return what the test put in. While alive it
// is the program's dialogs; its destructor restores Qt's.
class FakeDialogs : public Dialogs {
public:
    struct Box {
        QString text;
        QString caption;
    };

    FakeDialogs();
    ~FakeDialogs() override;
    FakeDialogs(const FakeDialogs &) = delete;
    FakeDialogs &operator=(const FakeDialogs &) = delete;

    bool askOkCancel(QWidget *parent, const QString &text, const QString &caption) override;
    void message(QWidget *parent, const QString &text, const QString &caption) override;
    using Dialogs::error;
    void error(QWidget *parent, const QString &text, const QString &details) override;
    std::optional<QString> openPicture(QWidget *parent, const QString &filter, const QString &startFolder) override;
    std::optional<FontSpec> chooseFont(QWidget *parent, const FontSpec &initial) override;
    std::optional<QColor> chooseColor(QWidget *parent, const QColor &initial) override;
    bool printerSetup(QWidget *parent, Printer &printer) override;
    int exec(QDialog &dialog) override;

    // Recorded boxes, in order.
    std::vector<Box> questions;
    std::vector<Box> messages;
    QStringList errors;
    QStringList errorDetails; // each error box's details, empty where it had none
    int execCount = 0;

    // Answers.
    std::deque<bool> okCancelAnswers;         // front first; OK when empty
    std::optional<QString> pictureToOpen;     // openPicture's answer
    std::optional<FontSpec> fontToChoose;     // chooseFont's answer
    std::optional<QColor> colorToChoose;      // chooseColor's answer
    std::optional<FontSpec> lastFontOffered;  // the initial font chooseFont was given
    // printerSetup: runs this on the printer (the user's changes) and returns its answer;
    // without one the setup is cancelled.
    std::function<bool(Printer &)> onPrinterSetup;
    // exec: runs this while the dialog is "open" and returns its result; without one, 0.
    std::function<int(QDialog &)> onExec;
};

} // namespace quiltana::test
