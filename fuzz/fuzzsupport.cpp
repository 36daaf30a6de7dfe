#include "fuzzsupport.h"

#include <QDir>
#include <QFile>

#include "decode.h"
#include "error.h"

#include <cstdlib>

#include <unistd.h>

namespace quiltana::fuzz {

namespace {

QString &scratchPath()
{
    static QString path;
    return path;
}

void RemoveScratchFolder()
{
    if (!scratchPath().isEmpty())
        QDir(scratchPath()).removeRecursively();
}

} // namespace

QString scratchFolder()
{
    static const QString dir = [] {
        const QString base = qEnvironmentVariable("QUILTANA_FUZZ_DIR", QDir::tempPath());
        const QString d = base + QStringLiteral("/quiltana-fuzz-%1").arg(getpid());
        QDir().mkpath(d);
        scratchPath() = d;
        std::atexit(RemoveScratchFolder);
        return d;
    }();
    return dir;
}

QString writeInput(const uint8_t *data, size_t size, const char *extension)
{
    const QString path = scratchFolder() + QStringLiteral("/input") + QLatin1String(extension);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    return path;
}

void decodeInput(const uint8_t *data, size_t size, const char *extension, PictureKind kind)
{
    const QString path = writeInput(data, size, extension);
    try {
        (void)DecodePicture(path, kind);
        (void)DecodeWorkCopyImage(path, kind, 200);
    } catch (const Error &) {
    }
}

} // namespace quiltana::fuzz
