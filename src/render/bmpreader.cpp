#include "bmpreader.h"

#include "decode.h"

#include <QFile>
#include <QImageReader>

#include <cstdlib>

namespace quiltana {

namespace {

// File header (14 bytes) plus the part of any info header that holds size and bit count.
constexpr int kHeaderBytes = 14 + 16;

quint32 le16(const uchar *p) { return quint32(p[0]) | quint32(p[1]) << 8; }
quint32 le32(const uchar *p) { return le16(p) | le16(p + 2) << 16; }

struct BmpHeader {
    qint64 width = 0;
    qint64 height = 0;
    int bitCount = 0;
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
    if (infoSize == 12) {
        header->width = le16(p + 18);
        header->height = le16(p + 20);
        header->bitCount = static_cast<int>(le16(p + 24));
    } else if (infoSize >= 16) {
        header->width = static_cast<qint32>(le32(p + 18));
        header->height = static_cast<qint32>(le32(p + 22));
        header->bitCount = static_cast<int>(le16(p + 28));
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

} // namespace

QImage ReadBmp(const QString &path)
{
    CheckPictureFileType(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        ThrowPictureError(path, QStringLiteral("cannot open the file (%1)").arg(file.errorString()));
    BmpHeader header;
    const QString problem = ReadBmpHeader(file.read(kHeaderBytes), &header);
    if (!problem.isEmpty())
        ThrowPictureError(path, problem);
    const qint64 width = std::llabs(header.width);
    const qint64 height = std::llabs(header.height);
    if (!PictureSizeAllowed(width, height))
        ThrowPictureError(path, PictureTooLargeText(width, height));
    if (!file.seek(0))
        ThrowPictureError(path, file.errorString());

    QImageReader reader(&file, "bmp");
    // Qt decodes into 32 bits a pixel for all but 64-bit files; its own default cap (128 MB)
    // would refuse pictures the JPEG and PNG decoders take, so it is set to the program's bound.
    reader.setAllocationLimit(static_cast<int>(kMaxPicturePixels * 4 / (1024 * 1024)) + 1);
    QImage image = reader.read();
    if (image.isNull())
        ThrowPictureError(path, reader.errorString());
    return image;
}

} // namespace quiltana
