#pragma once

#include <QString>

#include <cstdio>

namespace quiltana {

class RowSink;

// Decodes the PNG file `path` with libpng into `sink` at full size: every colour type and bit
// depth comes out as 8-bit sRGB (through the picture's iCCP colour profile, if any), palette
// expanded, 16-bit samples reduced, and what is transparent (alpha, tRNS) laid onto white
// paper. Interlaced files are assembled whole before the sink sees them. An error after the last row (a missing IEND)
// does not fail the decode; any other error, and a declared size above the bounds, throws
// Error naming the file. `fullWidth`/`fullHeight` (optional) receive the picture's size.
// The sink's stop flag (RowSink::setStop) ends the decoding with ThrowDecodingStopped.
// `opened`, when given, is the file already open (read from its start, left open).
void DecodePng(const QString &path, RowSink &sink, int *fullWidth, int *fullHeight, std::FILE *opened = nullptr);

} // namespace quiltana
