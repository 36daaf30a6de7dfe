#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

namespace quiltana {

// The work folder, relative to the current directory.
inline constexpr const char *kWorkFolder = "./temp";

// Work copies are this many pixels high; their width follows the picture's aspect ratio.
inline constexpr int kWorkCopyHeight = 200;

// Creates "./temp" when it is missing; throws Error("Cannot create temp directory.") when it
// cannot be created.
void EnsureWorkFolder();

// The work copy of one cell (0..999): the picture decoded, stretched nearest-neighbour to 200
// pixels high and trunc(200 * w / h) wide (at least 1), saved as a 24-bit BMP under "./temp/", and its path
// stored as the cell's work path. Empty path or unsupported extension: nothing happens.
// Errors (unreadable picture, failed save) throw Error naming the file. A failed save happens
// after the work path was stored, so the cell then names a file that was not written.
// MakeWorkCopy(cell) is CommitWorkCopy(cell, PrepareWorkCopy(picture path of cell)).
void MakeWorkCopy(int cell);

// MakeWorkCopy for every cell first..last (ascending; results and work paths as if done one by
// one in that order). A failing picture does not stop the others: its error text is collected
// and the list of texts is returned (empty when all succeeded).
// The pictures are decoded on QThread::idealThreadCount() threads at once; the work paths are
// set and the files written on the calling thread in cell order, so the results, the errors and
// which of two same-named copies is written last are those of converting one cell after another.
QStringList MakeWorkCopies(int first, int last);
// The same on `workers` decoding threads; 1 or fewer decodes on the calling thread alone.
QStringList MakeWorkCopies(int first, int last, int workers);

// The conversion of one picture, split so that the decoding may run anywhere while the naming,
// the cell's work path and the file are written in cell order.
struct PreparedWorkCopy {
    enum class Outcome { Skip, Ready, Failed };
    Outcome outcome = Outcome::Skip; // Skip: empty path or not a picture kind the program reads
    QImage image;                    // Ready: the finished work copy image
    QString error;                   // Failed: the error's text
};

// Decodes and scales the picture file: touches no program state and never throws, so it may
// run on any thread.
[[nodiscard]] PreparedWorkCopy PrepareWorkCopy(const QString &picturePath);

// Stores the work path of `cell` and saves the prepared image there (Ready); throws Error with
// the prepared text (Failed) or when the file cannot be written; does nothing for Skip or a
// cell outside 0..999. Must run on one thread, in cell order.
void CommitWorkCopy(int cell, const PreparedWorkCopy &prepared);

// The work path of a picture file: "./temp/" + its file name + ".bmp" for the first picture file
// of that name in this run; a different picture file of the same name gets "./temp/" + name +
// "~2.bmp" (then ~3 ...), so that no two pictures share a work copy. The same picture file
// always gets the same path.
[[nodiscard]] QString WorkCopyPathFor(const QString &picturePath);

// Forgets every work path handed out by WorkCopyPathFor (a new run, or a test).
void ResetWorkCopyNames();

// The "*.bmp" files in the work folder (file names), for the question at close.
[[nodiscard]] QStringList WorkCopyFiles();
// Deletes every "*.bmp" in the work folder, ignoring failures.
void DeleteWorkCopies();

} // namespace quiltana
