#include "paths.h"

namespace quiltana {

namespace {
int lastSeparator(const QString &path)
{
#ifdef Q_OS_WIN
    int i = -1;
    for (QChar sep : {QLatin1Char('/'), QLatin1Char('\\'), QLatin1Char(':')})
        i = std::max(i, static_cast<int>(path.lastIndexOf(sep)));
    return i;
#else
    return static_cast<int>(path.lastIndexOf(QLatin1Char('/')));
#endif
}
} // namespace

QString fileNamePart(const QString &path) { return path.mid(lastSeparator(path) + 1); }

QString extensionOf(const QString &path)
{
    const QString name = fileNamePart(path);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

PictureKind pictureKindOf(const QString &path)
{
    const QString ext = extensionOf(path);
    if (ext.compare(QLatin1String(".png"), Qt::CaseInsensitive) == 0)
        return PictureKind::Png;
    if (ext.compare(QLatin1String(".bmp"), Qt::CaseInsensitive) == 0)
        return PictureKind::Bmp;
    if (ext.compare(QLatin1String(".jpg"), Qt::CaseInsensitive) == 0
        || ext.compare(QLatin1String(".jpeg"), Qt::CaseInsensitive) == 0)
        return PictureKind::Jpeg;
    return PictureKind::None;
}

} // namespace quiltana
