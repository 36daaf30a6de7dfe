#include "jpegdecoder.h"

#include "colour.h"
#include "decoderjob.h"
#include "exif.h"
#include "picturefile.h"
#include "rowsink.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

namespace quiltana {

namespace {

// A progressive file's whole-picture coefficient buffer is the one large allocation libjpeg
// makes on its own; 1 GiB holds it for any picture within the bounds in 4:2:0 and for about
// 170 megapixels in 4:4:4. Beyond it libjpeg asks for a backing store, which it has not, and
// fails cleanly.
constexpr long kMaxJpegMemory = 1L << 30;

// Every scan of a file that has several costs a pass over the whole picture's coefficients,
// and a scan can take only a few bytes: a crafted file with thousands of scans costs minutes.
// A sequential file sends each component once, so it has at most four scans; damaged files
// that other programs still show have up to about ten. Real progressive encoders write about
// ten scans, aggressive optimisers a few dozen.
// Beyond kFreeScans, a progressive file pays for each further scan in bytes: one byte of the
// file for every kBlocksPerScanByte blocks of the picture, up to kMaxProgressiveScans. A
// photograph has bytes to spare for a hundred scans; a flat picture of a few kilobytes still
// gets sixteen. So no file costs more than a fixed number of block visits per byte.
constexpr int kMaxSequentialScans = 16;
constexpr int kMaxProgressiveScans = 100;
constexpr int kFreeScans = 16;
constexpr long long kBlocksPerScanByte = 64;

// libjpeg's progress monitor with the scan limit of the file at hand, and the flag that asks
// the decoding to give up.
struct ScanGuard {
    jpeg_progress_mgr pub;
    int scanLimit;
    const StopFlag *stop;
    bool stopped;
};

constexpr std::size_t kMessageLength = JMSG_LENGTH_MAX;

// Rows asked of libjpeg per call when they can go straight into the picture: a multiple of
// the largest MCU height.
constexpr int kRowsPerRead = 16;

struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[kMessageLength];
    // libjpeg met the end of the file before the picture's end, and what it said then.
    bool reachedEnd;
    char endMessage[kMessageLength];
    // The file has more scans than its size pays for (JpegProgress).
    bool tooManyScans;
};

// Everything the decoding box touches lives here: plain C data, and a converter that the job
// owns and destroys outside the box, so a longjmp skips nothing that needs destroying.
struct JpegJob : DecoderJob {
    jpeg_decompress_struct cinfo;
    JpegErrorManager error;
    ScanGuard progress;
    // The embedded colour profile, malloc'ed by libjpeg; freed by DecodeJpeg.
    JOCTET *profile;
    unsigned int profileBytes;
    SrgbConverter colours;
    bool progressive;
};

extern "C" void JpegErrorExit(j_common_ptr cinfo)
{
    auto *error = reinterpret_cast<JpegErrorManager *>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, error->message);
    std::longjmp(error->jump, 1);
}

// Warnings ("Premature end of JPEG file", "Corrupt JPEG data: ...") are counted and not fatal;
// nothing is ever printed. The end of the file is remembered: met in the headers, it is what
// makes the error that follows.
extern "C" void JpegEmitMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return; // trace messages
    auto *error = reinterpret_cast<JpegErrorManager *>(cinfo->err);
    if (cinfo->err->msg_code == JWRN_JPEG_EOF && !error->reachedEnd) {
        error->reachedEnd = true;
        (*cinfo->err->format_message)(cinfo, error->endMessage);
    }
    ++cinfo->err->num_warnings;
}

// Makes `error` the decompressor's error manager: errors jump to its setjmp, warnings are
// only counted. The jump point itself is set by the caller, in the function that holds it.
void UseJpegErrors(jpeg_decompress_struct *cinfo, JpegErrorManager *error)
{
    cinfo->err = jpeg_std_error(&error->pub);
    error->pub.error_exit = JpegErrorExit;
    error->pub.emit_message = JpegEmitMessage;
}

// Called by libjpeg for every row of MCUs it reads, so also inside each of many scans, and for
// every call that asks it for rows.
extern "C" void JpegProgress(j_common_ptr cinfo)
{
    auto *d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (!d->is_decompressor)
        return;
    auto *guard = reinterpret_cast<ScanGuard *>(d->progress);
    if (StopAsked(guard->stop)) {
        guard->stopped = true;
        std::longjmp(reinterpret_cast<JpegErrorManager *>(cinfo->err)->jump, 1);
    }
    const int limit = guard->scanLimit;
    if (d->input_scan_number > limit) {
        auto *error = reinterpret_cast<JpegErrorManager *>(cinfo->err);
        error->tooManyScans = true;
        std::longjmp(error->jump, 1);
    }
}

