#pragma once

#include "layouts.h"
#include "pagepreview.h"
#include "pagesetup.h"
#include "runstate.h"

#include <QKeySequence>
#include <QMainWindow>
#include <QStringList>

#include <array>
#include <memory>

class QAction;
class QButtonGroup;
class QLabel;
class QMenu;
class QMenuBar;
class QSpinBox;
class QStatusBar;
class QToolButton;

namespace quiltana {

class TForm3;
class TForm4;

// The main window: menus, toolbar, the page preview and the status bar. Its handlers carry the
// run's state (main's RunState) through the run; each shows its errors through the handler guard.
class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    // `run` is the state of the run, which outlives the window; its work folder is set (an
    // absolute path, see ProgramFolder). `arguments` are the command line's paths, already
    // absolute. `refusedArguments` are the messages for the arguments whose names cannot be
    // represented (ReadCommandLine); they are shown with the conversion errors of the start-up.
    TForm1(RunState &run, const QStringList &arguments, const QStringList &refusedArguments = {},
           QWidget *parent = nullptr);
    ~TForm1() override;

    // The folder beside the executable in `executableFolder` when a "temp" folder can be made
    // and written there and it is no installed copy's folder, otherwise the per-user cache
    // folder (created when missing). The run's work folder is its "temp".
    [[nodiscard]] static QString ProgramFolder(const QString &executableFolder);
    // True for the folders an installed copy runs from (the install's bin folder, /usr/bin,
    // /usr/local/bin): the work folder is then always in the per-user cache.
    [[nodiscard]] static bool IsInstalledFolder(const QString &executableFolder);

    // Start-up, show, resize and close, in the order the window meets them.
    void FormCreate(const QStringList &arguments, const QStringList &refusedArguments = {});
    void FormShow();
    void FormResize();
    // True when the window may close (always; the question only decides about the work copies).
    bool FormClose();

    // Page view.
    void RefreshPage();
    void ResetToFirstPage();
    // Renders the current page into the preview's back buffer.
    void RenderPage();
    void RepaintPreview();
    // The mouse moved over the preview: the cell under it names its picture in the hint and in
    // the status bar.
    void PaintBox1MouseMove(int x, int y);
    [[nodiscard]] int CellUnderMouse() const;

    // Layout and page commands.
    void s1Click();
    void s2Click();
    void s4Click();
    void s6Click();
    void s8Click();
    void s9Click();
    void s12Click();
    void s15Click();
    void s16Click();
    void s18Click();
    void s20Click();
    void s24Click();
    void s25Click();
    void s28Click();
    void s30Click();
    void s32Click();
    void s35Click();
    void s40Click();
    void s45Click();
    void s50Click();
    void SpeedButton12Click();
    void UpDown1Click();
    void x1Click();
    void N7Click();
    void N3Click();
    void Print1Click();
    void Close1Click();
    void About1Click();

    // Drop and load (Unit1.cpp); the pop-up and Edit/File menu commands on the cells
    // (cellhandlers.cpp).
    // `refused`: the messages for dropped names that cannot be represented (NamesOfDroppedUrls).
    void WMDropFile(const QStringList &names, const QStringList &refused = {});
    void PopupMenu1Popup();
    void rotateClick();
    void N14Click();
    void Cut1Click();
    void Copy1Click();
    void Paste1Click();
    void poploadClick();
    void rotateallClick();
    void N11Click();
    void pasteallClick();
    void New1Click();
    void N8Click();
    void N13Click();
    void Copy2Click();
    void Paste2Click();
    void Cut2Click();

    // State the tests and the other windows look at (the back buffer and the hit test's state
    // are the preview's, PaintBox1).
    [[nodiscard]] TForm3 *aboutBox() const { return Form3.get(); }
    [[nodiscard]] TForm4 *printDialog() const { return Form4.get(); }
    // True while an import or a print runs: the window then lets the progress dialog repaint,
    // and no menu item, button or drop starts another command.
    [[nodiscard]] bool busy() const { return busy_; }

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // One layout of the table with its menu item and its toolbar button (the sub-menu layouts
    // share SpeedButton12).
    struct LayoutCommand {
        const LayoutInfo *layout = nullptr;
        QAction *item = nullptr;
        QToolButton *button = nullptr;
    };

