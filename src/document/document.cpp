#include "document.h"

namespace quiltana {

const Cell &Document::cell(int absolute) const
{
    static const Cell empty{};
    if (absolute < 0 || absolute >= kCellCount)
        return empty;
    return cells[static_cast<size_t>(absolute)];
}

Cell *Document::cellAt(int absolute)
{
    if (absolute < 0 || absolute >= kCellCount)
        return nullptr;
    return &cells[static_cast<size_t>(absolute)];
}

int Document::scanLastFilledCell() const
{
    for (int c = kCellCount - 1; c >= 0; --c)
        if (!cells[static_cast<size_t>(c)].picturePath.isEmpty())
            return c;
    return 0;
}

int pageCountFor(int lastFilledCell, int layoutStyle)
{
    if (layoutStyle <= 0)
        return 1;
    const int n = lastFilledCell + 1;
    const int pages = n / layoutStyle + (n % layoutStyle != 0 ? 1 : 0);
    // The page controls rely on at least one page, even for a counter that went below 0.
    return pages < 1 ? 1 : pages;
}

QString pageIndicatorText(int currentPage, int pageCount)
{
    return QString::number(currentPage + 1) + QLatin1Char('/') + QString::number(pageCount);
}

void FillPageLists(Document &doc, int page, PageFill fill)
{
    for (int p = 0; p < doc.layoutStyle && p < kPagePositions; ++p) {
        // cell() reads positions past the end of the table as empty cells.
        const Cell &c = doc.cell(page * doc.layoutStyle + p);
        const auto at = static_cast<size_t>(p);
        doc.page.workPath[at] = fill == PageFill::Print ? c.picturePath : c.workPath;
        if (fill == PageFill::WorkPaths)
            continue;
        doc.page.orientation[at] = c.orientation;
        doc.page.redraw[at] = Redraw::Draw;
    }
}

void RefreshPageLists(Document &doc)
{
    doc.pageCount = pageCountFor(doc.lastFilledCell, doc.layoutStyle);
    FillPageLists(doc, doc.currentPage, PageFill::Preview);
}

void ResetToFirstPageLists(Document &doc)
{
    doc.pageCount = pageCountFor(doc.lastFilledCell, doc.layoutStyle);
    doc.currentPage = 0;
    RefreshPageLists(doc);
}

void CopyPageWorkPaths(Document &doc) { FillPageLists(doc, doc.currentPage, PageFill::WorkPaths); }

void EmptyDocument(Document &doc)
{
    for (Cell &cell : doc.cells)
        cell = Cell{};
    FillPageLists(doc, doc.currentPage, PageFill::Preview);
}

} // namespace quiltana
