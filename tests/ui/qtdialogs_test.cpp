// The real dialogs behind the Dialogs seam, driven with keys as a user would: the caption font
// box, Qt's standard texts in Japanese, and the open dialog with its picture preview.
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontDialog>
#include <QFontInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>
#include <QTreeView>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "compose.h"
#include "decode.h"
#include "openfolder.h"
#include "paths.h"
#include "picturepreview.h"
#include "preview.h"
#include "qtdialogs.h"
#include "translations.h"

namespace quiltana {
namespace {

// Runs `act` on the modal dialog that the call under test brings up. A dialog `act` leaves
// open is a failure; it is then closed, so that the call returns.
void whenModalShown(std::function<void(QDialog &)> act)
{
    QTimer::singleShot(0, [act] {
        QPointer<QDialog> dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return whenModalShown(act);
        act(*dialog);
        if (dialog && dialog->isVisible()) {
            ADD_FAILURE() << "\"" << dialog->windowTitle().toStdString() << "\" stayed open";
            dialog->reject();
        }
    });
}

bool anyWindowShown()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible())
            return true;
    return false;
}

struct FontBox {
    QFontDialog *chooser = nullptr;
    QListView *families = nullptr;
    QLineEdit *size = nullptr;
};

FontBox partsOf(QDialog &box)
{
    FontBox parts{box.findChild<QFontDialog *>()};
    for (QListView *list : parts.chooser->findChildren<QListView *>())
        if (list->currentIndex().data().toString() == parts.chooser->currentFont().family())
            parts.families = list;
    for (QLineEdit *edit : parts.chooser->findChildren<QLineEdit *>())
        if (edit->validator()) // the size field takes numbers only
            parts.size = edit;
    return parts;
}

FontSpec captionSpec() // "ＭＳ Ｐゴシック", as the program starts, with a style of its own
{
    FontSpec spec;
    spec.pointSize = 11;
    spec.color = QColor(200, 0, 40);
    spec.bold = true; // kept, though captions never print bold
    spec.italic = true;
    spec.underline = true;
    return spec;
}

TEST(CaptionFontBox, OpensOnThePrintedFaceAndOkWithoutAChangeKeepsTheFont)
{
    QtDialogs real;
    whenModalShown([](QDialog &box) {
        const FontBox parts = partsOf(box);
        EXPECT_EQ(parts.chooser->currentFont().family(), QFontInfo(CaptionFont(captionSpec())).family());
        EXPECT_TRUE(parts.families) << "the printed face is not chosen in the list";
        QTest::mouseClick(box.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    });
    EXPECT_EQ(real.chooseFont(nullptr, captionSpec()), captionSpec());
    EXPECT_FALSE(anyWindowShown());
}

TEST(CaptionFontBox, EscapeCancelsAndEnterConfirmsTheWholeBox)
{
    QtDialogs real;
    for (const bool inList : {true, false}) {
        whenModalShown([inList](QDialog &box) {
            const FontBox parts = partsOf(box);
            QTest::keyClick(inList ? static_cast<QWidget *>(parts.families) : parts.chooser, Qt::Key_Escape);
        });
        EXPECT_FALSE(real.chooseFont(nullptr, captionSpec()));
        EXPECT_FALSE(anyWindowShown());
    }

    // Another face picked in the list, confirmed there.
    QString picked;
    whenModalShown([&picked](QDialog &box) {
        const FontBox parts = partsOf(box);
        QTest::keyClick(parts.families, parts.families->currentIndex().row() > 0 ? Qt::Key_Up : Qt::Key_Down);
        picked = parts.chooser->currentFont().family();
        QTest::keyClick(parts.families, Qt::Key_Return);
    });
    const std::optional<FontSpec> chosen = real.chooseFont(nullptr, captionSpec());
    ASSERT_TRUE(chosen);
    EXPECT_NE(picked, QFontInfo(CaptionFont(captionSpec())).family());
    EXPECT_EQ(chosen->face, picked);
    EXPECT_EQ(chosen->pointSize, 11);
    EXPECT_EQ(chosen->color, captionSpec().color); // the style follows what the new face offers

    // A size typed and confirmed in its field: the face asked for stays.
    whenModalShown([](QDialog &box) {
        const FontBox parts = partsOf(box);
        parts.size->selectAll();
        QTest::keyClicks(parts.size, QStringLiteral("14"));
        QTest::keyClick(parts.size, Qt::Key_Enter);
    });
    FontSpec expected = captionSpec();
    expected.pointSize = 14;
    EXPECT_EQ(real.chooseFont(nullptr, captionSpec()), expected);
    EXPECT_FALSE(anyWindowShown());
}

TEST(QtTranslations, StandardButtonsAreJapaneseAndTheProgramsTextsStay)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFile::exists(folder + QStringLiteral("/qtbase_ja.qm")))
        GTEST_SKIP() << "Qt's Japanese catalogue is not installed (Debian: qt6-translations-l10n)";
    ASSERT_TRUE(InstallQtTranslations());
    QtDialogs real;
    whenModalShown([](QDialog &dialog) {
        auto &box = static_cast<QMessageBox &>(dialog);
        EXPECT_EQ(box.windowTitle(), QStringLiteral("確認"));
        EXPECT_EQ(box.text(), QStringLiteral("作業ファイルを削除します。"));
        EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("キャンセル"));
        QTest::keyClick(&box, Qt::Key_Escape);
    });
    EXPECT_FALSE(real.askOkCancel(nullptr, QStringLiteral("作業ファイルを削除します。"), QStringLiteral("確認")));
}

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    QFile file(dir.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    return file.fileName();
}

