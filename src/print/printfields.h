#pragma once

#include "pagesetup.h"

#include <QString>

namespace quiltana {

// The six millimetre fields of the print dialog.
enum class PrintField { Top, Bottom, Left, Right, VerticalSpacing, HorizontalSpacing };

// What one press of an arrow button adds to its field.
inline constexpr double kArrowStep = 0.1;

[[nodiscard]] constexpr bool isMarginField(PrintField f)
{
    return f == PrintField::Top || f == PrintField::Bottom || f == PrintField::Left || f == PrintField::Right;
}

// The lowest value a field may hold: a margin's side's unprintable mm, 0 for a spacing.
[[nodiscard]] double fieldMinimum(PrintField field, const PrinterMetrics &metrics);

// The field's text after one press of its raising (up = true) or lowering arrow: the value
// moved by 0.1, a margin held at its minimum either way, a spacing held at 0 when lowered
// only, written with two decimals at four significant digits. Throws ConversionError when the
// text is not a number (an empty field included).
[[nodiscard]] QString ArrowStepText(const QString &text, PrintField field, bool up, const PrinterMetrics &metrics);

// The field's text after the focus left it: empty becomes "0"; then a margin below its
// minimum becomes the minimum (two decimals, four significant digits), a negative spacing
// becomes "0"; anything else stays exactly as typed. Throws ConversionError when the text is
// not a number.
[[nodiscard]] QString FieldExitText(const QString &text, PrintField field, const PrinterMetrics &metrics);

} // namespace quiltana
