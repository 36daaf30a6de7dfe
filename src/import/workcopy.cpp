#include "workcopy.h"

#include <QThread>

#include <algorithm>
#include <cstddef>
#include <exception>
#include <vector>

#include "decode.h"
#include "decodeahead.h"
#include "document.h"
#include "error.h"
#include "paths.h"
#include "wholefile.h"

namespace quiltana {

namespace {

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
            return failed(FileErrorText(picturePath, Reason(reasons::kNoMemoryForWorkCopy)));
        result.outcome = PreparedWorkCopy::Outcome::Ready;
        return result;
    } catch (const Error &e) {
        return failed(e.message());
    } catch (const std::exception &e) {
        return failed(FileErrorText(picturePath, QStringLiteral("作業ファイルを作れません"),
                                    QString::fromLocal8Bit(e.what())));
    }
}

void CommitWorkCopy(Document &doc, WorkFolder &work, int cell, const PreparedWorkCopy &prepared)
{
    Cell *target = doc.cellAt(cell);
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
    const QString workPath = WorkCopyPathFor(work, target->picturePath);
    target->workPath.clear();
    const QImage image = prepared.image.format() == QImage::Format_RGB888
                             ? prepared.image
                             : prepared.image.convertToFormat(QImage::Format_RGB888);
    // Written under a hidden temporary name and renamed when complete: a full disk or any other
    // failure leaves neither a half-written work copy nor a work path naming one. The rename
    // replaces a link of that name rather than writing through it.
    WholeFile file;
    const bool saved = file.createBeside(workPath) && image.save(&file, "BMP") && file.finish()
                       && file.placeReplacing(workPath);
    if (!saved) {
        // The encoder may give up before the device has failed (memory).
        const QString cause = file.failed() ? SystemErrorText(file.errorNumber()) : QString();
        throw Error(FileErrorText(target->picturePath, QStringLiteral("作業ファイルを書き込めません"), cause));
    }
    target->workPath = workPath;
}

void MakeWorkCopy(Document &doc, WorkFolder &work, int cell)
{
    const Cell *target = doc.cellAt(cell);
    if (!target || target->picturePath.isEmpty())
        return;
    CommitWorkCopy(doc, work, cell, PrepareWorkCopy(target->picturePath));
}

QStringList MakeWorkCopies(Document &doc, WorkFolder &work, int first, int last, const ConversionProgress &progress)
{
    return MakeWorkCopies(doc, work, first, last, QThread::idealThreadCount(), progress);
}

QStringList MakeWorkCopies(Document &doc, WorkFolder &work, int first, int last, int workers,
                           const ConversionProgress &progress)
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
                MakeWorkCopy(doc, work, cell);
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
        paths[static_cast<std::size_t>(i)] = doc.cell(from + i).picturePath;

    // Finished work copies are small (about 200 KB); a progressive photograph takes several times
    // as long as its neighbours, and the others must be able to run on past it.
    const std::size_t window = static_cast<std::size_t>(workers) * kAheadPerWorker;
    DecodeAhead<PreparedWorkCopy> ahead(
        paths.size(), workers, window, kHeldBudgetBytes,
        [&paths](std::size_t i) {
            try {
                return AheadCost{HeldBytesWhileDecoding(paths[i]), 0};
            } catch (...) {
                // Memory ran out while estimating: the picture decodes alone, and reports
                // whatever fails then itself.
                return AheadCost{kHeldBudgetBytes, 0};
            }
        },
        [&paths](std::size_t i) {
            try {
                return PrepareWorkCopy(paths[i]);
            } catch (...) {
                // PrepareWorkCopy reports its own failures; only memory can run out around it.
                return failed(FileErrorText(paths[i], Reason(reasons::kNoMemoryForWorkCopy)));
            }
        });
    for (int i = 0; i < count; ++i) {
        const PreparedWorkCopy prepared = ahead.take(static_cast<std::size_t>(i));
        try {
            CommitWorkCopy(doc, work, from + i, prepared);
        } catch (const Error &e) {
            errors << e.message();
        }
        // The workers decode on meanwhile, up to their window ahead.
        if (progress)
            progress(i + 1, count);
    }
    return errors;
}

} // namespace quiltana
