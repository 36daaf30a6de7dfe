#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace quiltana {

// File names as the operating system hands them over. On Linux a name is any sequence of
// bytes; the program holds names as text and converts them back with QFile::encodeName, so a
// name whose bytes are not valid in the system's file-name encoding (UTF-8) would come back
// with U+FFFD in place of the bad bytes and name a file that does not exist. Such names are
// refused where they enter the program instead of being placed and failing later.

// True when `raw` survives the trip to text and back unchanged (QFile::decodeName, then
// QFile::encodeName), so that the program can open the file by its text name.
[[nodiscard]] bool IsRepresentableName(const QByteArray &raw);

// `raw` as readable text for a message: valid UTF-8 as it is, every byte that is not part of
// a valid UTF-8 sequence and every control character as \xHH (upper-case hex).
[[nodiscard]] QString EscapedName(const QByteArray &raw);

// The message for a name that IsRepresentableName refuses; it shows the name escaped.
[[nodiscard]] QString UnrepresentableNameError(const QByteArray &raw);

// The local files of a drop, in the order given: `names` holds the usable paths (URLs that
// are not local files are passed over), `refused` the messages for the local files whose
// names cannot be represented, recovered from the bytes the URL encodes.
struct DroppedNames {
    QStringList names;
    QStringList refused;
};
[[nodiscard]] DroppedNames NamesOfDroppedUrls(const QList<QUrl> &urls);

} // namespace quiltana
