#include "bmpreader.h"

#include "decode.h"

#include <QFile>
#include <QImageReader>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace quiltana {

namespace {

// File header (14 bytes) plus the part of any info header that holds size, bit count and
// compression.
constexpr int kHeaderBytes = 14 + 20;
// What is read of the headers: also the number of colours used, where the info header has it.
constexpr int kPeekBytes = 14 + 36;

// Compression methods whose rows are stored plainly, each a fixed number of bytes.
constexpr quint32 kUncompressed = 0;  // BI_RGB
constexpr quint32 kBitFields = 3;     // BI_BITFIELDS
constexpr quint32 kAlphaBitFields = 6; // BI_ALPHABITFIELDS

quint32 le16(const uchar *p) { return quint32(p[0]) | quint32(p[1]) << 8; }
quint32 le32(const uchar *p) { return le16(p) | le16(p + 2) << 16; }

struct BmpHeader {
    qint64 width = 0;
    qint64 height = 0;
    int bitCount = 0;
    quint32 compression = kUncompressed;
    qint64 pixelOffset = 0; // where the rows start, from the file header
    quint32 infoSize = 0;
    quint32 coloursUsed = 0; // 0: as many as the bit count allows
};

// Reads the declared size from the file header and the info header. OS/2 1.x headers (12
// bytes) hold 16-bit unsigned sizes, every later one 32-bit signed ones (a negative height
// means the rows are stored top-down). Returns the reason when the header is unusable.
QString ReadBmpHeader(const QByteArray &bytes, BmpHeader *header)
{
    if (bytes.size() < 2 || bytes[0] != 'B' || bytes[1] != 'M')
        return QStringLiteral("not a BMP file");
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const quint32 infoSize = bytes.size() >= 18 ? le32(p + 14) : 0;
    if (bytes.size() < (infoSize == 12 ? 26 : kHeaderBytes))
        return QStringLiteral("the BMP header is truncated");
    header->pixelOffset = le32(p + 10);
    header->infoSize = infoSize;
    if (infoSize == 12) {
        header->width = le16(p + 18);
        header->height = le16(p + 20);
        header->bitCount = static_cast<int>(le16(p + 24));
    } else if (infoSize >= 16) {
        header->width = static_cast<qint32>(le32(p + 18));
        header->height = static_cast<qint32>(le32(p + 22));
        header->bitCount = static_cast<int>(le16(p + 28));
        if (infoSize >= 20 && bytes.size() >= 34)
            header->compression = le32(p + 30);
        if (infoSize >= 36 && bytes.size() >= kPeekBytes)
            header->coloursUsed = le32(p + 46);
    } else {
        return QStringLiteral("unsupported BMP header size %1").arg(infoSize);
    }
    switch (header->bitCount) {
    case 0: // the pixels are an embedded JPEG or PNG; the reader decides
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
        return QStringLiteral("unsupported BMP bit count %1").arg(header->bitCount);
    }
    return QString();
}

constexpr quint32 kRle8 = 1;
constexpr quint32 kRle4 = 2;

// The file as Qt's reader sees it: its bytes, then zeros up to `length`. Qt's reader stops at
// the end of a file and leaves the rows it did not get as whatever the memory held; with the
// zeros, a file cut short shows its missing rows in the palette's first colour or black.
class ZeroPaddedFile final : public QIODevice {
public:
    ZeroPaddedFile(QFile &file, qint64 length) : file_(file), length_(std::max(length, file.size())) {}

