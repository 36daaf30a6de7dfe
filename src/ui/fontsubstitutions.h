#pragma once

namespace quiltana {

// The interface asks for the Windows gothic faces ("ＭＳ Ｐゴシック", "ＭＳ ゴシック"); the
// font mapper finds Japanese gothic faces installed here instead, so that no text turns into
// boxes. Run once the application exists, before the first window.
void RegisterFontSubstitutions();

} // namespace quiltana
