#pragma once

#include <QString>
#include <QStringList>

#include "runstate.h"

namespace quiltana {

// Notes in `memory` where the pictures of `names` came from (files or folders, as they were dropped, named
// on the command line or chosen in the open dialog): the last name that exists decides, a
// folder being that folder and a file the folder that holds it. Names that do not exist
// change nothing.
void RememberPictureFolder(PictureFolderMemory &memory, const QStringList &names);

// The first of `remembered`, `pictures` (the user's Pictures folder) that is an existing
// folder, else `home`. Never the program's folder or the current directory by itself: the
// open dialog would show the program's own files there.
[[nodiscard]] QString StartFolder(const QString &remembered, const QString &pictures, const QString &home);

// StartFolder from `memory`, the Pictures folder of the desktop and the home folder.
[[nodiscard]] QString OpenDialogStartFolder(const PictureFolderMemory &memory);

} // namespace quiltana
