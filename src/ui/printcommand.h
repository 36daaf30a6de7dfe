#pragma once

#include "Unit4.h"
#include "pagesetup.h"
#include "runstate.h"

class QWidget;

namespace quiltana {

// The print command on the state of `run`: fills `dialog` from its page setup record, shows it
// modally, takes its values over on "印刷実行" and "終了", and prints the chosen pages on
// "印刷実行" with the wait cursor showing, restored on every exit. Several pages show their
// progress in a dialog modal to `parent` whose "中止" stops the printing after the page in
// progress (PrintProgress); a box then says how many pages were printed and, for PDF output, in
// which file. Returns how the dialog was closed. Errors (a margin that is not a number, a
// picture that cannot be read, a printer that fails) are thrown as Error for the window's
// error box. The window refreshes the page lists and the preview afterwards in every case,
// also when this throws: printing leaves the source pictures' paths in the page lists.
PrintDialogResult Print1Click(QWidget *parent, TForm4 &dialog, RunState &run);

// What the main window's font command shows in the print dialog once a font was chosen:
// Edit11 its face, Label12 its size, Panel1 its colour.
void MirrorCaptionFont(TForm4 &dialog, const FontSpec &font);

} // namespace quiltana
