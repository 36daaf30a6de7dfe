#pragma once

#include <QString>

#include <array>

namespace quiltana {

inline constexpr int kCellCount = 1000;   // cells in the table, absolute numbers 0..999
inline constexpr int kPagePositions = 100; // room in the page lists; at most 50 are used

// How a picture is turned on its cell. The values are the codes the cell commands have always
// used; any other value draws the picture upright.
enum class Turn : int {
    Upright = 0,
    Right = 1, // a quarter clockwise
    Left = 2,  // a quarter counter-clockwise
};

// A position's redraw flag in the page lists. Only Draw is drawn (and then set to Done); any
// other value is left alone by a composition.
enum class Redraw : int {
    Done = 0,
    Draw = 1, // draw at the next composition
};

// The picture held by one cell of the table.
struct Cell {
    QString picturePath; // the user's picture file; "" = empty cell
    QString workPath;    // what the preview draws, normally the work copy
    Turn orientation = Turn::Upright;
};

// The current page's working copies of its cells, indexed by position on the page.
struct PageLists {
    std::array<QString, kPagePositions> workPath{};
    std::array<Turn, kPagePositions> orientation{};
    std::array<Redraw, kPagePositions> redraw{};
};

struct CopyBuffer {
    QString path;
    Turn orientation = Turn::Upright;
};

// The document of a run (RunState). Plain data: a test starts from `Document{}`.
struct Document {
    std::array<Cell, kCellCount> cells{};
    int layoutStyle = 2;
    int lastFilledCell = 0;
    int currentPage = 0;
    int pageCount = 1;
    PageLists page{};
    CopyBuffer copyBuffer{};

    // Read access by absolute number: a number outside 0..999 (the tail of a last page whose
    // layout style does not divide 1000) reads as an empty cell.
    [[nodiscard]] const Cell &cell(int absolute) const;
    // Write access: nullptr outside 0..999, so callers can never write past the table.
    [[nodiscard]] Cell *cellAt(int absolute);
    // Absolute number of position `position` on the current page.
    [[nodiscard]] int absoluteCell(int position) const { return currentPage * layoutStyle + position; }
    // Highest cell 0..999 whose picture path is not empty, 0 when none is.
    [[nodiscard]] int scanLastFilledCell() const;
};

// Pages needed for `lastFilledCell` + 1 cells at `layoutStyle` cells per page (at least 1).
[[nodiscard]] int pageCountFor(int lastFilledCell, int layoutStyle);

// "current/count" as the page indicator shows it, e.g. page 0 of 3 -> "1/3".
[[nodiscard]] QString pageIndicatorText(int currentPage, int pageCount);

// What filling the page lists takes from each cell of a page.
enum class PageFill {
    Preview,   // the work path and the orientation; every position flagged for redraw
    Print,     // the picture path (not the work copy) and the orientation; every position flagged
    WorkPaths, // the work path only: orientations and redraw flags stay
};

// Fills positions 0 .. layoutStyle - 1 (at most kPagePositions) of the page lists from the
// cells of page `page` as `fill` says. Positions past cell 999 read as empty cells; positions
// beyond the layout style are left as they are.
void FillPageLists(Document &doc, int page, PageFill fill);

// The document half of RefreshPage: page count, then every position of the current page
// copied from the cell table (work path, orientation) with its redraw flag set.
void RefreshPageLists(Document &doc);

// The document half of ResetToFirstPage: page count, current page 0, then RefreshPageLists.
void ResetToFirstPageLists(Document &doc);

// Copies the work paths of the current page's cells into the page lists (orientations and
// redraw flags stay), as every render does before it composes.
void CopyPageWorkPaths(Document &doc);

// Empties every cell for a new document; the page lists then show the current page empty
// (work paths cleared, upright, every position flagged), so that the next composition draws
// every position afresh. The counters (last filled cell, page count, current page) are the
// caller's to set.
void EmptyDocument(Document &doc);

} // namespace quiltana
