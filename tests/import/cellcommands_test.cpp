#include "cellcommands.h"

#include "document.h"
#include "runstate.h"

#include <gtest/gtest.h>

namespace quiltana {
namespace {

// The cell commands touch neither files nor the work folder: paths here are only names.
class CellCommandsTest : public ::testing::Test {
protected:
    // Fills cells first..last with "/pictures/<n>.png" and shows page `page` of `style`.
    void makeDocument(int style, int first, int last, int page = 0)
    {
        Document &doc = run.document;
        doc.layoutStyle = style;
        for (int c = first; c <= last; ++c) {
            Cell &cell = doc.cells[static_cast<size_t>(c)];
            cell.picturePath = QStringLiteral("/pictures/%1.png").arg(c);
            cell.workPath = QStringLiteral("./temp/%1.png.bmp").arg(c);
        }
        doc.lastFilledCell = doc.scanLastFilledCell();
        doc.currentPage = page;
        RefreshPageLists(doc);
        clearRedrawFlags();
    }

    void clearRedrawFlags() { run.document.page.redraw.fill(Redraw::Done); }

    int redrawCount() const
    {
        int n = 0;
        for (const Redraw flag : run.document.page.redraw)
            n += flag == Redraw::Draw ? 1 : 0;
        return n;
    }

