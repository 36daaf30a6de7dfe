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

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <algorithm>
#include <cstring>
#include <condition_variable>
#include <cstdlib>
#include <cstddef>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "bmpreader.h"
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

// Room that the decodings running side by side may hold beyond their few rows: two large
// progressive photographs decoded at once would double the conversion's memory.
constexpr qint64 kHeldBudgetBytes = 80LL * 1024 * 1024;

quint32 bigEndian(const uchar *p, int bytes)
{
    quint32 value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | p[i];
    return value;
}

// What a decoding of a picture whose header cannot be read may hold: as much as any picture
// within the bounds, so that it never runs beside another large one.
constexpr qint64 kWorstHeldBytes = kMaxPicturePixels * 4;

// What a JPEG decoding holds beyond a few rows: a progressive file, and a sequential file whose
// first scan does not carry every component, keep every DCT coefficient (two bytes each) until
// the last scan, whatever the scale they are decoded at. The segments before the frame header
// and between it and the first scan are walked whatever their number.
qint64 heldBytesWhileDecodingJpeg(QFile &file)
{
    uchar head[4] = {};
    if (file.read(reinterpret_cast<char *>(head), 2) != 2 || head[0] != 0xFF || head[1] != 0xD8)
        return kWorstHeldBytes;
    qint64 coefficientBytes = -1; // known once the frame header was read
    bool progressive = false;
    int components = 0;
    for (;;) {
        if (file.read(reinterpret_cast<char *>(head), 4) != 4 || head[0] != 0xFF)
            return kWorstHeldBytes;
        const uchar marker = head[1];
        const qint64 length = bigEndian(head + 2, 2);
        if (length < 2)
            return kWorstHeldBytes;
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (coefficientBytes >= 0)
                return kWorstHeldBytes; // a second frame header
            progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
            uchar frameHeader[6] = {};
            if (file.read(reinterpret_cast<char *>(frameHeader), 6) != 6)
                return kWorstHeldBytes;
            const qint64 height = bigEndian(frameHeader + 1, 2);
            const qint64 width = bigEndian(frameHeader + 3, 2);
            components = frameHeader[5];
            if (components < 1 || components > 4 || length != 8 + 3 * components)
                return kWorstHeldBytes;
            uchar sampling[4 * 3] = {};
            if (file.read(reinterpret_cast<char *>(sampling), components * 3) != components * 3)
                return kWorstHeldBytes;
            int hMax = 1, vMax = 1;
            for (int c = 0; c < components; ++c) {
                hMax = std::max(hMax, sampling[c * 3 + 1] >> 4);
                vMax = std::max(vMax, sampling[c * 3 + 1] & 15);
            }
            qint64 blocks = 0;
            for (int c = 0; c < components; ++c) {
                const qint64 h = std::max(1, sampling[c * 3 + 1] >> 4);
                const qint64 v = std::max(1, sampling[c * 3 + 1] & 15);
                const qint64 columns = (width * h + hMax - 1) / hMax;
                const qint64 rows = (height * v + vMax - 1) / vMax;
                // Each component is padded to whole MCUs: up to hMax x vMax blocks more.
                blocks += ((columns + 7) / 8 + hMax) * ((rows + 7) / 8 + vMax);
            }
            coefficientBytes = blocks * 64 * 2;
            continue;
        }
        if (marker == 0xDA) {
            if (coefficientBytes < 0)
                return kWorstHeldBytes;
            uchar count = 0;
            if (!file.getChar(reinterpret_cast<char *>(&count)))
                return kWorstHeldBytes;
            return progressive || count < components ? coefficientBytes : 0;
        }
        if (marker == 0xD9 || !file.seek(file.pos() + length - 2))
            return kWorstHeldBytes;
    }
}

} // namespace

// What decoding the picture holds at once beyond a few rows, estimated from its header: see
// heldBytesWhileDecodingJpeg; an interlaced PNG, or one with an EXIF block that may turn it,
// keeps the whole picture; a BMP is read whole.
// 0 for pictures that stream. A header that cannot be read counts as the worst case: the
// estimate may be too high, never too low.
qint64 HeldBytesWhileDecoding(const QString &path)
{
    // Only regular files are looked into: an empty cell has no path, and a pipe named like a
    // picture would block the read (the decoder refuses both with an error of its own).
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return 0;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0; // the decoder cannot open it either, and reports that
    // A picture is refused when it declares more than its file can hold (PictureSizeAllowed),
    // so no decoding holds more than that either.
    switch (pictureKindOf(path)) {
    case PictureKind::Png: {
        // signature, IHDR length and type, then width, height, depth, colour, compression,
        // filter, interlace
        uchar head[29] = {};
        if (file.read(reinterpret_cast<char *>(head), 29) != 29)
            return kWorstHeldBytes;
        const qint64 w = bigEndian(head + 16, 4);
        const qint64 h = bigEndian(head + 20, 4);
        if (!PictureSizeAllowed(w, h, file.size()))
            return 0; // refused before anything is held
        if (head[28] != 0)
            return w * h * 3;
        // An eXIf chunk before the picture data may call for the picture to be turned, which
        // collects it whole.
        for (qint64 at = 33;;) {
            uchar chunk[8] = {};
            if (!file.seek(at) || file.read(reinterpret_cast<char *>(chunk), 8) != 8)
                return 0; // the decoder fails there too
            if (std::memcmp(chunk + 4, "IDAT", 4) == 0 || std::memcmp(chunk + 4, "IEND", 4) == 0)
                return 0;
            if (std::memcmp(chunk + 4, "eXIf", 4) == 0)
                return w * h * 3;
            at += 12 + static_cast<qint64>(bigEndian(chunk, 4));
        }
    }
    case PictureKind::Bmp: {
        qint64 w = 0, h = 0;
        if (!ReadBmpDeclaredSize(file, &w, &h))
            return kWorstHeldBytes;
        return PictureSizeAllowed(w, h, file.size()) ? w * h * 4 : 0;
    }
    case PictureKind::Jpeg:
        return std::min(heldBytesWhileDecodingJpeg(file), kWorstHeldBytes);
    case PictureKind::None:
        break;
    }
    return 0;
}

