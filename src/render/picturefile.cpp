#include "picturefile.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace quiltana {

void CheckPictureFileType(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        ThrowPictureError(path, QStringLiteral("フォルダです。写真のファイルではありません"));
    // Opening a named pipe waits for a writer, and a device may never end: only files are read.
    if (info.exists() && !info.isFile())
        ThrowPictureError(path, QStringLiteral("通常のファイルではないため開きません"),
                          QStringLiteral("デバイス、パイプまたはソケット"));
}

FilePtr OpenPictureFile(const QString &path)
{
    CheckPictureFileType(path);
    errno = 0;
    FilePtr file(std::fopen(QFile::encodeName(path).constData(), "rb"));
    if (!file) {
        const int error = errno;
        ThrowPictureError(path, Reason(reasons::kCannotOpen), QString::fromLocal8Bit(std::strerror(error)));
    }
    return file;
}

qint64 PictureFileBytes(std::FILE *file) noexcept
{
    struct stat info {};
    if (!file || fstat(fileno(file), &info) != 0)
        return 0;
    return static_cast<qint64>(info.st_size);
}

bool PictureSizeAllowed(qint64 width, qint64 height) noexcept
{
    return width <= kMaxPictureSide && height <= kMaxPictureSide && width * height <= kMaxPicturePixels;
}

bool PictureSizeAllowed(qint64 width, qint64 height, qint64 fileBytes) noexcept
{
    if (!PictureSizeAllowed(width, height))
        return false;
    // Sides are bounded now, so neither product can overflow.
    return width * height <= kFreePicturePixels + kMaxPixelsPerFileByte * std::max<qint64>(fileBytes, 0);
}

PictureError::PictureError(const QString &path, const QString &reason, const QString &detail)
    : Error(FileErrorText(path, reason, detail)), reason_(reason), detail_(detail)
{
}

void ThrowPictureError(const QString &path, const QString &reason, const QString &detail)
{
    throw PictureError(path, reason, detail);
}

void ThrowPictureTooLarge(const QString &path, qint64 width, qint64 height, qint64 fileBytes, qint64 maxSide)
{
    const QLocale numbers(QLocale::Japanese);
    QString bound;
    if (!PictureSizeAllowed(width, height) || width > maxSide || height > maxSide)
        bound = QStringLiteral("開けるのは一辺 %1 ピクセル、全体で %2 ピクセルまで")
                    .arg(std::min<qint64>(maxSide, kMaxPictureSide))
                    .arg(numbers.toString(kMaxPicturePixels));
    else
        bound = QStringLiteral("%1 バイトのファイルで開けるのは %2 ピクセルまで。ファイルが壊れているか、"
                               "細工されています")
                    .arg(numbers.toString(fileBytes))
                    .arg(numbers.toString(kFreePicturePixels + kMaxPixelsPerFileByte * std::max<qint64>(fileBytes, 0)));
    ThrowPictureError(path, QStringLiteral("写真が大きすぎます"),
                      QStringLiteral("%1 x %2 ピクセル。").arg(width).arg(height) + bound);
}

void ThrowDecodingStopped(const QString &path)
{
    ThrowPictureError(path, QStringLiteral("読み込みを中止しました"));
}

} // namespace quiltana
