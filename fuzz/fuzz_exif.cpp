// Feeds arbitrary bytes to the EXIF reader, both as a JPEG's APP1 payload and as a PNG's eXIf
// chunk: it must answer an orientation from 1 to 8, never crash, hang, leak or read out of
// bounds. fuzz_jpeg and fuzz_png reach the same reader through the decoders, from seeds that
// carry an EXIF block; this target spends all its time on the block itself.
#include "exif.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const int app1 = quiltana::ExifOrientation(data, size);
    const int exif = quiltana::ExifOrientationOfTiff(data, size);
    if (app1 < 1 || app1 > 8 || exif < 1 || exif > 8)
        std::abort();
    return 0;
}
