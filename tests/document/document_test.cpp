// The cell table, the page arithmetic and the page lists.
#include "document.h"
#include "layouts.h"
#include "runstate.h"

#include <gtest/gtest.h>

#include <memory>

namespace quiltana {
namespace {

// A Document is large (a thousand cells); keep test instances off the stack.
std::unique_ptr<Document> freshDocument() { return std::make_unique<Document>(); }

void fill(Document &doc, int absolute, const QString &name, Turn orientation = Turn::Upright)
{
    Cell *c = doc.cellAt(absolute);
    ASSERT_NE(c, nullptr);
    c->picturePath = QStringLiteral("/pictures/") + name;
    c->workPath = QStringLiteral("./temp/") + name + QStringLiteral(".bmp");
    c->orientation = orientation;
}

TEST(DocumentStart, CountersAgreeWithTheEmptyTableAndItsFirstPage)
{
    const auto doc = freshDocument();
    // An empty table in layout 1X2: no filled cell, one page, the first one shown.
    EXPECT_EQ(doc->layoutStyle, 2);
    EXPECT_EQ(doc->lastFilledCell, 0);
    EXPECT_EQ(doc->pageCount, 1);
    EXPECT_EQ(doc->currentPage, 0);
    ASSERT_NE(findLayout(doc->layoutStyle), nullptr);
    EXPECT_TRUE(doc->copyBuffer.path.isEmpty());

    doc->page.workPath.fill(QStringLiteral("stale"));
    RefreshPageLists(*doc);
    EXPECT_EQ(doc->pageCount, 1);
    EXPECT_EQ(pageIndicatorText(doc->currentPage, doc->pageCount), QStringLiteral("1/1"));
    for (int p = 0; p < doc->layoutStyle; ++p) {
        EXPECT_TRUE(doc->page.workPath[p].isEmpty()) << p;
        EXPECT_EQ(doc->page.orientation[p], Turn::Upright) << p;
        EXPECT_EQ(doc->page.redraw[p], Redraw::Draw) << p;
    }
    EXPECT_EQ(doc->page.workPath[doc->layoutStyle], QStringLiteral("stale"));
}

TEST(DocumentStart, EachRunHoldsItsOwnStateAndStartsAfresh)
{
    const auto run = std::make_unique<RunState>();
    const auto other = std::make_unique<RunState>();
    run->document.layoutStyle = 9;
    EXPECT_EQ(other->document.layoutStyle, 2);
    *run = RunState{};
    EXPECT_EQ(run->document.layoutStyle, 2);
    EXPECT_EQ(run->printer, nullptr);
    EXPECT_TRUE(run->workFolder.path.isEmpty());
    EXPECT_TRUE(run->workFolder.names.byPicture.isEmpty());
    EXPECT_TRUE(run->pictureFolder.folder.isEmpty());
}

TEST(PageCount, LastFilledCellDividedByTheLayoutStylePlusOne)
{
    const struct {
        const char *name;
        int lastFilledCell, layoutStyle, pages;
    } rows[] = {
        {"seven cells of four", 7, 4, 2},
        {"cell 8 opens a third page of four", 8, 4, 3},
        {"only cell 9 filled: the holes count", 9, 4, 3},
        {"last cell, 2X3", 999, 6, 167},
        {"last cell, 5X10", 999, 50, 20},
        {"last cell, 1X1", 999, 1, 1000},
        {"last cell, 3X3", 999, 9, 112},
        {"negative cell", -1, 4, 1},
        {"far negative cell", -9, 4, 1},
        {"no layout style", 5, 0, 1},
    };
    for (const auto &row : rows)
        EXPECT_EQ(pageCountFor(row.lastFilledCell, row.layoutStyle), row.pages) << row.name;
    for (const LayoutInfo &l : layoutTable())
        EXPECT_EQ(pageCountFor(0, l.style), 1) << "empty document, " << l.caption;
}

TEST(PageIndicator, CurrentPagePlusOneSlashCount)
{
    const struct {
        int currentPage, pageCount;
        const char *text;
    } rows[] = {{0, 1, "1/1"}, {0, 3, "1/3"}, {2, 3, "3/3"}, {166, 167, "167/167"}};
    for (const auto &row : rows)
        EXPECT_EQ(pageIndicatorText(row.currentPage, row.pageCount), QString::fromLatin1(row.text)) << row.text;
}

TEST(CellAccess, NumbersOutsideTheTableReadEmptyAndCannotBeWritten)
{
    auto doc = freshDocument();
    fill(*doc, 999, QStringLiteral("last.jpg"), Turn::Left);
    EXPECT_EQ(doc->cell(999).orientation, Turn::Left);
    for (int outside : {-1, 1000, 1001, 5000}) {
        EXPECT_TRUE(doc->cell(outside).picturePath.isEmpty()) << outside;
        EXPECT_TRUE(doc->cell(outside).workPath.isEmpty()) << outside;
        EXPECT_EQ(doc->cell(outside).orientation, Turn::Upright) << outside;
        EXPECT_EQ(doc->cellAt(outside), nullptr) << outside;
    }
    EXPECT_EQ(doc->cellAt(0), &doc->cells[0]);
    EXPECT_EQ(doc->cellAt(999), &doc->cells[999]);
}

TEST(CellAccess, AbsoluteNumberOfAPosition)
{
    auto doc = freshDocument();
    doc->layoutStyle = 6;
    doc->currentPage = 166;
    EXPECT_EQ(doc->absoluteCell(0), 996);
    EXPECT_EQ(doc->absoluteCell(5), 1001);
}

TEST(LastFilledCell, ScanFindsTheHighestPicturePath)
{
    auto doc = freshDocument();
    EXPECT_EQ(doc->scanLastFilledCell(), 0);
    fill(*doc, 3, QStringLiteral("a.jpg"));
    fill(*doc, 500, QStringLiteral("b.jpg"));
    EXPECT_EQ(doc->scanLastFilledCell(), 500);
    // Only the picture path marks a cell as filled, not the work path.
    doc->cells[700].workPath = QStringLiteral("./temp/stale.bmp");
    EXPECT_EQ(doc->scanLastFilledCell(), 500);
    doc->cells[800].picturePath = QStringLiteral("/pictures/c.png"); // work copy not made yet
    EXPECT_EQ(doc->scanLastFilledCell(), 800);
}

TEST(PageLists, RefreshCopiesTheCurrentPageAndMarksEveryPosition)
{
    auto doc = freshDocument();
    doc->layoutStyle = 4;
    for (int c = 0; c < 12; ++c)
        fill(*doc, c, QStringLiteral("p%1.jpg").arg(c), static_cast<Turn>(c % 3));
    doc->lastFilledCell = 11;
    doc->currentPage = 1;
    doc->pageCount = 99;
    doc->page.redraw.fill(Redraw::Done);
    doc->page.workPath[4] = QStringLiteral("untouched");

    RefreshPageLists(*doc);

    EXPECT_EQ(doc->pageCount, 3);
    EXPECT_EQ(doc->currentPage, 1);
    for (int p = 0; p < 4; ++p) {
        EXPECT_EQ(doc->page.workPath[p], doc->cells[4 + p].workPath) << p;
        EXPECT_EQ(doc->page.orientation[p], static_cast<Turn>((4 + p) % 3)) << p;
        EXPECT_EQ(doc->page.redraw[p], Redraw::Draw) << p;
    }
    // Positions beyond the layout style are left alone.
    EXPECT_EQ(doc->page.workPath[4], QStringLiteral("untouched"));
    EXPECT_EQ(doc->page.redraw[4], Redraw::Done);
}

TEST(PageLists, TailPastTheTableShowsEmptyCells)
{
    auto doc = freshDocument();
    doc->layoutStyle = 6;
    fill(*doc, 999, QStringLiteral("last.jpg"), Turn::Right);
    doc->lastFilledCell = 999;
    doc->currentPage = 166;
    // Stale values from an earlier page must not survive in the positions with no cell.
    for (int p = 0; p < 6; ++p) {
        doc->page.workPath[p] = QStringLiteral("stale");
        doc->page.orientation[p] = Turn::Left;
    }

    RefreshPageLists(*doc);

    EXPECT_EQ(doc->pageCount, 167);
    EXPECT_EQ(doc->page.workPath[3], doc->cells[999].workPath);
    EXPECT_EQ(doc->page.orientation[3], Turn::Right);
    for (int p : {4, 5}) {
        EXPECT_TRUE(doc->page.workPath[p].isEmpty()) << p;
        EXPECT_EQ(doc->page.orientation[p], Turn::Upright) << p;
        EXPECT_EQ(doc->page.redraw[p], Redraw::Draw) << p;
    }
    EXPECT_TRUE(doc->cell(doc->absoluteCell(4)).picturePath.isEmpty());
    EXPECT_EQ(doc->cellAt(doc->absoluteCell(5)), nullptr);
}

TEST(PageLists, LastPageOfFiftyCoversTheLastFiftyCells)
{
    auto doc = freshDocument();
    doc->layoutStyle = 50;
    fill(*doc, 950, QStringLiteral("first.jpg"));
    fill(*doc, 999, QStringLiteral("last.jpg"));
    doc->lastFilledCell = 999;
    doc->currentPage = 19;
    RefreshPageLists(*doc);
    EXPECT_EQ(doc->pageCount, 20);
    EXPECT_EQ(doc->page.workPath[0], doc->cells[950].workPath);
    EXPECT_EQ(doc->page.workPath[49], doc->cells[999].workPath);
}

TEST(PageLists, ResetGoesToTheFirstPageWithTheNewCount)
{
    auto doc = freshDocument();
    doc->layoutStyle = 2;
    for (int c = 0; c < 10; ++c)
        fill(*doc, c, QStringLiteral("p%1.jpg").arg(c));
    doc->lastFilledCell = 9;
    doc->currentPage = 4;
    RefreshPageLists(*doc);
    EXPECT_EQ(doc->page.workPath[0], doc->cells[8].workPath);

    doc->layoutStyle = 9; // as a layout command changes it
    doc->page.redraw.fill(Redraw::Done);
    ResetToFirstPageLists(*doc);

    EXPECT_EQ(doc->currentPage, 0);
    EXPECT_EQ(doc->pageCount, 2);
    EXPECT_EQ(pageIndicatorText(doc->currentPage, doc->pageCount), QStringLiteral("1/2"));
    for (int p = 0; p < 9; ++p) {
        EXPECT_EQ(doc->page.workPath[p], doc->cells[p].workPath) << p;
        EXPECT_EQ(doc->page.redraw[p], Redraw::Draw) << p;
    }
}

TEST(PageLists, CopyWorkPathsLeavesOrientationsAndFlags)
{
    auto doc = freshDocument();
    doc->layoutStyle = 4;
    doc->currentPage = 1;
    fill(*doc, 5, QStringLiteral("five.jpg"), Turn::Right);
    fill(*doc, 7, QStringLiteral("seven.jpg"), Turn::Left);
    doc->page.workPath.fill(QStringLiteral("old"));
    doc->page.orientation.fill(Turn::Upright);
    doc->page.redraw.fill(Redraw::Done);
    doc->page.redraw[1] = Redraw::Draw;

    CopyPageWorkPaths(*doc);

    EXPECT_TRUE(doc->page.workPath[0].isEmpty());
    EXPECT_EQ(doc->page.workPath[1], doc->cells[5].workPath);
    EXPECT_TRUE(doc->page.workPath[2].isEmpty());
    EXPECT_EQ(doc->page.workPath[3], doc->cells[7].workPath);
    EXPECT_EQ(doc->page.workPath[4], QStringLiteral("old")); // beyond the layout style
    EXPECT_EQ(doc->page.orientation[1], Turn::Upright);
    EXPECT_EQ(doc->page.orientation[3], Turn::Upright);
    EXPECT_EQ(doc->page.redraw[0], Redraw::Done);
    EXPECT_EQ(doc->page.redraw[1], Redraw::Draw);
}

TEST(PageLists, PrintFillTakesThePicturesAndWorkPathsFillLeavesTheRest)
{
    auto doc = freshDocument();
    doc->layoutStyle = 4;
    doc->currentPage = 0;
    fill(*doc, 9, QStringLiteral("nine.jpg"), Turn::Left);
    doc->page.workPath.fill(QStringLiteral("old"));
    doc->page.redraw.fill(Redraw::Done);

    FillPageLists(*doc, 2, PageFill::Print); // a page other than the current one
    EXPECT_EQ(doc->page.workPath[1], doc->cells[9].picturePath);
    EXPECT_EQ(doc->page.orientation[1], Turn::Left);
    EXPECT_TRUE(doc->page.workPath[0].isEmpty());
    for (int p = 0; p < 4; ++p)
        EXPECT_EQ(doc->page.redraw[p], Redraw::Draw) << p;
    EXPECT_EQ(doc->page.workPath[4], QStringLiteral("old"));
    EXPECT_EQ(doc->page.redraw[4], Redraw::Done);

    doc->page.redraw.fill(Redraw::Done);
    FillPageLists(*doc, 2, PageFill::WorkPaths);
    EXPECT_EQ(doc->page.workPath[1], doc->cells[9].workPath);
    EXPECT_EQ(doc->page.orientation[1], Turn::Left);
    EXPECT_EQ(doc->page.redraw[1], Redraw::Done);
}

TEST(EmptyDocument, EmptiesEveryCellAndShowsTheEmptyPageButLeavesTheCounters)
{
    auto doc = freshDocument();
    doc->layoutStyle = 4;
    for (int c : {0, 17, 999})
        fill(*doc, c, QStringLiteral("p%1.jpg").arg(c), Turn::Right);
    doc->lastFilledCell = 999;
    doc->pageCount = 250;
    doc->currentPage = 3;
    doc->copyBuffer.path = QStringLiteral("/pictures/kept.jpg");
    doc->page.workPath.fill(QStringLiteral("old"));
    doc->page.orientation.fill(Turn::Left);
    doc->page.redraw.fill(Redraw::Done);

    EmptyDocument(*doc);

    for (int c = 0; c < kCellCount; ++c) {
        ASSERT_TRUE(doc->cell(c).picturePath.isEmpty()) << c;
        ASSERT_TRUE(doc->cell(c).workPath.isEmpty()) << c;
        ASSERT_EQ(doc->cell(c).orientation, Turn::Upright) << c;
    }
    // Every position of the page is blank and drawn afresh; the ones beyond it stay.
    for (int p = 0; p < 4; ++p) {
        EXPECT_TRUE(doc->page.workPath[p].isEmpty()) << p;
        EXPECT_EQ(doc->page.orientation[p], Turn::Upright) << p;
        EXPECT_EQ(doc->page.redraw[p], Redraw::Draw) << p;
    }
    EXPECT_EQ(doc->page.workPath[4], QStringLiteral("old"));
    EXPECT_EQ(doc->page.redraw[4], Redraw::Done);
    EXPECT_EQ(doc->lastFilledCell, 999);
    EXPECT_EQ(doc->pageCount, 250);
    EXPECT_EQ(doc->currentPage, 3);
    EXPECT_EQ(doc->copyBuffer.path, QStringLiteral("/pictures/kept.jpg"));
}

} // namespace
} // namespace quiltana
