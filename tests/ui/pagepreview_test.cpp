#include <QCoreApplication>
#include <QMouseEvent>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include "pagepreview.h"

namespace quiltana::test {
namespace {

TEST(PagePreview, BackBufferFollowsTheSizeAndKeepsWhatItHeld)
{
    PagePreview preview;
    EXPECT_EQ(preview.objectName(), QStringLiteral("PaintBox1"));
    preview.resize(0, 0);
    EXPECT_EQ(preview.backBufferForRender(), nullptr);
    EXPECT_TRUE(preview.backBuffer().isNull());

    preview.resize(40, 30);
    QImage *buffer = preview.backBufferForRender();
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->size(), QSize(40, 30));
    EXPECT_EQ(buffer->pixelColor(39, 29), QColor(Qt::white));
    buffer->fill(Qt::red);

    // Grown: the old pixels stay at the top left, the new area is white.
    preview.resize(60, 30);
    buffer = preview.backBufferForRender();
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->size(), QSize(60, 30));
    EXPECT_EQ(buffer->pixelColor(39, 29), QColor(Qt::red));
    EXPECT_EQ(buffer->pixelColor(40, 0), QColor(Qt::white));
    EXPECT_EQ(&preview.backBuffer(), buffer);

    // Discarded: the next render starts on white; without a size there is nothing to draw on.
    preview.discardBackBuffer();
    EXPECT_EQ(preview.backBufferForRender()->pixelColor(0, 0), QColor(Qt::white));
    preview.resize(0, 30);
    EXPECT_EQ(preview.backBufferForRender(), nullptr);
    EXPECT_TRUE(preview.backBuffer().isNull());
}

TEST(PagePreview, PaintsTheBufferStretchedOrWhiteWithoutOne)
{
    PagePreview preview;
    preview.resize(40, 20);
    const QImage blank = preview.grab().toImage();
    EXPECT_EQ(blank.pixelColor(20, 10), QColor(Qt::white));

    preview.backBufferForRender()->fill(Qt::blue);
    preview.resize(80, 40); // bigger than the buffer: the buffer is stretched over it
    const QImage shown = preview.grab().toImage();
    EXPECT_EQ(shown.pixelColor(79, 39), QColor(Qt::blue));
}

TEST(PagePreview, HitTestReadsTheMeasuredSizeNotTheCurrentOne)
{
    PagePreview preview;
    preview.resize(100, 200);
    preview.setMousePosition(75, 150);
    EXPECT_EQ(preview.cellUnderMouse(4), 0) << "nothing measured yet";

    preview.measureHitTestArea();
    EXPECT_EQ(preview.hitTestWidth(), 100);
    EXPECT_EQ(preview.hitTestHeight(), 200);
    EXPECT_EQ(preview.cellUnderMouse(4), 3); // 2 x 2: lower right
    EXPECT_EQ(preview.cellUnderMouse(2), 1); // 1 x 2: lower

    // Until the window measures again, a new size does not move the cells.
    preview.resize(400, 800);
    EXPECT_EQ(preview.cellUnderMouse(4), 3);
    preview.measureHitTestArea();
    EXPECT_EQ(preview.cellUnderMouse(4), 0);
}

TEST(PagePreview, MouseMovesAreReportedAndHintsShown)
{
    PagePreview preview;
    preview.resize(100, 100);
    QSignalSpy moved(&preview, &PagePreview::mouseMoved);
    QMouseEvent move(QEvent::MouseMove, QPointF(12, 34), preview.mapToGlobal(QPointF(12, 34)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&preview, &move);
    ASSERT_EQ(moved.count(), 1);
    EXPECT_EQ(moved.at(0).at(0).toInt(), 12);
    EXPECT_EQ(moved.at(0).at(1).toInt(), 34);

    const QString emptyCell = QStringLiteral("右クリックし、ポップアップメニューを出すか、ファイルをドラッグして下さい");
    EXPECT_EQ(preview.toolTip(), emptyCell);
    preview.showCellPicture(QStringLiteral("/pictures/a.jpg"));
    EXPECT_EQ(preview.toolTip(), QStringLiteral("/pictures/a.jpg"));
    EXPECT_EQ(preview.accessibleDescription(), QStringLiteral("/pictures/a.jpg"));
    preview.showCellPicture(QString());
    EXPECT_EQ(preview.toolTip(), emptyCell);
    EXPECT_EQ(preview.accessibleDescription(), emptyCell);
}

} // namespace
} // namespace quiltana::test
