#include "workcopy.h"

#include <QDir>
#include <QFile>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <cstring>
#include <condition_variable>
#include <cstdlib>
#include <cstddef>
#include <exception>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "decode.h"
#include "decodeahead.h"
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

// Room that the decodings running side by side may hold beyond their few rows: two large
// progressive photographs decoded at once would double the conversion's memory.
constexpr qint64 kHeldBudgetBytes = 80LL * 1024 * 1024;

// How many pictures per worker the decodings may run ahead of the cell being written.
constexpr std::size_t kAheadPerWorker = 8;

} // namespace

void EnsureWorkFolder()
{
    const QFileInfo folder(QString::fromLatin1(kWorkFolder));
    // Through a link, the files deleted at close would be somebody else's.
    if (folder.isSymLink())
        throw Error(QStringLiteral("Cannot create temp directory.\n%1 is a symbolic link; the work "
                                   "folder is never used through a link.")
                        .arg(QDir::toNativeSeparators(folder.absoluteFilePath())));
    if (folder.isDir())
        return;
    if (!QDir().mkdir(QString::fromLatin1(kWorkFolder)))
        throw Error(QStringLiteral("Cannot create temp directory."));
}

namespace {

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

QString WorkCopyPathFor(const QString &picturePath)
{
    WorkCopyNames &names = workCopyNames();
    QMutexLocker lock(&names.mutex);
    const QString key = pictureKey(picturePath);
    const auto known = names.byPicture.constFind(key);
    if (known != names.byPicture.constEnd())
        return *known;
    const QString prefix = QString::fromLatin1(kWorkFolder) + QLatin1Char('/') + workCopyBaseName(picturePath);
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
        // The cell holds the new picture now; an older work copy would show another one.
        target->workPath.clear();
        throw Error(prepared.error);
    case PreparedWorkCopy::Outcome::Ready:
        break;
    }
    const QString workPath = WorkCopyPathFor(target->picturePath);
    target->workPath.clear();
    const QImage image = prepared.image.format() == QImage::Format_RGB888
                             ? prepared.image
                             : prepared.image.convertToFormat(QImage::Format_RGB888);
    // Written under a temporary name and renamed when complete: a full disk or any other
    // failure leaves neither a half-written work copy nor a work path naming one. The rename
    // replaces a link of that name rather than writing through it.
    QSaveFile file(workPath);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "BMP") || !file.commit())
        throw Error(QStringLiteral("%1: the work copy cannot be written (%2)")
                        .arg(QDir::toNativeSeparators(target->picturePath), file.errorString()));
    target->workPath = workPath;
}

void MakeWorkCopy(int cell)
{
    const Cell *target = document().cellAt(cell);
    if (!target || target->picturePath.isEmpty())
        return;
    CommitWorkCopy(cell, PrepareWorkCopy(target->picturePath));
}

QStringList MakeWorkCopies(int first, int last, const ConversionProgress &progress)
{
    return MakeWorkCopies(first, last, QThread::idealThreadCount(), progress);
}

QStringList MakeWorkCopies(int first, int last, int workers, const ConversionProgress &progress)
{
    QStringList errors;
    const int from = std::max(first, 0);
    const int to = std::min(last, kCellCount - 1);
    if (from > to)
        return errors;
    const int count = to - from + 1;
    workers = std::min(workers, count);
    if (workers <= 1) {
        for (int cell = from; cell <= to; ++cell) {
            try {
                MakeWorkCopy(cell);
            } catch (const Error &e) {
                errors << e.message();
            }
            if (progress)
                progress(cell - from + 1, count);
        }
        return errors;
    }

    // Nothing else touches the cell table while the command runs, so the paths read now are
    // the ones each cell would have had when its turn came.
    std::vector<QString> paths(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        paths[static_cast<std::size_t>(i)] = document().cell(from + i).picturePath;

    // Finished work copies are small (about 200 KB); a progressive photograph takes several times
    // as long as its neighbours, and the others must be able to run on past it.
    const std::size_t window = static_cast<std::size_t>(workers) * kAheadPerWorker;
    DecodeAhead<PreparedWorkCopy> ahead(
        paths.size(), workers, window, kHeldBudgetBytes,
        [&paths](std::size_t i) { return AheadCost{HeldBytesWhileDecoding(paths[i]), 0}; },
        [&paths](std::size_t i) {
            try {
                return PrepareWorkCopy(paths[i]);
            } catch (...) {
                // PrepareWorkCopy reports its own failures; only memory can run out around it.
                return failed(QStringLiteral("%1: not enough memory for the work copy").arg(paths[i]));
            }
        });
    for (int i = 0; i < count; ++i) {
        const PreparedWorkCopy prepared = ahead.take(static_cast<std::size_t>(i));
        try {
            CommitWorkCopy(from + i, prepared);
        } catch (const Error &e) {
            errors << e.message();
        }
        // The workers decode on meanwhile, up to their window ahead.
        if (progress)
            progress(i + 1, count);
    }
    return errors;
}

bool IsWorkCopyName(const QString &fileName)
{
    // "<name>.<jpg|jpeg|png|bmp>[~n].bmp", the kinds the program reads, and also
    // "<name>~<8 hex digits>.<kind>[~n].bmp" for a shortened long name.
    static const QRegularExpression pattern(
        QStringLiteral("^.+\\.(?:[jJ][pP][eE]?[gG]|[pP][nN][gG]|[bB][mM][pP])(?:~[0-9]+)?\\.bmp$"));
    return pattern.match(fileName).hasMatch();
}

QStringList WorkCopyFiles()
{
    const QFileInfo folderInfo(QString::fromLatin1(kWorkFolder));
    if (folderInfo.isSymLink() || !folderInfo.isDir())
        return {};
    const QDir folder(folderInfo.filePath());
    QStringList names;
    const QStringList entries =
        folder.entryList({QStringLiteral("*.bmp")}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString &name : entries) {
        // Only the program's own files, and only the files themselves: a link is never
        // followed, whatever it points to.
        const QFileInfo entry(folder.filePath(name));
        if (IsWorkCopyName(name) && !entry.isSymLink() && entry.isFile())
            names.append(name);
    }
    return names;
}

void DeleteWorkCopies()
{
    const QDir folder(QString::fromLatin1(kWorkFolder));
    for (const QString &name : WorkCopyFiles())
        QFile::remove(folder.filePath(name));
}

} // namespace quiltana
