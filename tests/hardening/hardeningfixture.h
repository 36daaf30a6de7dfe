#pragma once

#include "document.h"
#include "pagesetup.h"
#include "printer.h"
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

// A fresh document, a work folder as the current directory, a folder for the pictures and a
// small test printer installed as the current one.
class HardeningTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(workDir_.isValid());
        ASSERT_TRUE(pictureDir_.isValid());
        test::ResetProgramState();
        ResetWorkCopyNames();
        previousDir_ = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(workDir_.path()));
        EnsureWorkFolder();
        printer_.setMetrics(400, 600, 420, 620, 10, 10, 100, 150, 100);
        setCurrentPrinter(&printer_);
        ReadPrinterMetrics(printer_);
        PageSetup &s = pageSetup();
        s.topText = s.bottomText = s.leftText = s.rightText = QStringLiteral("2.5");
        s.verticalSpacingText = s.horizontalSpacingText = QStringLiteral("2");
        DotMarginsFromTexts();
    }

    void TearDown() override
    {
        setCurrentPrinter(nullptr);
        QDir::setCurrent(previousDir_);
        document() = Document{};
        ResetWorkCopyNames();
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
    static ::testing::AssertionResult hasWorkCopy(int cell, const QString &path)
    {
        const Cell &c = document().cell(cell);
        if (c.picturePath != path)
            return ::testing::AssertionFailure() << "cell " << cell << " holds "
                                                 << c.picturePath.toStdString();
        const QString expected = QStringLiteral("./temp/") + QFileInfo(path).fileName() + QStringLiteral(".bmp");
        if (c.workPath != expected)
            return ::testing::AssertionFailure() << "work path " << c.workPath.toStdString();
        const QImage copy(c.workPath, "BMP");
        if (copy.height() != kWorkCopyHeight)
            return ::testing::AssertionFailure() << "work copy " << c.workPath.toStdString() << " unreadable";
        return ::testing::AssertionSuccess();
    }

    QTemporaryDir workDir_;
    QTemporaryDir pictureDir_;
    QString previousDir_;
    TestPrinter printer_;
};

} // namespace quiltana::test
