#pragma once

#include "picturefile.h"
#include "rowsink.h"

#include <QString>

#include <cstdio>
#include <memory>
#include <type_traits>

namespace quiltana {

// The skeleton the JPEG and PNG decoders share around their C libraries. Each decoder keeps
// one function with a setjmp (its box): it touches only plain data in a job made and zeroed
// here, outside the box, so a longjmp skips nothing that needs destroying, and it tells how it
// ended by a DecoderOutcome, never by an exception. DecodeWithJob turns that outcome into the
// caller's answer or a PictureError naming the file.

enum class DecoderOutcome {
    Decoded,
    LibraryError, // the library's own error, which the decoder explains
    TooLarge,     // the declared size is past the bounds
    TooManyScans, // a JPEG with more scans than its size pays for
    Refused,      // the sink or the box refused the picture: DecoderJob::refusal says why
    Stopped,      // the sink's stop flag asked the decoding to give up
};

// The plain data every job begins with; a decoder's job derives from it.
struct DecoderJob {
    std::FILE *file;
    RowSink *sink;
    const StopFlag *stop;
    int fullWidth;
    int fullHeight;
    long long fileBytes;
    // Why the sink or the box itself refused the picture, when the library did not: one of the
    // program's own texts (UTF-8, static).
    const char *refusal;
};

// Decodes the picture file `path` into `sink` with a Job (value-initialised, hence zeroed),
// read from the start of `opened` when it is given (the file stays open), else from the file
// opened here: `prepare(job)` reads what the decoder needs before its box (it may throw),
// `run(&job)` is the box. The picture's own size goes to fullWidth/fullHeight (optional), then
// any outcome but Decoded is thrown as the PictureError it means; `explain(job, outcome)`
// throws for LibraryError and TooManyScans, which only the decoder can put into words.
// `maxSide` is the library's bound on a side, named when a picture is refused for its size.
template <typename Job, typename Prepare, typename Run, typename Explain>
void DecodeWithJob(const QString &path, std::FILE *opened, RowSink &sink, int *fullWidth, int *fullHeight,
                   qint64 maxSide, Prepare prepare, Run run, Explain explain)
{
    static_assert(std::is_base_of_v<DecoderJob, Job>);
    const FilePtr own = opened ? FilePtr() : OpenPictureFile(path);
    std::FILE *const file = opened ? opened : own.get();
    std::rewind(file);
    auto job = std::make_unique<Job>();
    job->file = file;
    job->sink = &sink;
    job->stop = sink.stop();
    job->fileBytes = PictureFileBytes(file);
    prepare(*job);
    const DecoderOutcome outcome = run(job.get());
    if (fullWidth)
        *fullWidth = job->fullWidth;
    if (fullHeight)
        *fullHeight = job->fullHeight;
    switch (outcome) {
    case DecoderOutcome::Decoded:
        return;
    case DecoderOutcome::TooLarge:
        ThrowPictureTooLarge(path, job->fullWidth, job->fullHeight, job->fileBytes, maxSide);
    case DecoderOutcome::Refused:
        ThrowPictureError(path, QString::fromUtf8(job->refusal));
    case DecoderOutcome::Stopped:
        ThrowDecodingStopped(path);
    case DecoderOutcome::LibraryError:
    case DecoderOutcome::TooManyScans:
        break;
    }
    explain(*job, outcome);
}

} // namespace quiltana
