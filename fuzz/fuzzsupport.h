#pragma once

#include <QString>

#include "paths.h"

#include <cstddef>
#include <cstdint>

namespace quiltana::fuzz {

// The folder of this process's scratch files: quiltana-fuzz-PID inside $QUILTANA_FUZZ_DIR
// (scripts/fuzz.sh points it at a folder of its run's own in the build tree), else inside the
// system's temp folder. Created on first use and removed when the process exits normally; a
// process that dies on a finding leaves it, and fuzz.sh removes its run's folder at the end.
QString scratchFolder();

// Writes the fuzzer's bytes to a scratch file with the given extension in scratchFolder()
// (the decoders read files, as the program does) and returns its path.
QString writeInput(const uint8_t *data, size_t size, const char *extension);

// Decodes the bytes as a picture of `kind`, at full size and as a work copy: either gives a
// picture or an Error, never a crash, hang, leak or read out of bounds.
void decodeInput(const uint8_t *data, size_t size, const char *extension, PictureKind kind);

} // namespace quiltana::fuzz
