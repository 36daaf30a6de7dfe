#include "printcommand.h"

#include <optional>

#include "Unit4.h"
#include "busyscope.h"
#include "dialogs.h"
#include "printer.h"
#include "printjob.h"
#include "progressdialogs.h"

namespace quiltana {

int Print1Click(QWidget *parent, TForm4 &dialog)
{
    dialog.FillFromPageSetup(pageSetup());
    const int result = dialogs().exec(dialog);
    if (result != kPrintResultPrint && result != kPrintResultClose)
        return result;
    PrintProgress progress(parent);
    // The hourglass for the length of each page's job; printing ends it however the job ends.
    std::optional<BusyScope> hourglass;
    const PrintBusyHooks busy{
        [&hourglass] { hourglass.emplace(BusyScope::Cursor::Wait); },
        [&hourglass] { hourglass.reset(); },
        [&progress](int page, int pages) { return progress.nextPage(page, pages); },
    };
    FinishPrintCommand(result, dialog.values(), currentPrinter(), busy);
    return result;
}

void MirrorCaptionFont(TForm4 &dialog, const FontSpec &font) { dialog.ShowCaptionFont(font); }

} // namespace quiltana
