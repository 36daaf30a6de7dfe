#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QProgressDialog>
#include <QScreen>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QDir>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <utility>
#include <vector>

#include "Unit4.h"
#include "Unit5.h"
#include "printjob.h"
#include "uitestsupport.h"

namespace quiltana::test {
namespace {

// The progress dialog on screen (or waiting for its delay), if any.
QProgressDialog *progressDialog()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *dialog = qobject_cast<QProgressDialog *>(w))
            return dialog;
    return nullptr;
}

// What a look at the progress dialog found, from a timer that runs while the window lets its
// events through.
struct Glimpse {
    QString label;
    QString bar;
    int maximum = 0;
    bool busy = false;
    bool modal = false;
    bool onTop = false;
    QRect frame;
};

// Looks at the progress dialog whenever the event loop turns, and runs `also` each time.
class Watcher {
public:
    explicit Watcher(std::function<void(QProgressDialog &)> also = {}) : also_(std::move(also))
    {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this] { look(); });
        timer_.start();
    }
    ~Watcher() { timer_.stop(); }
    Watcher(const Watcher &) = delete;
    Watcher &operator=(const Watcher &) = delete;

    TForm1 *window = nullptr;
    std::vector<Glimpse> seen;

private:
    void look()
    {
        QProgressDialog *dialog = progressDialog();
        if (!dialog)
            return;
        const auto *bar = dialog->findChild<QProgressBar *>();
        seen.push_back({dialog->labelText(), bar ? bar->text() : QString(), dialog->maximum(),
                        window && window->busy(), dialog->windowModality() != Qt::NonModal,
                        dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint), dialog->frameGeometry()});
        if (also_)
            also_(*dialog);
    }
    QTimer timer_;
    std::function<void(QProgressDialog &)> also_;
};

class Progress : public MainWindowFixture {
protected:
    QStringList pictures(int count)
    {
        QStringList names;
        for (int i = 0; i < count; ++i)
            names << picture(QStringLiteral("p%1.png").arg(i), QColor(i * 30, 100, 200 - i * 20), 60, 40);
        return names;
    }
};

// The bar reads "k / N" with k rising by one picture at a time, up to N.
void expectCountsUpTo(const std::vector<Glimpse> &seen, int total)
{
    ASSERT_FALSE(seen.empty());
    int last = 0;
    for (const Glimpse &g : seen) {
        const QStringList parts = g.bar.split(QStringLiteral(" / "));
        ASSERT_EQ(parts.size(), 2) << g.bar.toStdString();
        const int done = parts[0].toInt();
        EXPECT_EQ(parts[1].toInt(), total);
        EXPECT_EQ(g.maximum, total);
        EXPECT_GE(done, last);
        EXPECT_LE(done, last + 1);
        last = done;
    }
    EXPECT_EQ(last, total);
}

TEST_F(Progress, ADropOfSeveralPicturesShowsItsCountAndStartsNothingElseMeanwhile)
{
    TForm1 &w = open();
    const QStringList names = pictures(6);
    const QString intruder = picture(QStringLiteral("intruder.png"), Qt::black);
    bool triedOthers = false;
    Watcher watcher([&](QProgressDialog &) {
        if (triedOthers)
            return;
        triedOthers = true;
        // A second drop and "全てを切り取り" reach the window while it converts: neither runs.
        w.WMDropFile({intruder, intruder});
        action(w, QStringLiteral("N11"))->trigger();
        speedButton(w, 3)->click(); // layout "1X1"
    });
    watcher.window = &w;
    w.WMDropFile(names);

    expectCountsUpTo(watcher.seen, 6);
    for (const Glimpse &g : watcher.seen) {
        EXPECT_EQ(g.label, QStringLiteral("写真を読み込み中..."));
        EXPECT_TRUE(g.busy);
        EXPECT_TRUE(g.modal);
    }
    EXPECT_TRUE(triedOthers);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(run.document.cell(i).picturePath, names[i]);
        EXPECT_FALSE(run.document.cell(i).workPath.isEmpty());
    }
    EXPECT_TRUE(run.document.cell(6).picturePath.isEmpty());
    EXPECT_EQ(run.document.layoutStyle, 2);
    EXPECT_EQ(pageIndicator(w)->text(), QStringLiteral("1/3"));
    // Over: the dialog is gone and the window takes commands again.
    EXPECT_EQ(progressDialog(), nullptr);
    EXPECT_FALSE(w.busy());
    action(w, QStringLiteral("N11"))->trigger();
    EXPECT_TRUE(run.document.cell(0).picturePath.isEmpty());
}