    static constexpr int kDesignWidth = 400; // the window's width as designed

    // The menus, the toolbar and the preview (mainmenus.cpp).
    void createMenus();
    void createFileMenu(QMenuBar *bar);
    void createEditMenu(QMenuBar *bar);
    void createLayoutMenu(QMenuBar *bar);
    void createOptionAndHelpMenus(QMenuBar *bar);
    void createPreviewMenu();
    void createToolbar();
    void createPageIndicator();
    void createPageArrows();
    // The layout menu items and the toolbar's layout buttons, from the layout table; the buttons
    // start at `x`. Returns the x after the last button.
    int createLayoutCommands(int x);
    void createPreview();
    // A menu item (added to `menu` unless nullptr) whose command is a handler of this window, a
    // callable, or nullptr for an item that does nothing.
    template <typename Command>
    QAction *menuItem(QMenu *menu, const QString &name, const QString &caption, Command command,
                      const QKeySequence &shortcut = {});
    // SpeedButton`number` at `x` in the toolbar; `hint` is its tool tip and accessible name.
    template <typename Command> QToolButton *toolButton(int number, int x, const QString &hint, Command command);
    // The member that holds SpeedButton`number` (1 .. 12).
    QToolButton *&speedButton(int number);
    // The sub-menu of `menu`, nullptr for the first level.
    [[nodiscard]] QMenu *layoutSubMenu(LayoutMenu menu) const;
    // Connects a menu item, button or control to `command` (a handler of this window or a
    // callable), which does not run while busy.
    template <typename Sender, typename Signal, typename Command>
    void connectCommand(Sender *sender, Signal signal, Command command);

    // What every layout command does, for the layout of `style`.
    void layoutCommand(int style);
    // The layout menu's item of `style`.
    [[nodiscard]] QAction *layoutItem(int style) const;
    void updatePageControls();
    QPoint topRightPosition() const;
    int clientHeightFor(int width) const;
    void showLeftOut(int leftOut);
    void showConversionErrors(const QStringList &errors);