// The orientation in the file's first EXIF APP1 segment, 1 when there is none.
int ExifOrientationOf(const jpeg_decompress_struct *cinfo) noexcept
{
    for (jpeg_saved_marker_ptr marker = cinfo->marker_list; marker; marker = marker->next) {
        static const char kExif[] = "Exif\0";
        if (marker->marker == JPEG_APP0 + 1 && marker->data_length >= sizeof kExif
            && std::memcmp(marker->data, kExif, sizeof kExif) == 0)
            return ExifOrientation(marker->data, marker->data_length);
    }
    return kExifUpright;
}

// Adobe writes CMYK inverted and says so in its APP14 marker.
bool CmykInverted(const jpeg_decompress_struct *cinfo) noexcept
{
    return cinfo->saw_Adobe_marker;
}

// A progressive file may have as many scans beyond kFreeScans as its bytes pay for.
void LimitProgressiveScans(JpegJob *job) noexcept
{
    const jpeg_decompress_struct *cinfo = &job->cinfo;
    long long blocks = 1;
    for (int c = 0; c < cinfo->num_components; ++c)
        blocks += static_cast<long long>(cinfo->comp_info[c].width_in_blocks) * cinfo->comp_info[c].height_in_blocks;
    const long long paid = job->fileBytes * kBlocksPerScanByte / blocks;
    job->progress.scanLimit = static_cast<int>(std::min<long long>(kFreeScans + paid, kMaxProgressiveScans));
}

// Asks libjpeg for RGB, or CMYK where the file holds CMYK or YCCK, and sets up the conversion
// to sRGB through the file's colour profile. Called from RunJpegJob's box (libjpeg may longjmp
// through it).
void ChooseJpegColours(JpegJob *job)
{
    jpeg_decompress_struct *cinfo = &job->cinfo;
    const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    DecodedColours colours = DecodedColours::Rgb;
    if (cmyk)
        colours = CmykInverted(cinfo) ? DecodedColours::CmykInverted : DecodedColours::Cmyk;
    else if (cinfo->jpeg_color_space == JCS_GRAYSCALE)
        colours = DecodedColours::Grey;
    // A profile whose pieces are missing, repeated or out of order is none (libjpeg warns).
    if (jpeg_read_icc_profile(cinfo, &job->profile, &job->profileBytes))
        job->colours = SrgbConverter::ForProfile(job->profile, job->profileBytes, colours);
}

// The smallest DCT scale whose output still holds what the sink wants.
void ChooseJpegScale(JpegJob *job)
{
    jpeg_decompress_struct *cinfo = &job->cinfo;
    const QSize wanted = job->sink->minimumOutput(job->fullWidth, job->fullHeight);
    cinfo->scale_denom = 8;
    for (unsigned num = 1; num <= 8; ++num) {
        cinfo->scale_num = num;
        jpeg_calc_output_dimensions(cinfo);
        if (static_cast<qint64>(cinfo->output_width) >= wanted.width()
            && static_cast<qint64>(cinfo->output_height) >= wanted.height())
            break;
    }
}

// The decompressed rows into the sink, in sRGB. Called from RunJpegJob's box, through which
// libjpeg may longjmp: it holds no C++ object.
DecoderOutcome ReadJpegRows(JpegJob *job)
{
    jpeg_decompress_struct *cinfo = &job->cinfo;
    const bool cmyk = cinfo->out_color_space == JCS_CMYK;
    const bool inverted = CmykInverted(cinfo);
    const int width = static_cast<int>(cinfo->output_width);
    const int height = static_cast<int>(cinfo->output_height);
    JSAMPARRAY cmykRow = nullptr;
    if (cmyk)
        cmykRow = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                              cinfo->output_width * 4, 1);
    // A sink that keeps its rows takes several per call, which saves libjpeg its own
    // intermediate row buffer for most of them.
    const int rowsPerRead = !cmyk && job->sink->keepsRows() ? kRowsPerRead : 1;
    while (cinfo->output_scanline < cinfo->output_height) {
        const int y = static_cast<int>(cinfo->output_scanline);
        JSAMPROW rows[kRowsPerRead];
        const int count = std::min(rowsPerRead, height - y);
        for (int i = 0; i < count; ++i)
            rows[i] = cmyk ? cmykRow[0] : job->sink->rowBuffer(y + i);
        const int got = static_cast<int>(jpeg_read_scanlines(cinfo, rows, static_cast<JDIMENSION>(count)));
        if (got < 1) {
            // A stdio source never suspends; no progress would mean looping for ever.
            job->refusal = "JPEG の復号が途中で止まりました";
            return DecoderOutcome::Refused;
        }
        for (int i = 0; i < got; ++i) {
            if (cmyk)
                job->colours.convertCmyk(cmykRow[0], job->sink->rowBuffer(y + i), width, inverted);
            else
                job->colours.convertRgb(rows[i], width);
            job->sink->rowDone(y + i);
        }
    }
    jpeg_finish_decompress(cinfo);
    return DecoderOutcome::Decoded;
}

