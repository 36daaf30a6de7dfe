#include "dropimport.h"

#include "commandline.h"
#include "document.h"
#include "error.h"
#include "paths.h"
#include "placer.h"
#include "workcopy.h"

#include <QFileInfo>

namespace quiltana {

namespace {

// The one picture of a single drop goes into the cell under the mouse.
void placeSingle(Document &doc, WorkFolder &work, const QString &name, int position, DropResult &result)
{
    if (!isAcceptedPicture(name))
        return;
    Cell *cell = position >= 0 && position < doc.layoutStyle ? doc.cellAt(doc.absoluteCell(position)) : nullptr;
    if (!cell) {
        ++result.leftOut; // a position past the last cell of the table
        return;
    }
    cell->picturePath = name;
    cell->orientation = Turn::Upright;
    const auto p = static_cast<size_t>(position);
    doc.page.workPath[p] = name;
    doc.page.orientation[p] = Turn::Upright;
    doc.page.redraw[p] = Redraw::Draw;
    result.mode = PlacementMode::Single;
    result.placed = 1;
    try {
        MakeWorkCopy(doc, work, doc.absoluteCell(position));
    } catch (const Error &e) {
        result.errors.append(e.message());
    }
}

} // namespace

DropResult DropFiles(Document &doc, WorkFolder &work, const QStringList &names, int cellUnderMouse,
                     const std::function<bool()> &askAppend, const QStringList &refused,
                     const ConversionProgress &progress)
{
    DropResult result;
    QStringList refusals = refused;
    const bool folderDrop = !names.isEmpty() && QFileInfo(names.first()).isDir();

    // A refused name still counts as dropped: two names of which one is refused are not a drop
    // of one picture onto the cell under the mouse. With nothing left to place, nothing is asked.
    if (names.isEmpty() || (names.size() + refused.size() <= 1 && !folderDrop)) {
        if (!names.isEmpty())
            placeSingle(doc, work, names.first(), cellUnderMouse, result);
    } else {
        int start = 0;
        const int lastFilled = doc.scanLastFilledCell();
        if (lastFilled != 0) {
            // Without anyone to ask, keep what is there: appending destroys nothing.
            if (!askAppend || askAppend()) {
                start = lastFilled + 1;
                result.mode = PlacementMode::Append;
            } else {
                EmptyDocument(doc);
            }
        }

        Placer placer(doc, start);
        // Every name is looked at, so that each picture that finds no cell is counted.
        for (const QString &name : names) {
            const bool isDir = QFileInfo(name).isDir();
            if (folderDrop) {
                if (isDir)
                    for (const QString &picture : PicturesInFolder(name, &refusals))
                        placer.place(picture);
            } else if (!isDir && isAcceptedPicture(name)) {
                placer.place(name);
            }
        }
        result.placed = placer.placed();
        result.leftOut = placer.leftOut();
    }

    const int lastFilled = doc.scanLastFilledCell();
    switch (result.mode) {
    case PlacementMode::Fresh:
        result.errors = MakeWorkCopies(doc, work, 0, lastFilled, progress);
        break;
    case PlacementMode::Append:
        // The drop filled exactly the cells just behind the old last filled cell.
        if (result.placed > 0)
            result.errors = MakeWorkCopies(doc, work, lastFilled - result.placed + 1, lastFilled, progress);
        break;
    case PlacementMode::Single:
        break;
    }
    doc.lastFilledCell = lastFilled;
    result.errors = refusals + result.errors;
    return result;
}

void LoadIntoCell(Document &doc, WorkFolder &work, int absoluteCell, int position, const QString &path)
{
    Cell *cell = doc.cellAt(absoluteCell);
    if (!cell)
        return;
    cell->picturePath = path;
    const bool onPage = position >= 0 && position < doc.layoutStyle && position < kPagePositions;
    if (onPage)
        doc.page.redraw[static_cast<size_t>(position)] = Redraw::Draw; // also after a failed conversion
    // The page shows what the cell holds, also after a failed conversion: then nothing rather
    // than the picture the cell held before.
    struct ShowCell {
        Document &doc;
        const Cell &cell;
        int position;
        bool onPage;
        ~ShowCell()
        {
            if (onPage)
                doc.page.workPath[static_cast<size_t>(position)] = cell.workPath;
        }
    } show{doc, *cell, position, onPage};
    MakeWorkCopy(doc, work, absoluteCell);
}

} // namespace quiltana
