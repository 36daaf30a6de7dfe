// The real dialogs behind the Dialogs seam, driven as a user would with keys and clicks: the
// caption font box, Qt's standard texts in Japanese and the open dialog with its preview.
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFontDialog>
#include <QFontInfo>
#include <QHeaderView>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "compose.h"
#include "pagesetup.h"
#include "picturepreview.h"
#include "qtdialogs.h"
#include "translations.h"

namespace quiltana {
namespace {

// Runs `act` on the modal dialog the call under test brings up, as soon as it is up. `act`
// must end the dialog; one it leaves open is a failure, and is then closed here so that the
// call under test returns.
void whenModalShown(std::function<void(QDialog &)> act)
{
    QTimer::singleShot(0, [act] {
        QPointer<QDialog> dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            whenModalShown(act); // not up yet
            return;
        }
        act(*dialog);
        if (dialog && dialog->isVisible()) {
            ADD_FAILURE() << "the dialog \"" << dialog->windowTitle().toStdString() << "\" stayed open";
            dialog->reject();
        }
    });
}

// Every window of the application is closed: nothing half-closed is left on the screen.
::testing::AssertionResult noWindowShown()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible())
            return ::testing::AssertionFailure()
                   << "still shown: " << w->metaObject()->className() << " \"" << w->windowTitle().toStdString() << "\"";
    return ::testing::AssertionSuccess();
}

// ---- Caption font box ------------------------------------------------------------------

struct FontBox {
    QFontDialog *chooser = nullptr;
    QListView *families = nullptr;
    QLineEdit *size = nullptr;
    QPushButton *ok = nullptr;
};

// The parts of the caption font box a user works with.
FontBox partsOf(QDialog &box)
{
    FontBox parts;
    parts.chooser = box.findChild<QFontDialog *>();
    if (!parts.chooser)
        return parts;
    const QString family = parts.chooser->currentFont().family();
    for (QListView *list : parts.chooser->findChildren<QListView *>())
        if (list->currentIndex().data().toString() == family)
            parts.families = list;
    for (QLineEdit *edit : parts.chooser->findChildren<QLineEdit *>())
        if (edit->validator()) // the size field takes numbers only
            parts.size = edit;
    if (auto *buttons = box.findChild<QDialogButtonBox *>())
        parts.ok = buttons->button(QDialogButtonBox::Ok);
    return parts;
}

FontSpec captionSpec()
{
    FontSpec spec; // "ＭＳ Ｐゴシック", as the program starts
    spec.pointSize = 11;
    spec.color = QColor(200, 0, 40);
    spec.bold = true; // stored, though captions never print bold
    spec.italic = true;
    spec.underline = true;
    return spec;
}

TEST(CaptionFontBox, OpensOnThePrintedFaceAndOkWithoutAChangeKeepsTheFont)
{
    const FontSpec spec = captionSpec();
    const QString printed = QFontInfo(CaptionFont(spec)).family();
    QtDialogs real;
    whenModalShown([&](QDialog &box) {
        EXPECT_EQ(box.windowTitle(), QStringLiteral("フォント"));
        const FontBox parts = partsOf(box);
        ASSERT_TRUE(parts.chooser && parts.ok);
        EXPECT_EQ(parts.chooser->currentFont().family(), printed);
        EXPECT_TRUE(parts.families) << "the printed face " << printed.toStdString() << " is not chosen in the list";
        EXPECT_TRUE(parts.chooser->isVisible());
        bool colourButton = false;
        for (QPushButton *b : box.findChildren<QPushButton *>())
            colourButton |= b->text() == QStringLiteral("色...") && b->isVisible();
        EXPECT_TRUE(colourButton);
        QTest::mouseClick(parts.ok, Qt::LeftButton);
    });
    const std::optional<FontSpec> chosen = real.chooseFont(nullptr, spec);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(*chosen, spec) << "face " << chosen->face.toStdString() << ", " << chosen->pointSize << " pt";
    EXPECT_TRUE(noWindowShown());
}

TEST(CaptionFontBox, EscapeCancelsTheWholeBoxFromAnyPart)
{
    QtDialogs real;
    // The lists and the size field are where the keys reach the embedded chooser first.
    const std::function<QWidget *(const FontBox &)> targets[] = {
        [](const FontBox &p) -> QWidget * { return p.families; },
        [](const FontBox &p) -> QWidget * { return p.size; },
        [](const FontBox &p) -> QWidget * { return p.chooser; },
    };
    for (const auto &target : targets) {
        whenModalShown([&](QDialog &box) {
            QWidget *widget = target(partsOf(box));
            ASSERT_TRUE(widget);
            QTest::keyClick(widget, Qt::Key_Escape);
            EXPECT_FALSE(box.isVisible()) << "Escape in " << widget->metaObject()->className()
                                          << " left the box open";
        });
        EXPECT_FALSE(real.chooseFont(nullptr, captionSpec()));
        EXPECT_TRUE(noWindowShown());
    }
}

