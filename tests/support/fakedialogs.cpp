#include "fakedialogs.h"

#include <QDialog>

namespace quiltana::test {

FakeDialogs::FakeDialogs() { setDialogs(this); }

FakeDialogs::~FakeDialogs() { setDialogs(nullptr); }

bool FakeDialogs::askOkCancel(QWidget *, const QString &text, const QString &caption)
{
    questions.push_back({text, caption});
    if (okCancelAnswers.empty())
        return true;
    const bool answer = okCancelAnswers.front();
    okCancelAnswers.pop_front();
    return answer;
}

void FakeDialogs::message(QWidget *, const QString &text, const QString &caption)
{
    messages.push_back({text, caption});
}

void FakeDialogs::error(QWidget *, const QString &text, const QString &details)
{
    errors.append(text);
    errorDetails.append(details);
}

std::optional<QString> FakeDialogs::openPicture(QWidget *, const QString &, const QString &)
{
    return pictureToOpen;
}

std::optional<FontSpec> FakeDialogs::chooseFont(QWidget *, const FontSpec &initial)
{
    lastFontOffered = initial;
    return fontToChoose;
}

std::optional<QColor> FakeDialogs::chooseColor(QWidget *, const QColor &) { return colorToChoose; }

bool FakeDialogs::printerSetup(QWidget *, Printer &printer)
{
    return onPrinterSetup ? onPrinterSetup(printer) : false;
}

int FakeDialogs::exec(QDialog &dialog)
{
    ++execCount;
    if (!onExec)
        return 0;
    dialog.show();
    const int result = onExec(dialog);
    dialog.hide();
    return result;
}

} // namespace quiltana::test
