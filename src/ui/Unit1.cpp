#include "Unit1.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
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
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>
#include <type_traits>
#include <utility>

#include "Unit3.h"
#include "Unit4.h"
#include "busyscope.h"
#include "cellcommands.h"
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
constexpr int kDesignWidth = 400;
constexpr int kToolbarHeight = 25;
constexpr int kButtonWidth = 23;
constexpr int kButtonHeight = 22;
constexpr int kButtonStep = 24;       // from one toolbar button's left edge to the next one's
constexpr int kLayoutButtonsX = 56;   // the first layout button, after a gap
constexpr int kIndicatorX = 298;
constexpr int kIndicatorWidth = 48;  // the design width, enough for "10/10"
constexpr int kIndicatorPadding = 3; // clear space either side of the page indicator's text
constexpr int kIndicatorFontSize = 15;
constexpr int kIndicatorGap = 2;      // from the indicator's last pixel to the arrows
constexpr int kUpDownWidth = 17;

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

// The designer names of the layout menu items: "s" and the layout style.
constexpr std::pair<int, QAction *TForm1::*> kLayoutItemMembers[] = {
    {1, &TForm1::s1},   {2, &TForm1::s2},   {4, &TForm1::s4},   {6, &TForm1::s6},   {8, &TForm1::s8},
    {9, &TForm1::s9},   {12, &TForm1::s12}, {16, &TForm1::s16}, {15, &TForm1::s15}, {18, &TForm1::s18},
    {20, &TForm1::s20}, {24, &TForm1::s24}, {28, &TForm1::s28}, {32, &TForm1::s32}, {25, &TForm1::s25},
    {30, &TForm1::s30}, {35, &TForm1::s35}, {40, &TForm1::s40}, {45, &TForm1::s45}, {50, &TForm1::s50},
};

// The designer names of the toolbar buttons: SpeedButton1 .. SpeedButton12 at their numbers.
constexpr QToolButton *TForm1::*kSpeedButtonMembers[] = {
    nullptr,               &TForm1::SpeedButton1,  &TForm1::SpeedButton2,  &TForm1::SpeedButton3,
    &TForm1::SpeedButton4, &TForm1::SpeedButton5,  &TForm1::SpeedButton6,  &TForm1::SpeedButton7,
    &TForm1::SpeedButton8, &TForm1::SpeedButton9,  &TForm1::SpeedButton10, &TForm1::SpeedButton11,
    &TForm1::SpeedButton12,
};

// The member named for layout `style`; nullptr for a style without a designer name.
QAction **layoutItemMember(TForm1 &window, int style)
{
    const auto *member = std::find_if(std::begin(kLayoutItemMembers), std::end(kLayoutItemMembers),
                                      [style](const auto &m) { return m.first == style; });
    return member == std::end(kLayoutItemMembers) ? nullptr : &(window.*(member->second));
}

QToolButton *&speedButtonMember(TForm1 &window, int number)
{
    Q_ASSERT(number > 0 && number < static_cast<int>(std::size(kSpeedButtonMembers)));
    return window.*kSpeedButtonMembers[number];
}

} // namespace

template <typename Sender, typename Signal, typename Command>
void TForm1::connectCommand(Sender *sender, Signal signal, Command command)
{
    // The progress dialogs keep the window painting while an import or a print runs; a command
    // reached meanwhile (a shortcut, a click let through) would change the cells under it.
    connect(sender, signal, this, [this, command] {
        if (busy_)
            return;
        if constexpr (std::is_member_function_pointer_v<Command>)
            (this->*command)();
        else
            command();
    });
}

template <typename Command>
QAction *TForm1::menuItem(QMenu *menu, const QString &name, const QString &caption, Command command,
                          const QKeySequence &shortcut)
{
    auto *action = new QAction(caption, this);
    action->setObjectName(name);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    if constexpr (!std::is_null_pointer_v<Command>)
        connectCommand(action, &QAction::triggered, command);
    if (menu)
        menu->addAction(action);
    return action;
}

template <typename Command>
QToolButton *TForm1::toolButton(int number, int x, const QString &hint, Command command)
{
    auto *b = new QToolButton(Panel1);
    b->setObjectName(QStringLiteral("SpeedButton%1").arg(number));
    b->setAutoRaise(true);
    b->setGeometry(x, 1, number == 3 ? 25 : kButtonWidth, kButtonHeight);
    b->setIcon(ToolbarGlyph(number));
    b->setIconSize(QSize(16, 16));
    b->setFocusPolicy(Qt::NoFocus);
    if (!hint.isEmpty())
        b->setToolTip(hint);
    b->setAccessibleName(hint.isEmpty() ? QStringLiteral("分割設定") : hint);
    connectCommand(b, &QToolButton::clicked, command);
    speedButtonMember(*this, number) = b;
    return b;
}

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
    StatusPanel0->setFixedWidth(300);
    StatusPanel0->setAccessibleName(QString());
    StatusPanel1 = new QLabel(StatusBar1);
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

