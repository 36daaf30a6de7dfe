#pragma once

namespace quiltana {

struct Document;

// The commands of the preview's pop-up menu and the Edit menu, on the run's document `doc`.
//
// `position` is CellUnderMouse() of the last mouse position over the preview, a position on the
// current page; the cell it aims at is layout style x current page + position. Each command
// writes the cell table and the page lists and sets the redraw flags of the positions it
// changed; the window then runs RenderPage (which draws only the flagged positions) and paints
// the preview. None of them makes a work copy: a pasted cell's work path is the pasted picture
// file itself.
//
// A position whose cell lies past cell 999 (the tail of the last page when the layout style
// does not divide 1000), or a position outside the page, has no cell: every command aimed at
// it does nothing at all, copy buffer included, so that such positions always show empty.

// Which pop-up items are enabled when the pop-up opens over `position`. The other items
// (turns, load, turn all, cut all) are always enabled.
struct PopupItems {
    bool copyEnabled = false;     // Copy1: the position shows a picture
    bool pasteEnabled = false;    // Paste1: the copy buffer holds a path
    bool pasteAllEnabled = false; // pasteall: the position shows a picture
};
[[nodiscard]] PopupItems PopupState(Document &doc, int position);

// Turns the cell right (a quarter clockwise) or left; a cell that is turned either way becomes
// upright instead. Empty cells are turned too: a picture loaded later shows turned.
void TurnRight(Document &doc, int position);
void TurnLeft(Document &doc, int position);

// Every cell 0..999, filled or not: upright becomes turned right, turned either way becomes
// upright. Every position of the page is flagged for redraw.
void TurnAll(Document &doc);

// Cut: the copy buffer takes the cell's picture path and orientation, then the cell's picture
// and work path are emptied (orientation kept; the work copy file stays on disk). The last
// filled cell and the page count are not recomputed. An empty cell empties the buffer.
// Returns true when the command acted; the window then enables its Edit menu paste (Paste2).
bool Cut(Document &doc, int position);

// Copy: the copy buffer takes the cell's picture path and orientation; nothing is redrawn.
// Returns true when the command acted; the window then enables Paste2.
bool Copy(Document &doc, int position);

// Paste: the cell's picture path and work path become the buffer's path (an empty buffer
// empties the cell), its orientation the buffer's. Then the last filled cell is recounted by a
// scan and the page count recomputed; the current page stays. The window updates the page
// indicator and the page control's maximum. The buffer keeps its content.
void Paste(Document &doc, int position);

// "This picture into every cell of the page": the copy buffer takes the cell's picture path and
// orientation, then every cell of the current page gets them (positions past cell 999 are
// skipped). The last filled cell and the page count are not recomputed.
void PasteToAll(Document &doc, int position);

// Clears the document: every cell emptied and upright, last filled cell 0, then the page
// lists of the first page (page count 1, current page 0, every position flagged). The copy
// buffer and the work copy files stay. The window finishes ResetToFirstPage (page indicator,
// page control, render) and repaints.
void CutAll(Document &doc);

} // namespace quiltana