namespace {

// Decodes the pictures of a run of cells on worker threads, ahead of the thread that takes
// them in cell order. Workers run at most kAheadPerWorker pictures per worker ahead of the
// taker, so a long drop holds a handful of finished work copies at a time, not all of them;
// and pictures that hold much memory while they are decoded (HeldBytesWhileDecoding) run side
// by side only within kHeldBudgetBytes.
class ConversionAhead {
public:
    ConversionAhead(std::vector<QString> paths, int workers)
        : paths_(std::move(paths)), results_(paths_.size()),
          window_(static_cast<std::size_t>(workers) * kAheadPerWorker)
    {
        try {
            threads_.reserve(static_cast<std::size_t>(workers));
            for (int n = 0; n < workers; ++n)
                threads_.emplace_back([this] { work(); });
        } catch (...) {
            // Fewer threads than asked for only means slower; with none take() decodes itself.
        }
    }
    ~ConversionAhead() { stopAndJoin(); }

    ConversionAhead(const ConversionAhead &) = delete;
    ConversionAhead &operator=(const ConversionAhead &) = delete;

    // The prepared work copy of picture `index`; indices must be taken in ascending order.
    PreparedWorkCopy take(std::size_t index)
    {
        if (threads_.empty())
            return prepare(index);
        PreparedWorkCopy prepared;
        {
            std::unique_lock lock(mutex_);
            ready_.wait(lock, [&] { return results_[index].has_value(); });
            prepared = std::move(*results_[index]);
            results_[index].reset();
            taken_ = index + 1;
        }
        room_.notify_all();
        return prepared;
    }

private:
    // A progressive photograph takes several times as long as its neighbours; the others
    // must be able to run on past it. Finished work copies are small (about 200 KB).
    static constexpr std::size_t kAheadPerWorker = 8;

    // Whether a decoding that holds `held` bytes may start now; one alone always may.
    [[nodiscard]] bool fits(qint64 held) const
    {
        return held == 0 || held_ == 0 || held_ + held <= kHeldBudgetBytes;
    }

    void work()
    {
        // Pictures this worker took that wait for memory; meanwhile it goes on with others.
        std::vector<std::pair<std::size_t, qint64>> waiting;
        for (;;) {
            std::size_t index = 0;
            qint64 held = 0;
            bool claimed = false;
            {
                std::unique_lock lock(mutex_);
                auto ready = waiting.end();
                room_.wait(lock, [&] {
                    ready = std::find_if(waiting.begin(), waiting.end(),
                                         [&](const auto &w) { return fits(w.second); });
                    return stop_ || ready != waiting.end() || canClaim()
                           || (waiting.empty() && claimed_ >= paths_.size());
                });
                if (stop_)
                    return;
                if (ready != waiting.end()) {
                    index = ready->first;
                    held = ready->second;
                    waiting.erase(ready);
                    held_ += held;
                } else if (canClaim()) {
                    index = claimed_++;
                    claimed = true;
                } else {
                    return;
                }
            }
            if (claimed) {
                held = HeldBytesWhileDecoding(paths_[index]);
                std::lock_guard lock(mutex_);
                if (!fits(held)) {
                    waiting.emplace_back(index, held);
                    continue;
                }
                held_ += held;
            }
            PreparedWorkCopy prepared = prepare(index);
            {
                std::lock_guard lock(mutex_);
                held_ -= held;
                results_[index] = std::move(prepared);
            }
            ready_.notify_one();
            room_.notify_all();
        }
    }

    [[nodiscard]] bool canClaim() const { return claimed_ < paths_.size() && claimed_ < taken_ + window_; }

    PreparedWorkCopy prepare(std::size_t index) const
    {
        try {
            return PrepareWorkCopy(paths_[index]);
        } catch (...) {
            // PrepareWorkCopy reports its own failures; only memory can run out around it.
            return failed(QStringLiteral("%1: not enough memory for the work copy").arg(paths_[index]));
        }
    }

    void stopAndJoin()
    {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        room_.notify_all();
        for (std::thread &thread : threads_)
            if (thread.joinable())
                thread.join();
        threads_.clear();
    }

    const std::vector<QString> paths_;
    std::vector<std::optional<PreparedWorkCopy>> results_;
    const std::size_t window_;
    std::mutex mutex_;
    std::condition_variable ready_; // a result arrived
    std::condition_variable room_;  // a result was taken, memory was freed, or the workers must stop
    std::size_t claimed_ = 0;       // pictures handed to workers so far
    std::size_t taken_ = 0;         // results taken so far
    qint64 held_ = 0;               // what the running decodings hold (HeldBytesWhileDecoding)
    bool stop_ = false;
    std::vector<std::thread> threads_;
};

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

#ifdef __GLIBC__
    // One heap for all threads: a block freed by one worker (a progressive JPEG's coefficients)
    // is reused by the next decoding on any thread instead of staying behind in a heap of the
    // worker's own; mapping such blocks afresh each time instead costs page faults.
    static std::once_flag fixedThreshold;
    std::call_once(fixedThreshold, [] { mallopt(M_ARENA_MAX, 1); });
#endif
    ConversionAhead ahead(std::move(paths), workers);
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