// One of the two functions that call setjmp (RunJpegPeek is the other). It holds no C++ object
// and destroys the decompressor on every path.
DecoderOutcome RunJpegJob(JpegJob *job)
{
    jpeg_decompress_struct *cinfo = &job->cinfo;
    UseJpegErrors(cinfo, &job->error);
    if (setjmp(job->error.jump)) {
        // The declared size is known from the frame header on; libjpeg refuses a side above
        // its own bound while it reads the headers.
        job->fullWidth = static_cast<int>(cinfo->image_width);
        job->fullHeight = static_cast<int>(cinfo->image_height);
        const bool tooLarge = !job->error.tooManyScans && job->error.pub.msg_code == JERR_IMAGE_TOO_BIG;
        jpeg_destroy_decompress(cinfo);
        if (job->progress.stopped)
            return DecoderOutcome::Stopped;
        if (job->error.tooManyScans)
            return DecoderOutcome::TooManyScans;
        return tooLarge ? DecoderOutcome::TooLarge : DecoderOutcome::LibraryError;
    }
    jpeg_create_decompress(cinfo);
    cinfo->mem->max_memory_to_use = kMaxJpegMemory;
    job->progress.pub.progress_monitor = JpegProgress;
    job->progress.scanLimit = kMaxSequentialScans;
    job->progress.stop = job->stop;
    cinfo->progress = &job->progress.pub;
    jpeg_stdio_src(cinfo, job->file);
    // APP1 segments hold the EXIF block (and XMP), APP2 segments the colour profile in
    // pieces; each is at most 64 KB.
    jpeg_save_markers(cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(cinfo, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(cinfo, TRUE);

    job->fullWidth = static_cast<int>(cinfo->image_width);
    job->fullHeight = static_cast<int>(cinfo->image_height);
    job->progressive = cinfo->progressive_mode;
    if (!PictureSizeAllowed(cinfo->image_width, cinfo->image_height, job->fileBytes)) {
        jpeg_destroy_decompress(cinfo);
        return DecoderOutcome::TooLarge;
    }
    job->sink = job->sink->sinkFor(ExifOrientationOf(cinfo), job->fullWidth, job->fullHeight);
    if (cinfo->progressive_mode)
        LimitProgressiveScans(job);
    ChooseJpegColours(job);
    ChooseJpegScale(job);

    jpeg_start_decompress(cinfo);
    if (const char *reason = job->sink->start(static_cast<int>(cinfo->output_width),
                                              static_cast<int>(cinfo->output_height), job->fullWidth,
                                              job->fullHeight)) {
        job->refusal = reason;
        jpeg_destroy_decompress(cinfo);
        return DecoderOutcome::Refused;
    }
    const DecoderOutcome read = ReadJpegRows(job);
    jpeg_destroy_decompress(cinfo);
    return read;
}

// Throws the error libjpeg's error means for the user, its own text after it as the detail.
[[noreturn]] void ThrowJpegError(const QString &path, const JpegErrorManager &error)
{
    const QString detail = QString::fromLocal8Bit(error.message);
    switch (error.pub.msg_code) {
    case JERR_INPUT_EMPTY:
        ThrowPictureError(path, Reason(reasons::kEmpty), detail);
    case JERR_NO_SOI:
        ThrowPictureError(path, QStringLiteral("JPEG ファイルとして読めません"), detail);
    case JERR_OUT_OF_MEMORY:
        ThrowPictureError(path, Reason(reasons::kNoMemory), detail);
    case JERR_NO_BACKING_STORE:
        // The one bound libjpeg keeps by itself: its memory (kMaxJpegMemory).
        ThrowPictureError(path,
                          QStringLiteral("写真が大きすぎます。読み込みに %1 MB を超えるメモリが要ります")
                              .arg(kMaxJpegMemory >> 20),
                          detail);
    case JERR_ARITH_NOTIMPL:
    case JERR_BAD_PRECISION:
    case JERR_CONVERSION_NOTIMPL:
    case JERR_NOT_COMPILED:
    case JERR_SOF_UNSUPPORTED:
        ThrowPictureError(path, QStringLiteral("対応していない JPEG の形式です"), detail);
    default:
        break;
    }
    // What follows the end of the file (an image missing, a marker cut short) is its consequence.
    if (error.reachedEnd)
        ThrowPictureError(path, Reason(reasons::kTruncated), QString::fromLocal8Bit(error.endMessage));
    ThrowPictureError(path, QStringLiteral("JPEG ファイルが壊れています"), detail);
}

// What the estimate reads of a file: libjpeg's own reading of the header, with the segments
// the decoder keeps counted instead of kept.
struct JpegPeek {
    std::FILE *file;
    jpeg_decompress_struct cinfo;
    JpegErrorManager error;
    long long keptSegmentBytes;
    long long coefficientBytes;
    long long width;
    long long height;
};

// Reads an APP1 or APP2 segment's length, counts what jpeg_save_markers would keep of it, and
// passes over it as libjpeg passes over segments it does not keep.
extern "C" boolean JpegCountKeptSegment(j_decompress_ptr cinfo)
{
    jpeg_source_mgr *src = cinfo->src;
    unsigned length = 0;
    for (int i = 0; i < 2; ++i) {
        if (src->bytes_in_buffer == 0 && !(*src->fill_input_buffer)(cinfo))
            return FALSE;
        length = (length << 8) | *src->next_input_byte++;
        --src->bytes_in_buffer;
    }
    static_cast<JpegPeek *>(cinfo->client_data)->keptSegmentBytes +=
        static_cast<long long>(sizeof(jpeg_marker_struct)) + length;
    if (length > 2)
        (*src->skip_input_data)(cinfo, static_cast<long>(length - 2));
    return TRUE;
}

// The other function that calls setjmp: reads the markers up to the first scan, as
// RunJpegJob's jpeg_read_header does. It holds no C++ object and destroys the decompressor on
// every path.
bool RunJpegPeek(JpegPeek *peek)
{
    jpeg_decompress_struct *cinfo = &peek->cinfo;
    UseJpegErrors(cinfo, &peek->error);
    if (setjmp(peek->error.jump)) {
        jpeg_destroy_decompress(cinfo);
        return false;
    }
    jpeg_create_decompress(cinfo);
    cinfo->client_data = peek;
    jpeg_stdio_src(cinfo, peek->file);
    jpeg_set_marker_processor(cinfo, JPEG_APP0 + 1, JpegCountKeptSegment);
    jpeg_set_marker_processor(cinfo, JPEG_APP0 + 2, JpegCountKeptSegment);
    jpeg_read_header(cinfo, TRUE);
    peek->width = cinfo->image_width;
    peek->height = cinfo->image_height;
    // libjpeg keeps every coefficient of the picture (two bytes each, in whole MCUs) when the
    // file has more than one scan: progressive, or a first scan without every component.
    if (cinfo->progressive_mode || cinfo->comps_in_scan < cinfo->num_components) {
        for (int c = 0; c < cinfo->num_components; ++c) {
            const jpeg_component_info &component = cinfo->comp_info[c];
            const long long h = std::max(component.h_samp_factor, 1);
            const long long v = std::max(component.v_samp_factor, 1);
            const long long columns = (component.width_in_blocks + h - 1) / h * h;
            const long long rows = (component.height_in_blocks + v - 1) / v * v;
            peek->coefficientBytes += columns * rows * DCTSIZE2 * static_cast<long long>(sizeof(JCOEF));
        }
    }
    jpeg_destroy_decompress(cinfo);
    return true;
}

} // namespace

void DecodeJpeg(const QString &path, RowSink &sink, int *fullWidth, int *fullHeight, std::FILE *opened)
{
    const auto run = [](JpegJob *job) {
        const DecoderOutcome outcome = RunJpegJob(job);
        std::free(job->profile);
        job->profile = nullptr;
        return outcome;
    };
    const auto explain = [&path](const JpegJob &job, DecoderOutcome outcome) {
        if (outcome == DecoderOutcome::TooManyScans)
            ThrowPictureError(path, QStringLiteral("スキャンの数が多すぎます"),
                              QStringLiteral("%1 JPEG で読むのは %2 個まで。ファイルが壊れているか、細工されています")
                                  .arg(job.progressive ? QStringLiteral("この大きさのプログレッシブ")
                                                       : QStringLiteral("シーケンシャル"))
                                  .arg(job.progress.scanLimit));
        ThrowJpegError(path, job.error);
    };
    DecodeWithJob<JpegJob>(path, opened, sink, fullWidth, fullHeight,
                           std::min<qint64>(kMaxPictureSide, JPEG_MAX_DIMENSION), [](JpegJob &) {}, run, explain);
}

std::optional<qint64> JpegHeldBytesWhileDecoding(std::FILE *file)
{
    auto peek = std::make_unique<JpegPeek>();
    peek->file = file;
    if (!RunJpegPeek(peek.get()))
        return std::nullopt;
    // A picture beyond the bounds is refused before anything is held.
    if (!PictureSizeAllowed(peek->width, peek->height, PictureFileBytes(file)))
        return 0;
    return peek->coefficientBytes + peek->keptSegmentBytes;
}

} // namespace quiltana
