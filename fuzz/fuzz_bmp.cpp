// Feeds arbitrary bytes to the bmp decoder: it must answer with a picture or an Error, never
// crash, hang, leak or read out of bounds.
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    quiltana::fuzz::decodeInput(data, size, ".bmp", quiltana::PictureKind::Bmp);
    return 0;
}
