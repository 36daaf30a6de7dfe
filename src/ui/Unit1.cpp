#include "Unit1.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <QShowEvent>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryFile>
#include <QToolButton>

#include <algorithm>
#include <iterator>

#include "Unit3.h"
#include "Unit4.h"
#include "busyscope.h"
#include "commandline.h"
#include "compose.h"
#include "dialogs.h"
#include "document.h"
#include "dropimport.h"
#include "failurereport.h"
#include "glyphs.h"
#include "handlerguard.h"
#include "names.h"
#include "layouts.h"
#include "openfolder.h"
#include "printcommand.h"
#include "printer.h"
#include "progressdialogs.h"
#include "workcopy.h"

namespace quiltana {

namespace {

constexpr int kSnapAbove = 370;  // a window wider than this snaps to the design width

const QString kOpenPictureFilter =
    QStringLiteral("すべてのファイル (*.jpg *.jpeg *.bmp *.png);;JPEG イメージファイル (*.jpg);;"
                   "JPEG イメージファイル (*.jpeg);;ビットマップ (*.bmp)");

bool canWriteWorkFolderIn(const QString &folder)
{
    QDir dir(folder);
    // A "temp" that is a link is not used: closing deletes files in the work folder.
    if (QFileInfo(dir.filePath(QStringLiteral("temp"))).isSymLink())
        return false;
    if (!dir.exists(QStringLiteral("temp")) && !dir.mkdir(QStringLiteral("temp")))
        return false;
    QTemporaryFile probe(dir.filePath(QStringLiteral("temp/probe-XXXXXX")));
    return probe.open();
}

// Where a window frame `frameWidth` wide goes so that its top-right corner is the top-right
// corner of the screen's `available` area (the area the panels leave free).
QPoint topRightFramePosition(const QRect &available, int frameWidth)
{
    return QPoint(available.right() + 1 - frameWidth, available.top());
}

} // namespace

QString TForm1::ProgramFolder(const QString &executableFolder)
{
    if (!IsInstalledFolder(executableFolder) && canWriteWorkFolderIn(executableFolder))
        return executableFolder;
    // An installed program cannot write beside itself; its per-user cache takes that place.
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    QDir().mkpath(cache);
    return cache;
}

bool TForm1::IsInstalledFolder(const QString &executableFolder)
{
    // Run by root, an installed copy could write beside itself, and would leave a "temp" among
    // the system's programs that no package owns.
    const QString folder = QFileInfo(executableFolder).canonicalFilePath();
    if (folder.isEmpty())
        return false;
    const QString installed[] = {QStringLiteral(QUILTANA_INSTALL_BINDIR), QStringLiteral("/usr/bin"),
                                 QStringLiteral("/usr/local/bin")};
    return std::any_of(std::begin(installed), std::end(installed),
                       [&](const QString &bin) { return QFileInfo(bin).canonicalFilePath() == folder; });
}

TForm1::TForm1(RunState &run, const QStringList &arguments, const QStringList &refusedArguments, QWidget *parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      run_(run)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quiltana V3.11"));
    setAccessibleName(windowTitle());
    setWindowIcon(ProgramIcon());
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(12);
    setFont(font);

    createMenus();
    createToolbar();
    createPreview();

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusPanel0 = new QLabel(StatusBar1);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setFixedWidth(300);
    StatusPanel0->setAccessibleName(QString());
    StatusPanel1 = new QLabel(StatusBar1);
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusPanel1->setFixedWidth(50);
    StatusBar1->addWidget(StatusPanel0);
    StatusBar1->addWidget(StatusPanel1);
    setStatusBar(StatusBar1);

    FormCreate(arguments, refusedArguments);
    // Placed before the first show: a window manager frames the window where it is asked to
    // appear, so the title bar stays on the screen; a move made while showing would place the
    // client area, not the frame, at the top edge.
    winId();
    if (QWindow *w = windowHandle())
        w->setFramePosition(topRightPosition());

    Form3 = std::make_unique<TForm3>(run_, this);
    Form4 = std::make_unique<TForm4>(run_, this);
}

TForm1::~TForm1() = default;

// ---- start-up, show, resize, close -----------------------------------------------------------

void TForm1::showLeftOut(int leftOut)
{
    if (leftOut <= 0)
        return;
    dialogs().message(this,
                      QStringLiteral("写真は1000枚までです。入りきらなかった%1枚は読み込みませんでした。").arg(leftOut),
                      QStringLiteral("Quiltana"));
}

void TForm1::showConversionErrors(const QStringList &errors)
{
    if (errors.isEmpty())
        return;
    const FailureReport report = ComposeFailureReport(errors);
    dialogs().error(this, report.text, report.details);
}

void TForm1::FormCreate(const QStringList &arguments, const QStringList &refusedArguments)
{
    Document &doc = document();
    guarded(this, [&] {
        QStringList errors = refusedArguments;
        const int leftOut = FillDocumentFromArguments(doc, arguments, &errors);
        RememberPictureFolder(run_.pictureFolder, arguments);
        doc.lastFilledCell = doc.scanLastFilledCell();
        showLeftOut(leftOut);
        EnsureWorkFolder(workFolder());
        // Every picture that can be converted is; the failures, refused names first, are told
        // once, together.
        {
            // The progress dialog closes before the errors are shown.
            const BusyScope busy(busy_);
            ImportProgress progress(this);
            errors += MakeWorkCopies(doc, run_.workFolder, 0, doc.lastFilledCell,
                                     [&progress](int done, int total) { progress.report(done, total); });
        }
        showConversionErrors(errors);
    });
    doc.layoutStyle = 2;
    doc.currentPage = 0;
    doc.pageCount = pageCountFor(doc.lastFilledCell, doc.layoutStyle);
    updatePageControls();
    guarded(this, [this] { ReadPrinterMetrics(run_.printerMetrics, currentPrinter()); });
    PageSetup &setup = pageSetup();
    setup.topDots = setup.bottomDots = setup.leftDots = setup.rightDots = 10;
    setup.verticalSpacingDots = setup.horizontalSpacingDots = 10;
}

QPoint TForm1::topRightPosition() const
{
    const QScreen *where = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!where)
        return pos();
    // The window is about to be, or already is, the design width; its frame adds the window
    // manager's borders, known only once it has framed the window (zero before that).
    const int borders = frameGeometry().width() - width();
    return topRightFramePosition(where->availableGeometry(), kDesignWidth + borders);
}

