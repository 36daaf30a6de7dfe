// Where the windows and boxes stand and whether their texts fit: the page indicator at its
// longest, the splash's title, the main window's frame, the real message boxes.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>

#include <functional>
#include <map>

#include "Unit5.h"
#include "failurereport.h"
#include "qtdialogs.h"
#include "uitestsupport.h"

namespace quiltana::test {
namespace {

using Placement = MainWindowFixture;

struct SeenBox {
    QRect frame;
    bool onTop = false;
};

// Runs `open`, which shows a modal message box; notes where the box stands and closes it.
SeenBox boxOpenedBy(const std::function<void()> &open)
{
    SeenBox seen;
    QTimer watcher;
    watcher.setInterval(10);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(w);
            if (box && box->isVisible()) {
                seen.frame = box->frameGeometry();
                seen.onTop = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
                box->done(QMessageBox::Ok);
                watcher.stop();
                return;
            }
        }
    });
    watcher.start();
    open();
    return seen;
}

QPoint availableCentre() { return QGuiApplication::primaryScreen()->availableGeometry().center(); }

void expectNear(const QPoint &actual, const QPoint &expected, int tolerance = 3)
{
    EXPECT_LE((actual - expected).manhattanLength(), tolerance)
        << "at (" << actual.x() << ", " << actual.y() << "), expected (" << expected.x() << ", " << expected.y()
        << ")";
}

TEST_F(Placement, PageIndicatorHoldsTheLastOfAThousandPages)
{
    TForm1 &w = open();
    Document &doc = run.document;
    doc.cellAt(999)->picturePath = QStringLiteral("/nowhere/last.jpg");
    doc.lastFilledCell = 999;
    action(w, QStringLiteral("s1"))->trigger(); // one picture a page: 1000 pages
    EXPECT_EQ(pageIndicator(w)->text(), QStringLiteral("1/1000"));
    pageArrows(w)->setValue(999);
    ASSERT_EQ(pageIndicator(w)->text(), QStringLiteral("1000/1000"));

    const QFontMetrics metrics(pageIndicator(w)->font());
    EXPECT_LE(metrics.horizontalAdvance(pageIndicator(w)->text()), pageIndicator(w)->contentsRect().width());
    // The indicator keeps its design place; the arrows follow it and stay on the toolbar.
    EXPECT_EQ(pageIndicator(w)->x(), 298);
    EXPECT_GT(pageArrows(w)->x(), pageIndicator(w)->geometry().right());
    EXPECT_LE(pageArrows(w)->geometry().right(), control<QWidget>(w, QStringLiteral("Panel1"))->width() - 1);
}

TEST(SplashPlacement, TitleAndLabelsStayInsideTheWindow)
{
    TForm5 splash; // never shown: its timer needs the event loop to fire
    for (const QLabel *label : {named<QLabel>(splash, "Label1"), named<QLabel>(splash, "Label2")}) {
        EXPECT_LE(label->sizeHint().width(), label->width()) << label->text().toStdString();
        EXPECT_LE(label->mapTo(&splash, QPoint(label->width(), 0)).x(), splash.width());
    }

    // The picture is wider than the window; the title must end before the window does. The sky
    // is a vertical gradient, the same along a row, and column 0 holds nothing but sky.
    const QImage picture = SplashPicture();
    ASSERT_GT(picture.width(), splash.width());
    int covered = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = splash.width() - 1; x < picture.width(); ++x)
            ASSERT_EQ(picture.pixel(x, y), picture.pixel(0, y)) << "title pixel at " << x << ", " << y;
    }
    // ...and it is there: white letters to the right of the program's picture.
    for (int y = 60; y < 100; ++y) {
        for (int x = 170; x < splash.width(); ++x)
            covered += qGray(picture.pixel(x, y)) > 240;
    }
    EXPECT_GT(covered, 50);
}

TEST_F(Placement, FrameStandsAtTheTopRightOfTheAvailableScreen)
{
    TForm1 &w = open();
    const QRect available = w.screen()->availableGeometry();
    EXPECT_EQ(w.width(), 400);
    EXPECT_EQ(w.frameGeometry().topRight(), available.topRight());
}

TEST_F(Placement, ErrorBoxStandsInTheMiddleOfItsParentWindow)
{
    QtDialogs real;
    QWidget parent;
    parent.setGeometry(60, 150, 520, 380);
    parent.show();
    settle();
    const SeenBox box = boxOpenedBy([&] { real.error(&parent, QStringLiteral("壊れた写真です。")); });
    ASSERT_TRUE(box.frame.isValid());
    expectNear(box.frame.center(), parent.frameGeometry().center());
    EXPECT_FALSE(box.onTop); // it stands over its own window, not over every other program

    // A window that is not shown has no place to stand in: the box takes the screen's middle,
    // above the splash, which stays on top while the program starts.
    QWidget hidden;
    hidden.setGeometry(0, 0, 200, 100);
    const SeenBox alone = boxOpenedBy([&] { real.error(&hidden, QStringLiteral("壊れた写真です。")); });
    ASSERT_TRUE(alone.frame.isValid());
    expectNear(alone.frame.center(), availableCentre());
    EXPECT_TRUE(alone.onTop);

    const SeenBox orphan = boxOpenedBy([&] { real.error(nullptr, QStringLiteral("壊れた写真です。")); });
    expectNear(orphan.frame.center(), availableCentre());
    EXPECT_TRUE(orphan.onTop);

    // A box larger than its window, in the screen's corner, still opens whole on the screen.
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    parent.setGeometry(available.right() - 60, available.top(), 60, 40);
    settle();
    const QString text = QStringLiteral("入りきらなかった写真があります。");
    const QRect cornered = boxOpenedBy([&] { real.error(&parent, text); }).frame;
    EXPECT_TRUE(available.contains(cornered)) << cornered.x() << ", " << cornered.y() << " " << cornered.width();
}

