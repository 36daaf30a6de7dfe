#pragma once

#include <QString>

namespace quiltana {

class RowSink;

// Decodes the JPEG file `path` with libjpeg into `sink`, at the smallest DCT scale (1/8 to
// 8/8) whose output still holds sink.minimumOutput(). Grey, YCbCr and RGB files come out as
// RGB; CMYK and YCCK files (Adobe's inverted form included) are converted to RGB. Colours are
// converted to sRGB through the colour profile in the file's APP2 segments, if any. Corrupt-data
// warnings do not fail the decode; errors, a declared size above the bounds and a progressive
// file whose coefficients would need more than a fixed amount of memory throw Error naming the
// file. `fullWidth`/`fullHeight` (optional) receive the picture's own size.
void DecodeJpeg(const QString &path, RowSink &sink, int *fullWidth, int *fullHeight);

} // namespace quiltana
