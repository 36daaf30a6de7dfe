#include "workcopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>

#include <algorithm>
#include <exception>

#include "decode.h"
#include "document.h"
#include "error.h"
#include "paths.h"

namespace quiltana {

namespace {

// Which work path each picture file got in this run, and which paths are taken.
struct WorkCopyNames {
    QMutex mutex;
    QHash<QString, QString> byPicture; // picture file key -> work path
    QSet<QString> taken;               // work path keys handed out
};

WorkCopyNames &workCopyNames()
{
    static WorkCopyNames names;
    return names;
}

// File names compare as the file system does: without regard to case only on Windows.
QString fileKey(const QString &path)
{
#ifdef Q_OS_WIN
    return path.toLower();
#else
    return path;
#endif
}

QString pictureKey(const QString &picturePath)
{
    const QFileInfo info(picturePath);
    const QString canonical = info.canonicalFilePath();
    return fileKey(canonical.isEmpty() ? info.absoluteFilePath() : canonical);
}

PreparedWorkCopy failed(const QString &text)
{
    PreparedWorkCopy result;
    result.outcome = PreparedWorkCopy::Outcome::Failed;
    result.error = text;
    return result;
}

} // namespace

void EnsureWorkFolder()
{
    if (QFileInfo(QString::fromLatin1(kWorkFolder)).isDir())
        return;
    if (!QDir().mkdir(QString::fromLatin1(kWorkFolder)))
        throw Error(QStringLiteral("Cannot create temp directory."));
}

QString WorkCopyPathFor(const QString &picturePath)
{
    WorkCopyNames &names = workCopyNames();
    QMutexLocker lock(&names.mutex);
    const QString key = pictureKey(picturePath);
    const auto known = names.byPicture.constFind(key);
    if (known != names.byPicture.constEnd())
        return *known;
    const QString prefix = QString::fromLatin1(kWorkFolder) + QLatin1Char('/') + fileNamePart(picturePath);
    QString candidate = prefix + QStringLiteral(".bmp");
    for (int n = 2; names.taken.contains(fileKey(candidate)); ++n)
        candidate = prefix + QLatin1Char('~') + QString::number(n) + QStringLiteral(".bmp");
    names.taken.insert(fileKey(candidate));
    names.byPicture.insert(key, candidate);
    return candidate;
}

void ResetWorkCopyNames()
{
    WorkCopyNames &names = workCopyNames();
    QMutexLocker lock(&names.mutex);
    names.byPicture.clear();
    names.taken.clear();
}

PreparedWorkCopy PrepareWorkCopy(const QString &picturePath)
{
    if (picturePath.isEmpty())
        return {};
    const PictureKind kind = pictureKindOf(picturePath);
    if (kind == PictureKind::None)
        return {};
    try {
        // Decoded and resampled in one pass: a large photograph is never held whole just to
        // be shrunk to 200 rows.
        PreparedWorkCopy result;
        result.image = DecodeWorkCopyImage(picturePath, kind, kWorkCopyHeight);
        if (result.image.isNull())
            return failed(QStringLiteral("%1: not enough memory for the work copy").arg(picturePath));
        result.outcome = PreparedWorkCopy::Outcome::Ready;
        return result;
    } catch (const Error &e) {
        return failed(e.message());
    } catch (const std::exception &e) {
        return failed(QStringLiteral("%1: %2").arg(picturePath, QString::fromLocal8Bit(e.what())));
    }
}

void CommitWorkCopy(int cell, const PreparedWorkCopy &prepared)
{
    Cell *target = document().cellAt(cell);
    if (!target)
        return;
    switch (prepared.outcome) {
    case PreparedWorkCopy::Outcome::Skip:
        return;
    case PreparedWorkCopy::Outcome::Failed:
        throw Error(prepared.error);
    case PreparedWorkCopy::Outcome::Ready:
        break;
    }
    const QString workPath = WorkCopyPathFor(target->picturePath);
    // Stored before the save: when the save fails the cell names the file it should have.
    target->workPath = workPath;
    const QImage image = prepared.image.format() == QImage::Format_RGB888
                             ? prepared.image
                             : prepared.image.convertToFormat(QImage::Format_RGB888);
    if (!image.save(workPath, "BMP"))
        throw Error(QStringLiteral("%1: the work copy cannot be written").arg(workPath));
}

void MakeWorkCopy(int cell)
{
    const Cell *target = document().cellAt(cell);
    if (!target || target->picturePath.isEmpty())
        return;
    CommitWorkCopy(cell, PrepareWorkCopy(target->picturePath));
}

QStringList MakeWorkCopies(int first, int last)
{
    QStringList errors;
    for (int cell = std::max(first, 0); cell <= std::min(last, kCellCount - 1); ++cell) {
        try {
            MakeWorkCopy(cell);
        } catch (const Error &e) {
            errors << e.message();
        }
    }
    return errors;
}

QStringList WorkCopyFiles()
{
    const QDir folder(QString::fromLatin1(kWorkFolder));
    if (!folder.exists())
        return {};
    // Name filters match without regard to case, as "*.bmp" does on Windows.
    return folder.entryList({QStringLiteral("*.bmp")}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

void DeleteWorkCopies()
{
    const QDir folder(QString::fromLatin1(kWorkFolder));
    for (const QString &name : WorkCopyFiles())
        QFile::remove(folder.filePath(name));
}

} // namespace quiltana