int TForm1::clientHeightFor(int width) const
{
    const int menuHeight = menuBar()->hasHeightForWidth() ? menuBar()->heightForWidth(width)
                                                          : menuBar()->sizeHint().height();
    return menuHeight + width * 300 / 210;
}

void TForm1::FormShow()
{
    layoutItem(2)->setChecked(true);
    x1->setChecked(true);
    resize(kDesignWidth, clientHeightFor(kDesignWidth));
    FormResize();
    document().layoutStyle = 2;
    if (QWindow *w = windowHandle(); w && w->framePosition() != topRightPosition())
        w->setFramePosition(topRightPosition());
    // Some window managers frame the window only after it is mapped and then leave its title
    // bar above the screen; once the frame is known, put the frame itself at the top right.
    QTimer::singleShot(300, this, [this] {
        if (frameGeometry().topLeft() != topRightPosition())
            move(topRightPosition());
    });
    guarded(this, [this] { SetPageSetupDefaults(run_.pageSetup, run_.printerMetrics, currentPrinter()); });
    x1->setChecked(pageSetup().captionOption);
    guarded(this, [this] {
        RefreshPage();
        Printer &printer = currentPrinter();
        pageSizeCache().width = printer.pageWidth();
        pageSizeCache().height = printer.pageHeight();
        EnsureWorkFolder(workFolder());
    });
}

void TForm1::FormResize()
{
    if (inResize_)
        return;
    const BusyScope resizing(inResize_);

    const int w = width() > kSnapAbove ? kDesignWidth : width();
    guarded(this, [this] {
        if (run_.printer)
            run_.printer->setOrientation(Printer::Orientation::Portrait);
    });
    const QSize wanted(w, clientHeightFor(w));
    if (size() != wanted) {
        resize(wanted);
        // A shown window may get its new size only later, from the window system; the
        // resize event that brings it runs this again.
        if (size() != wanted)
            return;
    }
    if (QLayout *l = layout())
        l->activate();
    PaintBox1->measureHitTestArea();
    update();
    guarded(this, [this] { RefreshPage(); });
}

bool TForm1::FormClose()
{
    guarded(this, [this] {
        if (WorkCopyFiles(workFolder()).isEmpty())
            return;
        if (dialogs().askOkCancel(this, QStringLiteral("作業ファイルを削除します。"), QStringLiteral("確認")))
            DeleteWorkCopies(workFolder());
    });
    return true;
}

void TForm1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!shown_ && !event->spontaneous()) {
        shown_ = true;
        FormShow();
    }
}

void TForm1::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (shown_)
        FormResize();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    if (FormClose())
        event->accept();
    else
        event->ignore();
}