void TForm1::createMenus()
{
    const auto item = [this](QMenu *menu, const QString &name, const QString &caption, auto command,
                             const QKeySequence &shortcut = {}) {
        return menuItem(menu, name, caption, command, shortcut);
    };
    QMenuBar *bar = menuBar();

    File1 = bar->addMenu(QStringLiteral("ファイル(&F)"));
    New1 = item(File1, QStringLiteral("New1"), QStringLiteral("新規作成(&N)"), &TForm1::New1Click,
                QKeySequence(Qt::CTRL | Qt::Key_N));
    Open1 = item(File1, QStringLiteral("Open1"), QStringLiteral("設定を開く(&O)"), nullptr,
                 QKeySequence(Qt::CTRL | Qt::Key_O));
    Open1->setEnabled(false);
    N5 = item(File1, QStringLiteral("N5"), QStringLiteral("設定を保存(&S)"), nullptr, QKeySequence(Qt::CTRL | Qt::Key_S));
    N5->setEnabled(false);
    File1->addSeparator();
    N3 = item(File1, QStringLiteral("N3"), QStringLiteral("プリンタの設定..."), &TForm1::N3Click);
    Print1 = item(File1, QStringLiteral("Print1"), QStringLiteral("印刷..."), &TForm1::Print1Click,
                  QKeySequence(Qt::CTRL | Qt::Key_P));
    File1->addSeparator();
    Close1 = item(File1, QStringLiteral("Close1"), QStringLiteral("閉じる"), &TForm1::Close1Click);

    Edit1 = bar->addMenu(QStringLiteral("編集"));
    // Copy2, Paste2 and Cut2 belong to the Edit menu but never show in it. Qt switches off the
    // shortcut of an invisible action, so instead of hiding them they are kept out of the menu
    // and added to the window, where their keys still work.
    Copy2 = item(nullptr, QStringLiteral("Copy2"), QStringLiteral("コピー(&C)"), &TForm1::Copy2Click,
                 QKeySequence(Qt::CTRL | Qt::Key_C));
    Paste2 = item(nullptr, QStringLiteral("Paste2"), QStringLiteral("貼り付け"), &TForm1::Paste2Click,
                  QKeySequence(Qt::CTRL | Qt::Key_V));
    Paste2->setEnabled(false);
    Cut2 = item(nullptr, QStringLiteral("Cut2"), QStringLiteral("切り取り"), &TForm1::Cut2Click,
                QKeySequence(Qt::CTRL | Qt::Key_X));
    addAction(Copy2);
    addAction(Paste2);
    addAction(Cut2);
    N8 = item(Edit1, QStringLiteral("N8"), QStringLiteral("全てを切り取り"), &TForm1::N8Click,
              QKeySequence(Qt::CTRL | Qt::Key_A));
    N13 = item(Edit1, QStringLiteral("N13"), QStringLiteral("全てを回転"), &TForm1::N13Click);

    // The layout items themselves come from the layout table together with the toolbar's
    // layout buttons (createLayoutCommands); the first-level ones go before these sub-menus.
    Layout1 = bar->addMenu(QStringLiteral("分割設定(&S)"));
    Sub3X = new QMenu(QStringLiteral("3X.."), this);
    Sub4X = new QMenu(QStringLiteral("4X.."), this);
    Sub5X = new QMenu(QStringLiteral("5X.."), this);
    Layout1->addMenu(Sub3X);
    Layout1->addMenu(Sub4X);
    Layout1->addMenu(Sub5X);

    Option1 = bar->addMenu(QStringLiteral("オプション"));
    x1 = item(Option1, QStringLiteral("x1"), QStringLiteral("ファイル名の印刷"), &TForm1::x1Click);
    x1->setCheckable(true);
    x1->setChecked(true);
    N7 = item(Option1, QStringLiteral("N7"), QStringLiteral("フォント指定"), &TForm1::N7Click);
    Option1->addSeparator();
    N10 = item(Option1, QStringLiteral("N10"), QStringLiteral("印刷設定等の保存"), nullptr);
    N10->setEnabled(false);

    Help1 = bar->addMenu(QStringLiteral("ヘルプ(&H)"));
    About1 = item(Help1, QStringLiteral("About1"), QStringLiteral("バージョン情報"), &TForm1::About1Click);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    rotate = item(PopupMenu1, QStringLiteral("rotate"), QStringLiteral("右回転(&R)"), &TForm1::rotateClick);
    N14 = item(PopupMenu1, QStringLiteral("N14"), QStringLiteral("左回転(&L)"), &TForm1::N14Click);
    Cut1 = item(PopupMenu1, QStringLiteral("Cut1"), QStringLiteral("切り取り(&X)"), &TForm1::Cut1Click,
                QKeySequence(Qt::CTRL | Qt::Key_X));
    Copy1 = item(PopupMenu1, QStringLiteral("Copy1"), QStringLiteral("コピー"), &TForm1::Copy1Click,
                 QKeySequence(Qt::CTRL | Qt::Key_C));
    Copy1->setEnabled(false);
    Paste1 = item(PopupMenu1, QStringLiteral("Paste1"), QStringLiteral("貼り付け"), &TForm1::Paste1Click,
                  QKeySequence(Qt::CTRL | Qt::Key_V));
    Paste1->setEnabled(false);
    N12 = PopupMenu1->addSeparator();
    N12->setObjectName(QStringLiteral("N12"));
    popload = item(PopupMenu1, QStringLiteral("popload"), QStringLiteral("ファイル読み込み..."), &TForm1::poploadClick);
    N6 = PopupMenu1->addSeparator();
    N6->setObjectName(QStringLiteral("N6"));
    rotateall = item(PopupMenu1, QStringLiteral("rotateall"), QStringLiteral("全てを右回転(&A)"), &TForm1::rotateallClick);
    N11 = item(PopupMenu1, QStringLiteral("N11"), QStringLiteral("全てを切り取り"), &TForm1::N11Click);
    pasteall = item(PopupMenu1, QStringLiteral("pasteall"), QStringLiteral("全てをこの写真に"), &TForm1::pasteallClick);
    pasteall->setEnabled(false);
}

