#pragma once

#include "document.h"
#include "geometry.h"
#include "pagesetup.h"
#include "printer.h"
#include "runstate.h"
#include "testprinter.h"

#include <QColor>
#include <QFile>
#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quiltana::test {

// A small printer (4 dots per millimetre, 10 dots unprintable on each side) so that jobs are
// cheap to paint, the printer of a fresh run.
class PrintJobFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        printer.setMetrics(400, 600, 420, 620, 10, 10, 100, 150, 100);
        run.printer = &printer;
        ReadPrinterMetrics(run.printerMetrics, printer);
    }

    // A picture of one colour, written as PNG into the test's folder.
    QString picture(const QString &name, const QColor &color, int w = 30, int h = 20)
    {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(color);
        const QString path = dir.filePath(name);
        EXPECT_TRUE(img.save(path, "PNG"));
        return path;
    }
    // A file named as a PNG that holds no picture.
    QString brokenPicture(const QString &name)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("this is not a PNG file at all");
        return path;
    }
    // Fills cells 0.. with `paths` and brings the page count in line.
    void fillCells(int layoutStyle, const QStringList &paths)
    {
        Document &doc = run.document;
        doc.layoutStyle = layoutStyle;
        for (int i = 0; i < paths.size(); ++i) {
            doc.cells[static_cast<std::size_t>(i)].picturePath = paths[i];
            doc.cells[static_cast<std::size_t>(i)].workPath = paths[i];
        }
        doc.lastFilledCell = doc.scanLastFilledCell();
        RefreshPageLists(doc);
    }
    // Margin texts equal to the unprintable border (2.5 mm), spacings of 2 mm, converted.
    void commitSimpleMargins()
    {
        PageSetup &s = run.pageSetup;
        s.topText = s.bottomText = s.leftText = s.rightText = QStringLiteral("2.5");
        s.verticalSpacingText = s.horizontalSpacingText = QStringLiteral("2");
        DotMarginsFromTexts(run.pageSetup, run.printerMetrics, CurrentPrinter(run));
    }
    [[nodiscard]] Margins dotMargins() const
    {
        const PageSetup &s = run.pageSetup;
        return Margins{s.topDots, s.bottomDots, s.leftDots, s.rightDots, s.verticalSpacingDots,
                       s.horizontalSpacingDots};
    }
    [[nodiscard]] static QPoint centre(const Rect &r)
    {
        return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }

    QTemporaryDir dir;
    TestPrinter printer;
    RunState run;
};

} // namespace quiltana::test
