#include "picturewriter.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

namespace quiltana::test {

void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

void WritePng(const QString &path, const PngSpec &spec)
{
    std::FILE *file = std::fopen(QFile::encodeName(path).constData(), "wb");
    ASSERT_NE(file, nullptr);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, spec.width, spec.height, spec.bitDepth, spec.colorType,
                 spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    for (size_t i = 0; i + 2 < spec.palette.size(); i += 3)
        palette.push_back({spec.palette[i], spec.palette[i + 1], spec.palette[i + 2]});
    if (!palette.empty())
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    png_color_16 grey{};
    if (spec.transparentGrey >= 0) {
        grey.gray = static_cast<png_uint_16>(spec.transparentGrey);
        png_set_tRNS(png, info, nullptr, 0, &grey);
    } else if (spec.transparentRgb >= 0) {
        grey.red = static_cast<png_uint_16>(qRed(static_cast<QRgb>(spec.transparentRgb)));
        grey.green = static_cast<png_uint_16>(qGreen(static_cast<QRgb>(spec.transparentRgb)));
        grey.blue = static_cast<png_uint_16>(qBlue(static_cast<QRgb>(spec.transparentRgb)));
        png_set_tRNS(png, info, nullptr, 0, &grey);
    } else if (!spec.transparency.empty()) {
        png_set_tRNS(png, info, spec.transparency.data(), static_cast<int>(spec.transparency.size()),
                     nullptr);
    }
    if (!spec.iccProfile.empty())
        png_set_iCCP(png, info, "test", PNG_COMPRESSION_TYPE_BASE, spec.iccProfile.data(),
                     static_cast<png_uint_32>(spec.iccProfile.size()));
    png_write_info(png, info);
    std::vector<png_bytep> rows;
    for (const auto &row : spec.rows)
        rows.push_back(const_cast<png_bytep>(row.data()));
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

namespace {
QByteArray PngChunk(const char *type, const QByteArray &data)
{
    QByteArray chunk;
    const quint32 length = static_cast<quint32>(data.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        chunk.append(static_cast<char>((length >> shift) & 0xff));
    const QByteArray body = QByteArray(type, 4) + data;
    chunk.append(body);
    const quint32 crc = static_cast<quint32>(
        crc32(0, reinterpret_cast<const Bytef *>(body.constData()), static_cast<uInt>(body.size())));
    for (int shift = 24; shift >= 0; shift -= 8)
        chunk.append(static_cast<char>((crc >> shift) & 0xff));
    return chunk;
}

void AppendBigEndian(QByteArray &bytes, quint32 value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.append(static_cast<char>((value >> shift) & 0xff));
}

void AppendLittleEndian(QByteArray &bytes, quint32 value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes.append(static_cast<char>((value >> (8 * i)) & 0xff));
}
} // namespace

QByteArray PngDeclaring(quint32 width, quint32 height, bool everyRow)
{
    QByteArray ihdr;
    AppendBigEndian(ihdr, width);
    AppendBigEndian(ihdr, height);
    ihdr.append(char(8)).append(char(0)).append(char(0)).append(char(0)).append(char(0));
    // Some rows of zeros, compressed: the data a bomb would inflate from.
    const QByteArray zeros(everyRow ? qsizetype(height) * (width + 1) : 4096, '\0');
    uLongf size = compressBound(static_cast<uLong>(zeros.size()));
    QByteArray idat(static_cast<int>(size), '\0');
    compress(reinterpret_cast<Bytef *>(idat.data()), &size,
             reinterpret_cast<const Bytef *>(zeros.constData()), static_cast<uLong>(zeros.size()));
    idat.resize(static_cast<int>(size));
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + PngChunk("IHDR", ihdr) + PngChunk("IDAT", idat)
           + PngChunk("IEND", QByteArray());
}

QByteArray EncodeJpeg(const JpegSpec &spec)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr error{};
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(spec.width);
    cinfo.image_height = static_cast<JDIMENSION>(spec.height);
    cinfo.input_components = spec.components;
    cinfo.in_color_space = spec.inSpace;
    jpeg_set_defaults(&cinfo);
    if (spec.storedSpace != JCS_UNKNOWN)
        jpeg_set_colorspace(&cinfo, spec.storedSpace);
    if (spec.fullChroma)
        for (int c = 0; c < cinfo.num_components; ++c)
            cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    jpeg_set_quality(&cinfo, spec.quality, TRUE);
    if (spec.progressive)
        jpeg_simple_progression(&cinfo);
    std::vector<jpeg_scan_info> scans;
    if (spec.scanPerComponent) {
        for (int c = 0; c < cinfo.num_components; ++c) {
            jpeg_scan_info scan{};
            scan.comps_in_scan = 1;
            scan.component_index[0] = c;
            scan.Se = 63;
            scans.push_back(scan);
        }
        cinfo.scan_info = scans.data();
        cinfo.num_scans = static_cast<int>(scans.size());
    }
    cinfo.arith_code = spec.arithmetic ? TRUE : FALSE;
    jpeg_start_compress(&cinfo, TRUE);
    if (!spec.iccProfile.empty())
        jpeg_write_icc_profile(&cinfo, spec.iccProfile.data(), static_cast<unsigned>(spec.iccProfile.size()));
    const size_t stride = static_cast<size_t>(spec.width) * static_cast<size_t>(spec.components);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(spec.pixels.data() + stride * cinfo.next_scanline);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray bytes(reinterpret_cast<const char *>(buffer), static_cast<qsizetype>(size));
    std::free(buffer);
    return bytes;
}

QByteArray WithLastScanRepeated(const QByteArray &jpeg, int times)
{
    const qsizetype scan = jpeg.lastIndexOf(QByteArray("\xff\xda", 2));
    const qsizetype end = jpeg.lastIndexOf(QByteArray("\xff\xd9", 2));
    EXPECT_GT(scan, 0);
    EXPECT_GT(end, scan);
    const QByteArray last = jpeg.mid(scan, end - scan);
    QByteArray result = jpeg.left(end);
    for (int i = 0; i < times; ++i)
        result += last;
    return result + jpeg.mid(end);
}

JpegSpec QuadrantJpeg(int width, int height)
{
    JpegSpec spec;
    spec.width = width;
    spec.height = height;
    spec.fullChroma = true;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const QRgb c = kQuadrants[(y >= height / 2) * 2 + (x >= width / 2)];
            spec.pixels.insert(spec.pixels.end(), {static_cast<unsigned char>(qRed(c)),
                                                   static_cast<unsigned char>(qGreen(c)),
                                                   static_cast<unsigned char>(qBlue(c))});
        }
    return spec;
}

std::vector<std::vector<unsigned char>> PatternRows(int width, int height)
{
    std::vector<std::vector<unsigned char>> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                rows[static_cast<size_t>(y)].push_back(static_cast<unsigned char>(x * 7 + y * 13 + c * 50));
    return rows;
}

QByteArray WithJpegSize(QByteArray jpeg, int width, int height)
{
    for (qsizetype i = 2; i + 9 < jpeg.size(); ++i) {
        const auto marker = static_cast<unsigned char>(jpeg[i + 1]);
        if (static_cast<unsigned char>(jpeg[i]) == 0xff && marker >= 0xc0 && marker <= 0xcf
            && marker != 0xc4 && marker != 0xc8 && marker != 0xcc) {
            // FF Cn, length (2), precision (1), height (2), width (2)
            jpeg[i + 5] = static_cast<char>((height >> 8) & 0xff);
            jpeg[i + 6] = static_cast<char>(height & 0xff);
            jpeg[i + 7] = static_cast<char>((width >> 8) & 0xff);
            jpeg[i + 8] = static_cast<char>(width & 0xff);
            return jpeg;
        }
    }
    ADD_FAILURE() << "no frame header in the JPEG";
    return jpeg;
}

QByteArray BmpDeclaring(qint32 width, qint32 height, int bitCount)
{
    const QByteArray pixels(64, '\x55');
    QByteArray bytes("BM");
    AppendLittleEndian(bytes, 14 + 40 + static_cast<quint32>(pixels.size()), 4);
    AppendLittleEndian(bytes, 0, 4);
    AppendLittleEndian(bytes, 14 + 40, 4);
    AppendLittleEndian(bytes, 40, 4);
    AppendLittleEndian(bytes, static_cast<quint32>(width), 4);
    AppendLittleEndian(bytes, static_cast<quint32>(height), 4);
    AppendLittleEndian(bytes, 1, 2);
    AppendLittleEndian(bytes, static_cast<quint32>(bitCount), 2);
    AppendLittleEndian(bytes, 0, 4); // BI_RGB
    AppendLittleEndian(bytes, 0, 4);
    AppendLittleEndian(bytes, 2835, 4);
    AppendLittleEndian(bytes, 2835, 4);
    AppendLittleEndian(bytes, 0, 4);
    AppendLittleEndian(bytes, 0, 4);
    return bytes + pixels;
}

} // namespace quiltana::test

