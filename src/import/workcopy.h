#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>

#include "decodecost.h"
#include "runstate.h"
#include "workcopynames.h"
#include "workfolder.h"

namespace quiltana {

// Work copies are this many pixels high; their width follows the picture's aspect ratio.
inline constexpr int kWorkCopyHeight = 200;

// The work copy of one cell (0..999) of `doc`: the picture decoded, resampled to 200 pixels
// high and trunc(200 * w / h) wide (at least 1), saved as a 24-bit BMP in the work folder
// `work` under the name WorkCopyPathFor gives it, and its path stored as the cell's work path. Empty path or unsupported extension: nothing happens.
// Errors (unreadable picture, failed save) throw Error naming the picture file, and leave the
// cell without a work path, so that the preview never shows an older picture in its place.
// The file is written under a temporary name and renamed when complete.
// MakeWorkCopy(doc, work, cell) is CommitWorkCopy(doc, work, cell, PrepareWorkCopy(picture
// path of cell)).
void MakeWorkCopy(Document &doc, WorkFolder &work, int cell);

// MakeWorkCopy for every cell first..last (ascending; results and work paths as if done one by
// one in that order). A failing picture does not stop the others: its error text is collected
// and the list of texts is returned (empty when all succeeded).
// The pictures are decoded on QThread::idealThreadCount() threads at once; the work paths are
// set and the files written on the calling thread in cell order, so the results, the errors and
// which of two same-named copies is written last are those of converting one cell after another.
//
// `progress`, when given, is told on the calling thread after each cell of the run is done
// (converted, skipped or failed): `done` cells of `total` (the cells first..last within the
// table), so done runs 1, 2, ... total. It may let the window repaint, but must not touch the
// cell table. It changes nothing of the results.
using ConversionProgress = std::function<void(int done, int total)>;
QStringList MakeWorkCopies(Document &doc, WorkFolder &work, int first, int last,
                           const ConversionProgress &progress = {});
// The same on `workers` decoding threads; 1 or fewer decodes on the calling thread alone.
QStringList MakeWorkCopies(Document &doc, WorkFolder &work, int first, int last, int workers,
                           const ConversionProgress &progress = {});

// The conversion of one picture, split so that the decoding may run anywhere while the naming,
// the cell's work path and the file are written in cell order.
struct PreparedWorkCopy {
    enum class Outcome { Skip, Ready, Failed };
    Outcome outcome = Outcome::Skip; // Skip: empty path or not a picture kind the program reads
    QImage image;                    // Ready: the finished work copy image
    QString error;                   // Failed: the error's text
};

// Decodes and scales the picture file: touches no state of the run and never throws, so it may
// run on any thread.
[[nodiscard]] PreparedWorkCopy PrepareWorkCopy(const QString &picturePath);

// Saves the prepared image as the work copy of `cell` and stores its work path (Ready); throws
// Error with the prepared text (Failed) or when the file cannot be written, and then empties
// the cell's work path; does nothing for Skip or a cell outside 0..999. Must run on one thread,
// in cell order.
void CommitWorkCopy(Document &doc, WorkFolder &work, int cell, const PreparedWorkCopy &prepared);

} // namespace quiltana
