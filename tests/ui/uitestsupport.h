#pragma once

#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include "Unit1.h"
#include "document.h"
#include "fakedialogs.h"
#include "openfolder.h"
#include "pagesetup.h"
#include "runstate.h"
#include "testprinter.h"

namespace quiltana::test {

// Lets the offscreen window system deliver what the window asked for (show, resize).
inline void settle()
{
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
}

// A plain-coloured picture file of w x h pixels; its path.
inline QString writePicture(const QString &folder, const QString &name, const QColor &color, int w = 120,
                            int h = 80)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(color);
    const QString path = QDir(folder).filePath(name);
    const QString suffix = name.section(QLatin1Char('.'), -1).toLower();
    const char *format = suffix == QStringLiteral("png") ? "PNG" : suffix == QStringLiteral("bmp") ? "BMP" : "JPEG";
    EXPECT_TRUE(image.save(path, format, 100)) << path.toStdString();
    return path;
}

// A main window on a fresh run, a test printer and dialogs that the test answers. The program
// folder (and so the work folder, its "temp") is a temporary folder of the test's own.
class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        QStandardPaths::setTestModeEnabled(true);
        ASSERT_TRUE(programDir.isValid());
        ASSERT_TRUE(pictureDir.isValid());
        run.printer = &printer;
        run.workFolder.path = programDir.filePath(QStringLiteral("temp"));
    }

    void TearDown() override { window.reset(); }

    TForm1 &open(const QStringList &arguments = {})
    {
        window = std::make_unique<TForm1>(run, arguments);
        window->show();
        settle();
        return *window;
    }

    QString picture(const QString &name, const QColor &color, int w = 120, int h = 80)
    {
        return writePicture(pictureDir.path(), name, color, w, h);
    }

    QTemporaryDir programDir;
    QTemporaryDir pictureDir;
    TestPrinter printer;
    FakeDialogs fake;
    RunState run; // before the window, which holds it
    std::unique_ptr<TForm1> window;
};

} // namespace quiltana::test
