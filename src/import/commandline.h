#pragma once

#include <QStringList>

namespace quiltana {

// The pictures of one folder as full paths (folder + "/" + entry name): its files whose
// extension is ".jpg", ".jpeg", ".bmp" or ".png" in any letter case, in the order the file
// system lists them (unsorted, hidden files included), without descending into subfolders. A
// subfolder is never a picture, whatever its name. A path that is not a readable folder gives
// an empty list. Shared by the command line and the drop of folders.
[[nodiscard]] QStringList PicturesInFolder(const QString &folder);

// Fills the document from the command line, from cell 0 on: every argument is read; a folder
// contributes PicturesInFolder(folder), anything else (a file of any extension, a path that
// does not exist) goes into the next cell unchanged. Orientation 0 everywhere. No cell past 999 is written: what does not fit is left out and counted. Sets
// the last filled cell by a scan of the table. Returns the number of paths left out (0
// normally), which the window reports to the user. Paths should already be absolute, made so
// against the directory the program was started in.
// The work copies are not made here: the caller makes them afterwards (MakeWorkCopies).
int FillDocumentFromArguments(const QStringList &arguments);

} // namespace quiltana
