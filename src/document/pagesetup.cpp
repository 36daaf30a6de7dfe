#include "pagesetup.h"

#include "error.h"
#include "printer.h"

#include <QLocale>

#include <cmath>
#include <cstdio>

namespace quiltana {

PageSetup &pageSetup()
{
    static PageSetup instance;
    return instance;
}

PrinterMetrics &printerMetrics()
{
    static PrinterMetrics instance;
    return instance;
}

PageSizeCache &pageSizeCache()
{
    static PageSizeCache instance;
    return instance;
}

namespace {

void requireUsable(const Printer &printer)
{
    if (printer.pageWidth() <= 0 || printer.pageHeight() <= 0 || printer.widthMM() <= 0
        || printer.heightMM() <= 0)
        throw Error(QStringLiteral("The printer \"%1\" reports no usable page size (%2 x %3 dots, "
                                   "%4 x %5 mm) and cannot be used.")
                        .arg(printer.name())
                        .arg(printer.pageWidth())
                        .arg(printer.pageHeight())
                        .arg(printer.widthMM())
                        .arg(printer.heightMM()));
}

// Converts a millimetre text to dots on one axis, truncating toward zero. The product is
// formed before the division, in extended precision.
int textToDots(const QString &text, int pageDots, int printableMM, int unprintableDots)
{
    const long double mm = parseDecimal(text);
    const long double dots = mm * pageDots / printableMM - unprintableDots;
    return static_cast<int>(std::trunc(dots));
}

} // namespace

void ReadPrinterMetrics(Printer &printer)
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
    printerMetrics() = m;
}

void ReadPrinterMetrics() { ReadPrinterMetrics(currentPrinter()); }

void SetPageSetupDefaults(Printer &printer)
{
    ReadPrinterMetrics(printer);
    PageSetup &s = pageSetup();
    const PrinterMetrics &m = printerMetrics();
    s.topText = formatFixed(m.topMM, 5, 2);
    s.bottomText = formatFixed(m.bottomMM, 5, 2);
    s.leftText = formatFixed(m.leftMM, 5, 2);
    s.rightText = formatFixed(m.rightMM, 5, 2);
    s.verticalSpacingText = QStringLiteral("1");
    s.horizontalSpacingText = QStringLiteral("1");
    s.captionPosition = 1;
    s.transparentCaptions = false;
    s.captionExtension = false;
}

void SetPageSetupDefaults() { SetPageSetupDefaults(currentPrinter()); }

void DotMarginsFromTexts(Printer &printer)
{
    requireUsable(printer);
    PageSetup &s = pageSetup();
    const PrinterMetrics &m = printerMetrics();
    if (m.widthMM <= 0 || m.heightMM <= 0)
        throw Error(QStringLiteral("The printer metrics have not been read; the margins cannot be converted."));
    const int pw = printer.pageWidth();
    const int ph = printer.pageHeight();
    s.topDots = textToDots(s.topText, ph, m.heightMM, m.topDots);
    s.bottomDots = textToDots(s.bottomText, ph, m.heightMM, m.bottomDots);
    s.rightDots = textToDots(s.rightText, pw, m.widthMM, m.rightDots);
    s.leftDots = textToDots(s.leftText, pw, m.widthMM, m.leftDots);
    s.verticalSpacingDots = textToDots(s.verticalSpacingText, ph, m.heightMM, 0);
    s.horizontalSpacingDots = textToDots(s.horizontalSpacingText, pw, m.widthMM, 0);
}

void DotMarginsFromTexts() { DotMarginsFromTexts(currentPrinter()); }

QString formatFixed(double value, int precision, int digits)
{
    if (!std::isfinite(value))
        return QString::number(value);
    // Round to `precision` significant digits first, in decimal, then write `digits` decimals.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", precision > 0 ? precision - 1 : 0, value);
    const double rounded = std::strtod(buf, nullptr);
    std::snprintf(buf, sizeof buf, "%.*f", digits, rounded);
    QString text = QString::fromLatin1(buf);
    if (text.startsWith(QLatin1Char('-')) && text.count(QLatin1Char('0')) == text.size() - 2)
        text.remove(0, 1); // "-0.00" reads as "0.00"
    return text;
}

double parseDecimal(const QString &text)
{
    const QString t = text.trimmed();
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double v = c.toDouble(t, &ok);
    if (!ok || !std::isfinite(v))
        throw ConversionError(text);
    return v;
}

} // namespace quiltana
