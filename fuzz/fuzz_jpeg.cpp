// Feeds arbitrary bytes to the jpeg decoder: it must answer with a picture or an Error, never
// crash, hang, leak or read out of bounds.
#include "decode.h"
#include "error.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = quiltana::fuzz::writeInput(data, size, ".jpg");
    try {
        const QImage full = quiltana::DecodePicture(path, quiltana::PictureKind::Jpeg);
        (void)full;
        const QImage small = quiltana::DecodeWorkCopyImage(path, quiltana::PictureKind::Jpeg, 200);
        (void)small;
    } catch (const quiltana::Error &) {
    }
    return 0;
}
