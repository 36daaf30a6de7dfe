// Makes a work copy of an arbitrary file end to end, as a drop does: the first byte picks the
// extension and whether the copy is made alone or by the conversion of several cells, which
// reads the picture's header first to plan its memory; the rest is the file.
#include "document.h"
#include "error.h"
#include "fuzzsupport.h"
#include "workcopy.h"

#include <QDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool ready = [] {
        const QString dir = QDir::tempPath() + QStringLiteral("/quiltana-fuzz-workcopy");
        QDir().mkpath(dir + QStringLiteral("/temp"));
        return QDir::setCurrent(dir);
    }();
    if (!ready || size == 0)
        return 0;
    static const char *const extensions[] = {".jpg", ".png", ".bmp", ".jpeg", ".JPG"};
    const char *ext = extensions[(data[0] & 0x7f) % 5];
    const bool several = data[0] & 0x80;
    const QString path = quiltana::fuzz::writeInput(data + 1, size - 1, ext);
    quiltana::Document &doc = quiltana::document();
    doc.cells[0].picturePath = path;
    doc.cells[0].workPath.clear();
    if (several) {
        // The second cell holds nothing, so this is the same picture on the conversion that
        // runs on worker threads.
        doc.cells[1] = quiltana::Cell{};
        (void)quiltana::MakeWorkCopies(0, 1, 2);
        return 0;
    }
    try {
        quiltana::MakeWorkCopy(0);
    } catch (const quiltana::Error &) {
    }
    return 0;
}
