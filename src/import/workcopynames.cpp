#include "workcopynames.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include "paths.h"

namespace quiltana {

namespace {

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

// Work copy names are kept short enough for every file system (255 bytes a name) with room
// for the suffix of the temporary file that a work copy is written to before it is renamed.
constexpr qsizetype kMaxWorkCopyNameBytes = 200;

// The file-name part of a picture, shortened when its work copy name would be too long: the
// longest beginning that fits (whole characters), "~", eight hexadecimal digits of a hash of
// the whole name, and the picture's own extension, e.g. "とても長い名前...~1a2b3c4d.JPG".
QString workCopyBaseName(const QString &picturePath)
{
    const QString name = fileNamePart(picturePath);
    // The longest ending besides the base: "~" + a number for a second picture of that name,
    // then ".bmp".
    constexpr qsizetype kEndingBytes = 12;
    if (QFile::encodeName(name).size() + kEndingBytes <= kMaxWorkCopyNameBytes)
        return name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    QString extension = dot >= 0 ? name.mid(dot) : QString();
    if (QFile::encodeName(extension).size() > 16)
        extension.clear();
    const QByteArray digest = QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha1);
    const QString tag = QLatin1Char('~') + QString::fromLatin1(digest.toHex().left(8)) + extension;
    const qsizetype room = kMaxWorkCopyNameBytes - kEndingBytes - QFile::encodeName(tag).size();
    QString head;
    qsizetype bytes = 0;
    for (qsizetype i = 0; i < name.size();) {
        // One character at a time, a surrogate pair as one.
        const qsizetype length = name.at(i).isHighSurrogate() && i + 1 < name.size() ? 2 : 1;
        const QString character = name.mid(i, length);
        const qsizetype more = QFile::encodeName(character).size();
        if (bytes + more > room)
            break;
        head += character;
        bytes += more;
        i += length;
    }
    return head + tag;
}

} // namespace

QString WorkCopyPathFor(WorkFolder &work, const QString &picturePath)
{
    WorkCopyNames &names = work.names;
    const QString key = pictureKey(picturePath);
    const auto known = names.byPicture.constFind(key);
    if (known != names.byPicture.constEnd())
        return *known;
    const QString prefix = work.path + QLatin1Char('/') + workCopyBaseName(picturePath);
    QString candidate = prefix + QStringLiteral(".bmp");
    for (int n = 2; names.taken.contains(fileKey(candidate)); ++n)
        candidate = prefix + QLatin1Char('~') + QString::number(n) + QStringLiteral(".bmp");
    names.taken.insert(fileKey(candidate));
    names.byPicture.insert(key, candidate);
    return candidate;
}

} // namespace quiltana