QString writeJpeg(const QTemporaryDir &dir, const QString &name, int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(QColor(30, 160, 60));
    EXPECT_TRUE(image.save(dir.filePath(name), "JPG"));
    return dir.filePath(name);
}

// Waits for the preview to show `path`; whether it shows a picture for it (nothing if never).
std::optional<bool> previewOf(QSignalSpy &spy, const QString &path)
{
    do {
        while (!spy.isEmpty()) {
            const QList<QVariant> shown = spy.takeFirst();
            if (shown.at(0).toString() == path)
                return shown.at(1).toBool();
        }
    } while (spy.wait(15000));
    return std::nullopt;
}

TEST(OpenPictureDialog, PreviewShowsThePictureChosenAndNothingForABrokenFile)
{
    QTemporaryDir dir;
    const QString good = writeJpeg(dir, QStringLiteral("photo.jpg"), 640, 480);
    const QString broken = writeFile(dir, QStringLiteral("broken.jpg"), QByteArray("\xff\xd8\xff\xe0 not a JPEG"));
    QtDialogs real;
    whenModalShown([&](QDialog &dialog) {
        auto &files = static_cast<QFileDialog &>(dialog);
        auto *preview = files.findChild<PicturePreview *>();
        ASSERT_TRUE(preview && preview->isVisible());
        files.setDirectory(dir.path());
        auto *model = files.findChild<QFileSystemModel *>();
        QAbstractItemView *list = nullptr; // the file list, in whichever form it is shown
        for (QAbstractItemView *v : files.findChildren<QAbstractItemView *>())
            if (v->isVisible() && v->model() == model && !qobject_cast<QHeaderView *>(v))
                list = v;
        ASSERT_TRUE(list);
        QSignalSpy spy(preview, &PicturePreview::previewShown);
        for (const QString &path : {good, broken, good}) {
            list->setCurrentIndex(model->index(path)); // as a click on it does
            EXPECT_EQ(previewOf(spy, path), std::optional<bool>(path == good));
            EXPECT_EQ(preview->hasPicture(), path == good);
        }
        // 640 x 480 shrunk into the 200-pixel square, its own size written beneath.
        QStringList shown;
        for (const QLabel *label : preview->findChildren<QLabel *>())
            shown << (label->pixmap().isNull() ? label->text()
                                               : QStringLiteral("%1x%2").arg(label->pixmap().width()).arg(label->pixmap().height()));
        EXPECT_EQ(shown, QStringList({QStringLiteral("200x150"), QStringLiteral("640 x 480")}));
        QTest::keyClick(list, Qt::Key_Return);
    });
    const std::optional<QString> chosen = real.openPicture(nullptr, QStringLiteral("JPEG (*.jpg)"), dir.path());
    EXPECT_EQ(chosen, std::optional<QString>(good));
    EXPECT_FALSE(anyWindowShown());
}