TEST_F(Placement, PrintDialogAndAboutBoxOpenInTheMiddleOfTheScreenEveryTime)
{
    TForm1 &w = open();
    setDialogs(nullptr); // the real dialogs
    std::map<QAction *, QRect> first; // the client area at each one's first showing
    for (QAction *command : {action(w, QStringLiteral("About1")), action(w, QStringLiteral("Print1")), action(w, QStringLiteral("About1")), action(w, QStringLiteral("Print1"))}) {
        QRect seen;
        QTimer::singleShot(0, [&seen] {
            auto *dialog = static_cast<QDialog *>(QApplication::activeModalWidget());
            seen = dialog->geometry();
            expectNear(dialog->frameGeometry().center(), availableCentre());
            dialog->reject();
        });
        command->trigger();
        EXPECT_EQ(seen, first.try_emplace(command, seen).first->second) << command->text().toStdString();
    }
}

TEST_F(Placement, ErrorAtStartUpIsCentredOnTheScreen)
{
    const QString broken = QDir(pictureDir.path()).filePath(QStringLiteral("broken.jpg"));
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a picture at all");
    f.close();
    setDialogs(nullptr); // the real boxes; the fixture's stand-ins are out of the way
    // The conversion error comes while the window is created, before it is shown.
    const SeenBox box = boxOpenedBy([&] { open({broken}); });
    ASSERT_TRUE(box.frame.isValid());
    expectNear(box.frame.center(), availableCentre());
    EXPECT_TRUE(box.onTop);
}

TEST(InstalledCopy, KeepsItsWorkFolderInTheCacheEvenWhereItCouldWrite)
{
    QStandardPaths::setTestModeEnabled(true);
    const bool hadTemp = QFileInfo::exists(QStringLiteral("/usr/bin/temp"));
    EXPECT_TRUE(TForm1::IsInstalledFolder(QStringLiteral("/usr/bin/")));
    // Run as root, the folder could be written; it still is not.
    EXPECT_EQ(TForm1::ProgramFolder(QStringLiteral("/usr/bin")),
              QStandardPaths::writableLocation(QStandardPaths::CacheLocation));
    EXPECT_TRUE(hadTemp || !QFileInfo::exists(QStringLiteral("/usr/bin/temp")));
    QTemporaryDir build;
    ASSERT_TRUE(build.isValid());
    EXPECT_FALSE(TForm1::IsInstalledFolder(build.path()));
}

// Opens the details of the box `open` shows, notes where the box stands then and closes it.
QRect detailsOpenedBy(const std::function<void()> &open, QString *details)
{
    QRect frame;
    QTimer watcher;
    watcher.setInterval(10);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(w);
            if (!box || !box->isVisible())
                continue;
            watcher.stop();
            *details = box->detailedText();
            for (QAbstractButton *button : box->buttons())
                if (box->buttonRole(button) == QMessageBox::ActionRole)
                    button->click(); // "Show Details..."
            QApplication::processEvents();
            frame = box->frameGeometry();
            box->done(QMessageBox::Ok);
            return;
        }
    });
    watcher.start();
    open();
    return frame;
}

TEST_F(Placement, ThousandFailuresWithLongNamesMakeABoxThatFitsTheScreen)
{
    QStringList errors;
    const QString folder = QStringLiteral("/home/写真/") + QStringLiteral("とても長いフォルダーの名前").repeated(30);
    for (int i = 0; i < 1000; ++i)
        errors.append(QStringLiteral("%1/IMG_%2.jpg: JPEG ファイルとして読めません").arg(folder).arg(i));
    QtDialogs real;
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    for (const FailureReport &report : {ComposeFailureReport(errors), ComposeFailureReport(errors.mid(0, 1))}) {
        QString details;
        const QRect frame = detailsOpenedBy([&] { real.error(nullptr, report.text, report.details); }, &details);
        ASSERT_TRUE(frame.isValid());
        EXPECT_TRUE(available.contains(frame)) << frame.width() << " x " << frame.height();
        EXPECT_EQ(details, report.details);
        EXPECT_TRUE(details.startsWith(errors.first())); // the whole name, for the one failure too
    }
}

} // namespace
} // namespace quiltana::test
