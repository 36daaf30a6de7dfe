#pragma once

#include <QString>
#include <QStringList>

namespace quiltana {

// The work folder, relative to the current directory.
inline constexpr const char *kWorkFolder = "./temp";

// Creates "./temp" when it is missing; throws Error("Cannot create temp directory.") when it
// cannot be created.
void EnsureWorkFolder();

// The work copy of one cell (0..999): the picture decoded, stretched nearest-neighbour to 200
// pixels high and trunc(200 * w / h) wide, saved as a 24-bit BMP under "./temp/", and its path
// stored as the cell's work path. Empty path or unsupported extension: nothing happens.
// Errors (unreadable picture, failed save) throw Error naming the file.
void MakeWorkCopy(int cell);

// MakeWorkCopy for every cell first..last (ascending; results and work paths as if done one by
// one in that order). A failing picture does not stop the others: its error text is collected
// and the list of texts is returned (empty when all succeeded).
QStringList MakeWorkCopies(int first, int last);

// The "*.bmp" files in the work folder (file names), for the question at close.
[[nodiscard]] QStringList WorkCopyFiles();
// Deletes every "*.bmp" in the work folder, ignoring failures.
void DeleteWorkCopies();

} // namespace quiltana
