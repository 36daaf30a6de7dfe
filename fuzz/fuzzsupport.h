#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

namespace quiltana::fuzz {

// Writes the fuzzer's bytes to a scratch file with the given extension (the decoders read
// files, as the program does) and returns its path.
QString writeInput(const uint8_t *data, size_t size, const char *extension);

} // namespace quiltana::fuzz
