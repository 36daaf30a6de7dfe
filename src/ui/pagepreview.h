#pragma once

#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QWidget>

class QMouseEvent;
class QPaintEvent;

namespace quiltana {

// The page preview of the main window ("PaintBox1"): a white area that shows its back buffer
// stretched to its own size. The window renders the current page into that buffer; the preview
// keeps it across renders, so a render that redraws only some cells leaves the others as they
// were. It also keeps what the hit test reads (the last mouse position and the size measured
// at the window's last resize) and shows the hint for the cell under the mouse. It calls no
// rule of the program: the window's handlers read its gestures (mouseMoved, the context menu
// request), ask the rules and hand it what to show.
class PagePreview : public QWidget {
    Q_OBJECT

public:
    explicit PagePreview(QWidget *parent = nullptr);

    // Null before the first render and after discardBackBuffer.
    [[nodiscard]] const QImage &backBuffer() const { return backBuffer_; }
    // The next render starts on a white buffer.
    void discardBackBuffer() { backBuffer_ = QImage(); }
    // The back buffer made the preview's size for a render: what it held stays at the top left,
    // area it gains is white. Nullptr, the buffer discarded, while the preview has no size yet.
    [[nodiscard]] QImage *backBufferForRender();

    // The mouse position the commands of the cell under the mouse read.
    void setMousePosition(int x, int y) { mouse_ = QPoint(x, y); }
    [[nodiscard]] int lastMouseX() const { return mouse_.x(); }
    [[nodiscard]] int lastMouseY() const { return mouse_.y(); }
    // The hit test splits the preview's size as measured here (at the window's resize), not as
    // it is at the moment of the mouse move.
    void measureHitTestArea() { hitSize_ = size(); }
    [[nodiscard]] int hitTestWidth() const { return hitSize_.width(); }
    [[nodiscard]] int hitTestHeight() const { return hitSize_.height(); }
    // The position on the page (0 .. layoutStyle - 1) of the cell under the mouse.
    [[nodiscard]] int cellUnderMouse(int layoutStyle) const;

    // Tool tip and description: `picturePath`, the picture of the cell under the mouse, or the
    // hint for an empty cell.
    void showCellPicture(const QString &picturePath);
    [[nodiscard]] static QString emptyCellHint();

signals:
    // The mouse moved over the preview to (x, y).
    void mouseMoved(int x, int y);

protected:
    // PaintBox1Paint: copies the back buffer onto the screen, nothing more.
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    QImage backBuffer_;
    QPoint mouse_;
    QSize hitSize_{0, 0};
};

} // namespace quiltana
