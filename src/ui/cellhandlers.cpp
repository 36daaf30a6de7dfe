// The commands of the preview's pop-up menu and of the Edit and File menus that act on the
// cells: each finds its cell under the mouse, changes the cell table through the cell commands,
// renders what changed and repaints the preview.

#include "Unit1.h"

#include <QAction>

#include "cellcommands.h"
#include "document.h"
#include "handlerguard.h"
#include "pagepreview.h"

namespace quiltana {

namespace {

// Runs `change` on the cells and renders the page under the handler guard, then repaints the
// preview whether or not the change went through.
template <typename Change> void changeAndShow(TForm1 &window, Change &&change)
{
    guarded(&window, [&] {
        change();
        window.RenderPage();
    });
    window.RepaintPreview();
}

} // namespace

void TForm1::PopupMenu1Popup()
{
    const PopupItems state = PopupState(document(), CellUnderMouse());
    Copy1->setEnabled(state.copyEnabled);
    Paste1->setEnabled(state.pasteEnabled);
    pasteall->setEnabled(state.pasteAllEnabled);
}

void TForm1::rotateClick()
{
    changeAndShow(*this, [this] { TurnRight(document(), CellUnderMouse()); });
}

void TForm1::N14Click()
{
    changeAndShow(*this, [this] { TurnLeft(document(), CellUnderMouse()); });
}

void TForm1::Cut1Click()
{
    bool acted = false;
    changeAndShow(*this, [this, &acted] { acted = Cut(document(), CellUnderMouse()); });
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
    changeAndShow(*this, [this] {
        Paste(document(), CellUnderMouse());
        updatePageControls();
    });
}

void TForm1::rotateallClick()
{
    changeAndShow(*this, [this] { TurnAll(document()); });
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
    changeAndShow(*this, [this] { PasteToAll(document(), CellUnderMouse()); });
}

void TForm1::New1Click() { N11->trigger(); }
void TForm1::N8Click() { N11->trigger(); }
void TForm1::N13Click() { rotateallClick(); }
void TForm1::Copy2Click() { Copy1Click(); }
void TForm1::Paste2Click() { Paste1Click(); }
void TForm1::Cut2Click() { Cut1Click(); }

} // namespace quiltana
