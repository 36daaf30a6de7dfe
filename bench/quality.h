#pragma once

#include <QString>

namespace quiltana::bench {

// The cell the quality report prints into: one cell of a 5X10 page at 600 dpi.
inline constexpr int kQualityCellWidth = 885;
inline constexpr int kQualityCellHeight = 664;

// Writes the pictures of the print quality report into `folder` (pictures/) and each of them
// printed into the cell as printing does it (printed/, lossless PNG): fine text as PNG and as
// JPEG, a zone plate, ten photographs of `photoFolder`, and one of them in Adobe RGB and in
// Display P3 with the profile embedded. manifest.tsv lists them for bench/quality.py, which
// makes the references and the measures. Throws std::runtime_error when it cannot.
void WriteQualityPictures(const QString &photoFolder, const QString &folder);

} // namespace quiltana::bench
