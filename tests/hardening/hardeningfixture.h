#pragma once

#include "document.h"
#include "pagesetup.h"
#include "printer.h"
#include "runstate.h"
#include "testprinter.h"
#include "workcopy.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quiltana::test {

// A fresh run: a document, a work folder of the test's own, a folder for the pictures and a
// small test printer as the run's printer.
class HardeningTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(workDir_.isValid());
        ASSERT_TRUE(pictureDir_.isValid());
        run.workFolder.path = workDir_.filePath(QStringLiteral("temp"));
        EnsureWorkFolder(run.workFolder.path);
        printer_.setMetrics(400, 600, 420, 620, 10, 10, 100, 150, 100);
        run.printer = &printer_;
        ReadPrinterMetrics(run.printerMetrics, printer_);
        PageSetup &s = run.pageSetup;
        s.topText = s.bottomText = s.leftText = s.rightText = QStringLiteral("2.5");
        s.verticalSpacingText = s.horizontalSpacingText = QStringLiteral("2");
        DotMarginsFromTexts(run.pageSetup, run.printerMetrics, CurrentPrinter(run));
    }

    // A real picture of one colour in the format its extension names (PNG when it names none).
    QString picture(const QString &relativePath, const QColor &colour = Qt::darkGreen, int w = 6, int h = 4)
    {
        const QString path = pictureDir_.filePath(relativePath);
        QDir().mkpath(QFileInfo(path).path());
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(colour);
        const QString suffix = QFileInfo(path).suffix().toLower();
        QByteArray format = "PNG";
        if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
            format = "JPEG";
        else if (suffix == QLatin1String("bmp"))
            format = "BMP";
        EXPECT_TRUE(image.save(path, format.constData())) << path.toStdString();
        return path;
    }

    // A folder below the picture folder, created.
    QString folder(const QString &relativePath)
    {
        const QString path = pictureDir_.filePath(relativePath);
        EXPECT_TRUE(QDir().mkpath(path)) << path.toStdString();
        return path;
    }

    // A symbolic link to a file that does not exist.
    QString danglingLink(const QString &relativePath)
    {
        const QString path = pictureDir_.filePath(relativePath);
        EXPECT_TRUE(QFile::link(pictureDir_.filePath(QStringLiteral("nowhere/missing.jpg")), path));
        EXPECT_FALSE(QFileInfo::exists(path)); // exists() follows the link
        return path;
    }

    // Whether the cell holds `path` and a readable 200-pixel-high work copy of it.
    ::testing::AssertionResult hasWorkCopy(int cell, const QString &path) const
    {
        const Cell &c = run.document.cell(cell);
        if (c.picturePath != path)
            return ::testing::AssertionFailure() << "cell " << cell << " holds "
                                                 << c.picturePath.toStdString();
        const QString expected = run.workFolder.path + QLatin1Char('/') + QFileInfo(path).fileName() + QStringLiteral(".bmp");
        if (c.workPath != expected)
            return ::testing::AssertionFailure() << "work path " << c.workPath.toStdString();
        const QImage copy(c.workPath, "BMP");
        if (copy.height() != kWorkCopyHeight)
            return ::testing::AssertionFailure() << "work copy " << c.workPath.toStdString() << " unreadable";
        return ::testing::AssertionSuccess();
    }

    QTemporaryDir workDir_;
    QTemporaryDir pictureDir_;
    TestPrinter printer_;
    RunState run;
};

} // namespace quiltana::test