void TForm1::createToolbar()
{
    auto *central = new QWidget(this);
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    setCentralWidget(central);

    Panel1 = new QWidget(central);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(kToolbarHeight);
    column->addWidget(Panel1);

    LayoutButtons = new QButtonGroup(this);
    LayoutButtons->setExclusive(true);

    toolButton(1, 0, QStringLiteral("印刷"), &TForm1::Print1Click);
    toolButton(2, kButtonStep, QStringLiteral("プリンタの設定"), &TForm1::N3Click);
    const int afterLayouts = createLayoutCommands(kLayoutButtonsX);
    toolButton(9, afterLayouts, QStringLiteral("バージョン情報"), &TForm1::About1Click);
    SpeedButton4->setChecked(true);

    Label1 = new QLabel(QStringLiteral("10/10"), Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setAutoFillBackground(true);
    QPalette white = Label1->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    Label1->setPalette(white);
    // The design's 48 pixels hold "10/10" but not the widest text a document can ask for,
    // "1000/1000"; the label grows to that text in its font. Should a wide face stand in for
    // the Windows one and push the arrows past the toolbar's design width, the face gets
    // smaller instead.
    const QString widest = pageIndicatorText(kCellCount - 1, kCellCount);
    const int room = kDesignWidth - kIndicatorX - kIndicatorGap - kUpDownWidth;
    QFont indicator = Label1->font();
    int indicatorWidth = 0;
    for (int size = kIndicatorFontSize;; --size) {
        indicator.setPixelSize(size);
        indicatorWidth = QFontMetrics(indicator).horizontalAdvance(widest) + 2 * kIndicatorPadding;
        if (indicatorWidth <= room || size <= kIndicatorFontSize * 2 / 3)
            break;
    }
    Label1->setFont(indicator);
    Label1->setGeometry(kIndicatorX, 2, std::max(kIndicatorWidth, indicatorWidth), 21);
    Label1->setAccessibleName(Label1->text());

    UpDown1 = new QSpinBox(Panel1);
    UpDown1->setObjectName(QStringLiteral("UpDown1"));
    UpDown1->setGeometry(Label1->geometry().right() + kIndicatorGap, 1, kUpDownWidth, 23);
    UpDown1->setMinimum(0);
    UpDown1->setMaximum(0);
    UpDown1->setWrapping(false);
    UpDown1->setFocusPolicy(Qt::NoFocus);
    UpDown1->setContextMenuPolicy(Qt::NoContextMenu);
    // Only the arrows matter: the page shows in Label1, the number field stays out of sight.
    UpDown1->setStyleSheet(QStringLiteral("QSpinBox { color: transparent; selection-color: transparent; "
                                          "selection-background-color: transparent; }"));
    UpDown1->setAccessibleName(QStringLiteral("ページ"));
    connectCommand(UpDown1, &QSpinBox::valueChanged, &TForm1::UpDown1Click);
}

int TForm1::createLayoutCommands(int x)
{
    const auto &table = layoutTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
        const LayoutInfo &l = table[i];
        const bool firstLevel = l.menuLevel == 0;
        const auto command = [this, style = l.style] { layoutCommand(style); };
        QMenu *subMenu = l.menuLevel == 3 ? Sub3X : l.menuLevel == 4 ? Sub4X : l.menuLevel == 5 ? Sub5X : nullptr;
        QAction *item = menuItem(subMenu, QStringLiteral("s%1").arg(l.style), QString::fromUtf8(l.caption), command);
        if (!subMenu)
            Layout1->insertAction(Sub3X->menuAction(), item);
        // Only first-level items carry a check mark; the handler sets it, not Qt's toggle.
        item->setCheckable(firstLevel);
        if (QAction **named = layoutItemMember(*this, l.style))
            *named = item;

        // A first-level layout has a button of its own; the sub-menu layouts share one that
        // only points to the menu.
        QToolButton *button = speedButtonMember(*this, l.toolbarButton);
        if (!button) {
            const QString hint = QString::fromUtf8(l.hint);
            button = firstLevel ? toolButton(l.toolbarButton, x, hint, command)
                                : toolButton(l.toolbarButton, x, hint, &TForm1::SpeedButton12Click);
            button->setCheckable(true);
            LayoutButtons->addButton(button);
            x += kButtonStep;
        }
        layoutCommands_[i] = {&l, item, button};
    }
    return x;
}

