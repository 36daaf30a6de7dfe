#pragma once

#include <QString>

#include "paths.h"

#include <cstddef>
#include <cstdint>

namespace quiltana::fuzz {

// Writes the fuzzer's bytes to a scratch file with the given extension (the decoders read
// files, as the program does) and returns its path.
QString writeInput(const uint8_t *data, size_t size, const char *extension);

// Decodes the bytes as a picture of `kind`, at full size and as a work copy: either gives a
// picture or an Error, never a crash, hang, leak or read out of bounds.
void decodeInput(const uint8_t *data, size_t size, const char *extension, PictureKind kind);

} // namespace quiltana::fuzz
