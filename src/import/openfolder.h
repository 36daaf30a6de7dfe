#pragma once

#include <QString>
#include <QStringList>

namespace quiltana {

// Where the open dialog of "ファイル読み込み..." starts: in the folder the user last took
// pictures from in this run, so that loading one picture after another does not mean finding
// that folder again each time.
struct PictureFolderMemory {
    QString folder; // absolute; empty until a picture is opened, dropped or named at start-up
};

// The program-wide memory; a test resets it by assigning PictureFolderMemory{}.
[[nodiscard]] PictureFolderMemory &pictureFolderMemory();

// Notes where the pictures of `names` came from (files or folders, as they were dropped, named
// on the command line or chosen in the open dialog): the last name that exists decides, a
// folder being that folder and a file the folder that holds it. Names that do not exist
// change nothing.
void RememberPictureFolder(const QStringList &names);

// The first of `remembered`, `pictures` (the user's Pictures folder) that is an existing
// folder, else `home`. Never the program's folder or the current directory by itself: the
// open dialog would show the program's own files there.
[[nodiscard]] QString StartFolder(const QString &remembered, const QString &pictures, const QString &home);

// StartFolder from the memory, the Pictures folder of the desktop and the home folder.
[[nodiscard]] QString OpenDialogStartFolder();

} // namespace quiltana
