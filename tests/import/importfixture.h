#pragma once

#include "document.h"
#include "workcopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quiltana {

// Every import test starts from an empty document and a fresh work folder: the current
// directory is a temporary folder (holding "./temp") for the length of the test, and the pictures
// are written into a second temporary folder.
class ImportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        document() = Document{};
        ResetWorkCopyNames();
        ASSERT_TRUE(workDir_.isValid());
        ASSERT_TRUE(pictureDir_.isValid());
        previousDir_ = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(workDir_.path()));
        EnsureWorkFolder();
    }

    void TearDown() override
    {
        QDir::setCurrent(previousDir_);
        document() = Document{};
        ResetWorkCopyNames();
    }

    // A folder below the picture folder (created when missing); "" is the picture folder itself.
    QString folder(const QString &relative = QString())
    {
        const QString path = relative.isEmpty() ? pictureDir_.path() : pictureDir_.filePath(relative);
        QDir().mkpath(path);
        return path;
    }

    // A real picture of w x h pixels, written in the format its extension names.
    QString picture(const QString &relativePath, int w = 4, int h = 2)
    {
        const QString path = pictureDir_.filePath(relativePath);
        QDir().mkpath(QFileInfo(path).path());
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        const QString suffix = QFileInfo(path).suffix().toLower();
        const QByteArray format = suffix == QLatin1String("jpg") ? QByteArray("JPEG") : suffix.toUpper().toLatin1();
        EXPECT_TRUE(image.save(path, format.constData())) << path.toStdString();
        return path;
    }

    // A file with the given bytes: a text file, or a picture name holding no picture.
    QString file(const QString &relativePath, const QByteArray &content = "not a picture")
    {
        const QString path = pictureDir_.filePath(relativePath);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
        f.write(content);
        return path;
    }

    // The work copy of a picture file as the work folder holds it.
    static QString workCopyPath(const QString &picturePath)
    {
        return QStringLiteral("./temp/") + QFileInfo(picturePath).fileName() + QStringLiteral(".bmp");
    }

    // True when the cell has its work copy: the work path names the expected file, which exists.
    static bool hasWorkCopy(int cell)
    {
        const Cell &c = document().cell(cell);
        return !c.picturePath.isEmpty() && c.workPath == workCopyPath(c.picturePath)
               && QFileInfo::exists(c.workPath);
    }

    QTemporaryDir workDir_;
    QTemporaryDir pictureDir_;
    QString previousDir_;
};

} // namespace quiltana
