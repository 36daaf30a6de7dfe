#include "pagepreview.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

#include "hittest.h"

namespace quiltana {

PagePreview::PagePreview(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PaintBox1"));
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setToolTip(emptyCellHint());
    setAccessibleName(QStringLiteral("プレビュー"));
    setAccessibleDescription(emptyCellHint());
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
}

QString PagePreview::emptyCellHint()
{
    return QStringLiteral("右クリックし、ポップアップメニューを出すか、ファイルをドラッグして下さい");
}

QImage *PagePreview::backBufferForRender()
{
    const QSize wanted = size();
    if (wanted.isEmpty()) {
        backBuffer_ = QImage();
        return nullptr;
    }
    if (backBuffer_.size() != wanted) {
        QImage resized(wanted, QImage::Format_RGB32);
        resized.fill(Qt::white);
        if (!backBuffer_.isNull()) {
            QPainter keep(&resized);
            keep.drawImage(0, 0, backBuffer_);
        }
        backBuffer_ = resized;
    }
    return &backBuffer_;
}

int PagePreview::cellUnderMouse(int layoutStyle) const
{
    return CellUnderMouse(mouse_.x(), mouse_.y(), hitSize_.width(), hitSize_.height(), layoutStyle);
}

void PagePreview::showCellPicture(const QString &picturePath)
{
    setToolTip(picturePath.isEmpty() ? emptyCellHint() : picturePath);
    setAccessibleDescription(toolTip());
}

void PagePreview::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (backBuffer_.isNull()) {
        painter.fillRect(rect(), Qt::white);
        return;
    }
    painter.drawImage(QRect(0, 0, width(), height()), backBuffer_, backBuffer_.rect());
}

void PagePreview::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    emit mouseMoved(p.x(), p.y());
    QWidget::mouseMoveEvent(event);
}

} // namespace quiltana
