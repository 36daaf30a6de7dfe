#pragma once

#include <QString>
#include <QStringList>

#include <functional>

#include "workcopy.h"

namespace quiltana {

// The question a drop asks when the document already holds pictures beyond the first cell.
inline constexpr const char *kAppendQuestion = "追加する場合はOKを、新規の場合はCancelを選択してください";
inline constexpr const char *kAppendQuestionCaption = "確認";

// Which cells a drop filled, and therefore which cells got their work copies:
// Fresh  - from cell 0 on (every cell 0..last filled cell was converted),
// Append - behind the last filled cell (exactly the cells of this drop were converted),
// Single - the one cell under the mouse (only that cell was converted).
enum class PlacementMode { Fresh, Append, Single };

struct DropResult {
    PlacementMode mode = PlacementMode::Fresh;
    int placed = 0;     // pictures placed into cells
    int leftOut = 0;    // pictures that did not fit below cell 1000 and were not placed
    QStringList errors; // refused names first, then the work copies that failed, in cell order
};

// The drop of files or folders on the main window, on the run's document `doc`; the work
// copies go into the work folder `work`.
//
// `names` are the dropped local paths in the order the drag delivered them; every one is looked
// at. `cellUnderMouse` is CellUnderMouse() of the last mouse position over the
// preview (a position on the current page). `askAppend` shows kAppendQuestion (caption
// kAppendQuestionCaption, OK and Cancel, OK the default) and returns true for OK; it is called
// only when the document holds a picture beyond cell 0; an empty function counts as OK.
// `refused` are the messages for dropped names that cannot be represented (NamesOfDroppedUrls);
// they take no cell but count as dropped names when telling one name from several, and they
// come first in `errors`.
//
// - One name that is not a folder: if it is a picture it goes into the cell under the mouse
//   with orientation 0 and gets its work copy (Single). Otherwise no cell changes and every
//   cell 0..last filled cell gets its work copy made again (Fresh).
// - Otherwise the first name of `names` decides: a folder means every name is taken as a
//   folder whose pictures (PicturesInFolder) are placed, a file means every name that is a
//   picture file is placed; names of the other kind are passed over. A folder's pictures whose
//   names cannot be represented are refused, their messages in `errors`. With pictures beyond
//   cell 0 the question is asked: OK appends behind the last filled cell, Cancel clears every
//   cell first and places from cell 0. Without, placing starts at cell 0 (the picture in
//   cell 0, if any, is replaced by the first one placed).
// - No cell past 999 is ever written: pictures that do not fit are counted in leftOut.
// - A picture that cannot be converted does not stop the drop: its cell keeps the picture
//   path, the other pictures are converted, and its error text is in `errors`.
// - An empty list (every name refused included) changes no cell and asks nothing; it only
//   redoes the work copies (Fresh).
// The last filled cell is stored in every case. The window then runs ResetToFirstPage (page
// count, page 1 rendered), repaints the preview, and afterwards tells the user how many
// pictures were left out and shows one error box listing `errors`. The copy buffer is not
// touched.
// `progress` is passed on to MakeWorkCopies for the conversions of a Fresh or Append drop.
DropResult DropFiles(Document &doc, WorkFolder &work, const QStringList &names, int cellUnderMouse,
                     const std::function<bool()> &askAppend, const QStringList &refused = {},
                     const ConversionProgress &progress = {});

// Loads the picture file `path`, chosen in the open dialog, into the cell `absoluteCell`, shown
// at `position` of the current page: the cell's picture path becomes `path` (its orientation
// stays, so a turned empty cell shows the picture turned), its work copy is made and the
// position's page work path and redraw flag are set. The last filled cell and the page count
// stay as they are. A cell past 999 is not touched. The window afterwards runs RenderPage and
// repaints. A picture that cannot be converted throws Error after the picture path has been set.
void LoadIntoCell(Document &doc, WorkFolder &work, int absoluteCell, int position, const QString &path);

} // namespace quiltana
