#include "glyphs.h"

#include <QPainter>
#include <QPixmap>

#include "layouts.h"

namespace quiltana {

namespace {

constexpr int kGlyph = 16;

// The sheet with the grid of a layout: what the button puts on paper.
void drawGrid(QPainter &p, int columns, int rows, const QColor &lines)
{
    const QRect sheet(2, 1, 12, 14);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(sheet);
    p.setBrush(QColor(0, 128, 128));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            const int l = sheet.left() + 1 + c * (sheet.width() - 1) / columns;
            const int t = sheet.top() + 1 + r * (sheet.height() - 1) / rows;
            const int rr = sheet.left() + 1 + (c + 1) * (sheet.width() - 1) / columns - 1;
            const int b = sheet.top() + 1 + (r + 1) * (sheet.height() - 1) / rows - 1;
            if (rr > l && b > t)
                p.drawRect(QRect(QPoint(l, t), QPoint(rr - 1, b - 1)));
        }
    p.setPen(lines);
    p.setBrush(Qt::NoBrush);
    p.drawRect(sheet.adjusted(0, 0, -1, -1));
}

void drawPrinter(QPainter &p)
{
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(4, 1, 7, 5); // paper going in
    p.setBrush(QColor(128, 128, 128));
    p.drawRect(1, 6, 13, 6); // body
    p.setBrush(Qt::white);
    p.drawRect(4, 10, 7, 4); // paper coming out
    p.setPen(QColor(0, 255, 0));
    p.drawPoint(12, 8);
}

void drawSetup(QPainter &p)
{
    drawPrinter(p);
    // a small sheet with a check mark in front: the paper and printer choice
    p.setPen(Qt::black);
    p.setBrush(QColor(255, 255, 0));
    p.drawRect(8, 8, 7, 7);
    p.setPen(QPen(QColor(0, 0, 128), 1));
    p.drawLine(9, 11, 11, 13);
    p.drawLine(11, 13, 14, 9);
}

void drawMore(QPainter &p)
{
    drawGrid(p, 4, 5, Qt::black);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(128, 0, 0));
    for (int i = 0; i < 3; ++i)
        p.drawRect(5 + i * 3, 13, 2, 2);
}

void drawAbout(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0, 0, 128));
    p.setBrush(QColor(0, 0, 255));
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(7, 3, 2, 2);
    p.drawRect(7, 6, 2, 7);
}

} // namespace

QIcon ToolbarGlyph(int button)
{
    QImage image(kGlyph, kGlyph, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    bool drawn = true;
    switch (button) {
    case 1:
        drawPrinter(p);
        break;
    case 2:
        drawSetup(p);
        break;
    case 9:
        drawAbout(p);
        break;
    case 12:
        drawMore(p);
        break;
    default: {
        drawn = false;
        for (const LayoutInfo &l : layoutTable())
            if (l.menu == LayoutMenu::FirstLevel && l.toolbarButton == button) {
                drawGrid(p, l.columns, l.rows, Qt::black);
                drawn = true;
            }
    }
    }
    p.end();
    if (!drawn)
        return {};
    return QIcon(QPixmap::fromImage(image));
}

QImage ProgramPicture(QSize size)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    if (size.isEmpty())
        return image;
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = size.width(), h = size.height();
    const qreal pad = qMin(w, h) / 16.0;
    const QRectF sheet(pad, pad, w - 2 * pad, h - 2 * pad);
    p.setPen(QPen(QColor(60, 60, 60), qMax(1.0, qMin(w, h) / 64.0)));
    p.setBrush(Qt::white);
    p.drawRect(sheet);
    // a 3 x 3 quilt of small "photographs": sky over a hill, in changing colours
    const QColor skies[] = {QColor(120, 180, 240), QColor(250, 190, 120), QColor(170, 210, 250),
                            QColor(240, 150, 170), QColor(140, 200, 230), QColor(250, 220, 140),
                            QColor(180, 170, 240), QColor(130, 190, 220), QColor(245, 175, 130)};
    const QColor hills[] = {QColor(60, 150, 70), QColor(150, 100, 60), QColor(70, 130, 160)};
    const qreal gap = sheet.width() / 24.0;
    const qreal cw = (sheet.width() - 4 * gap) / 3.0, ch = (sheet.height() - 4 * gap) / 3.0;
    p.setPen(Qt::NoPen);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            const QRectF cell(sheet.left() + gap + c * (cw + gap), sheet.top() + gap + r * (ch + gap), cw, ch);
            p.save();
            p.setClipRect(cell);
            p.setBrush(skies[r * 3 + c]);
            p.drawRect(cell);
            p.setBrush(hills[(r + c) % 3]);
            p.drawEllipse(QRectF(cell.left() - cw * 0.2, cell.top() + ch * 0.55, cw * 1.4, ch));
            p.setBrush(QColor(255, 240, 120));
            p.drawEllipse(QRectF(cell.left() + cw * 0.65, cell.top() + ch * 0.15, cw * 0.2, cw * 0.2));
            p.restore();
        }
    p.end();
    return image;
}

QIcon ProgramIcon()
{
    QIcon icon;
    for (int s : {16, 32, 48, 64, 128})
        icon.addPixmap(QPixmap::fromImage(ProgramPicture(QSize(s, s))));
    return icon;
}

} // namespace quiltana