TEST(CaptionFontBox, EnterConfirmsTheWholeBoxWithWhatWasChanged)
{
    QtDialogs real;
    const FontSpec spec = captionSpec();

    // Another face picked in the list and confirmed there with Enter.
    QString picked;
    whenModalShown([&](QDialog &box) {
        const FontBox parts = partsOf(box);
        ASSERT_TRUE(parts.families);
        const QModelIndex current = parts.families->currentIndex();
        const bool last = current.row() + 1 >= parts.families->model()->rowCount(current.parent());
        QTest::keyClick(parts.families, last ? Qt::Key_Up : Qt::Key_Down);
        picked = parts.chooser->currentFont().family();
        QTest::keyClick(parts.families, Qt::Key_Return);
        EXPECT_FALSE(box.isVisible());
    });
    std::optional<FontSpec> chosen = real.chooseFont(nullptr, spec);
    ASSERT_TRUE(chosen);
    EXPECT_FALSE(picked.isEmpty());
    EXPECT_NE(picked, QFontInfo(CaptionFont(spec)).family());
    EXPECT_EQ(chosen->face, picked);
    EXPECT_EQ(chosen->pointSize, spec.pointSize);
    EXPECT_EQ(chosen->color, spec.color);
    EXPECT_TRUE(noWindowShown());

    // A new size typed and confirmed with Enter in its field: the face stays the one asked for.
    whenModalShown([&](QDialog &box) {
        const FontBox parts = partsOf(box);
        ASSERT_TRUE(parts.size);
        parts.size->selectAll();
        QTest::keyClicks(parts.size, QStringLiteral("14"));
        QTest::keyClick(parts.size, Qt::Key_Enter);
        EXPECT_FALSE(box.isVisible());
    });
    chosen = real.chooseFont(nullptr, spec);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->face, QStringLiteral("ＭＳ Ｐゴシック"));
    EXPECT_EQ(chosen->pointSize, 14);
    EXPECT_EQ(chosen->italic, spec.italic);
    EXPECT_EQ(chosen->underline, spec.underline);
    EXPECT_TRUE(noWindowShown());
}

// ---- Qt's standard texts ------------------------------------------------------------------

TEST(QtTranslations, StandardButtonsAreJapaneseAndTheProgramsTextsStay)
{
    const QString catalogue = QDir(QLibraryInfo::path(QLibraryInfo::TranslationsPath)).filePath(QStringLiteral("qtbase_ja.qm"));
    if (!QFileInfo::exists(catalogue))
        GTEST_SKIP() << catalogue.toStdString() << " is not installed (Debian: qt6-translations-l10n)";
    ASSERT_TRUE(InstallQtTranslations());
    EXPECT_TRUE(InstallQtTranslations()); // a second call finds it in place

    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("キャンセル"));

    QtDialogs real;
    const QString text = QStringLiteral("作業ファイルを削除します。");
    const QString caption = QStringLiteral("確認");
    whenModalShown([&](QDialog &dialog) {
        auto *box = qobject_cast<QMessageBox *>(&dialog);
        ASSERT_TRUE(box);
        EXPECT_EQ(box->windowTitle(), caption);
        EXPECT_EQ(box->text(), text);
        ASSERT_TRUE(box->button(QMessageBox::Cancel));
        EXPECT_EQ(box->button(QMessageBox::Cancel)->text(), QStringLiteral("キャンセル"));
        QTest::keyClick(box, Qt::Key_Escape);
    });
    EXPECT_FALSE(real.askOkCancel(nullptr, text, caption));
    whenModalShown([](QDialog &box) { QTest::keyClick(&box, Qt::Key_Return); });
    EXPECT_TRUE(real.askOkCancel(nullptr, text, caption));
    EXPECT_TRUE(noWindowShown());
}

// ---- Open dialog and its preview --------------------------------------------------------------

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    QFile file(dir.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
    file.write(bytes);
    return file.fileName();
}

