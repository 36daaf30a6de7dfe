#pragma once

#include <string>

namespace quiltana::bench {

// The yardsticks the program's decoding is held against: plain library decodes into a row
// buffer that is thrown away, with the libraries' default options. Both return false (and
// fill `error`) when the file cannot be decoded.

// libjpeg at scale 1/denominator (1, 2, 4 or 8), RGB output, as `djpeg -scale 1/8` does.
bool DecodeJpegReference(const std::string &path, int denominator, std::string *error);

// libpng at full size, expanded to 8-bit RGB as the program reads PNGs.
bool DecodePngReference(const std::string &path, std::string *error);

} // namespace quiltana::bench
