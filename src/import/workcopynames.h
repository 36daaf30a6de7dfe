#pragma once

#include <QString>

#include "runstate.h"

namespace quiltana {

// The work path of a picture file: the work folder + "/" + its file name + ".bmp" for the first
// picture file of that name in this run; a different picture file of the same name gets the
// work folder + "/" + name + "~2.bmp" (then ~3 ...), so that no two pictures share a work copy.
// The same picture file always gets the same path. A name too long for the file system is
// shortened to its beginning, "~", eight hexadecimal digits of its hash and its extension.
// The names handed out are kept in `work.names`.
[[nodiscard]] QString WorkCopyPathFor(WorkFolder &work, const QString &picturePath);

} // namespace quiltana