QString writePicture(const QTemporaryDir &dir, const QString &name, int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(QColor(30, 160, 60));
    const QString path = dir.filePath(name);
    EXPECT_TRUE(image.save(path, "JPG"));
    return path;
}

// Waits until the preview shows `path`; whether it shows a picture for it, nothing when it
// never does.
std::optional<bool> waitForPreviewOf(QSignalSpy &spy, const QString &path)
{
    for (;;) {
        while (!spy.isEmpty()) {
            const QList<QVariant> shown = spy.takeFirst();
            if (shown.at(0).toString() == path)
                return shown.at(1).toBool();
        }
        if (!spy.wait(15000))
            return std::nullopt;
    }
}

TEST(OpenPictureDialog, PreviewShowsThePictureChosenAndNothingForABrokenFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString good = writePicture(dir, QStringLiteral("photo.jpg"), 640, 480);
    const QString broken = writeFile(dir, QStringLiteral("broken.jpg"), QByteArray("\xff\xd8\xff\xe0 not really a JPEG"));
    const QString filter = QStringLiteral("すべてのファイル (*.jpg *.jpeg *.bmp *.png);;JPEG イメージファイル (*.jpg);;"
                                          "JPEG イメージファイル (*.jpeg);;ビットマップ (*.bmp)");

    QtDialogs real;
    whenModalShown([&](QDialog &dialog) {
        auto *files = qobject_cast<QFileDialog *>(&dialog);
        ASSERT_TRUE(files);
        EXPECT_EQ(files->nameFilters().join(QStringLiteral(";;")), filter);
        auto *preview = files->findChild<PicturePreview *>();
        ASSERT_TRUE(preview);
        EXPECT_TRUE(preview->isVisible());
        files->setDirectory(dir.path());
        auto *model = files->findChild<QFileSystemModel *>();
        ASSERT_TRUE(model);
        QAbstractItemView *view = nullptr;
        for (QAbstractItemView *v : files->findChildren<QAbstractItemView *>())
            if (v->isVisible() && v->model() == model && !qobject_cast<QHeaderView *>(v))
                view = v; // the file list, in whichever of its two forms is shown
        ASSERT_TRUE(view);

        QSignalSpy spy(preview, &PicturePreview::previewShown);
        // As a click on a file in the list does.
        const auto point = [&](const QString &path) { view->setCurrentIndex(model->index(path)); };

        point(good);
        EXPECT_EQ(waitForPreviewOf(spy, good), std::optional<bool>(true));
        EXPECT_TRUE(preview->hasPicture());

        point(broken);
        EXPECT_EQ(waitForPreviewOf(spy, broken), std::optional<bool>(false));
        EXPECT_FALSE(preview->hasPicture());

        point(good);
        EXPECT_EQ(waitForPreviewOf(spy, good), std::optional<bool>(true));
        QTest::keyClick(view, Qt::Key_Return); // opens the file pointed at
    });
    const std::optional<QString> chosen = real.openPicture(nullptr, filter);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(QFileInfo(*chosen).canonicalFilePath(), QFileInfo(good).canonicalFilePath());
    EXPECT_TRUE(noWindowShown());
}

TEST(OpenPictureDialog, EscapeChoosesNothing)
{
    QtDialogs real;
    whenModalShown([](QDialog &dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); });
    EXPECT_FALSE(real.openPicture(nullptr, QStringLiteral("ビットマップ (*.bmp)")));
    EXPECT_TRUE(noWindowShown());
}

TEST(PicturePreviewWidget, AnEarlierDecodeNeverReplacesTheFileChosenSince)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString big = writePicture(dir, QStringLiteral("big.jpg"), 2400, 1600);
    const QString notes = writeFile(dir, QStringLiteral("notes.txt"), QByteArray("text"));

    PicturePreview preview;
    QSignalSpy spy(&preview, &PicturePreview::previewShown);
    preview.showFile(big);
    preview.showFile(notes); // nothing to decode: shown at once
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), notes);

    // Whatever the decode of big.jpg brings when it ends is dropped.
    QThreadPool::globalInstance()->waitForDone();
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(preview.shownFile(), notes);
    EXPECT_FALSE(preview.hasPicture());

    preview.showFile(big);
    ASSERT_TRUE(spy.wait(15000));
    EXPECT_EQ(preview.shownFile(), big);
    EXPECT_TRUE(preview.hasPicture());

    preview.showFile(QString());
    EXPECT_EQ(preview.shownFile(), QString());
    EXPECT_FALSE(preview.hasPicture());
}

} // namespace
} // namespace quiltana
