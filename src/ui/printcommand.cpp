#include "printcommand.h"

#include <optional>

#include "Unit4.h"
#include "busyscope.h"
#include "dialogs.h"
#include "printer.h"
#include "printjob.h"
#include "progressdialogs.h"
#include "stopsignals.h"

namespace quiltana {

PrintDialogResult Print1Click(QWidget *parent, TForm4 &dialog, RunState &run)
{
    dialog.FillFromPageSetup(run.pageSetup);
    const auto result = static_cast<PrintDialogResult>(dialogs().exec(dialog));
    if (result != PrintDialogResult::Print && result != PrintDialogResult::Close)
        return result;
    PrintProgress progress(parent);
    // The hourglass for the length of each page's job; printing ends it however the job ends.
    std::optional<BusyScope> hourglass;
    const PrintBusyHooks busy{
        [&hourglass] { hourglass.emplace(BusyScope::Cursor::Wait); },
        [&hourglass] { hourglass.reset(); },
        [&progress](const PrintStep &step) { return progress.nextPage(step); },
        [&progress](const PrintStep &step) { progress.pageDone(step); },
        // The program is being ended: the run is given up at once, its unfinished file removed.
        [] { return StopSignalled(); },
    };
    Printer &printer = CurrentPrinter(run);
    const PrintRun printed = FinishPrintCommand(run, result, dialog.values(), printer, busy);
    progress.close();
    if (printed.abandoned)
        return result;
    // After "中止" the user hears how far the printing got and where a PDF went.
    if (printed.stopped || progress.stopAsked())
        dialogs().message(parent, printStoppedText(printed, printer.onePerCommand()), printStoppedCaption());
    return result;
}

void MirrorCaptionFont(TForm4 &dialog, const FontSpec &font) { dialog.ShowCaptionFont(font); }

} // namespace quiltana
