#include "pngdecoder.h"

#include "colour.h"
#include "decoderjob.h"
#include "exif.h"
#include "headerpeek.h"
#include "picturefile.h"
#include "rowsink.h"

#include <QFile>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <png.h>
#include <zlib.h>

namespace quiltana {

namespace {

constexpr std::size_t kMessageLength = 256;

// Bounds on what a PNG's chunks besides the picture data may take: any one chunk (as stored or
// inflated), and how many text, palette-suggestion and unknown chunks are kept.
constexpr png_alloc_size_t kMaxPngChunkBytes = 16u * 1024 * 1024;
constexpr png_uint_32 kMaxPngCachedChunks = 1000;

// Everything the decoding box touches lives here: plain C data, and a converter that the job
// owns and destroys outside the box, so a longjmp skips nothing that needs destroying. The
// buffers (the row of a picture with alpha, the two an interlaced file needs) are malloc'ed
// and freed by the box on both of its exits.
struct PngJob : DecoderJob {
    png_structp png;
    png_infop info;
    png_bytepp rows;
    png_bytep whole;
    png_bytep rgbaRow;
    SrgbConverter colours;
    int exifOrientation;
    // The file starts with the PNG signature, as far as it goes (ReadPngStart).
    bool signature;
    // Every row has reached the sink; what fails after that (the file's tail) is forgiven.
    bool rowsDelivered;
    // The file ended before libpng had read what it asked for.
    bool reachedEnd;
    // libpng's own text.
    char message[kMessageLength];
};

extern "C" void PngError(png_structp png, png_const_charp message)
{
    auto *job = static_cast<PngJob *>(png_get_error_ptr(png));
    std::snprintf(job->message, kMessageLength, "%s", message ? message : "PNG error");
    png_longjmp(png, 1);
}

// Warnings (a bad ancillary chunk's CRC, a broken colour profile) leave the picture usable.
extern "C" void PngWarning(png_structp, png_const_charp) {}

// libpng's own reading from the file, which also tells the end of the file from a damaged
// chunk.
extern "C" void PngRead(png_structp png, png_bytep data, size_t length)
{
    auto *job = static_cast<PngJob *>(png_get_io_ptr(png));
    if (std::fread(data, 1, length, job->file) != length) {
        job->reachedEnd = std::feof(job->file) != 0;
        png_error(png, "Read Error");
    }
}

// What the file says before libpng reads it.
struct PngStart {
    // The file starts with the PNG signature, as far as it goes.
    bool signature = false;
    // It starts with the whole signature and the IHDR chunk, which declares this size.
    bool header = false;
    qint64 width = 0;
    qint64 height = 0;
    int exifOrientation = kExifUpright;
};

// Reads the start of the file, then goes back to it for libpng. The orientation is in the
// file's eXIf chunk, found by the chunk headers up to the picture data (PeekPictureHeader).
// libpng would allocate an eXIf chunk at whatever length it declares; here one longer than an
// EXIF block can be, or whose checksum fails, is passed over, and only chunks before IDAT
// count (a decoder delivering rows cannot wait for one after).
PngStart ReadPngStart(std::FILE *file)
{
    PngStart start;
    QFile device;
    if (device.open(file, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle)) {
        const PictureHeader header = PeekPictureHeader(device, PictureKind::Png);
        unsigned char first[16] = {};
        const qint64 got = device.seek(0) ? device.read(reinterpret_cast<char *>(first), sizeof first) : 0;
        const auto signatureBytes = static_cast<std::size_t>(std::clamp<qint64>(got, 0, 8));
        start.signature = signatureBytes > 0 && png_sig_cmp(first, 0, signatureBytes) == 0;
        start.header = start.signature && got == 16 && std::memcmp(first + 12, "IHDR", 4) == 0 && header.complete;
        start.width = header.width;
        start.height = header.height;

        const quint32 length = header.exifChunkLength;
        if (header.exifChunkAt >= 0 && length <= kMaxExifBytes) {
            std::vector<unsigned char> chunk(length + 4);
            const auto bytes = static_cast<qint64>(chunk.size());
            if (device.seek(header.exifChunkAt + 8)
                && device.read(reinterpret_cast<char *>(chunk.data()), bytes) == bytes) {
                uLong crc = crc32(0, reinterpret_cast<const Bytef *>("eXIf"), 4);
                crc = crc32(crc, chunk.data(), length);
                if (crc == BigEndian(chunk.data() + length, 4))
                    start.exifOrientation = ExifOrientationOfTiff(chunk.data(), length);
            }
        }
        device.close();
    }
    std::rewind(file);
    return start;
}

void ReleasePngJob(PngJob *job)
{
    std::free(job->rows);
    job->rows = nullptr;
    std::free(job->whole);
    job->whole = nullptr;
    std::free(job->rgbaRow);
    job->rgbaRow = nullptr;
    png_destroy_read_struct(&job->png, &job->info, nullptr);
}

// One decoded row of `width` RGBA pixels (which it overwrites) into the sink's row `rgb`: to
// sRGB, then onto white paper (white is sRGB's, so the colours are converted first).
void DeliverRgbaRow(const SrgbConverter &colours, unsigned char *rgba, unsigned char *rgb, int width) noexcept
{
    if (!colours.isIdentity()) {
        for (int x = 0; x < width; ++x)
            std::memcpy(rgb + 3 * x, rgba + 4 * x, 3);
        colours.convertRgb(rgb, width);
        for (int x = 0; x < width; ++x)
            std::memcpy(rgba + 4 * x, rgb + 3 * x, 3);
    }
    CompositeOnWhite(rgba, rgb, width);
}

// The colour profile of the picture: an sRGB chunk, or no profile, means sRGB; an iCCP chunk
// that libpng found broken or of another colour space than the picture's it has dropped
// (with a warning).
SrgbConverter ColoursOf(png_structp png, png_infop info) noexcept
{
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 bytes = 0;
    if (png_get_valid(png, info, PNG_INFO_sRGB)
        || !png_get_iCCP(png, info, &name, &compression, &profile, &bytes))
        return SrgbConverter();
    const int type = png_get_color_type(png, info);
    return SrgbConverter::ForProfile(profile, bytes, (type & PNG_COLOR_MASK_COLOR) ? DecodedColours::Rgb
                                                                                   : DecodedColours::Grey);
}

// Ends the box with a refusal of its own, once libpng's structures and the buffers are released.
DecoderOutcome RefusePng(PngJob *job, const char *reason) noexcept
{
    job->refusal = reason;
    ReleasePngJob(job);
    return DecoderOutcome::Refused;
}

// How libpng is to read: from the job's file, within the program's bounds.
void ConfigurePngReader(PngJob *job)
{
    png_structp png = job->png;
    png_set_read_fn(png, job, PngRead);
    // libpng checks these while reading IHDR, before it allocates anything for the rows; the
    // declared size has been checked against the program's bounds before (DecodePng), so that
    // the refusal names them.
    png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
    // A chunk's declared length is what libpng allocates (and clears) for it before reading a
    // byte, and text and profile chunks are inflated to whatever they unpack to: a few hundred
    // bytes could otherwise ask for gigabytes. The picture data itself is bounded by the size
    // above, not by these.
    // libpng only warns about an oversized chunk and then reads it all the same, so the
    // chunks of text and other metadata, which the program never shows, are skipped unread;
    // the bounds hold for whatever else it keeps. The colour profile (iCCP) is read: libpng
    // drops one that inflates beyond the chunk bound, and SrgbConverter takes none larger
    // than kMaxColourProfileBytes.
    // The eXIf chunk was read beforehand (ReadPngStart), within bounds of its own.
    static const png_byte kIgnoredChunks[] = "tEXt\0zTXt\0iTXt\0sPLT\0eXIf\0pCAL\0sCAL";
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kIgnoredChunks,
                                static_cast<int>(sizeof kIgnoredChunks / 5));
    png_set_chunk_malloc_max(png, kMaxPngChunkBytes);
    png_set_chunk_cache_max(png, kMaxPngCachedChunks);
}

// Row y as libpng left it (RGB, or RGBA with alpha) into the sink's `row`, in sRGB; `ownRow`
// is where it was read unless it went straight into the sink's row.
void DeliverPngRow(PngJob *job, unsigned char *row, unsigned char *ownRow, int y, bool alpha) noexcept
{
    if (alpha)
        DeliverRgbaRow(job->colours, ownRow, row, job->fullWidth);
    else {
        if (ownRow)
            std::memcpy(row, ownRow, static_cast<std::size_t>(job->fullWidth) * 3);
        job->colours.convertRgb(row, job->fullWidth);
    }
    job->sink->rowDone(y);
}

// The rows of a picture stored in order, each handed to the sink as it is read. Called from
// RunPngJob's box, through which libpng may longjmp: it holds no C++ object.
DecoderOutcome ReadPngRowsInOrder(PngJob *job, bool alpha, std::size_t rowBytes)
{
    if (alpha && !(job->rgbaRow = static_cast<png_bytep>(std::malloc(rowBytes)))) {
        job->refusal = reasons::kNoMemoryForPicture;
        return DecoderOutcome::Refused;
    }
    for (int y = 0; y < job->fullHeight; ++y) {
        if (StopAsked(job->stop))
            return DecoderOutcome::Stopped;
        unsigned char *row = job->sink->rowBuffer(y);
        png_read_row(job->png, alpha ? job->rgbaRow : row, nullptr);
        DeliverPngRow(job, row, alpha ? job->rgbaRow : nullptr, y, alpha);
    }
    return DecoderOutcome::Decoded;
}

// The rows of an interlaced picture, handed to the sink once the last pass is read: Adam7
// passes revisit every row, so all rows must stay in reach until then, in the sink's rows
// where it keeps them and they are what libpng delivers (RGB), otherwise in a buffer of the
// picture's own. Called from RunPngJob's box, as ReadPngRowsInOrder.
DecoderOutcome ReadInterlacedPngRows(PngJob *job, int passes, bool alpha, std::size_t rowBytes)
{
    const auto height = static_cast<std::size_t>(job->fullHeight);
    job->rows = static_cast<png_bytepp>(std::malloc(sizeof(png_bytep) * height));
    const bool ownBuffer = alpha || !job->sink->keepsRows();
    if (ownBuffer)
        job->whole = static_cast<png_bytep>(std::malloc(rowBytes * height));
    if (!job->rows || (ownBuffer && !job->whole)) {
        job->refusal = reasons::kNoMemoryForPicture;
        return DecoderOutcome::Refused;
    }
    for (int y = 0; y < job->fullHeight; ++y)
        job->rows[y] = ownBuffer ? job->whole + rowBytes * y : job->sink->rowBuffer(y);
    // png_read_image's own loop, asking between rows whether to stop.
    for (int pass = 0; pass < passes; ++pass) {
        for (int y = 0; y < job->fullHeight; ++y) {
            if (StopAsked(job->stop))
                return DecoderOutcome::Stopped;
            png_read_row(job->png, job->rows[y], nullptr);
        }
    }
    for (int y = 0; y < job->fullHeight; ++y)
        DeliverPngRow(job, job->sink->rowBuffer(y), ownBuffer ? job->rows[y] : nullptr, y, alpha);
    return DecoderOutcome::Decoded;
}

// The only function that calls setjmp. It holds no C++ object and releases libpng's
// structures and its own buffers on every path.
DecoderOutcome RunPngJob(PngJob *job)
{
    job->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, job, PngError, PngWarning);
    if (!job->png)
        return RefusePng(job, reasons::kNoMemory);
    job->info = png_create_info_struct(job->png);
    if (!job->info)
        return RefusePng(job, reasons::kNoMemory);
    if (setjmp(png_jmpbuf(job->png))) {
        const bool forgiven = job->rowsDelivered;
        ReleasePngJob(job);
        return forgiven ? DecoderOutcome::Decoded : DecoderOutcome::LibraryError;
    }
    png_structp png = job->png;
    png_infop info = job->info;
    ConfigurePngReader(job);
    png_read_info(png, info);

    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    job->fullWidth = static_cast<int>(width);
    job->fullHeight = static_cast<int>(height);
    if (!PictureSizeAllowed(width, height, job->fileBytes)) {
        ReleasePngJob(job);
        return DecoderOutcome::TooLarge;
    }

