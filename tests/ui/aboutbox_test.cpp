#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include "Unit3.h"
#include "Unit5.h"
#include "uitestsupport.h"

namespace quiltana::test {
namespace {

using AboutBox = MainWindowFixture;

TEST_F(AboutBox, PrinterLinesAreWrittenAnewAtEachOpening)
{
    TForm1 &w = open();
    QStringList seen;
    fake.onExec = [&](QDialog &d) {
        seen.append(named<QPlainTextEdit>(d, "Memo1")->toPlainText());
        return 1;
    };
    w.About1Click();
    speedButton(w, 9)->click();
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[0], seen[1]);
    const QStringList lines = seen[1].split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 11);
    EXPECT_EQ(lines[0], QStringLiteral("プリンタ情報"));
    EXPECT_EQ(lines[1], QStringLiteral("横方向4760ピクセル"));
    EXPECT_EQ(lines[2], QStringLiteral("縦方向6779ピクセル"));
    EXPECT_EQ(lines[3], QStringLiteral("横方向印字可能幅201mm"));
    EXPECT_EQ(lines[10], QStringLiteral("縦方向600DPI"));
}

TEST_F(AboutBox, MarginLinesShowTheTextsAsStored)
{
    TForm1 &w = open();
    run.pageSetup.topText = QStringLiteral("4.23");
    QString text;
    fake.onExec = [&](QDialog &d) {
        text = named<QPlainTextEdit>(d, "Memo1")->toPlainText();
        return 1;
    };
    w.About1Click();
    EXPECT_EQ(text.split(QLatin1Char('\n')).value(5), QStringLiteral("上余白4.23mm"));
}

TEST_F(AboutBox, HistoryTogglesBetweenTheTwoHeightsAndStartsCollapsed)
{
    TForm1 &w = open();
    std::vector<int> heights;
    QString history;
    fake.onExec = [&](QDialog &d) {
        auto &box = static_cast<TForm3 &>(d);
        QPushButton *details = named<QPushButton>(box, "Button1");
        heights.push_back(box.height());
        details->click();
        heights.push_back(box.height());
        EXPECT_EQ(details->text(), QStringLiteral("<<<詳細"));
        EXPECT_TRUE(named<QPlainTextEdit>(box, "Memo2")->isVisible());
        history = named<QPlainTextEdit>(box, "Memo2")->toPlainText();
        details->click();
        heights.push_back(box.height());
        EXPECT_EQ(details->text(), QStringLiteral("詳細>>>"));
        details->click(); // leave it expanded: the next opening must collapse it
        return 1;
    };
    w.About1Click();
    w.About1Click();
    EXPECT_EQ(heights, (std::vector<int>{240, 340, 240, 240, 340, 240}));
    const QStringList lines = history.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 15);
    EXPECT_EQ(lines[0], QStringLiteral("更新情報..."));
    EXPECT_TRUE(lines[7].startsWith(QStringLiteral("2014年8月")));
    EXPECT_EQ(lines[14], QStringLiteral("　　  8月 バグ修正"));
}

TEST(Splash, ClickOnThePictureClosesIt)
{
    auto *splash = new TForm5;
    QPointer<TForm5> alive(splash);
    splash->show();
    const QTimer *timer = named<QTimer>(*splash, "Timer1");
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 3000);
    EXPECT_EQ(splash->size(), QSize(291, 309));
    EXPECT_TRUE(splash->windowFlags() & Qt::WindowStaysOnTopHint);
    splash->Image1Click();
    settle();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());
}

} // namespace
} // namespace quiltana::test
