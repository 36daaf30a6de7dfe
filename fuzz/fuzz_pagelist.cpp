// Feeds arbitrary text to the page list of the print dialog: it must answer with a list of
// pages, never crash, hang or read out of bounds, and the list must be sound.
#include "pagelist.h"
#include "printjob.h"

#include <QString>

#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the document's page count (0..1001, past the largest document
    // included) and whether the rest is read as UTF-8 (what a keyboard gives) or as raw UTF-16,
    // which may hold lone surrogates.
    const int pageCount = (data[0] & 0x7f) * 8 + data[0] % 8 - 10;
    const char *bytes = reinterpret_cast<const char *>(data + 1);
    const auto length = static_cast<qsizetype>(size - 1);
    QString text;
    if (data[0] & 0x80) {
        std::u16string units(static_cast<std::size_t>(length / 2), u'\0');
        std::memcpy(units.data(), bytes, units.size() * sizeof(char16_t));
        text = QString::fromStdU16String(units);
    } else {
        text = QString::fromUtf8(bytes, length);
    }

    (void)quiltana::SplitPageItems(text);
    (void)quiltana::LeadingInteger(text);
    const std::vector<int> pages =
        quiltana::PagesToPrint(quiltana::PageRange::List, text, 0, pageCount);
    int previous = -1;
    for (const int page : pages) {
        // Ascending, each page once, and only pages the document has.
        if (page <= previous || page >= pageCount || page >= quiltana::kMaxPageNumber)
            std::abort();
        previous = page;
    }
    return 0;
}