// ---- page view ---------------------------------------------------------------------------------

void TForm1::updatePageControls()
{
    const Document &doc = document();
    // Setting the range from here must not count as a click on the arrows.
    const QSignalBlocker block(UpDown1);
    UpDown1->setMaximum(qBound(0, doc.pageCount - 1, 32767));
    UpDown1->setValue(doc.currentPage);
    Label1->setText(pageIndicatorText(doc.currentPage, doc.pageCount));
    Label1->setAccessibleName(Label1->text());
}

void TForm1::RefreshPage()
{
    RefreshPageLists(document());
    updatePageControls();
    PaintBox1->discardBackBuffer();
    RenderPage();
}

void TForm1::ResetToFirstPage()
{
    ResetToFirstPageLists(document());
    updatePageControls();
    PaintBox1->discardBackBuffer();
    RenderPage();
}

void TForm1::RenderPage()
{
    const BusyScope hourglass(BusyScope::Cursor::Wait);
    // Nothing to draw into before the window has a size; the flags stay for the next render.
    QImage *buffer = PaintBox1->backBufferForRender();
    if (!buffer)
        return;
    Document &doc = document();
    CopyPageWorkPaths(doc);
    QPainter canvas(buffer);
    ComposePage(canvas, doc, pageSetup(), buffer->width(), buffer->height(), FrameSwitch::Draw, ComposeMode::Preview);
}

void TForm1::RepaintPreview() { PaintBox1->repaint(); }

int TForm1::CellUnderMouse() const { return PaintBox1->cellUnderMouse(document().layoutStyle); }

void TForm1::PaintBox1MouseMove(int x, int y)
{
    PaintBox1->setMousePosition(x, y);
    const Document &doc = document();
    const QString &path = doc.cell(doc.absoluteCell(CellUnderMouse())).picturePath;
    PaintBox1->showCellPicture(path);
    StatusPanel0->setText(path);
    StatusPanel0->setAccessibleName(path);
}

// ---- layout and page commands --------------------------------------------------------------

void TForm1::layoutCommand(int style)
{
    const auto chosen = std::find_if(layoutCommands_.begin(), layoutCommands_.end(),
                                     [style](const LayoutCommand &c) { return c.layout->style == style; });
    if (chosen == layoutCommands_.end())
        return;
    for (const LayoutCommand &c : layoutCommands_)
        if (c.layout->menu == LayoutMenu::FirstLevel)
            c.item->setChecked(c.item == chosen->item);
    document().layoutStyle = style;
    chosen->button->setChecked(true);
    guarded(this, [this] { ResetToFirstPage(); });
    RepaintPreview();
}

QAction *TForm1::layoutItem(int style) const
{
    const auto found = std::find_if(layoutCommands_.begin(), layoutCommands_.end(),
                                    [style](const LayoutCommand &c) { return c.layout->style == style; });
    return found == layoutCommands_.end() ? nullptr : found->item;
}

void TForm1::s1Click() { layoutCommand(1); }
void TForm1::s2Click() { layoutCommand(2); }
void TForm1::s4Click() { layoutCommand(4); }
void TForm1::s6Click() { layoutCommand(6); }
void TForm1::s8Click() { layoutCommand(8); }
void TForm1::s9Click() { layoutCommand(9); }
void TForm1::s12Click() { layoutCommand(12); }
void TForm1::s15Click() { layoutCommand(15); }
void TForm1::s16Click() { layoutCommand(16); }
void TForm1::s18Click() { layoutCommand(18); }
void TForm1::s20Click() { layoutCommand(20); }
void TForm1::s24Click() { layoutCommand(24); }
void TForm1::s25Click() { layoutCommand(25); }
void TForm1::s28Click() { layoutCommand(28); }
void TForm1::s30Click() { layoutCommand(30); }
void TForm1::s32Click() { layoutCommand(32); }
void TForm1::s35Click() { layoutCommand(35); }
void TForm1::s40Click() { layoutCommand(40); }
void TForm1::s45Click() { layoutCommand(45); }
void TForm1::s50Click() { layoutCommand(50); }

void TForm1::SpeedButton12Click()
{
    SpeedButton12->setChecked(true);
    dialogs().message(this, QStringLiteral("メニューの分割設定から選んでください。"), QStringLiteral("Check"));
}

void TForm1::UpDown1Click()
{
    document().currentPage = UpDown1->value();
    guarded(this, [this] { RefreshPage(); });
    RepaintPreview();
}

void TForm1::x1Click() { pageSetup().captionOption = x1->isChecked(); }

