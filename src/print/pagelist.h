#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

namespace quiltana {

// Pages the "ページ指定" field can name: page numbers 1..1000, one per cell of a 1X1 document.
inline constexpr int kMaxPageNumber = 1000;
// The upper bound a range gets when nothing (or 0) follows its dash.
inline constexpr int kOpenRangeEnd = 998;

// One entry per 0-based page index 0..999; true = the page is chosen.
using PageSelection = std::array<bool, kMaxPageNumber>;

// The field's text split into items: commas, blanks and control characters separate; an item
// that begins with '"' runs to the closing '"' (quotes removed, a doubled quote inside stands
// for one) and may hold commas and blanks. "1,,2" gives an empty middle item.
[[nodiscard]] QStringList SplitPageItems(const QString &text);

// The number at the start of `text` read the way C's strtod reads it: leading white space
// skipped, an optional sign, then the longest valid prefix (decimal with exponent, "0x" hex,
// "inf", "infinity"; "nan" counts as no number), 0 when there is none. Always '.' as the
// decimal point, whatever the locale.
[[nodiscard]] double LeadingNumber(const QString &text);

// LeadingNumber truncated toward zero, saturated to the int range.
[[nodiscard]] int LeadingInteger(const QString &text);

// The 0-based page index of a 1-based page number the user typed, or -1 when the number
// names no page (outside 1..1000). The one place the two countings meet.
[[nodiscard]] int pageIndexFromNumber(int pageNumber);

// Every page the field's text selects. An item with a '-' selects the numbers from the one at
// its start to the one after its first '-' (0 there means 998); other items select their
// leading number. Numbers outside 1..1000 select nothing.
[[nodiscard]] PageSelection ParsePageSelection(const QString &text);

// The 0-based pages below `pageCount` that `text` selects, ascending.
[[nodiscard]] std::vector<int> SelectedPages(const QString &text, int pageCount);

} // namespace quiltana
