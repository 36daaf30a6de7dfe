#pragma once

#include <QString>

namespace quiltana {

// The work path of a picture file: "./temp/" + its file name + ".bmp" for the first picture file
// of that name in this run; a different picture file of the same name gets "./temp/" + name +
// "~2.bmp" (then ~3 ...), so that no two pictures share a work copy. The same picture file
// always gets the same path. A name too long for the file system is shortened to its beginning,
// "~", eight hexadecimal digits of its hash and its extension.
[[nodiscard]] QString WorkCopyPathFor(const QString &picturePath);

// Forgets every work path handed out by WorkCopyPathFor (a new run, or a test).
void ResetWorkCopyNames();

} // namespace quiltana
