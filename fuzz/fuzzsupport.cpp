#include "fuzzsupport.h"

#include <QDir>
#include <QFile>

#include "decode.h"
#include "error.h"

#include <unistd.h>

namespace quiltana::fuzz {

QString writeInput(const uint8_t *data, size_t size, const char *extension)
{
    static const QString dir = [] {
        const QString d = QDir::tempPath() + QStringLiteral("/quiltana-fuzz-%1").arg(getpid());
        QDir().mkpath(d);
        return d;
    }();
    const QString path = dir + QStringLiteral("/input") + QLatin1String(extension);
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