TEST(PicturePreviewWidget, AnEarlierDecodeNeverReplacesTheFileChosenSince)
{
    QTemporaryDir dir;
    const QString big = writeJpeg(dir, QStringLiteral("big.jpg"), 2400, 1600);
    const QString notes = writeFile(dir, QStringLiteral("notes.txt"), "text");
    PicturePreview preview;
    QSignalSpy spy(&preview, &PicturePreview::previewShown);
    preview.showFile(big);
    preview.showFile(notes); // nothing to decode: shown at once
    QThreadPool::globalInstance()->waitForDone(); // the decode of big.jpg has ended
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(preview.shownFile(), notes);
    EXPECT_FALSE(preview.hasPicture());

    spy.clear();
    preview.showFile(big);
    EXPECT_EQ(previewOf(spy, big), std::optional<bool>(true));
}

TEST(OpenPictureDialog, StartsInTheFolderOfTheLastPictureWithItsColumnsReadable)
{
    QStandardPaths::setTestModeEnabled(true); // Qt's file dialog keeps its columns in settings:
    QSettings(QSettings::UserScope, QStringLiteral("QtProject")).clear(); // none here
    QTemporaryDir dir;
    PictureFolderMemory memory;
    RememberPictureFolder(memory, {writeJpeg(dir, QStringLiteral("IMG_20240101_123456.jpg"), 640, 480)});
    whenModalShown([&](QDialog &dialog) {
        EXPECT_EQ(static_cast<QFileDialog &>(dialog).directory().absolutePath(), dir.path());
        QAbstractItemView *view = dialog.findChild<QTreeView *>(QStringLiteral("treeView"));
        auto *model = dialog.findChild<QFileSystemModel *>();
        ASSERT_TRUE(QTest::qWaitFor([&] { return model->rowCount(model->index(dir.path())) == 1; }, 15000));
        QHeaderView *header = static_cast<QTreeView *>(view)->header();
        EXPECT_TRUE(header->isSectionHidden(2)); // the type, in the system's language
        for (const int column : {0, 1, 3}) // name, size, date
            EXPECT_GE(header->isSectionHidden(column) ? 0 : header->sectionSize(column), view->sizeHintForColumn(column));
        dialog.reject();
    });
    EXPECT_FALSE(QtDialogs().openPicture(nullptr, QStringLiteral("JPEG (*.jpg)"), OpenDialogStartFolder(memory)));
}

TEST(PicturePreviewWidget, SaysWhyAFileCannotBeShownWithoutItsPath)
{
    QTemporaryDir dir;
    PicturePreview preview;
    QSignalSpy spy(&preview, &PicturePreview::previewShown);
    const QLabel *square = preview.findChildren<QLabel *>().value(0);
    for (const QString &path : {writeFile(dir, QStringLiteral("壊れた.jpg"), "\xff\xd8\xff\xe0 no JPEG"),
                                writeFile(dir, QStringLiteral("notes.txt"), "text"), dir.path()}) {
        QString reason; // what the decoder says of it, its path left out; a folder is no fault
        try {
            (void)DecodePictureForSize(path, pictureKindOf(path), 200, 200, nullptr, nullptr);
        } catch (const PictureError &error) {
            reason = QFileInfo(path).isFile() ? ErrorTextWithoutPath(error.message(), path) : QString();
        }
        preview.showFile(path);
        EXPECT_EQ(previewOf(spy, path), std::optional<bool>(false));
        EXPECT_EQ(square->text(), reason.isEmpty() ? QString() : QStringLiteral("表示できません\n\n") + reason);
    }
}

} // namespace
} // namespace quiltana
