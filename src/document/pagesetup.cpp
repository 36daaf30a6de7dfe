#include "pagesetup.h"

#include "error.h"
#include "printer.h"

#include <QLocale>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

namespace quiltana {

namespace {

void requireUsable(const Printer &printer)
{
    if (printer.pageWidth() <= 0 || printer.pageHeight() <= 0 || printer.widthMM() <= 0
        || printer.heightMM() <= 0)
        throw Error(QStringLiteral("プリンタ「%1」は用紙の大きさを正しく返さないため使えません "
                                   "(%2 x %3 ドット、%4 x %5 mm)")
                        .arg(printer.name())
                        .arg(printer.pageWidth())
                        .arg(printer.pageHeight())
                        .arg(printer.widthMM())
                        .arg(printer.heightMM()));
}

// Reads a decimal number the way the runtime conversion does: blanks around it, an optional
// sign, '.' or the locale's decimal separator, an optional exponent. The value keeps extended
// precision because the millimetre conversion is done in it.
std::optional<long double> readDecimal(const QString &text)
{
    QString t = text.trimmed();
    const QString separator = QLocale().decimalPoint();
    if (separator != QLatin1String("."))
        t.replace(separator, QLatin1String("."));
    if (t.startsWith(QLatin1Char('+')))
        t.remove(0, 1);
    if (t.isEmpty())
        return std::nullopt;
    for (QChar ch : t) // from_chars also reads "inf" and "nan", which are no numbers here
        if (!(ch.isDigit() && ch.unicode() < 128) && !QStringLiteral(".eE+-").contains(ch))
            return std::nullopt;
    const QByteArray bytes = t.toLatin1();
    long double value = 0;
    const auto [end, ec] = std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), value,
                                           std::chars_format::general);
    if (ec != std::errc() || end != bytes.constData() + bytes.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// Converts a millimetre text to dots on one axis, truncating toward zero. The product is
// formed before the division, in extended precision.
int textToDots(const QString &text, int pageDots, int printableMM, int unprintableDots)
{
    const std::optional<long double> mm = readDecimal(text);
    if (!mm)
        throw ConversionError(text);
    const long double dots = std::trunc(*mm * pageDots / printableMM - unprintableDots);
    // A distance no sheet of paper has (say "1e12") must not wrap around into a small one.
    if (dots < static_cast<long double>(INT_MIN) || dots > static_cast<long double>(INT_MAX))
        throw Error(QStringLiteral("%1 mm はどの用紙よりもはるかに大きいため使えません").arg(text.trimmed()));
    return static_cast<int>(dots);
}

} // namespace

void ReadPrinterMetrics(PrinterMetrics &metrics, Printer &printer)
{
    requireUsable(printer);
    PrinterMetrics m;
    m.topDots = printer.offsetY();
    m.leftDots = printer.offsetX();
    m.bottomDots = printer.physicalHeight() - printer.pageHeight() - m.topDots;
    m.rightDots = printer.physicalWidth() - printer.pageWidth() - m.leftDots;
    m.widthMM = printer.widthMM();
    m.heightMM = printer.heightMM();
    const long double ph = printer.pageHeight();
    const long double pw = printer.pageWidth();
    m.topMM = static_cast<double>(static_cast<long double>(m.topDots) * m.heightMM / ph);
    m.bottomMM = static_cast<double>(static_cast<long double>(m.bottomDots) * m.heightMM / ph);
    m.leftMM = static_cast<double>(static_cast<long double>(m.leftDots) * m.widthMM / pw);
    m.rightMM = static_cast<double>(static_cast<long double>(m.rightDots) * m.widthMM / pw);
    metrics = m;
}

void SetPageSetupDefaults(PageSetup &s, PrinterMetrics &metrics, Printer &printer)
{
    ReadPrinterMetrics(metrics, printer);
    const PrinterMetrics &m = metrics;
    s.topText = formatFixed(m.topMM, 5, 2);
    s.bottomText = formatFixed(m.bottomMM, 5, 2);
    s.leftText = formatFixed(m.leftMM, 5, 2);
    s.rightText = formatFixed(m.rightMM, 5, 2);
    s.verticalSpacingText = QStringLiteral("1");
    s.horizontalSpacingText = QStringLiteral("1");
    s.captionPosition = CaptionPosition::BottomLeft;
    s.transparentCaptions = false;
    s.captionExtension = false;
}

void DotMarginsFromTexts(PageSetup &s, const PrinterMetrics &m, Printer &printer)
{
    requireUsable(printer);
    if (m.widthMM <= 0 || m.heightMM <= 0)
        throw Error(QStringLiteral("プリンタの情報を読み取っていないため、余白をドットに換算できません"));
    const int pw = printer.pageWidth();
    const int ph = printer.pageHeight();
    s.topDots = textToDots(s.topText, ph, m.heightMM, m.topDots);
    s.bottomDots = textToDots(s.bottomText, ph, m.heightMM, m.bottomDots);
    s.rightDots = textToDots(s.rightText, pw, m.widthMM, m.rightDots);
    s.leftDots = textToDots(s.leftText, pw, m.widthMM, m.leftDots);
    s.verticalSpacingDots = textToDots(s.verticalSpacingText, ph, m.heightMM, 0);
    s.horizontalSpacingDots = textToDots(s.horizontalSpacingText, pw, m.widthMM, 0);
}

QString formatFixed(double value, int precision, int digits)
{
    if (!std::isfinite(value))
        return QString::number(value);
    precision = std::clamp(precision, 1, 18);
    digits = std::clamp(digits, 0, 18);

    // The exact decimal expansion of the binary value, so that the single rounding below sees
    // every digit (glibc prints doubles exactly).
    const double magnitude = std::fabs(value);
    // The largest finite double has 309 integer digits: 309 + '.' + 60 decimals fit.
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.60f", magnitude);
    const std::string text(buffer);
    const size_t point = text.find('.');
    std::string all = text.substr(0, point) + text.substr(point + 1); // digits without the point
    int pointPos = static_cast<int>(point);

    // Decimal exponent e with value = 0.d1d2... x 10^e, counted from the first non-zero digit.
    const size_t firstSignificant = all.find_first_not_of('0');
    if (firstSignificant != std::string::npos) {
        const int exponent = pointPos - static_cast<int>(firstSignificant);
        // One rounding to whichever is fewer: `precision` significant digits or `digits`
        // decimals; halves round away from zero. Rounding twice would turn 4.23496 into 4.24.
        const int keepDecimals = std::min(digits, precision - exponent);
        const int cut = pointPos + keepDecimals; // index of the first digit dropped
        if (cut < 0) {
            all.assign(all.size(), '0');
        } else if (cut < static_cast<int>(all.size())) {
            const bool up = all[static_cast<size_t>(cut)] >= '5';
            for (size_t i = static_cast<size_t>(cut); i < all.size(); ++i)
                all[i] = '0';
            int i = cut - 1;
            for (; up && i >= 0; --i) {
                if (all[static_cast<size_t>(i)] == '9') {
                    all[static_cast<size_t>(i)] = '0';
                } else {
                    ++all[static_cast<size_t>(i)];
                    break;
                }
            }
            if (up && i < 0) { // 9.99 -> 10.00: the carry adds a digit in front
                all.insert(all.begin(), '1');
                ++pointPos;
            }
        }
    }

    std::string integerPart = all.substr(0, static_cast<size_t>(pointPos));
    integerPart.erase(0, std::min(integerPart.find_first_not_of('0'), integerPart.size()));
    if (integerPart.empty())
        integerPart.push_back('0'); // (assigning "0" here draws a false -Wrestrict from GCC 12 at -O3)
    std::string fraction = all.substr(static_cast<size_t>(pointPos), static_cast<size_t>(digits));
    fraction.resize(static_cast<size_t>(digits), '0');
    const bool zero = all.find_first_not_of('0') == std::string::npos;
    std::string result = (value < 0 && !zero ? "-" : "") + integerPart; // no "-0.00"
    if (digits > 0)
        result += '.' + fraction;
    return QString::fromLatin1(result.c_str());
}

double parseDecimal(const QString &text)
{
    const std::optional<long double> v = readDecimal(text);
    if (!v || !std::isfinite(static_cast<double>(*v)))
        throw ConversionError(text);
    return static_cast<double>(*v);
}

} // namespace quiltana
