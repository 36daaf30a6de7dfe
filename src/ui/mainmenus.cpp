// The main window's menus, its toolbar and its preview: how TForm1 builds them and connects
// every item, button and control to its handler.

#include "Unit1.h"

#include <QAction>
#include <QButtonGroup>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>
#include <type_traits>
#include <utility>

#include "document.h"
#include "glyphs.h"
#include "layouts.h"
#include "pagepreview.h"

namespace quiltana {

namespace {

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

// The handler of each layout command, by layout style: a menu item and its toolbar button run
// the same one.
constexpr std::pair<int, void (TForm1::*)()> kLayoutHandlers[] = {
    {1, &TForm1::s1Click},   {2, &TForm1::s2Click},   {4, &TForm1::s4Click},   {6, &TForm1::s6Click},
    {8, &TForm1::s8Click},   {9, &TForm1::s9Click},   {12, &TForm1::s12Click}, {16, &TForm1::s16Click},
    {15, &TForm1::s15Click}, {18, &TForm1::s18Click}, {20, &TForm1::s20Click}, {24, &TForm1::s24Click},
    {28, &TForm1::s28Click}, {32, &TForm1::s32Click}, {25, &TForm1::s25Click}, {30, &TForm1::s30Click},
    {35, &TForm1::s35Click}, {40, &TForm1::s40Click}, {45, &TForm1::s45Click}, {50, &TForm1::s50Click},
};

void (TForm1::*layoutHandler(int style))()
{
    const auto *handler = std::find_if(std::begin(kLayoutHandlers), std::end(kLayoutHandlers),
                                       [style](const auto &h) { return h.first == style; });
    Q_ASSERT(handler != std::end(kLayoutHandlers));
    return handler->second;
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

QToolButton *&TForm1::speedButton(int number)
{
    // The designer names of the toolbar buttons: SpeedButton1 .. SpeedButton12 at their numbers.
    static constexpr QToolButton *TForm1::*kNamed[] = {
        nullptr,       &TForm1::SpeedButton1,  &TForm1::SpeedButton2,  &TForm1::SpeedButton3,
        &TForm1::SpeedButton4, &TForm1::SpeedButton5,  &TForm1::SpeedButton6,  &TForm1::SpeedButton7,
        &TForm1::SpeedButton8, &TForm1::SpeedButton9,  &TForm1::SpeedButton10, &TForm1::SpeedButton11,
        &TForm1::SpeedButton12,
    };
    Q_ASSERT(number > 0 && number < static_cast<int>(std::size(kNamed)));
    return this->*kNamed[number];
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
    speedButton(number) = b;
    return b;
}

void TForm1::createMenus()
{
    QMenuBar *bar = menuBar();
    createFileMenu(bar);
    createEditMenu(bar);
    createLayoutMenu(bar);
    createOptionAndHelpMenus(bar);
    createPreviewMenu();
}

void TForm1::createFileMenu(QMenuBar *bar)
{
    File1 = bar->addMenu(QStringLiteral("ファイル(&F)"));
    File1->setObjectName(QStringLiteral("File1"));
    New1 = menuItem(File1, QStringLiteral("New1"), QStringLiteral("新規作成(&N)"), &TForm1::New1Click,
                    QKeySequence(Qt::CTRL | Qt::Key_N));
    Open1 = menuItem(File1, QStringLiteral("Open1"), QStringLiteral("設定を開く(&O)"), nullptr,
                     QKeySequence(Qt::CTRL | Qt::Key_O));
    Open1->setEnabled(false);
    N5 = menuItem(File1, QStringLiteral("N5"), QStringLiteral("設定を保存(&S)"), nullptr,
                  QKeySequence(Qt::CTRL | Qt::Key_S));
    N5->setEnabled(false);
    File1->addSeparator();
    N3 = menuItem(File1, QStringLiteral("N3"), QStringLiteral("プリンタの設定..."), &TForm1::N3Click);
    Print1 = menuItem(File1, QStringLiteral("Print1"), QStringLiteral("印刷..."), &TForm1::Print1Click,
                      QKeySequence(Qt::CTRL | Qt::Key_P));
    File1->addSeparator();
    Close1 = menuItem(File1, QStringLiteral("Close1"), QStringLiteral("閉じる"), &TForm1::Close1Click);
}

void TForm1::createEditMenu(QMenuBar *bar)
{
    Edit1 = bar->addMenu(QStringLiteral("編集"));
    Edit1->setObjectName(QStringLiteral("Edit1"));
    // Copy2, Paste2 and Cut2 belong to the Edit menu but never show in it. Qt switches off the
    // shortcut of an invisible action, so instead of hiding them they are kept out of the menu
    // and added to the window, where their keys still work.
    Copy2 = menuItem(nullptr, QStringLiteral("Copy2"), QStringLiteral("コピー(&C)"), &TForm1::Copy2Click,
                     QKeySequence(Qt::CTRL | Qt::Key_C));
    Paste2 = menuItem(nullptr, QStringLiteral("Paste2"), QStringLiteral("貼り付け"), &TForm1::Paste2Click,
                      QKeySequence(Qt::CTRL | Qt::Key_V));
    Paste2->setEnabled(false);
    Cut2 = menuItem(nullptr, QStringLiteral("Cut2"), QStringLiteral("切り取り"), &TForm1::Cut2Click,
                    QKeySequence(Qt::CTRL | Qt::Key_X));
    addAction(Copy2);
    addAction(Paste2);
    addAction(Cut2);
    N8 = menuItem(Edit1, QStringLiteral("N8"), QStringLiteral("全てを切り取り"), &TForm1::N8Click,
                  QKeySequence(Qt::CTRL | Qt::Key_A));
    N13 = menuItem(Edit1, QStringLiteral("N13"), QStringLiteral("全てを回転"), &TForm1::N13Click);
}

void TForm1::createLayoutMenu(QMenuBar *bar)
{
    // The layout items themselves come from the layout table together with the toolbar's
    // layout buttons (createLayoutCommands); the first-level ones go before these sub-menus.
    Layout1 = bar->addMenu(QStringLiteral("分割設定(&S)"));
    Layout1->setObjectName(QStringLiteral("Layout1"));
    Sub3X = new QMenu(QStringLiteral("3X.."), this);
    Sub4X = new QMenu(QStringLiteral("4X.."), this);
    Sub5X = new QMenu(QStringLiteral("5X.."), this);
    Sub3X->setObjectName(QStringLiteral("Sub3X"));
    Sub4X->setObjectName(QStringLiteral("Sub4X"));
    Sub5X->setObjectName(QStringLiteral("Sub5X"));
    Layout1->addMenu(Sub3X);
    Layout1->addMenu(Sub4X);
    Layout1->addMenu(Sub5X);
}

void TForm1::createOptionAndHelpMenus(QMenuBar *bar)
{
    Option1 = bar->addMenu(QStringLiteral("オプション"));
    Option1->setObjectName(QStringLiteral("Option1"));
    x1 = menuItem(Option1, QStringLiteral("x1"), QStringLiteral("ファイル名の印刷"), &TForm1::x1Click);
    x1->setCheckable(true);
    x1->setChecked(true);
    N7 = menuItem(Option1, QStringLiteral("N7"), QStringLiteral("フォント指定"), &TForm1::N7Click);
    Option1->addSeparator();
    N10 = menuItem(Option1, QStringLiteral("N10"), QStringLiteral("印刷設定等の保存"), nullptr);
    N10->setEnabled(false);

    Help1 = bar->addMenu(QStringLiteral("ヘルプ(&H)"));
    Help1->setObjectName(QStringLiteral("Help1"));
    About1 = menuItem(Help1, QStringLiteral("About1"), QStringLiteral("バージョン情報"), &TForm1::About1Click);
}

void TForm1::createPreviewMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    const auto item = [this](const QString &name, const QString &caption, auto command,
                             const QKeySequence &shortcut = {}) {
        return menuItem(PopupMenu1, name, caption, command, shortcut);
    };
    rotate = item(QStringLiteral("rotate"), QStringLiteral("右回転(&R)"), &TForm1::rotateClick);
    N14 = item(QStringLiteral("N14"), QStringLiteral("左回転(&L)"), &TForm1::N14Click);
    Cut1 = item(QStringLiteral("Cut1"), QStringLiteral("切り取り(&X)"), &TForm1::Cut1Click, QKeySequence(Qt::CTRL | Qt::Key_X));
    Copy1 = item(QStringLiteral("Copy1"), QStringLiteral("コピー"), &TForm1::Copy1Click, QKeySequence(Qt::CTRL | Qt::Key_C));
    Copy1->setEnabled(false);
    Paste1 = item(QStringLiteral("Paste1"), QStringLiteral("貼り付け"), &TForm1::Paste1Click,
                  QKeySequence(Qt::CTRL | Qt::Key_V));
    Paste1->setEnabled(false);
    N12 = PopupMenu1->addSeparator();
    N12->setObjectName(QStringLiteral("N12"));
    popload = item(QStringLiteral("popload"), QStringLiteral("ファイル読み込み..."), &TForm1::poploadClick);
    N6 = PopupMenu1->addSeparator();
    N6->setObjectName(QStringLiteral("N6"));
    rotateall = item(QStringLiteral("rotateall"), QStringLiteral("全てを右回転(&A)"), &TForm1::rotateallClick);
    N11 = item(QStringLiteral("N11"), QStringLiteral("全てを切り取り"), &TForm1::N11Click);
    pasteall = item(QStringLiteral("pasteall"), QStringLiteral("全てをこの写真に"), &TForm1::pasteallClick);
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
    LayoutButtons->setObjectName(QStringLiteral("LayoutButtons"));
    LayoutButtons->setExclusive(true);

    toolButton(1, 0, QStringLiteral("印刷"), &TForm1::Print1Click);
    toolButton(2, kButtonStep, QStringLiteral("プリンタの設定"), &TForm1::N3Click);
    const int afterLayouts = createLayoutCommands(kLayoutButtonsX);
    toolButton(9, afterLayouts, QStringLiteral("バージョン情報"), &TForm1::About1Click);
    SpeedButton4->setChecked(true);

    createPageIndicator();
    createPageArrows();
}

void TForm1::createPageIndicator()
{
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
}

void TForm1::createPageArrows()
{
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

QMenu *TForm1::layoutSubMenu(LayoutMenu menu) const
{
    switch (menu) {
    case LayoutMenu::Sub3X:
        return Sub3X;
    case LayoutMenu::Sub4X:
        return Sub4X;
    case LayoutMenu::Sub5X:
        return Sub5X;
    case LayoutMenu::FirstLevel:
        break;
    }
    return nullptr;
}

int TForm1::createLayoutCommands(int x)
{
    const auto &table = layoutTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
        const LayoutInfo &l = table[i];
        const bool firstLevel = l.menu == LayoutMenu::FirstLevel;
        const auto handler = layoutHandler(l.style);
        QMenu *subMenu = layoutSubMenu(l.menu);
        QAction *item = menuItem(subMenu, QStringLiteral("s%1").arg(l.style), QString::fromUtf8(l.caption), handler);
        if (!subMenu)
            Layout1->insertAction(Sub3X->menuAction(), item);
        // Only first-level items carry a check mark; the handler sets it, not Qt's toggle.
        item->setCheckable(firstLevel);

        // A first-level layout has a button of its own; the sub-menu layouts share one that
        // only points to the menu.
        QToolButton *button = speedButton(l.toolbarButton);
        if (!button) {
            const QString hint = QString::fromUtf8(l.hint);
            button = firstLevel ? toolButton(l.toolbarButton, x, hint, handler)
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

} // namespace quiltana