    job->sink = job->sink->sinkFor(job->exifOrientation, job->fullWidth, job->fullHeight);

    job->colours = ColoursOf(png, info);
    // Rows come as RGB or, where the picture has an alpha channel or a transparent colour or
    // palette entries (tRNS), as RGBA, 8 bits a sample.
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const int channels = png_get_channels(png, info);
    if ((channels != 3 && channels != 4) || png_get_bit_depth(png, info) != 8
        || png_get_rowbytes(png, info) != static_cast<png_size_t>(width) * channels)
        return RefusePng(job, "対応していない PNG の画素の形式です");

    if (const char *reason = job->sink->start(job->fullWidth, job->fullHeight, job->fullWidth,
                                              job->fullHeight))
        return RefusePng(job, reason);
    const bool alpha = channels == 4;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * channels;
    const DecoderOutcome read = passes == 1 ? ReadPngRowsInOrder(job, alpha, rowBytes)
                                            : ReadInterlacedPngRows(job, passes, alpha, rowBytes);
    if (read == DecoderOutcome::Decoded) {
        job->rowsDelivered = true;
        png_read_end(png, nullptr);
    }
    ReleasePngJob(job);
    return read;
}

// What libpng's error means for the user; its own text follows as the detail.
QString PngErrorReason(const PngJob &job)
{
    if (job.fileBytes == 0)
        return Reason(reasons::kEmpty);
    if (!job.signature)
        return QStringLiteral("PNG ファイルとして読めません");
    if (job.reachedEnd)
        return Reason(reasons::kTruncated);
    // libpng has no codes for its errors; its allocation failures all speak of memory.
    if (QByteArray(job.message).toLower().contains("memory"))
        return Reason(reasons::kNoMemory);
    return QStringLiteral("PNG ファイルが壊れています");
}

} // namespace

void DecodePng(const QString &path, RowSink &sink, int *fullWidth, int *fullHeight, std::FILE *opened)
{
    const auto prepare = [&path](PngJob &job) {
        const PngStart start = ReadPngStart(job.file);
        job.signature = start.signature;
        job.exifOrientation = start.exifOrientation;
        // A size past the bounds is refused by the program, naming them, before libpng's own
        // limits refuse the header as invalid. Sides of 0 or above 2^31 - 1 are no PNG's:
        // libpng tells what is wrong with them.
        constexpr qint64 kLargestPngSide = 0x7fffffff;
        if (start.header && start.width >= 1 && start.height >= 1 && start.width <= kLargestPngSide
            && start.height <= kLargestPngSide && !PictureSizeAllowed(start.width, start.height, job.fileBytes))
            ThrowPictureTooLarge(path, start.width, start.height, job.fileBytes);
    };
    const auto explain = [&path](const PngJob &job, DecoderOutcome) {
        ThrowPictureError(path, PngErrorReason(job), QString::fromLocal8Bit(job.message));
    };
    DecodeWithJob<PngJob>(path, opened, sink, fullWidth, fullHeight, kMaxPictureSide, prepare, RunPngJob, explain);
}

} // namespace quiltana