    [[nodiscard]] bool isSequential() const override { return false; }
    [[nodiscard]] qint64 size() const override { return length_; }
    bool seek(qint64 position) override
    {
        if (position < 0 || position > length_)
            return false;
        at_ = position;
        return QIODevice::seek(position);
    }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 count = std::min(maxSize, length_ - at_);
        if (count <= 0)
            return 0;
        qint64 got = 0;
        if (at_ < file_.size()) {
            if (!file_.seek(at_))
                return -1;
            got = file_.read(data, std::min(count, file_.size() - at_));
            if (got < 0)
                return -1;
        }
        std::memset(data + got, 0, static_cast<std::size_t>(count - got));
        at_ += count;
        return count;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QFile &file_;
    qint64 length_;
    qint64 at_ = 0;
};

// The entries of the colour table of a picture of 1 to 8 bits a pixel.
int PaletteColours(const BmpHeader &header)
{
    const quint32 entries = 1u << header.bitCount;
    return int(header.coloursUsed == 0 || header.coloursUsed > entries ? entries : header.coloursUsed);
}

// A run-length coded BMP (4 or 8 bits a pixel). Qt's reader leaves every pixel that the
// stream does not write (deltas, an early end of line or of picture, a stream cut short) as
// whatever the memory held, so these are decoded here, into a picture first cleared to the
// palette's first colour. Each pair of bytes writes at most 255 pixels.
QImage DecodeRle(QFile &file, const BmpHeader &header, const QString &path)
{
    const int bits = header.compression == kRle8 ? 8 : 4;
    if (header.bitCount != bits)
        ThrowPictureError(path, QStringLiteral("run-length coding does not fit %1 bits a pixel").arg(header.bitCount));
    const int width = static_cast<int>(header.width);
    const int height = static_cast<int>(std::llabs(header.height));
    // Rows are stored bottom-up, unless the height is negative.
    const int down = header.height < 0 ? 1 : -1;
    if (width < 1 || height < 1)
        ThrowPictureError(path, QStringLiteral("the BMP declares no pixels"));

    const int colours = PaletteColours(header);
    if (!file.seek(14 + qint64(header.infoSize)))
        ThrowPictureError(path, file.errorString());
    const QByteArray palette = file.read(qint64(colours) * 4);
    QList<QRgb> table(256, qRgb(0, 0, 0)); // indices past the palette show black
    for (int i = 0; i < colours && (i + 1) * 4 <= palette.size(); ++i) {
        const auto *p = reinterpret_cast<const uchar *>(palette.constData()) + i * 4;
        table[i] = qRgb(p[2], p[1], p[0]);
    }
    QImage image(width, height, QImage::Format_Indexed8);
    if (image.isNull())
        ThrowPictureError(path, QStringLiteral("not enough memory for the picture"));
    image.setColorTable(table);
    image.fill(0);

    if (!file.seek(header.pixelOffset))
        return image; // nothing of the stream is there
    const QByteArray stream = file.readAll();
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
    return image;
}

// Where the last plainly stored row ends, or -1 for rows that are compressed (their length
// is not known before they are decoded).
qint64 PlainRowsEnd(const BmpHeader &header)
{
    if (header.compression != kUncompressed && header.compression != kBitFields
        && header.compression != kAlphaBitFields)
        return -1;
    if (header.bitCount == 0)
        return -1;
    const qint64 stride = (std::llabs(header.width) * header.bitCount + 31) / 32 * 4;
    return header.pixelOffset + stride * std::llabs(header.height);
}

} // namespace

bool ReadBmpDeclaredSize(QIODevice &device, qint64 *width, qint64 *height)
{
    BmpHeader header;
    if (!ReadBmpHeader(device.read(kPeekBytes), &header).isEmpty())
        return false;
    *width = std::llabs(header.width);
    *height = std::llabs(header.height);
    return true;
}

QImage ReadBmp(const QString &path)
{
    CheckPictureFileType(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        ThrowPictureError(path, QStringLiteral("cannot open the file (%1)").arg(file.errorString()));
    BmpHeader header;
    const QString problem = ReadBmpHeader(file.read(kPeekBytes), &header);
    if (!problem.isEmpty())
        ThrowPictureError(path, problem);
    const qint64 width = std::llabs(header.width);
    const qint64 height = std::llabs(header.height);
    const qint64 fileBytes = file.size();
    if (!PictureSizeAllowed(width, height, fileBytes))
        ThrowPictureError(path, PictureTooLargeText(width, height, fileBytes));
    // Without its colour table a picture of palette indices means nothing.
    if (header.bitCount >= 1 && header.bitCount <= 8
        && 14 + qint64(header.infoSize) + PaletteColours(header) * (header.infoSize == 12 ? 3 : 4) > fileBytes)
        ThrowPictureError(path, QStringLiteral("the file ends inside its colour table"));
    if (header.compression == kRle8 || header.compression == kRle4)
        return DecodeRle(file, header, path);
    ZeroPaddedFile padded(file, PlainRowsEnd(header));
    if (!padded.open(QIODevice::ReadOnly | QIODevice::Unbuffered) || !padded.seek(0))
        ThrowPictureError(path, file.errorString());

    QImageReader reader(&padded, "bmp");
    // Qt decodes into 32 bits a pixel for all but 64-bit files; its own default cap (128 MB)
    // would refuse pictures the JPEG and PNG decoders take, so it is set to the program's bound.
    reader.setAllocationLimit(static_cast<int>(kMaxPicturePixels * 4 / (1024 * 1024)) + 1);
    QImage image = reader.read();
    if (image.isNull())
        ThrowPictureError(path, reader.errorString());
    return image;
}

} // namespace quiltana
