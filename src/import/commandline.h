#pragma once

#include <QStringList>

namespace quiltana {

// Fills the document from the command line: at most 1000 arguments; a folder contributes its
// ".jpg", ".jpeg", ".bmp" and ".png" entries (unsorted, no descent), anything else goes into
// the next cell unchanged. No cell past 999 is written. Sets the last filled cell. Returns the
// number of pictures that did not fit (0 normally). Paths should already be absolute.
int FillDocumentFromArguments(const QStringList &arguments);

} // namespace quiltana
