#pragma once

#include <QAction>
#include <QButtonGroup>
#include <QColor>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QSpinBox>
#include <QToolButton>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include "Unit1.h"
#include "pagepreview.h"
#include "dialogcontrols.h"
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

// The main window's own control named `name` (its designer name), not a control of the same
// name in one of its dialogs; nullptr, and a failed test, when there is none.
template <typename T> T *control(const TForm1 &window, const QString &name)
{
    for (T *found : window.findChildren<T *>(name)) {
        const QObject *owner = found->parent();
        while (owner && owner != &window && !qobject_cast<const QDialog *>(owner))
            owner = owner->parent();
        if (owner == &window)
            return found;
    }
    ADD_FAILURE() << "no control " << name.toStdString();
    return nullptr;
}

inline QAction *action(const TForm1 &w, const QString &name) { return control<QAction>(w, name); }
inline QMenu *menu(const TForm1 &w, const QString &name) { return control<QMenu>(w, name); }
inline QToolButton *speedButton(const TForm1 &w, int number)
{
    return control<QToolButton>(w, QStringLiteral("SpeedButton%1").arg(number));
}
inline QLabel *pageIndicator(const TForm1 &w) { return control<QLabel>(w, QStringLiteral("Label1")); }
inline QSpinBox *pageArrows(const TForm1 &w) { return control<QSpinBox>(w, QStringLiteral("UpDown1")); }
inline PagePreview *preview(const TForm1 &w) { return control<PagePreview>(w, QStringLiteral("PaintBox1")); }

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
