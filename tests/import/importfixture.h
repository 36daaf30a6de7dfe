#pragma once

#include "document.h"
#include "runstate.h"
#include "workcopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace quiltana {

// The error for a name that is no UTF-8: the name with its bad bytes escaped, then the reason.
inline QString NameRefusal(const QString &escapedName)
{
    return escapedName + QStringLiteral(": ファイル名がこのシステムの文字コードで表せないため、写真を開けません");
}

// Every import test starts from a fresh run: an empty document and a new work folder ("temp"
// in a temporary folder); the pictures are written into a second temporary folder.
class ImportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(workDir_.isValid());
        ASSERT_TRUE(pictureDir_.isValid());
        run.workFolder.path = workDir_.filePath(QStringLiteral("temp"));
        EnsureWorkFolder(run.workFolder.path);
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
    QString workCopyPath(const QString &picturePath) const
    {
        return run.workFolder.path + QLatin1Char('/') + QFileInfo(picturePath).fileName() + QStringLiteral(".bmp");
    }

    // True when the cell has its work copy: the work path names the expected file, which exists.
    bool hasWorkCopy(int cell) const
    {
        const Cell &c = run.document.cell(cell);
        return !c.picturePath.isEmpty() && c.workPath == workCopyPath(c.picturePath)
               && QFileInfo::exists(c.workPath);
    }

    QTemporaryDir workDir_;
    QTemporaryDir pictureDir_;
    RunState run;
};

} // namespace quiltana
