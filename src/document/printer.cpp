#include "printer.h"

#include "error.h"

namespace quiltana {

namespace {
Printer *g_printer = nullptr;
}

Printer &currentPrinter()
{
    if (!g_printer)
        throw Error(QStringLiteral("使用できるプリンタがありません"));
    return *g_printer;
}

void setCurrentPrinter(Printer *printer) { g_printer = printer; }

bool hasCurrentPrinter() { return g_printer != nullptr; }

} // namespace quiltana
