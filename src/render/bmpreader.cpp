#include "bmpreader.h"

#include "colour.h"
#include "picturefile.h"

#include <QFile>
#include <QList>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

namespace quiltana {

namespace {

// File header (14 bytes) plus the part of any info header that holds size, bit count and
// compression.
constexpr int kHeaderBytes = 14 + 20;
// What is read of the headers for the declared size: also the number of colours used.
constexpr int kPeekBytes = 14 + 36;
// What is read of the headers for the layout: the largest info header (V5) and the four
// masks that may follow a 40-byte one.
constexpr int kLayoutBytes = 14 + 124 + 16;

// Info header sizes. The OS/2 1.x header (12 bytes) holds 16-bit sides and 3-byte palette
// entries; the OS/2 2.x header (64 bytes) reads compression codes 3 and 4 as Huffman 1D and
// RLE24; the Windows V2 and V3 headers add the colour masks, V4 and V5 colour spaces.
constexpr quint32 kCoreHeader = 12;
constexpr quint32 kInfoHeader = 40;
constexpr quint32 kV2Header = 52;
constexpr quint32 kV3Header = 56;
constexpr quint32 kOs2v2Header = 64;
constexpr quint32 kV4Header = 108;
constexpr quint32 kV5Header = 124;

// Compression methods.
constexpr quint32 kUncompressed = 0;   // BI_RGB
constexpr quint32 kRle8 = 1;
constexpr quint32 kRle4 = 2;
constexpr quint32 kBitFields = 3;      // BI_BITFIELDS
constexpr quint32 kJpeg = 4;           // BI_JPEG
constexpr quint32 kPng = 5;            // BI_PNG
constexpr quint32 kAlphaBitFields = 6; // BI_ALPHABITFIELDS

// bV5CSType of a profile stored in the file ('MBED'); 'LINK' would name a file instead.
constexpr quint32 kEmbeddedProfile = 0x4D424544;

// Rows are read a chunk of about this many bytes at a time.
constexpr qint64 kChunkBytes = 1 << 20;

quint32 le16(const uchar *p) { return quint32(p[0]) | quint32(p[1]) << 8; }
quint32 le32(const uchar *p) { return le16(p) | le16(p + 2) << 16; }

struct BmpHeader {
    qint64 width = 0;
    qint64 height = 0;
    int planes = 1;
    int bitCount = 0;
    quint32 compression = kUncompressed;
    qint64 pixelOffset = 0; // where the rows start, from the file header
    quint32 infoSize = 0;
    quint32 coloursUsed = 0; // 0: as many as the bit count allows
};

// Why a BMP is refused: the reason, and the numbers behind it when there are any.
struct Refusal {
    QString reason;
    QString detail;
};

QString Unsupported() { return QStringLiteral("対応していない BMP の形式です"); }
QString Damaged() { return QStringLiteral("BMP ファイルが壊れています"); }
QString HeaderTruncated() { return QStringLiteral("ファイルが BMP のヘッダーの途中で切れています"); }

// Reads the declared size from the file header and the info header. OS/2 1.x headers (12
// bytes) hold 16-bit unsigned sizes, every later one 32-bit signed ones (a negative height
// means the rows are stored top-down). Returns why when the header is unusable.
std::optional<Refusal> ReadBmpHeader(const QByteArray &bytes, BmpHeader *header)
{
    if (bytes.isEmpty())
        return Refusal{Reason(reasons::kEmpty), {}};
    if (bytes.size() < 2 || bytes[0] != 'B' || bytes[1] != 'M')
        return Refusal{QStringLiteral("BMP ファイルとして読めません"), {}};
    if (bytes.size() < 18)
        return Refusal{HeaderTruncated(), {}};
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const quint32 infoSize = le32(p + 14);
    switch (infoSize) {
    case kCoreHeader:
    case kInfoHeader:
    case kV2Header:
    case kV3Header:
    case kOs2v2Header:
    case kV4Header:
    case kV5Header:
        break;
    default:
        return Refusal{Unsupported(), QStringLiteral("ヘッダーの大きさ %1 バイト").arg(infoSize)};
    }
    if (bytes.size() < (infoSize == kCoreHeader ? 26 : kHeaderBytes))
        return Refusal{HeaderTruncated(), {}};
    header->pixelOffset = le32(p + 10);
    header->infoSize = infoSize;
    if (infoSize == kCoreHeader) {
        header->width = le16(p + 18);
        header->height = le16(p + 20);
        header->planes = static_cast<int>(le16(p + 22));
        header->bitCount = static_cast<int>(le16(p + 24));
    } else {
        header->width = static_cast<qint32>(le32(p + 18));
        header->height = static_cast<qint32>(le32(p + 22));
        header->planes = static_cast<int>(le16(p + 26));
        header->bitCount = static_cast<int>(le16(p + 28));
        header->compression = le32(p + 30);
        if (bytes.size() >= kPeekBytes)
            header->coloursUsed = le32(p + 46);
    }
    switch (header->bitCount) {
    case 0: // the pixels are an embedded JPEG or PNG
    case 1:
    case 2:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
    case 64:
        break;
    default:
        return Refusal{Unsupported(), QStringLiteral("1 ピクセル %1 ビット").arg(header->bitCount)};
    }
    return std::nullopt;
}

// How the rows of a BMP are stored, from its complete headers.
struct BmpLayout {
    int width = 0;
    int height = 0;
    bool topDown = false;
    int bits = 0;
    quint32 compression = kUncompressed;
    qint64 dataStart = 0; // where the first stored row begins
    // Pictures of 1 to 8 bits: RGB triples; entries past the file's palette stay black.
    std::array<uchar, 256 * 3> palette{};
    // 16 and 32 bits: the red, green, blue and alpha masks (alpha 0: opaque).
    std::array<quint32, 4> masks{};
};

// The palette entries a picture of 1 to 8 bits has. Windows headers say it (biClrUsed, 0 for
// all that the bit count allows); OS/2 files are often written with fewer entries than their
// bit count allows and without saying so, and are read as Windows reads them: the palette is
// what fits between the headers and the rows.
qint64 PaletteEntries(const BmpHeader &header, qint64 tableStart, int entryBytes, const QString &path)
{
    const qint64 most = qint64(1) << header.bitCount;
    if (header.infoSize == kCoreHeader || header.infoSize == kOs2v2Header)
        return std::clamp<qint64>((header.pixelOffset - tableStart) / entryBytes, 0, most);
    if (header.coloursUsed > most)
        ThrowPictureError(path, Damaged(),
                          QStringLiteral("1 ピクセル %1 ビットなのにパレットが %2 色").arg(header.bitCount).arg(header.coloursUsed));
    return header.coloursUsed == 0 ? most : header.coloursUsed;
}

// A mask that is not one run of bits, or two masks that share bits, make no sense of the
// pixels; the text names the layout and the mask.
void CheckMasks(const std::array<quint32, 4> &masks, int bits, const QString &path)
{
    static const char *const names[] = {"赤", "緑", "青", "アルファ"};
    const auto name = [](int i) { return QString::fromUtf8(names[i]); };
    const auto hex = [&](int i) { return QStringLiteral("0x%1").arg(masks[i], 8, 16, QLatin1Char('0')); };
    const QString layout = QStringLiteral("1 ピクセル %1 ビットのカラーマスク").arg(bits);
    for (int i = 0; i < 4; ++i) {
        const quint64 run = masks[i] == 0 ? 0 : quint64(masks[i]) >> std::countr_zero(masks[i]);
        if ((run & (run + 1)) != 0)
            ThrowPictureError(path, Damaged(),
                              QStringLiteral("%1: %2のマスク %3 のビットが連続していません").arg(layout, name(i), hex(i)));
        for (int j = 0; j < i; ++j) {
            if ((masks[i] & masks[j]) != 0)
                ThrowPictureError(path, Damaged(),
                                  QStringLiteral("%1: %2のマスク %3 と%4のマスク %5 が重なっています")
                                      .arg(layout, name(j), hex(j), name(i), hex(i)));
        }
    }
}

// Checks that the program reads the layout `header` declares and reads its palette or masks.
// `headers` holds the file's first kLayoutBytes bytes (fewer in a shorter file).
BmpLayout ReadLayout(QFile &file, const BmpHeader &header, const QByteArray &headers, const QString &path)
{
    const qint64 fileBytes = file.size();
    if (header.planes != 1)
        ThrowPictureError(path, Damaged(), QStringLiteral("プレーン数が 1 ではなく %1").arg(header.planes));
    if (header.width < 1 || header.height == 0)
        ThrowPictureError(path, QStringLiteral("BMP に画素がありません"),
                          QStringLiteral("幅 %1、高さ %2").arg(header.width).arg(header.height));
    const bool os2v2 = header.infoSize == kOs2v2Header;
    const int bits = header.bitCount;
    switch (header.compression) {
    case kUncompressed:
    case kRle8:
    case kRle4:
        if (bits == 64)
            ThrowPictureError(path, Unsupported(), QStringLiteral("1 ピクセル 64 ビット"));
        break;
    case kBitFields:
        if (os2v2)
            ThrowPictureError(path, Unsupported(), QStringLiteral("OS/2 のハフマン符号化"));
        [[fallthrough]];
    case kAlphaBitFields:
        if (bits != 16 && bits != 32)
            ThrowPictureError(path, Unsupported(), QStringLiteral("1 ピクセル %1 ビットのカラーマスク").arg(bits));
        break;
    case kJpeg:
        ThrowPictureError(path, Unsupported(),
                          os2v2 ? QStringLiteral("OS/2 の RLE24 圧縮") : QStringLiteral("JPEG の写真を収めた BMP"));
    case kPng:
        ThrowPictureError(path, Unsupported(), QStringLiteral("PNG の写真を収めた BMP"));
    default:
        ThrowPictureError(path, Unsupported(), QStringLiteral("圧縮 %1").arg(header.compression));
    }
    if (bits == 0)
        ThrowPictureError(path, Damaged(), QStringLiteral("1 ピクセル 0 ビット"));
    const qint64 headersEnd = 14 + qint64(header.infoSize);
    if (headers.size() < headersEnd)
        ThrowPictureError(path, HeaderTruncated());
    const auto *info = reinterpret_cast<const uchar *>(headers.constData()) + 14;

    BmpLayout layout;
    layout.width = static_cast<int>(header.width);
    layout.height = static_cast<int>(std::llabs(header.height));
    layout.topDown = header.height < 0;
    layout.bits = bits;
    layout.compression = header.compression;
    qint64 tableEnd = headersEnd;
    if (bits <= 8) {
        const int entryBytes = header.infoSize == kCoreHeader ? 3 : 4;
        const qint64 entries = PaletteEntries(header, headersEnd, entryBytes, path);
        tableEnd = headersEnd + entries * entryBytes;
        // Without its colour table a picture of palette indices means nothing.
        if (tableEnd > fileBytes)
            ThrowPictureError(path, QStringLiteral("ファイルがカラーテーブルの途中で切れています"));
        if (!file.seek(headersEnd))
            ThrowPictureError(path, Reason(reasons::kCannotRead), file.errorString());
        const QByteArray table = file.read(tableEnd - headersEnd);
        const auto *p = reinterpret_cast<const uchar *>(table.constData());
        for (qint64 i = 0; i < entries && (i + 1) * entryBytes <= table.size(); ++i, p += entryBytes) {
            layout.palette[3 * i] = p[2];
            layout.palette[3 * i + 1] = p[1];
            layout.palette[3 * i + 2] = p[0];
        }
    } else if (header.compression == kUncompressed) {
        // The fourth byte of a plain 32-bit pixel and the top bit of a 16-bit one are unused.
        layout.masks = bits == 16 ? std::array<quint32, 4>{0x7C00, 0x03E0, 0x001F, 0}
                                  : std::array<quint32, 4>{0xFF0000, 0xFF00, 0xFF, 0};
    } else if (header.compression == kBitFields || header.compression == kAlphaBitFields) {
        // The masks a header does not hold follow it: three, or four with alpha.
        const int inHeader = header.infoSize >= kV3Header && !os2v2 ? 4 : header.infoSize == kV2Header ? 3 : 0;
        const int needed = header.compression == kAlphaBitFields ? 4 : 3;
        tableEnd = headersEnd + 4 * std::max(needed - inHeader, 0);
        if (headers.size() < tableEnd)
            ThrowPictureError(path, QStringLiteral("ファイルがカラーマスクの途中で切れています"));
        for (int i = 0; i < 4; ++i) {
            if (i < inHeader)
                layout.masks[i] = le32(info + 40 + 4 * i);
            else if (i < needed)
                layout.masks[i] = le32(info + header.infoSize + 4 * (i - inHeader));
        }
        CheckMasks(layout.masks, bits, path);
    }
    // Rows that would start inside the headers or the palette start after them.
    layout.dataStart = std::max(header.pixelOffset, tableEnd);
    return layout;
}

// The ICC profile a V5 header embeds, or nothing.
QByteArray EmbeddedProfile(QFile &file, const BmpHeader &header, const QByteArray &headers)
{
    if (header.infoSize != kV5Header || headers.size() < 14 + qint64(kV5Header))
        return QByteArray();
    const auto *info = reinterpret_cast<const uchar *>(headers.constData()) + 14;
    if (le32(info + 56) != kEmbeddedProfile)
        return QByteArray();
    const qint64 start = 14 + qint64(le32(info + 112)); // from the start of the info header
    const qint64 size = le32(info + 116);
    if (size == 0 || size > qint64(kMaxColourProfileBytes) || start + size > file.size() || !file.seek(start))
        return QByteArray();
    QByteArray profile = file.read(size);
    return profile.size() == size ? profile : QByteArray();
}

QImage NewPicture(int width, int height, QImage::Format format, const QString &path)
{
    QImage image;
    try {
        image = QImage(width, height, format);
    } catch (const std::bad_alloc &) {
        image = QImage();
    }
    if (image.isNull())
        ThrowPictureError(path, Reason(reasons::kNoMemoryForPicture));
    return image;
}

// A run-length coded BMP (4 or 8 bits a pixel), decoded into a picture first cleared to the
// palette's first colour: deltas, an early end of line or of picture and a stream cut short
// leave pixels unwritten. Each pair of bytes writes at most 255 pixels.
QImage DecodeRle(QFile &file, const BmpLayout &layout, const QString &path, const StopFlag *stop)
{
    const int bits = layout.compression == kRle8 ? 8 : 4;
    if (layout.bits != bits)
        ThrowPictureError(path, Damaged(), QStringLiteral("ランレングス圧縮が 1 ピクセル %1 ビットに合いません").arg(layout.bits));
    const int width = layout.width;
    const int height = layout.height;
    // Rows are stored bottom-up, unless the height is negative.
    const int down = layout.topDown ? 1 : -1;

    QList<QRgb> table(256);
    for (int i = 0; i < 256; ++i)
        table[i] = qRgb(layout.palette[3 * i], layout.palette[3 * i + 1], layout.palette[3 * i + 2]);
    QImage image = NewPicture(width, height, QImage::Format_Indexed8, path);
    image.setColorTable(table);
    image.fill(0);

    QByteArray stream;
    if (layout.dataStart < file.size() && file.seek(layout.dataStart))
        stream = file.readAll();
    const auto *data = reinterpret_cast<const uchar *>(stream.constData());
    const qsizetype size = stream.size();
    qint64 x = 0;
    qint64 y = down > 0 ? 0 : height - 1;
    const auto put = [&](int index) {
        if (x >= 0 && x < width && y >= 0 && y < height)
            image.scanLine(static_cast<int>(y))[x] = static_cast<uchar>(index);
        ++x;
    };
    qsizetype i = 0;
    while (i + 1 < size && y >= 0 && y < height) {
        const int first = data[i];
        const int second = data[i + 1];
        i += 2;
        if (first > 0) { // a run of `first` pixels
            for (int k = 0; k < first && x < width; ++k)
                put(bits == 8 ? second : (k % 2 == 0 ? second >> 4 : second & 15));
        } else if (second == 0) { // end of line
            x = 0;
            y += down;
            if (StopAsked(stop))
                ThrowDecodingStopped(path);
        } else if (second == 1) { // end of picture
            break;
        } else if (second == 2) { // delta
            if (i + 1 >= size)
                break;
            x += data[i];
            y += down * data[i + 1];
            i += 2;
        } else { // `second` pixels stored as they are, padded to a whole number of words
            const qsizetype bytes = bits == 8 ? second : (second + 1) / 2;
            for (int k = 0; k < second; ++k) {
                const qsizetype at = i + (bits == 8 ? k : k / 2);
                if (at >= size)
                    break;
                put(bits == 8 ? data[at] : (k % 2 == 0 ? data[at] >> 4 : data[at] & 15));
            }
            i += bytes + (bytes & 1);
        }
    }
    QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    if (rgb.isNull())
        ThrowPictureError(path, Reason(reasons::kNoMemoryForPicture));
    return rgb;
}

// One colour mask's value scaled to 0..255, rounded: a 5-bit 31 and a 10-bit 1023 are both
// 255. Channels of up to 12 bits go through a table.
class Channel {
public:
    explicit Channel(quint32 mask)
        : mask_(mask), shift_(mask == 0 ? 0 : std::countr_zero(mask)), max_(quint64(mask) >> shift_)
    {
        if (max_ > 0 && max_ < 4096) {
            table_.resize(max_ + 1);
            for (quint64 v = 0; v <= max_; ++v)
                table_[v] = scale(v);
        }
    }