TEST_F(Progress, PicturesNamedAtStartUpShowTheirCountAndOnePictureShowsNone)
{
    const QStringList names = pictures(4);
    {
        Watcher watcher;
        open(names);
        expectCountsUpTo(watcher.seen, 4);
        EXPECT_EQ(run.document.lastFilledCell, 3);
        EXPECT_TRUE(fake.errors.isEmpty());
    }
    // While the splash stays on top, the start-up's progress stands on top too, clear of it.
    window.reset();
    run.document = Document{};
    run.pageSetup = PageSetup{};
    run.printerMetrics = PrinterMetrics{};
    auto *splash = new TForm5; // frees itself when it closes
    splash->show();
    {
        Watcher watcher;
        open(names);
        ASSERT_FALSE(watcher.seen.empty());
        EXPECT_TRUE(watcher.seen.back().onTop);
        EXPECT_FALSE(watcher.seen.back().frame.intersects(splash->frameGeometry()));
        EXPECT_TRUE(QGuiApplication::primaryScreen()->availableGeometry().contains(watcher.seen.back().frame));
    }
    splash->Image1Click();

    Watcher single;
    single.window = window.get();
    window->WMDropFile({names[0]});
    EXPECT_TRUE(single.seen.empty());
    EXPECT_FALSE(run.document.cell(0).workPath.isEmpty());
}

TEST_F(Progress, PrintingNamesEachPageAndAStopSaysHowFarItGot)
{
    TForm1 &w = open();
    w.WMDropFile(pictures(7));
    w.s1Click(); // one picture a page: seven pages
    fake.onExec = [&w](QDialog &) {
        named<QRadioButton>(*w.printDialog(), "pageset")->click();
        named<QLineEdit>(*w.printDialog(), "Edit1")->setText(QStringLiteral("1,3,5-7"));
        return static_cast<int>(PrintDialogResult::Print);
    };
    const int pages[] = {1, 3, 5, 6, 7};
    const QRegularExpression label(QStringLiteral("^ページ (\\d+) を印刷中\\.\\.\\. \\((\\d) / 5\\)$"));
    // On a printer and into PDF files, "中止" pressed while page 5 (the third of five) prints,
    // and not pressed.
    for (const bool toFile : {false, true}) {
        for (const bool stop : {true, false}) {
            SCOPED_TRACE(QStringLiteral("%1 %2").arg(toFile).arg(stop).toStdString());
            printer.jobs.clear();
            fake.messages.clear();
            if (toFile) {
                printer.printerName.clear();
                printer.outputFile = QDir(pictureDir.path()).filePath(QStringLiteral("photos.pdf"));
            }
            bool pressed = false;
            Watcher watcher([&](QProgressDialog &dialog) {
                if (!stop || pressed || dialog.labelText() != QStringLiteral("ページ 5 を印刷中... (3 / 5)"))
                    return;
                auto *button = dialog.findChild<QPushButton *>();
                EXPECT_EQ(button->text(), QStringLiteral("中止"));
                button->click();
                pressed = true;
                EXPECT_EQ(dialog.labelText(), QStringLiteral("中止しています..."));
            });
            watcher.window = &w;
            w.Print1Click();
            // The text names the page in progress and its place i of 5; the bar counts the
            // pages finished: i - 1 while page i prints, i once it is done.
            std::set<int> named;
            for (const Glimpse &g : watcher.seen) {
                EXPECT_TRUE(g.busy && g.modal);
                if (g.label == QStringLiteral("中止しています..."))
                    continue;
                const QRegularExpressionMatch m = label.match(g.label);
                ASSERT_TRUE(m.hasMatch()) << g.label.toStdString();
                const int i = m.captured(2).toInt();
                named.insert(i);
                EXPECT_EQ(m.captured(1).toInt(), pages[i - 1]);
                EXPECT_TRUE(g.bar == QStringLiteral("印刷済み %1 / 5 ページ").arg(i - 1)
                            || g.bar == QStringLiteral("印刷済み %1 / 5 ページ").arg(i)) << g.bar.toStdString();
            }
            const std::size_t printed = stop ? 3 : 5; // the page in progress is finished
            EXPECT_EQ(named.size(), printed);
            EXPECT_EQ(toFile ? 1 + printer.jobs.at(0).morePages.size() : printer.jobs.size(), printed);
            EXPECT_EQ(progressDialog(), nullptr);
            EXPECT_FALSE(w.busy());
            if (!stop) {
                EXPECT_TRUE(fake.messages.empty());
                continue;
            }
            ASSERT_EQ(fake.messages.size(), 1u);
            const QString text = fake.messages[0].text;
            EXPECT_TRUE(text.contains(QStringLiteral("5 ページのうち 3 ページを印刷しました"))) << text.toStdString();
            EXPECT_EQ(text.contains(QDir::toNativeSeparators(printer.outputFile)), toFile) << text.toStdString();
        }
    }

    // A single page shows no dialog.
    printer.jobs.clear();
    fake.onExec = [&w](QDialog &) {
        named<QRadioButton>(*w.printDialog(), "pagecurrent")->click();
        return static_cast<int>(PrintDialogResult::Print);
    };
    Watcher one;
    w.Print1Click();
    EXPECT_EQ(printer.jobs.size(), 1u);
    EXPECT_TRUE(one.seen.empty());
}

} // namespace
} // namespace quiltana::test
