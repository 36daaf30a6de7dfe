// Makes the work copy of an arbitrary file end to end, as a drop does. The file is named after
// the kind its first bytes claim (any kind for other bytes), so that the seed pictures reach
// their own decoders; the length picks the spelling of the extension and whether the copy is
// made alone or by the conversion of several cells, which reads the header first to plan its
// memory and decodes on worker threads.
#include "document.h"
#include "error.h"
#include "fuzzsupport.h"
#include "runstate.h"
#include "workcopy.h"

#include <QDir>

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The work copies go to "temp" in a scratch folder, as the program's go beside it.
    static quiltana::RunState run;
    static const bool ready = [] {
        run.workFolder.path = quiltana::fuzz::scratchFolder() + QStringLiteral("/temp");
        return QDir().mkpath(run.workFolder.path);
    }();
    if (!ready)
        return 0;
    const auto startsWith = [&](const char *magic) {
        const std::size_t n = std::strlen(magic);
        return size >= n && std::memcmp(data, magic, n) == 0;
    };
    static const char *const jpegNames[] = {".jpg", ".jpeg", ".JPG"};
    static const char *const anyNames[] = {".jpg", ".png", ".bmp"};
    const char *ext = nullptr;
    if (startsWith("\xff\xd8"))
        ext = jpegNames[size % 3];
    else if (startsWith("\x89PNG"))
        ext = (size % 3) ? ".png" : ".PNG";
    else if (startsWith("BM"))
        ext = (size % 3) ? ".bmp" : ".Bmp";
    else
        ext = anyNames[size % 3];
    const bool several = (size / 3) % 2;

    const QString path = quiltana::fuzz::writeInput(data, size, ext);
    quiltana::Document &doc = run.document;
    doc.cells[0].picturePath = path;
    doc.cells[0].workPath.clear();
    if (several) {
        // Both cells hold the picture: the conversion reads it on two threads at once.
        doc.cells[1] = doc.cells[0];
        (void)quiltana::MakeWorkCopies(doc, run.workFolder, 0, 1, 2);
        return 0;
    }
    try {
        quiltana::MakeWorkCopy(doc, run.workFolder, 0);
    } catch (const quiltana::Error &) {
    }
    return 0;
}