    [[nodiscard]] uchar operator()(quint32 pixel) const
    {
        const quint64 v = (pixel & mask_) >> shift_;
        return table_.empty() ? scale(v) : table_[v];
    }

private:
    [[nodiscard]] uchar scale(quint64 v) const
    {
        return max_ == 0 ? 0 : static_cast<uchar>((v * 255 + max_ / 2) / max_);
    }

    quint32 mask_;
    int shift_;
    quint64 max_;
    std::vector<uchar> table_;
};

// Turns stored rows into RGB888 rows (and alpha, where the picture has it).
class RowDecoder {
public:
    explicit RowDecoder(const BmpLayout &layout)
        : layout_(layout), red_(layout.masks[0]), green_(layout.masks[1]), blue_(layout.masks[2]),
          alpha_(layout.masks[3])
    {
    }

    // `width` stored pixels of `row` into `out`; their alpha into `alpha` where the picture has
    // it (nullptr otherwise). Returns the bitwise or of the alpha values written.
    uchar decode(const uchar *row, uchar *out, uchar *alpha, int width) const
    {
        const uchar *palette = layout_.palette.data();
        switch (layout_.bits) {
        case 24:
            for (int x = 0; x < width; ++x, row += 3, out += 3) {
                out[0] = row[2];
                out[1] = row[1];
                out[2] = row[0];
            }
            return 0;
        case 8:
            for (int x = 0; x < width; ++x, out += 3)
                std::memcpy(out, palette + 3 * row[x], 3);
            return 0;
        case 16:
            return decodeMasked<2>(row, out, alpha, width);
        case 32:
            return decodeMasked<4>(row, out, alpha, width);
        default: { // 1, 2 or 4 bits, the leftmost pixel in the high bits
            const int bits = layout_.bits;
            const int perByte = 8 / bits;
            const int indexMask = (1 << bits) - 1;
            for (int x = 0; x < width; ++x, out += 3) {
                const int shift = 8 - bits * (x % perByte + 1);
                std::memcpy(out, palette + 3 * ((row[x / perByte] >> shift) & indexMask), 3);
            }
            return 0;
        }
        }
    }

