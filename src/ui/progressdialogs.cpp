#include "progressdialogs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

#include <functional>
#include <utility>

#include "Unit5.h"

namespace quiltana {

namespace {

// How long printing waits at most for its progress dialog to reach the screen.
constexpr int kPrintShowWaitMs = 300;

// A progress dialog that Esc and the close box never hide while the work goes on: for a run
// that may be stopped they ask to stop (as "中止" does), otherwise they do nothing.
class BusyDialog : public QProgressDialog {
public:
    BusyDialog(QWidget *parent, std::function<void()> askStop, const QString &barFormat = QStringLiteral("%v / %m"))
        : QProgressDialog(parent), askStop_(std::move(askStop))
    {
        setWindowTitle(QStringLiteral("Quiltana"));
        setAutoClose(false);
        setAutoReset(false);
        // QProgressDialog hides itself when cancelled; stopping here waits for the page in
        // progress, and the dialog shows that meanwhile.
        disconnect(this, &QProgressDialog::canceled, nullptr, nullptr);
        connect(this, &QProgressDialog::canceled, this, [this] {
            if (askStop_)
                askStop_();
        });
        auto *bar = new QProgressBar(this);
        bar->setFormat(barFormat);
        bar->setAlignment(Qt::AlignCenter);
        setBar(bar);
        setWindowModality(Qt::WindowModal);
        // Neither maximised nor closed: the work decides when the dialog goes, "中止" asks it to.
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
        // Room for "1000 / 1000" and a bar whose steps can be seen.
        setMinimumWidth(kMinimumWidth);
    }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_Escape) {
            if (askStop_)
                askStop_();
            event->accept();
            return;
        }
        QProgressDialog::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent *event) override
    {
        if (askStop_)
            askStop_();
        event->ignore();
    }

private:
    static constexpr int kMinimumWidth = 280;
    std::function<void()> askStop_;
};

// At start-up the window is not on screen yet, and the splash stays on top of every window for
// its three seconds. The dialog then stands on top as well, in the middle of the screen rather
// than beside the window's future place: just below the splash where there is room, else just
// above it, else over it.
void placeAtStartUp(QProgressDialog &dialog)
{
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    QRect placed(QPoint(0, 0), dialog.sizeHint());
    placed.moveCenter(available.center());
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (!qobject_cast<TForm5 *>(w) || !w->isVisible())
            continue;
        const QRect splash = w->frameGeometry();
        constexpr int kGap = 8;
        if (splash.bottom() + kGap + placed.height() <= available.bottom())
            placed.moveTop(splash.bottom() + kGap);
        else if (splash.top() - kGap - placed.height() >= available.top())
            placed.moveBottom(splash.top() - kGap);
    }
    dialog.move(placed.topLeft());
}

} // namespace

QString importProgressLabel() { return QStringLiteral("写真を読み込み中..."); }
QString printProgressLabel(const PrintStep &step)
{
    return QStringLiteral("ページ %1 を印刷中... (%2 / %3)").arg(step.page).arg(step.index).arg(step.count);
}
QString printProgressBarFormat() { return QStringLiteral("印刷済み %v / %m ページ"); }
QString printStoppedText(const PrintRun &run, bool toFile)
{
    QString text = run.printed < run.count
                       ? QStringLiteral("印刷を中止しました。\n%1 ページのうち %2 ページを印刷しました。")
                             .arg(run.count)
                             .arg(run.printed)
                       : QStringLiteral("中止する前に、%1 ページすべてを印刷し終えていました。").arg(run.count);
    if (!toFile)
        return text;
    if (run.file.isEmpty())
        return text + QStringLiteral("\nPDF ファイルは作られていません。");
    return text + QStringLiteral("\n\nPDF ファイル: %1").arg(QDir::toNativeSeparators(run.file));
}
QString printStoppedCaption() { return QStringLiteral("印刷"); }
QString printStoppingLabel() { return QStringLiteral("中止しています..."); }
QString printStopButtonText() { return QStringLiteral("中止"); }

ImportProgress::ImportProgress(QWidget *parent) : parent_(parent) {}

ImportProgress::~ImportProgress() = default;

void ImportProgress::report(int done, int total)
{
    // One picture is over before a dialog could be seen.
    if (total <= 1)
        return;
    if (!dialog_) {
        dialog_ = std::make_unique<BusyDialog>(parent_, nullptr);
        dialog_->setLabelText(importProgressLabel());
        dialog_->setCancelButton(nullptr);
        dialog_->setMinimumDuration(kImportProgressDelayMs);
        dialog_->setRange(0, total);
        dialog_->setValue(0); // starts the clock of the minimum duration
        if (!parent_ || !parent_->isVisible())
            placeAtStartUp(*dialog_);
    }
    dialog_->setValue(done);
    // Repaints and timers, no clicks or keys: no other command may start while the cells are
    // being filled; what the user does meanwhile waits for the end of the import.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

PrintProgress::PrintProgress(QWidget *parent) : parent_(parent) {}

PrintProgress::~PrintProgress() = default;

bool PrintProgress::nextPage(const PrintStep &step)
{
    if (step.count <= 1)
        return true;
    if (!dialog_) {
        dialog_ = std::make_unique<BusyDialog>(
            parent_,
            [this] {
                if (stopped_)
                    return;
                stopped_ = true;
                dialog_->setLabelText(printStoppingLabel());
                if (auto *button = dialog_->findChild<QPushButton *>())
                    button->setEnabled(false);
            },
            printProgressBarFormat());
        dialog_->setCancelButtonText(printStopButtonText());
        dialog_->setMinimumDuration(0);
        dialog_->setRange(0, step.count);
        dialog_->setValue(0);
        dialog_->setLabelText(printProgressLabel(step));
        dialog_->show();
        // The window system maps a new window in its own time, and the first page's
        // composition holds the thread: a moment's wait lets the dialog show its text at once.
        QElapsedTimer shown;
        shown.start();
        while (!dialog_->windowHandle()->isExposed() && shown.elapsed() < kPrintShowWaitMs)
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, kPrintShowWaitMs);
    }
    // A click on "中止" made while the last page was composed arrives now; the dialog is
    // modal, so nothing else of the program can be reached.
    QCoreApplication::processEvents();
    if (stopped_)
        return false;
    // The bar already counts the pages before this one (pageDone); the text names this one,
    // which from now on is printed whatever comes.
    dialog_->setLabelText(printProgressLabel(step));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return true;
}

void PrintProgress::pageDone(const PrintStep &step)
{
    if (!dialog_)
        return;
    dialog_->setValue(step.index);
    // Lets "中止" through during the last page too, so that it is never lost.
    QCoreApplication::processEvents();
}

void PrintProgress::close() { dialog_.reset(); }

} // namespace quiltana
