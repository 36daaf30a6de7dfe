#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QProgressDialog>
#include <QScreen>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>
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
        w.N11->trigger();
        w.SpeedButton3->click(); // layout "1X1"
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
        EXPECT_EQ(document().cell(i).picturePath, names[i]);
        EXPECT_FALSE(document().cell(i).workPath.isEmpty());
    }
    EXPECT_TRUE(document().cell(6).picturePath.isEmpty());
    EXPECT_EQ(document().layoutStyle, 2);
    EXPECT_EQ(w.Label1->text(), QStringLiteral("1/3"));
    // Over: the dialog is gone and the window takes commands again.
    EXPECT_EQ(progressDialog(), nullptr);
    EXPECT_FALSE(w.busy());
    w.N11->trigger();
    EXPECT_TRUE(document().cell(0).picturePath.isEmpty());
}

TEST_F(Progress, PicturesNamedAtStartUpShowTheirCountAndOnePictureShowsNone)
{
    const QStringList names = pictures(4);
    {
        Watcher watcher;
        open(names);
        expectCountsUpTo(watcher.seen, 4);
        EXPECT_EQ(document().lastFilledCell, 3);
        EXPECT_TRUE(fake.errors.isEmpty());
    }
    // While the splash stays on top, the start-up's progress stands on top too, clear of it.
    window.reset();
    test::ResetProgramState();
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
    EXPECT_FALSE(document().cell(0).workPath.isEmpty());
}

TEST_F(Progress, PrintingStopsAfterThePageInProgressWhenStopIsPressed)
{
    TForm1 &w = open();
    w.WMDropFile(pictures(5));
    w.s1Click(); // one picture a page: five pages
    ASSERT_EQ(document().pageCount, 5);
    fake.onExec = [&w](QDialog &) {
        w.printDialog()->pageall->click();
        return kPrintResultPrint;
    };
    QString afterStop;
    Watcher watcher([&](QProgressDialog &dialog) {
        if (dialog.labelText() != QStringLiteral("印刷中... 3 / 5 ページ") || !afterStop.isEmpty())
            return;
        // Pressed once page 2 is sent: page 3 is the next, and is never begun.
        EXPECT_EQ(printer.jobs.size(), 2u);
        auto *stop = dialog.findChild<QPushButton *>();
        ASSERT_NE(stop, nullptr);
        EXPECT_EQ(stop->text(), QStringLiteral("中止"));
        stop->click();
        afterStop = dialog.labelText();
        EXPECT_FALSE(stop->isEnabled());
    });
    watcher.window = &w;
    w.Print1Click();

    EXPECT_EQ(afterStop, QStringLiteral("中止しています..."));
    EXPECT_EQ(printer.jobs.size(), 2u);
    EXPECT_EQ(printer.abortedJobs, 0);
    EXPECT_FALSE(printer.jobOpen);
    EXPECT_TRUE(fake.errors.isEmpty());
    ASSERT_FALSE(watcher.seen.empty());
    EXPECT_EQ(watcher.seen.front().label, QStringLiteral("印刷中... 1 / 5 ページ"));
    for (const Glimpse &g : watcher.seen) {
        EXPECT_TRUE(g.busy);
        EXPECT_TRUE(g.modal);
        EXPECT_EQ(g.maximum, 5);
    }
    EXPECT_EQ(progressDialog(), nullptr);
    EXPECT_FALSE(w.busy());

    // Not stopped, every page goes out; a single page shows no dialog.
    printer.jobs.clear();
    {
        Watcher all;
        w.Print1Click();
        EXPECT_EQ(printer.jobs.size(), 5u);
        ASSERT_FALSE(all.seen.empty());
        EXPECT_EQ(all.seen.back().label, QStringLiteral("印刷中... 5 / 5 ページ"));
        EXPECT_EQ(all.seen.back().bar, QStringLiteral("4 / 5"));
    }
    printer.jobs.clear();
    fake.onExec = [&w](QDialog &) {
        w.printDialog()->pagecurrent->click();
        return kPrintResultPrint;
    };
    Watcher one;
    w.Print1Click();
    EXPECT_EQ(printer.jobs.size(), 1u);
    EXPECT_TRUE(one.seen.empty());
}

} // namespace
} // namespace quiltana::test
