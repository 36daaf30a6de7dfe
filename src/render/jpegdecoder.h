#pragma once

#include <QString>

#include <cstdio>
#include <optional>

namespace quiltana {

class RowSink;

// Decodes the JPEG file `path` with libjpeg into `sink`, at the smallest DCT scale (1/8 to
// 8/8) whose output still holds sink.minimumOutput(). Grey, YCbCr and RGB files come out as
// RGB; CMYK and YCCK files (Adobe's inverted form included) are converted to RGB. Colours are
// converted to sRGB through the colour profile in the file's APP2 segments, if any. Corrupt-data
// warnings do not fail the decode; errors, a declared size above the bounds and a progressive
// file whose coefficients would need more than a fixed amount of memory throw Error naming the
// file. `fullWidth`/`fullHeight` (optional) receive the picture's own size.
// The sink's stop flag (RowSink::setStop) ends the decoding with ThrowDecodingStopped.
// `opened`, when given, is the file already open (read from its start, left open).
void DecodeJpeg(const QString &path, RowSink &sink, int *fullWidth, int *fullHeight, std::FILE *opened = nullptr);

// What DecodeJpeg holds for the JPEG file open as `file` (read from its start) beyond a few
// rows (bytes), from the markers that libjpeg itself reads up to the first scan
// (jpeg_read_header), so that the estimate and the decoder read the same header: the whole
// picture's DCT coefficients where libjpeg keeps them (a progressive file, or a first scan
// without every component), and the APP1 and APP2 segments the decoder keeps. 0 for a picture
// refused for its size; nothing when libjpeg cannot read its header.
[[nodiscard]] std::optional<qint64> JpegHeldBytesWhileDecoding(std::FILE *file);

} // namespace quiltana
