#include "printfields.h"

namespace quiltana {

namespace {
// The arrows and the exits write four significant digits with two decimals.
QString formatField(double value) { return formatFixed(value, 4, 2); }
} // namespace

double fieldMinimum(PrintField field, const PrinterMetrics &metrics)
{
    switch (field) {
    case PrintField::Top:
        return metrics.topMM;
    case PrintField::Bottom:
        return metrics.bottomMM;
    case PrintField::Left:
        return metrics.leftMM;
    case PrintField::Right:
        return metrics.rightMM;
    case PrintField::VerticalSpacing:
    case PrintField::HorizontalSpacing:
        break;
    }
    return 0.0;
}

QString ArrowStepText(const QString &text, PrintField field, bool up, const PrinterMetrics &metrics)
{
    double value = parseDecimal(text) + (up ? kArrowStep : -kArrowStep);
    const double minimum = fieldMinimum(field, metrics);
    // A margin may never go below what the printer cannot print, whichever arrow was pressed;
    // a spacing only has to stay non-negative, which only the lowering arrow can break.
    if ((isMarginField(field) || !up) && value < minimum)
        value = minimum;
    return formatField(value);
}

QString FieldExitText(const QString &text, PrintField field, const PrinterMetrics &metrics)
{
    const QString t = text.isEmpty() ? QStringLiteral("0") : text;
    const double value = parseDecimal(t);
    if (isMarginField(field)) {
        const double minimum = fieldMinimum(field, metrics);
        return value < minimum ? formatField(minimum) : t;
    }
    return value < 0 ? QStringLiteral("0") : t;
}

} // namespace quiltana