void TForm1::createPreview()
{
    PaintBox1 = new PagePreview(centralWidget());
    centralWidget()->layout()->addWidget(PaintBox1);
    connect(PaintBox1, &PagePreview::mouseMoved, this, &TForm1::PaintBox1MouseMove);
    connect(PaintBox1, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        if (busy_)
            return;
        PaintBox1MouseMove(pos.x(), pos.y());
        PopupMenu1Popup();
        PopupMenu1->exec(PaintBox1->mapToGlobal(pos));
    });
    setAcceptDrops(true);
}

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
    s2->setChecked(true);
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
        if (c.layout->menuLevel == 0)
            c.item->setChecked(c.item == chosen->item);
    document().layoutStyle = style;
    chosen->button->setChecked(true);
    guarded(this, [this] { ResetToFirstPage(); });
    RepaintPreview();
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

void TForm1::PopupMenu1Popup()
{
    const PopupItems state = PopupState(document(), CellUnderMouse());
    Copy1->setEnabled(state.copyEnabled);
    Paste1->setEnabled(state.pasteEnabled);
    pasteall->setEnabled(state.pasteAllEnabled);
}

void TForm1::rotateClick()
{
    guarded(this, [this] {
        TurnRight(document(), CellUnderMouse());
        RenderPage();
    });
    RepaintPreview();
}

void TForm1::N14Click()
{
    guarded(this, [this] {
        TurnLeft(document(), CellUnderMouse());
        RenderPage();
    });
    RepaintPreview();
}

void TForm1::Cut1Click()
{
    bool acted = false;
    guarded(this, [this, &acted] {
        acted = Cut(document(), CellUnderMouse());
        RenderPage();
    });
    RepaintPreview();
    if (acted)
        Paste2->setEnabled(true);
}

void TForm1::Copy1Click()
{
    guarded(this, [this] {
        if (Copy(document(), CellUnderMouse()))
            Paste2->setEnabled(true);
    });
}

void TForm1::Paste1Click()
{
    guarded(this, [this] {
        Paste(document(), CellUnderMouse());
        updatePageControls();
        RenderPage();
    });
    RepaintPreview();
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

void TForm1::rotateallClick()
{
    guarded(this, [this] {
        TurnAll(document());
        RenderPage();
    });
    RepaintPreview();
}

void TForm1::N11Click()
{
    guarded(this, [this] {
        CutAll(document());
        ResetToFirstPage();
    });
    RepaintPreview();
}

void TForm1::pasteallClick()
{
    guarded(this, [this] {
        PasteToAll(document(), CellUnderMouse());
        RenderPage();
    });
    RepaintPreview();
}

void TForm1::New1Click() { N11->trigger(); }
void TForm1::N8Click() { N11->trigger(); }
void TForm1::N13Click() { rotateallClick(); }
void TForm1::Copy2Click() { Copy1Click(); }
void TForm1::Paste2Click() { Paste1Click(); }
void TForm1::Cut2Click() { Cut1Click(); }

} // namespace quiltana