    // Menu items, toolbar and controls, under their designer names, which are also their object
    // names (the layout items s1..s50 are reached through layoutCommands_). Qt's parent
    // ownership releases them with the window.
    //
    // What each name stands for:
    //   File1     File menu "ファイル(&F)"
    //   New1      File > New (Ctrl+N): empties every cell, as N11 does
    //   Open1     File > Open settings (Ctrl+O), always disabled
    //   N5        File > Save settings (Ctrl+S), always disabled
    //   N3        File > Printer setup...
    //   Print1    File > Print... (Ctrl+P): the print dialog Form4, then printing
    //   Close1    File > Close
    //   Edit1     Edit menu "編集"
    //   Copy2     Edit's Copy (Ctrl+C) on the cell under the mouse; kept out of the menu, the
    //             key works on the window
    //   Paste2    Edit's Paste (Ctrl+V), likewise; enabled once something was cut or copied
    //   Cut2      Edit's Cut (Ctrl+X), likewise
    //   N8        Edit > Cut all (Ctrl+A): empties every cell, as N11 does
    //   N13       Edit > Rotate all: every cell turned right, as rotateall
    //   Layout1   Layout menu "分割設定(&S)"; Sub3X, Sub4X, Sub5X its sub-menus "3X..", "4X..",
    //             "5X.."
    //   s1..s50   Layout > the layout of that many cells per page, from the layout table (s1
    //             "1X1", s2 "1X2" ... s50 "5X10"); the first level s1..s16 carry the check mark
    //   Option1   Options menu "オプション"
    //   x1        Options > Print file names: its check mark is the page setup's caption option
    //   N7        Options > Font: the captions' font
    //   N10       Options > Save print settings, always disabled
    //   Help1     Help menu; About1 Help > About: the About box Form3
    //   PopupMenu1  the preview's pop-up menu (right click), on the cell under the mouse:
    //     rotate    Rotate right
    //     N14       Rotate left
    //     Cut1      Cut
    //     Copy1     Copy (enabled over a picture)
    //     Paste1    Paste (enabled while the copy buffer holds a picture)
    //     N12, N6   separators
    //     popload   Load file...: a picture chosen in the open dialog goes into the cell
    //     rotateall Rotate all right
    //     N11       Cut all: empties every cell and shows the first page
    //     pasteall  This picture into every cell of the page (enabled over a picture)
    //   Panel1    the toolbar strip above the preview
    //   SpeedButton1   Print, as Print1
    //   SpeedButton2   Printer setup, as N3
    //   SpeedButton3, 4, 5, 10, 6, 7, 11, 8   the layouts 1X1, 1X2, 2X2, 2X3, 2X4, 3X3, 3X4, 4X4,
    //                  as s1 .. s16 (the layout table's toolbar buttons)
    //   SpeedButton12  stands for the sub-menu layouts; a click only points to the Layout menu
    //   SpeedButton9   About, as About1
    //   LayoutButtons  the exclusive group of the layout buttons: the current layout's is down
    //   Label1    page indicator "k/N"
    //   UpDown1   the page arrows beside it (its number field is out of sight)
    //   PaintBox1 the page preview (PagePreview); drop pictures on it, right click for PopupMenu1
    //   StatusBar1  status bar: StatusPanel0 the picture under the mouse, StatusPanel1 left empty
    //   Form3     the About box; Form4 the print dialog
    QMenu *File1 = nullptr, *Edit1 = nullptr, *Layout1 = nullptr, *Option1 = nullptr, *Help1 = nullptr;
    QMenu *Sub3X = nullptr, *Sub4X = nullptr, *Sub5X = nullptr;
    QAction *New1 = nullptr, *Open1 = nullptr, *N5 = nullptr, *N3 = nullptr, *Print1 = nullptr, *Close1 = nullptr;
    QAction *Copy2 = nullptr, *Paste2 = nullptr, *Cut2 = nullptr, *N8 = nullptr, *N13 = nullptr;
    QAction *x1 = nullptr, *N7 = nullptr, *N10 = nullptr, *About1 = nullptr;

    QMenu *PopupMenu1 = nullptr;
    QAction *rotate = nullptr, *N14 = nullptr, *Cut1 = nullptr, *Copy1 = nullptr, *Paste1 = nullptr,
            *N12 = nullptr, *popload = nullptr, *N6 = nullptr, *rotateall = nullptr, *N11 = nullptr,
            *pasteall = nullptr;

    QWidget *Panel1 = nullptr;
    QToolButton *SpeedButton1 = nullptr, *SpeedButton2 = nullptr, *SpeedButton3 = nullptr,
                *SpeedButton4 = nullptr, *SpeedButton5 = nullptr, *SpeedButton6 = nullptr,
                *SpeedButton7 = nullptr, *SpeedButton8 = nullptr, *SpeedButton9 = nullptr,
                *SpeedButton10 = nullptr, *SpeedButton11 = nullptr, *SpeedButton12 = nullptr;
    QButtonGroup *LayoutButtons = nullptr; // the exclusive group of the layout buttons
    QLabel *Label1 = nullptr;
    QSpinBox *UpDown1 = nullptr;
    PagePreview *PaintBox1 = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    QLabel *StatusPanel0 = nullptr, *StatusPanel1 = nullptr;


    // The parts of the run's state the handlers work on.
    [[nodiscard]] Document &document() const { return run_.document; }
    [[nodiscard]] PageSetup &pageSetup() const { return run_.pageSetup; }
    [[nodiscard]] PageSizeCache &pageSizeCache() const { return run_.pageSizeCache; }
    [[nodiscard]] Printer &currentPrinter() const { return CurrentPrinter(run_); }
    [[nodiscard]] const QString &workFolder() const { return run_.workFolder.path; }

    RunState &run_;
    std::array<LayoutCommand, kLayoutCount> layoutCommands_{}; // in the layout table's order
    std::unique_ptr<TForm3> Form3;
    std::unique_ptr<TForm4> Form4;
    bool shown_ = false;
    bool inResize_ = false;
    bool busy_ = false;
};

} // namespace quiltana
