#include "progressdialogs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>

#include <functional>
#include <utility>

#include "Unit5.h"

namespace quiltana {

namespace {

// A progress dialog that Esc and the close box never hide while the work goes on: for a run
// that may be stopped they ask to stop (as "中止" does), otherwise they do nothing.
class BusyDialog : public QProgressDialog {
public:
    BusyDialog(QWidget *parent, std::function<void()> askStop) : QProgressDialog(parent), askStop_(std::move(askStop))
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
        bar->setFormat(QStringLiteral("%v / %m"));
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
QString printProgressLabel(int page, int pages)
{
    return QStringLiteral("印刷中... %1 / %2 ページ").arg(page).arg(pages);
}
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

bool PrintProgress::nextPage(int page, int pages)
{
    if (pages <= 1)
        return true;
    if (!dialog_) {
        dialog_ = std::make_unique<BusyDialog>(parent_, [this] {
            if (stopped_)
                return;
            stopped_ = true;
            dialog_->setLabelText(printStoppingLabel());
            if (auto *button = dialog_->findChild<QPushButton *>())
                button->setEnabled(false);
        });
        dialog_->setCancelButtonText(printStopButtonText());
        dialog_->setMinimumDuration(0);
        dialog_->setRange(0, pages);
        dialog_->setLabelText(printProgressLabel(page, pages));
        dialog_->show();
    }
    // A click on "中止" made while the last page was composed arrives now; the dialog is
    // modal, so nothing else of the program can be reached.
    QCoreApplication::processEvents();
    if (stopped_)
        return false;
    dialog_->setLabelText(printProgressLabel(page, pages));
    dialog_->setValue(page - 1);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return !stopped_;
}

} // namespace quiltana