namespace quiltana::test {

QByteArray TiffWithOrientation(int orientation, bool bigEndian)
{
    QByteArray tiff;
    auto put = [&](quint32 value, int size) {
        for (int i = 0; i < size; ++i) {
            const int shift = bigEndian ? 8 * (size - 1 - i) : 8 * i;
            tiff.append(static_cast<char>((value >> shift) & 0xff));
        }
    };
    tiff.append(bigEndian ? "MM" : "II", 2);
    put(42, 2);
    put(8, 4); // IFD0 right after the header
    put(1, 2); // one entry
    put(0x0112, 2);
    put(3, 2); // SHORT
    put(1, 4);
    put(static_cast<quint32>(orientation), 2);
    put(0, 2); // the value field's unused half
    put(0, 4); // no IFD1
    return tiff;
}

QByteArray ExifWithOrientation(int orientation, bool bigEndian)
{
    return QByteArray("Exif\0\0", 6) + TiffWithOrientation(orientation, bigEndian);
}

QByteArray WithApp1(const QByteArray &jpeg, const QByteArray &payload)
{
    EXPECT_TRUE(jpeg.startsWith("\xff\xd8"));
    const int length = static_cast<int>(payload.size()) + 2;
    EXPECT_LE(length, 0xffff);
    QByteArray segment("\xff\xe1", 2);
    segment.append(static_cast<char>((length >> 8) & 0xff)).append(static_cast<char>(length & 0xff));
    return jpeg.left(2) + segment + payload + jpeg.mid(2);
}

QByteArray WithPngChunk(const QByteArray &png, const char *type, const QByteArray &data)
{
    // Signature (8 bytes) and IHDR (4 + 4 + 13 + 4).
    constexpr int kAfterIhdr = 33;
    EXPECT_EQ(png.mid(12, 4), QByteArray("IHDR"));
    return png.left(kAfterIhdr) + PngChunk(type, data) + png.mid(kAfterIhdr);
}

QByteArray QuadrantPng(int width, int height)
{
    const JpegSpec pixels = QuadrantJpeg(width, height);
    PngSpec spec;
    spec.width = width;
    spec.height = height;
    spec.colorType = PNG_COLOR_TYPE_RGB;
    const auto rowBytes = static_cast<std::size_t>(width) * 3;
    for (int y = 0; y < height; ++y)
        spec.rows.emplace_back(pixels.pixels.begin() + static_cast<std::ptrdiff_t>(rowBytes * y),
                               pixels.pixels.begin() + static_cast<std::ptrdiff_t>(rowBytes * (y + 1)));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("quadrants.png"));
    WritePng(path, spec);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

} // namespace quiltana::test
