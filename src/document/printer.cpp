#include "printer.h"

#include "error.h"
#include "runstate.h"

namespace quiltana {

Printer &CurrentPrinter(const RunState &run)
{
    if (!run.printer)
        throw Error(QStringLiteral("使用できるプリンタがありません"));
    return *run.printer;
}

} // namespace quiltana
