#pragma once

#include <QByteArray>
#include <QRgb>
#include <QString>

#include <vector>

#include <cstdio>
#include <jpeglib.h>

namespace quiltana::test {

// Writes `bytes` to `path`; fails the calling test when it cannot.
void WriteBytes(const QString &path, const QByteArray &bytes);

// A PNG written with libpng exactly as described: `rows` holds height rows of packed samples
// in the file's own layout (colour type, bit depth; 16-bit samples big-endian).
struct PngSpec {
    int width = 1;
    int height = 1;
    int colorType = 0; // PNG_COLOR_TYPE_*
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<std::vector<unsigned char>> rows{};
    std::vector<unsigned char> palette{}; // RGB triples
    std::vector<unsigned char> transparency{}; // tRNS entries for a palette
    int transparentGrey = -1; // tRNS for a grey picture, -1 for none
    int transparentRgb = -1; // tRNS for an RGB picture (0xRRGGBB), -1 for none
    std::vector<unsigned char> iccProfile{}; // an iCCP chunk, none when empty
};
void WritePng(const QString &path, const PngSpec &spec);

// A PNG whose IHDR declares width x height (grey, 8-bit) followed by one small IDAT and IEND:
// a few hundred bytes at most, whatever it declares. With `everyRow` the IDAT holds every
// row, black: a whole picture of a few kilobytes.
QByteArray PngDeclaring(quint32 width, quint32 height, bool everyRow = false);

// A JPEG written with libjpeg from `pixels` (height rows of width * components samples in
// `inSpace`), stored in `storedSpace` (JCS_UNKNOWN: libjpeg's default for the input).
struct JpegSpec {
    int width = 1;
    int height = 1;
    J_COLOR_SPACE inSpace = JCS_RGB;
    int components = 3;
    J_COLOR_SPACE storedSpace = JCS_UNKNOWN;
    bool progressive = false;
    bool arithmetic = false;
    bool fullChroma = false; // 4:4:4 instead of libjpeg's default 4:2:0
    bool scanPerComponent = false; // sequential, one scan for each component (not interleaved)
    int quality = 95;
    std::vector<unsigned char> pixels;
    std::vector<unsigned char> iccProfile{}; // in APP2 segments, none when empty
};
QByteArray EncodeJpeg(const JpegSpec &spec);

// An RGB picture in four flat quadrants of these colours (top left, top right, bottom left,
// bottom right), stored 4:4:4, so that every block away from the middle lines is one colour.
inline constexpr QRgb kQuadrants[4] = {0xff0000, 0x00c000, 0x2040ff, 0x808080};
JpegSpec QuadrantJpeg(int width, int height);

// Rows of packed RGB whose every pixel differs from its neighbours.
std::vector<std::vector<unsigned char>> PatternRows(int width, int height);

// The JPEG with its last scan (from its last SOS marker up to EOI) sent `times` times more.
QByteArray WithLastScanRepeated(const QByteArray &jpeg, int times);

// The JPEG with its frame header (SOFn) changed to declare width x height.
QByteArray WithJpegSize(QByteArray jpeg, int width, int height);

// A TIFF structure as an EXIF block holds it: the byte-order mark ("II" or "MM"), then IFD0
// with one entry, the orientation (tag 0x0112, SHORT, one value).
QByteArray TiffWithOrientation(int orientation, bool bigEndian = false);

// The same behind "Exif\0\0", as a JPEG's APP1 segment carries it.
QByteArray ExifWithOrientation(int orientation, bool bigEndian = false);

// The JPEG with an APP1 segment holding `payload` put right after its SOI marker.
QByteArray WithApp1(const QByteArray &jpeg, const QByteArray &payload);

// The PNG with a chunk of that type and data put between its IHDR and the chunk after it.
QByteArray WithPngChunk(const QByteArray &png, const char *type, const QByteArray &data);

// A PNG (RGB, 8-bit) of the four flat kQuadrants, as bytes.
QByteArray QuadrantPng(int width, int height);

// A BMP file header and BITMAPINFOHEADER declaring width x height at bitCount bits, followed
// by a few bytes of pixel data.
QByteArray BmpDeclaring(qint32 width, qint32 height, int bitCount);

} // namespace quiltana::test
