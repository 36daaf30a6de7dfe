#include "workcopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>
#include <QThread>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstddef>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

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

// What decoding the picture holds at once beyond a few rows, estimated from its header: a
// progressive JPEG keeps every DCT coefficient (two bytes each) until its last scan, whatever
// the scale it is decoded at; an interlaced PNG keeps the whole picture; a BMP is read whole.
// 0 for pictures that stream and for headers that cannot be read (the decoder reports those).
qint64 heldBytesWhileDecoding(const QString &path)
{
    // Only regular files are looked into: an empty cell has no path, and a pipe named like a
    // picture would block the read (the decoder refuses both with an error of its own).
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return 0;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    uchar head[32] = {};
    switch (pictureKindOf(path)) {
    case PictureKind::Png:
        // signature, IHDR length and type, then width, height, depth, colour, compression,
        // filter, interlace
        if (file.read(reinterpret_cast<char *>(head), 29) != 29 || head[28] != 1)
            return 0;
    {
        // Declared sides are bounded before they are multiplied; the decoder refuses the rest.
        const qint64 w = bigEndian(head + 16, 4);
        const qint64 h = bigEndian(head + 20, 4);
        return PictureSizeAllowed(w, h) ? w * h * 3 : 0;
    }
    case PictureKind::Bmp: {
        if (file.read(reinterpret_cast<char *>(head), 26) != 26)
            return 0;
        const auto little = [&](int at) {
            return qint32(quint32(head[at]) | quint32(head[at + 1]) << 8 | quint32(head[at + 2]) << 16
                          | quint32(head[at + 3]) << 24);
        };
        const qint64 w = std::abs(qint64(little(18)));
        const qint64 h = std::abs(qint64(little(22)));
        return PictureSizeAllowed(w, h) ? w * h * 4 : 0;
    }
    case PictureKind::Jpeg:
        break;
    case PictureKind::None:
        return 0;
    }
    if (file.read(reinterpret_cast<char *>(head), 2) != 2 || head[0] != 0xFF || head[1] != 0xD8)
        return 0;
    for (int segments = 0; segments < 256; ++segments) {
        if (file.read(reinterpret_cast<char *>(head), 4) != 4 || head[0] != 0xFF)
            return 0;
        const uchar marker = head[1];
        const qint64 length = bigEndian(head + 2, 2);
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (!frame) {
            if (marker == 0xDA || marker == 0xD9 || length < 2 || !file.seek(file.pos() + length - 2))
                return 0;
            continue;
        }
        const bool progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
        uchar frameHeader[6 + 3 * 4] = {};
        if (!progressive || file.read(reinterpret_cast<char *>(frameHeader), 6) != 6)
            return 0;
        const qint64 height = bigEndian(frameHeader + 1, 2);
        const qint64 width = bigEndian(frameHeader + 3, 2);
        const int components = std::min<int>(frameHeader[5], 4);
        uchar sampling[4 * 3] = {};
        if (file.read(reinterpret_cast<char *>(sampling), components * 3) != components * 3)
            return 0;
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
            blocks += ((columns + 7) / 8) * ((rows + 7) / 8);
        }
        return blocks * 64 * 2;
    }
    return 0;
}

// Decodes the pictures of a run of cells on worker threads, ahead of the thread that takes
// them in cell order. Workers run at most kAheadPerWorker pictures per worker ahead of the
// taker, so a long drop holds a handful of finished work copies at a time, not all of them;
// and pictures that hold much memory while they are decoded (heldBytesWhileDecoding) run side
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
                held = heldBytesWhileDecoding(paths_[index]);
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
    qint64 held_ = 0;               // what the running decodings hold (heldBytesWhileDecoding)
    bool stop_ = false;
    std::vector<std::thread> threads_;
};

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
    return MakeWorkCopies(first, last, QThread::idealThreadCount());
}

QStringList MakeWorkCopies(int first, int last, int workers)
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