void TForm1::N7Click()
{
    guarded(this, [this] {
        PageSetup &setup = pageSetup();
        // The dialog edits the caption font itself, which is first reset to the copy.
        setup.captionFont = setup.captionFontCopy;
        const std::optional<FontSpec> chosen = dialogs().chooseFont(this, setup.captionFont);
        if (!chosen)
            return;
        setup.captionFont = *chosen;
        setup.captionFontCopy = *chosen;
        MirrorCaptionFont(*Form4, *chosen);
    });
}

void TForm1::N3Click()
{
    bool confirmed = false;
    guarded(this, [this, &confirmed] {
        Printer &printer = currentPrinter();
        if (!dialogs().printerSetup(this, printer))
            return;
        pageSizeCache().width = printer.pageWidth();
        pageSizeCache().height = printer.pageHeight();
        confirmed = true;
    });
    if (!confirmed)
        return;
    FormResize();
    guarded(this, [this] { ReadPrinterMetrics(run_.printerMetrics, currentPrinter()); });
}

void TForm1::Print1Click()
{
    {
        const BusyScope busy(busy_);
        guarded(this, [this] { quiltana::Print1Click(this, *Form4, run_); });
    }
    // Printing leaves the source pictures in the page lists: refresh in every case.
    guarded(this, [this] { RefreshPage(); });
    RepaintPreview();
    x1->setChecked(pageSetup().captionOption);
}

void TForm1::Close1Click() { close(); }

void TForm1::About1Click()
{
    guarded(this, [this] {
        Form3->FillPrinterInformation();
        Form3->FillHistory();
        Form3->FormShow();
        dialogs().exec(*Form3);
    });
}

// ---- drop, pop-up and Edit menu -------------------------------------------------------------

void TForm1::dragEnterEvent(QDragEnterEvent *event)
{
    const QMimeData *mime = event->mimeData();
    if (!busy_ && mime && mime->hasUrls()) {
        for (const QUrl &url : mime->urls())
            if (url.isLocalFile()) {
                event->acceptProposedAction();
                return;
            }
    }
    event->ignore();
}

void TForm1::dropEvent(QDropEvent *event)
{
    if (busy_) {
        event->ignore();
        return;
    }
    const DroppedNames dropped = NamesOfDroppedUrls(event->mimeData()->urls());
    event->acceptProposedAction();
    // A picture dropped on the preview goes where it was let go: no mouse moves arrive during
    // a drag, so the drop point is the last mouse position over the preview.
    const QPoint onPreview = PaintBox1->mapFrom(this, event->position().toPoint());
    if (PaintBox1->rect().contains(onPreview))
        PaintBox1->setMousePosition(onPreview.x(), onPreview.y());
    // Handled once the drag has ended, so the program the files came from is not held waiting
    // while the question box is open and the work copies are made.
    QMetaObject::invokeMethod(
        this, [this, dropped] { WMDropFile(dropped.names, dropped.refused); }, Qt::QueuedConnection);
}

void TForm1::WMDropFile(const QStringList &names, const QStringList &refused)
{
    // A drop that arrived while another import or a print ran is not taken.
    if (busy_)
        return;
    raise();
    activateWindow();
    DropResult result;
    const bool dropped = guarded(this, [&] {
        const BusyScope busy(busy_);
        ImportProgress progress(this);
        result = DropFiles(
            document(), run_.workFolder, names, CellUnderMouse(),
            [this] {
                return dialogs().askOkCancel(this, QString::fromUtf8(kAppendQuestion),
                                             QString::fromUtf8(kAppendQuestionCaption));
            },
            refused, [&progress](int done, int total) { progress.report(done, total); });
    });
    RememberPictureFolder(run_.pictureFolder, names);
    if (!dropped)
        return;
    guarded(this, [this] { ResetToFirstPage(); });
    RepaintPreview();
    showLeftOut(result.leftOut);
    showConversionErrors(result.errors);
}

void TForm1::poploadClick()
{
    const int position = CellUnderMouse();
    const Document &doc = document();
    const int cell = doc.absoluteCell(position);
    std::optional<QString> path;
    guarded(this, [&] {
        path = dialogs().openPicture(this, kOpenPictureFilter, OpenDialogStartFolder(run_.pictureFolder));
    });
    if (!path)
        return;
    RememberPictureFolder(run_.pictureFolder, {*path});
    guarded(this, [&] { LoadIntoCell(document(), run_.workFolder, cell, position, *path); });
    guarded(this, [this] { RenderPage(); });
    RepaintPreview();
}

} // namespace quiltana