    // `count` pixels that the file does not hold: the palette's first colour (black in a
    // picture without a palette), opaque.
    void fill(uchar *out, uchar *alpha, int count) const
    {
        for (int x = 0; x < count; ++x, out += 3)
            std::memcpy(out, layout_.palette.data(), 3);
        if (alpha)
            std::memset(alpha, 255, static_cast<std::size_t>(count));
    }

private:
    template <int Bytes>
    uchar decodeMasked(const uchar *row, uchar *out, uchar *alpha, int width) const
    {
        uchar seen = 0;
        for (int x = 0; x < width; ++x, row += Bytes, out += 3) {
            const quint32 pixel = Bytes == 2 ? le16(row) : le32(row);
            out[0] = red_(pixel);
            out[1] = green_(pixel);
            out[2] = blue_(pixel);
            if (alpha) {
                alpha[x] = alpha_(pixel);
                seen |= alpha[x];
            }
        }
        return seen;
    }

    const BmpLayout &layout_;
    Channel red_, green_, blue_, alpha_;
};

// Lays the picture onto white paper through its alpha, rounded.
void LayOntoWhite(QImage &image, const std::vector<uchar> &alpha)
{
    const int width = image.width();
    for (int y = 0; y < image.height(); ++y) {
        uchar *rgb = image.scanLine(y);
        const uchar *a = alpha.data() + qsizetype(y) * width;
        for (int x = 0; x < width; ++x, rgb += 3) {
            const unsigned opacity = a[x];
            if (opacity == 255)
                continue;
            for (int c = 0; c < 3; ++c)
                rgb[c] = LaidOnWhite(rgb[c], opacity);
        }
    }
}

// Rows stored plainly, each padded to a whole number of 32-bit words. Rows or pixels past the
// end of the file show the palette's first colour, or black.
QImage DecodePlain(QFile &file, const BmpLayout &layout, const QString &path, const StopFlag *stop)
{
    const int width = layout.width;
    const int height = layout.height;
    const qint64 stride = (qint64(width) * layout.bits + 31) / 32 * 4;
    QImage image = NewPicture(width, height, QImage::Format_RGB888, path);
    const bool hasAlpha = layout.masks[3] != 0;
    std::vector<uchar> alpha;
    std::vector<uchar> chunk;
    const int chunkRows = static_cast<int>(std::clamp<qint64>(kChunkBytes / stride, 1, height));
    try {
        if (hasAlpha)
            alpha.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
        chunk.resize(static_cast<std::size_t>(chunkRows * stride));
    } catch (const std::bad_alloc &) {
        ThrowPictureError(path, Reason(reasons::kNoMemoryForPicture));
    }
    const bool readable = layout.dataStart < file.size() && file.seek(layout.dataStart);
    const RowDecoder decoder(layout);
    uchar seen = 0; // any alpha that is not zero
    for (int first = 0; first < height; first += chunkRows) {
        if (StopAsked(stop))
            ThrowDecodingStopped(path);
        const int rows = std::min(chunkRows, height - first);
        const qint64 wanted = rows * stride;
        qint64 got = 0;
        while (readable && got < wanted) {
            const qint64 n = file.read(reinterpret_cast<char *>(chunk.data()) + got, wanted - got);
            if (n <= 0)
                break;
            got += n;
        }
        for (int r = 0; r < rows; ++r) {
            const int stored = first + r;
            const int y = layout.topDown ? stored : height - 1 - stored;
            uchar *out = image.scanLine(y);
            uchar *a = hasAlpha ? alpha.data() + qsizetype(y) * width : nullptr;
            const qint64 present = std::clamp<qint64>(got - r * stride, 0, stride);
            const int complete = static_cast<int>(std::min<qint64>(width, present * 8 / layout.bits));
            if (complete > 0)
                seen |= decoder.decode(chunk.data() + r * stride, out, a, complete);
            if (complete < width)
                decoder.fill(out + 3 * complete, a ? a + complete : nullptr, width - complete);
        }
    }
    // Many writers leave the alpha of opaque pictures zero.
    if (seen != 0)
        LayOntoWhite(image, alpha);
    return image;
}

} // namespace

bool ReadBmpDeclaredSize(QIODevice &device, qint64 *width, qint64 *height)
{
    BmpHeader header;
    if (ReadBmpHeader(device.read(kPeekBytes), &header))
        return false;
    *width = std::llabs(header.width);
    *height = std::llabs(header.height);
    return true;
}

QImage ReadBmp(const QString &path, QByteArray *colourProfile, const StopFlag *stop, std::FILE *opened)
{
    if (colourProfile)
        colourProfile->clear();
    if (!opened)
        CheckPictureFileType(path);
    else
        std::rewind(opened);
    QFile file(opened ? QString() : path);
    if (opened ? !file.open(opened, QIODevice::ReadOnly, QFileDevice::DontCloseHandle) : !file.open(QIODevice::ReadOnly))
        ThrowPictureError(path, Reason(reasons::kCannotOpen), file.errorString());
    const QByteArray headers = file.read(kLayoutBytes);
    BmpHeader header;
    if (const std::optional<Refusal> refusal = ReadBmpHeader(headers, &header))
        ThrowPictureError(path, refusal->reason, refusal->detail);
    const qint64 width = std::llabs(header.width);
    const qint64 height = std::llabs(header.height);
    const qint64 fileBytes = file.size();
    if (!PictureSizeAllowed(width, height, fileBytes))
        ThrowPictureTooLarge(path, width, height, fileBytes);
    const BmpLayout layout = ReadLayout(file, header, headers, path);
    if (colourProfile)
        *colourProfile = EmbeddedProfile(file, header, headers);
    if (layout.compression == kRle8 || layout.compression == kRle4)
        return DecodeRle(file, layout, path, stop);
    return DecodePlain(file, layout, path, stop);
}

} // namespace quiltana
