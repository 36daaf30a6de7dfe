#pragma once

#include <QString>

namespace quiltana {

// Everything after the last path separator ('/' and, on Windows, '\\' and a drive's ':').
[[nodiscard]] QString fileNamePart(const QString &path);

// The extension of the file-name part, from its last '.' on, dot included; "" when none.
[[nodiscard]] QString extensionOf(const QString &path);

// The kinds of picture the program reads, by extension without regard to case.
enum class PictureKind { None, Png, Bmp, Jpeg };

// ".png", ".bmp", ".jpg" and ".jpeg" (letter case ignored); anything else is None.
[[nodiscard]] PictureKind pictureKindOf(const QString &path);

// A name that import accepts as a picture: pictureKindOf(path) != None.
[[nodiscard]] inline bool isAcceptedPicture(const QString &path) { return pictureKindOf(path) != PictureKind::None; }

} // namespace quiltana
