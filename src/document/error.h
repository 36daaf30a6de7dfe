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

// Why a call on a file failed, for an errno value, in the words a user reads: "ディスクがいっぱいです"
// for ENOSPC, and so on for the common causes (no permission, a read-only file system, a quota,
// a missing folder ...); other values get the system's own text with their number. Used as the
// detail of FileErrorText.
[[nodiscard]] QString SystemErrorText(int errnum);

// A text that should have been a number ("abc", "") could not be converted.
class ConversionError : public Error {
public:
    explicit ConversionError(const QString &text);
};

} // namespace quiltana
