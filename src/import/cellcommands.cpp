#include "cellcommands.h"

#include "document.h"

namespace quiltana {

namespace {

// The cell aimed at by a position of the current page, or nullptr when there is none.
Cell *aimedCell(Document &doc, int position)
{
    if (position < 0 || position >= doc.layoutStyle || position >= kPagePositions)
        return nullptr;
    return doc.cellAt(doc.absoluteCell(position));
}

size_t at(int position) { return static_cast<size_t>(position); }

void turn(Document &doc, int position, Turn turned)
{
    Cell *cell = aimedCell(doc, position);
    if (!cell)
        return;
    // The page's copy decides, as it is what the preview shows.
    const Turn orientation = doc.page.orientation[at(position)] != Turn::Upright ? Turn::Upright : turned;
    doc.page.orientation[at(position)] = orientation;
    cell->orientation = orientation;
    doc.page.redraw[at(position)] = Redraw::Draw;
}

// "Turn all": an upright picture turns right, any turned one (left included) stands upright.
Turn turnedAll(Turn orientation) { return orientation == Turn::Upright ? Turn::Right : Turn::Upright; }

// The copy buffer takes the cell's picture and the orientation the page shows it with.
void fillCopyBuffer(Document &doc, const Cell &cell, int position)
{
    doc.copyBuffer.path = cell.picturePath;
    doc.copyBuffer.orientation = doc.page.orientation[at(position)];
}

// The copy buffer into one cell and its position on the page: both paths name the pasted
// file (no work copy is made), the orientation comes along, and the position is redrawn.
void pasteBuffer(Document &doc, Cell &cell, int position)
{
    const CopyBuffer &buffer = doc.copyBuffer;
    cell.picturePath = buffer.path;
    cell.workPath = buffer.path;
    cell.orientation = buffer.orientation;
    doc.page.workPath[at(position)] = buffer.path;
    doc.page.orientation[at(position)] = buffer.orientation;
    doc.page.redraw[at(position)] = Redraw::Draw;
}

} // namespace

PopupItems PopupState(Document &doc, int position)
{
    PopupItems items;
    if (!aimedCell(doc, position))
        return items;
    const bool showsPicture = !doc.page.workPath[at(position)].isEmpty();
    items.copyEnabled = showsPicture;
    items.pasteAllEnabled = showsPicture;
    items.pasteEnabled = !doc.copyBuffer.path.isEmpty();
    return items;
}

void TurnRight(Document &doc, int position) { turn(doc, position, Turn::Right); }

void TurnLeft(Document &doc, int position) { turn(doc, position, Turn::Left); }

void TurnAll(Document &doc)
{
    for (Cell &cell : doc.cells)
        cell.orientation = turnedAll(cell.orientation);
    for (int p = 0; p < doc.layoutStyle && p < kPagePositions; ++p) {
        // A position past the table keeps the upright of the empty cell it stands for.
        if (doc.cellAt(doc.absoluteCell(p)))
            doc.page.orientation[at(p)] = turnedAll(doc.page.orientation[at(p)]);
        doc.page.redraw[at(p)] = Redraw::Draw;
    }
}

bool Cut(Document &doc, int position)
{
    Cell *cell = aimedCell(doc, position);
    if (!cell)
        return false;
    fillCopyBuffer(doc, *cell, position);
    cell->picturePath.clear();
    cell->workPath.clear();
    doc.page.workPath[at(position)].clear();
    doc.page.redraw[at(position)] = Redraw::Draw;
    return true;
}

bool Copy(Document &doc, int position)
{
    const Cell *cell = aimedCell(doc, position);
    if (!cell)
        return false;
    fillCopyBuffer(doc, *cell, position);
    return true;
}

void Paste(Document &doc, int position)
{
    Cell *cell = aimedCell(doc, position);
    if (!cell)
        return;
    pasteBuffer(doc, *cell, position);
    doc.lastFilledCell = doc.scanLastFilledCell();
    doc.pageCount = pageCountFor(doc.lastFilledCell, doc.layoutStyle);
}

void PasteToAll(Document &doc, int position)
{
    const Cell *source = aimedCell(doc, position);
    if (!source)
        return;
    fillCopyBuffer(doc, *source, position);
    for (int p = 0; p < doc.layoutStyle && p < kPagePositions; ++p)
        if (Cell *cell = doc.cellAt(doc.absoluteCell(p)))
            pasteBuffer(doc, *cell, p);
}

void CutAll(Document &doc)
{
    EmptyDocument(doc);
    doc.lastFilledCell = 0;
    ResetToFirstPageLists(doc);
}

} // namespace quiltana
