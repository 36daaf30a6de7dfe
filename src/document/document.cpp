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

Document &document()
{
    static Document instance;
    return instance;
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

void RefreshPageLists(Document &doc)
{
    doc.pageCount = pageCountFor(doc.lastFilledCell, doc.layoutStyle);
    for (int p = 0; p < doc.layoutStyle && p < kPagePositions; ++p) {
        const Cell &c = doc.cell(doc.absoluteCell(p));
        doc.page.workPath[static_cast<size_t>(p)] = c.workPath;
        doc.page.redraw[static_cast<size_t>(p)] = 1;
        doc.page.orientation[static_cast<size_t>(p)] = c.orientation;
    }
}

void ResetToFirstPageLists(Document &doc)
{
    doc.pageCount = pageCountFor(doc.lastFilledCell, doc.layoutStyle);
    doc.currentPage = 0;
    RefreshPageLists(doc);
}

void CopyPageWorkPaths(Document &doc)
{
    for (int p = 0; p < doc.layoutStyle && p < kPagePositions; ++p)
        doc.page.workPath[static_cast<size_t>(p)] = doc.cell(doc.absoluteCell(p)).workPath;
}

} // namespace quiltana