    RunState run;
};

TEST_F(CellCommandsTest, TurnsToggleBackToUpright)
{
    makeDocument(4, 0, 7, 1);
    Document &doc = run.document;

    TurnRight(run.document, 1);
    EXPECT_EQ(doc.cell(5).orientation, Turn::Right);
    EXPECT_EQ(doc.page.orientation[1], Turn::Right);
    EXPECT_EQ(doc.page.redraw[1], Redraw::Draw);
    EXPECT_EQ(redrawCount(), 1);

    TurnRight(run.document, 1);
    EXPECT_EQ(doc.cell(5).orientation, Turn::Upright); // upright, not upside down
    EXPECT_EQ(doc.page.orientation[1], Turn::Upright);

    TurnRight(run.document, 2);
    TurnLeft(run.document, 2);
    EXPECT_EQ(doc.cell(6).orientation, Turn::Upright);
    TurnLeft(run.document, 2);
    EXPECT_EQ(doc.cell(6).orientation, Turn::Left);
    EXPECT_EQ(doc.page.orientation[2], Turn::Left);
    EXPECT_EQ(doc.cell(2).orientation, Turn::Upright); // same position of another page
}

TEST_F(CellCommandsTest, TurnAllTogglesEveryCell)
{
    makeDocument(4, 0, 3);
    Document &doc = run.document;
    TurnRight(run.document, 1);
    TurnLeft(run.document, 2);
    doc.cells[500].orientation = Turn::Left; // a cell of another page
    clearRedrawFlags();

    TurnAll(run.document);

    EXPECT_EQ(doc.cell(0).orientation, Turn::Right);
    EXPECT_EQ(doc.cell(1).orientation, Turn::Upright);
    EXPECT_EQ(doc.cell(2).orientation, Turn::Upright);
    EXPECT_EQ(doc.cell(500).orientation, Turn::Upright);
    EXPECT_EQ(doc.cell(999).orientation, Turn::Right); // empty cells are turned as well
    EXPECT_EQ((std::array{doc.page.orientation[0], doc.page.orientation[1], doc.page.orientation[2],
                          doc.page.orientation[3]}),
              (std::array{Turn::Right, Turn::Upright, Turn::Upright, Turn::Right}));
    EXPECT_EQ(redrawCount(), 4);
}

TEST_F(CellCommandsTest, CopyBufferThroughCutCopyAndPaste)
{
    makeDocument(4, 0, 1);
    Document &doc = run.document;
    TurnLeft(run.document, 0);
    clearRedrawFlags();

    EXPECT_TRUE(Cut(run.document, 0));
    EXPECT_EQ(doc.copyBuffer.path, QStringLiteral("/pictures/0.png")); // the picture, not the work copy
    EXPECT_EQ(doc.copyBuffer.orientation, Turn::Left);
    EXPECT_TRUE(doc.cell(0).picturePath.isEmpty());
    EXPECT_TRUE(doc.cell(0).workPath.isEmpty());
    EXPECT_TRUE(doc.page.workPath[0].isEmpty());
    EXPECT_EQ(doc.cell(0).orientation, Turn::Left); // kept by the emptied cell
    EXPECT_EQ(doc.page.redraw[0], Redraw::Draw);
    EXPECT_EQ(doc.lastFilledCell, 1);

    clearRedrawFlags();
    Paste(run.document, 3);
    EXPECT_EQ(doc.cell(3).picturePath, QStringLiteral("/pictures/0.png"));
    EXPECT_EQ(doc.cell(3).workPath, QStringLiteral("/pictures/0.png"));
    EXPECT_EQ(doc.page.workPath[3], QStringLiteral("/pictures/0.png"));
    EXPECT_EQ(doc.cell(3).orientation, Turn::Left);
    EXPECT_EQ(doc.page.orientation[3], Turn::Left);
    EXPECT_EQ(doc.page.redraw[3], Redraw::Draw);
    EXPECT_EQ(redrawCount(), 1);
    EXPECT_EQ(doc.copyBuffer.path, QStringLiteral("/pictures/0.png")); // pasted again and again

    // Copying an empty cell empties the buffer; pasting it empties the target.
    TurnRight(run.document, 2);
    clearRedrawFlags();
    EXPECT_TRUE(Copy(run.document, 2));
    EXPECT_EQ(redrawCount(), 0);
    EXPECT_TRUE(doc.copyBuffer.path.isEmpty());
    EXPECT_EQ(doc.copyBuffer.orientation, Turn::Right);
    EXPECT_FALSE(PopupState(run.document, 1).pasteEnabled);
    Paste(run.document, 3);
    EXPECT_TRUE(doc.cell(3).picturePath.isEmpty());
    EXPECT_TRUE(doc.cell(3).workPath.isEmpty());
    EXPECT_EQ(doc.cell(3).orientation, Turn::Right);
    EXPECT_EQ(doc.lastFilledCell, 1);
}

TEST_F(CellCommandsTest, PopupFollowsTheShownPictureAndTheBuffer)
{
    makeDocument(2, 0, 0);
    PopupItems items = PopupState(run.document, 0);
    EXPECT_TRUE(items.copyEnabled);
    EXPECT_TRUE(items.pasteAllEnabled);
    EXPECT_FALSE(items.pasteEnabled);

    items = PopupState(run.document, 1);
    EXPECT_FALSE(items.copyEnabled);
    EXPECT_FALSE(items.pasteAllEnabled);

    ASSERT_TRUE(Copy(run.document, 0));
    EXPECT_TRUE(PopupState(run.document, 1).pasteEnabled);
}

TEST_F(CellCommandsTest, PasteBehindTheLastFilledCellRecounts)
{
    makeDocument(4, 0, 4, 1);
    Document &doc = run.document;
    ASSERT_EQ(doc.pageCount, 2);
    doc.copyBuffer = CopyBuffer{QStringLiteral("/pictures/new.png"), Turn::Upright};

    Paste(run.document, 3);

    EXPECT_EQ(doc.cell(7).picturePath, QStringLiteral("/pictures/new.png"));
    EXPECT_EQ(doc.lastFilledCell, 7);
    EXPECT_EQ(doc.pageCount, 2);
    EXPECT_EQ(doc.currentPage, 1);

    // Onto a third page the count grows, the page shown stays.
    doc.currentPage = 2;
    Paste(run.document, 0);
    EXPECT_EQ(doc.lastFilledCell, 8);
    EXPECT_EQ(doc.pageCount, 3);
    EXPECT_EQ(doc.currentPage, 2);
}

TEST_F(CellCommandsTest, PasteToAllFillsTheCurrentPageOnly)
{
    makeDocument(50, 0, 120, 1);
    Document &doc = run.document;
    TurnLeft(run.document, 10); // cell 60
    clearRedrawFlags();
    const int pages = doc.pageCount;

    PasteToAll(run.document, 10);

    EXPECT_EQ(doc.copyBuffer.path, QStringLiteral("/pictures/60.png"));
    EXPECT_EQ(doc.copyBuffer.orientation, Turn::Left);
    for (int p = 0; p < 50; ++p) {
        const Cell &cell = doc.cell(50 + p);
        ASSERT_EQ(cell.picturePath, QStringLiteral("/pictures/60.png")) << p;
        ASSERT_EQ(cell.workPath, QStringLiteral("/pictures/60.png")) << p;
        ASSERT_EQ(cell.orientation, Turn::Left) << p;
        ASSERT_EQ(doc.page.workPath[static_cast<size_t>(p)], QStringLiteral("/pictures/60.png")) << p;
        ASSERT_EQ(doc.page.orientation[static_cast<size_t>(p)], Turn::Left) << p;
    }
    EXPECT_EQ(redrawCount(), 50);
    EXPECT_EQ(doc.cell(49).picturePath, QStringLiteral("/pictures/49.png"));
    EXPECT_EQ(doc.cell(100).picturePath, QStringLiteral("/pictures/100.png"));
    EXPECT_EQ(doc.pageCount, pages);

    Paste(run.document, 0);
    EXPECT_EQ(doc.cell(50).picturePath, QStringLiteral("/pictures/60.png"));
}

TEST_F(CellCommandsTest, CutAllOnAThirdPage)
{
    makeDocument(4, 0, 19, 2);
    Document &doc = run.document;
    ASSERT_EQ(doc.pageCount, 5);
    TurnRight(run.document, 0);
    ASSERT_TRUE(Copy(run.document, 1));

    CutAll(run.document);

    EXPECT_EQ(doc.scanLastFilledCell(), 0);
    EXPECT_TRUE(doc.cell(0).picturePath.isEmpty());
    EXPECT_TRUE(doc.cell(9).workPath.isEmpty());
    EXPECT_EQ(doc.cell(8).orientation, Turn::Upright);
    EXPECT_EQ(doc.lastFilledCell, 0);
    EXPECT_EQ(doc.pageCount, 1);
    EXPECT_EQ(doc.currentPage, 0);
    EXPECT_EQ(pageIndicatorText(doc.currentPage, doc.pageCount), QStringLiteral("1/1"));
    EXPECT_EQ(redrawCount(), 4);
    EXPECT_TRUE(doc.page.workPath[1].isEmpty());

    // The buffer survives.
    Paste(run.document, 2);
    EXPECT_EQ(doc.cell(2).picturePath, QStringLiteral("/pictures/9.png"));
}

TEST_F(CellCommandsTest, PositionsPastTheTableDoNothing)
{
    // Layout 2X3, last page 166: cells 996..999, then positions 4 and 5 without a cell.
    makeDocument(6, 990, 999, 166);
    Document &doc = run.document;
    doc.copyBuffer = CopyBuffer{QStringLiteral("/pictures/buffer.png"), Turn::Right};

    TurnRight(run.document, 4);
    TurnLeft(run.document, 5);
    EXPECT_FALSE(Cut(run.document, 4));
    EXPECT_FALSE(Copy(run.document, 5));
    Paste(run.document, 4);
    PasteToAll(run.document, 5);
    const PopupItems items = PopupState(run.document, 4);
    EXPECT_FALSE(items.copyEnabled || items.pasteEnabled || items.pasteAllEnabled);
    EXPECT_EQ(redrawCount(), 0);
    EXPECT_EQ(doc.page.orientation[4], Turn::Upright);
    EXPECT_TRUE(doc.page.workPath[4].isEmpty());
    EXPECT_EQ(doc.copyBuffer.path, QStringLiteral("/pictures/buffer.png"));

    // Turn all and paste to all skip them; the cells of the page are changed.
    TurnAll(run.document);
    EXPECT_EQ(doc.page.orientation[3], Turn::Right);
    EXPECT_EQ(doc.page.orientation[4], Turn::Upright);
    PasteToAll(run.document, 0);
    EXPECT_EQ(doc.cell(999).picturePath, QStringLiteral("/pictures/996.png"));
    EXPECT_TRUE(doc.page.workPath[5].isEmpty());
    EXPECT_TRUE(doc.page.workPath[4].isEmpty());

    // Positions outside the page are refused as well.
    EXPECT_FALSE(Cut(run.document, -1));
    EXPECT_FALSE(Copy(run.document, 6));
}

} // namespace
} // namespace quiltana
