#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

#include "geometry.h"

// Readable rectangles in failure messages.
inline void PrintTo(const QRect &r, std::ostream *os)
{
    *os << "QRect(" << r.x() << ", " << r.y() << ", " << r.width() << " x " << r.height() << ")";
}

namespace quiltana::test {

inline QImage solidPicture(int width, int height, QColor color)
{
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(color);
    return image;
}

// A canvas as the back buffer is: 32-bit, filled with one colour.
inline QImage blankCanvas(int width, int height, QColor color)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

// Writes `image` as `name` into `dir` in the given format ("BMP", "PNG", "JPG") and returns
// the path.
inline QString writePicture(const QTemporaryDir &dir, const QString &name, const QImage &image,
                            const char *format)
{
    const QString path = dir.filePath(name);
    EXPECT_TRUE(image.save(path, format)) << path.toStdString();
    return path;
}

inline QRgb rgbAt(const QImage &image, int x, int y) { return image.pixel(x, y) & 0xFFFFFFu; }
inline QRgb rgbOf(QColor color) { return color.rgb() & 0xFFFFFFu; }

// The smallest rectangle holding every pixel for which `match` holds; null when none does.
inline QRect boundingBox(const QImage &image, const std::function<bool(QRgb)> &match)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (match(rgbAt(image, x, y)))
                box |= QRect(x, y, 1, 1);
    return box;
}

inline int countPixels(const QImage &image, const std::function<bool(QRgb)> &match)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += match(rgbAt(image, x, y)) ? 1 : 0;
    return n;
}

// The pixels of a Rect (right and bottom exclusive) as a QRect.
inline QRect pixelsOf(const Rect &r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }

} // namespace quiltana::test
