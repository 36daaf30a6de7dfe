// Feeds arbitrary bytes to the png decoder: it must answer with a picture or an Error, never
// crash, hang, leak or read out of bounds.
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    quiltana::fuzz::decodeInput(data, size, ".png", quiltana::PictureKind::Png);
    return 0;
}
