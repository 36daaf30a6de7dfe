#pragma once

#include <QString>

#include <stdexcept>

namespace quiltana {

// Every failure a command can meet (decoding, file access, number conversion, printing) is
// raised as an Error; the command's handler in the window layer shows its text in the error box.
class Error : public std::runtime_error {
public:
    explicit Error(const QString &message);
    [[nodiscard]] QString message() const { return message_; }

private:
    QString message_;
};

// The text of an error about one file, the only place where it is composed:
// "<file>: <reason>", and " (<detail>)" after it when there is a detail (what a library said,
// or the numbers behind the reason). The file comes first, with the platform's separators.
[[nodiscard]] QString FileErrorText(const QString &path, const QString &reason,
                                    const QString &detail = QString());

// A text that should have been a number ("abc", "") could not be converted.
class ConversionError : public Error {
public:
    explicit ConversionError(const QString &text);
};

} // namespace quiltana
