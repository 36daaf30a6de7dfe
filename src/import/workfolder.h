#pragma once

#include <QString>
#include <QStringList>

namespace quiltana {

// The work folder `folder` is the absolute path of the run's "temp" folder (WorkFolder::path).

// Creates `folder` when it is missing; throws Error("Cannot create temp directory.") when it
// cannot be created or is a symbolic link (never used through a link).
void EnsureWorkFolder(const QString &folder);

// Whether a file name has the form the program gives its work copies: a picture's name with
// its extension (.jpg, .jpeg, .png, .bmp, any case), an optional "~n", then ".bmp".
[[nodiscard]] bool IsWorkCopyName(const QString &fileName);

// The work copies in the work folder `folder` (file names), for the question at close: regular
// files with work-copy names only, never a link, and nothing when the folder itself is a link.
[[nodiscard]] QStringList WorkCopyFiles(const QString &folder);
// Deletes the files WorkCopyFiles(folder) lists, ignoring failures. A user's own files in the
// folder stay.
void DeleteWorkCopies(const QString &folder);

} // namespace quiltana
