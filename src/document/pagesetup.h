#pragma once

#include <QColor>
#include <QString>

namespace quiltana {

class Printer;

// A font as the caption settings hold it: face, size in points, colour and styles.
struct FontSpec {
    QString face = QStringLiteral("ＭＳ Ｐゴシック");
    int pointSize = 9;
    QColor color = QColor(0, 0, 0); // the window text colour
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;

    friend bool operator==(const FontSpec &, const FontSpec &) = default;
};

// Where a caption stands on its picture. The values are the print dialog's radio buttons in
// their order; a value outside them draws no caption.
enum class CaptionPosition : int {
    TopLeft = 0,
    BottomLeft = 1,
    TopCentre = 2,
    BottomCentre = 3,
    TopRight = 4,
    BottomRight = 5,
};

inline constexpr int kCaptionPositionCount = 6;

// Whether `position` is one of the six positions.
[[nodiscard]] constexpr bool isCaptionPosition(CaptionPosition position)
{
    return static_cast<int>(position) >= 0 && static_cast<int>(position) < kCaptionPositionCount;
}

// How a page is laid out on paper, apart from the layout style.
struct PageSetup {
    // millimetre texts, as the user edits them
    QString topText, bottomText, leftText, rightText;
    QString verticalSpacingText, horizontalSpacingText;
    // the same in printer dots, measured from the printable area's edges
    int topDots = 10, bottomDots = 10, leftDots = 10, rightDots = 10;
    int verticalSpacingDots = 10, horizontalSpacingDots = 10;

    bool frameOption = false;
    bool captionOption = true;
    FontSpec captionFont;
    FontSpec captionFontCopy;
    CaptionPosition captionPosition = CaptionPosition::TopLeft;
    bool transparentCaptions = false;
    bool captionExtension = false;
};

// The current printer's unprintable border and printable size.
struct PrinterMetrics {
    int topDots = 0, leftDots = 0, bottomDots = 0, rightDots = 0;
    int widthMM = 0, heightMM = 0;
    double topMM = 0, bottomMM = 0, leftMM = 0, rightMM = 0;
};

// Printer page size remembered at first show and after printer setup (About box shows it).
struct PageSizeCache {
    int width = 0;
    int height = 0;
};

// Refreshes `metrics` from `printer`. A printer reporting a zero page size or a zero
// millimetre size throws Error and leaves the metrics as they were.
void ReadPrinterMetrics(PrinterMetrics &metrics, Printer &printer);

// ReadPrinterMetrics, then the first-show defaults of the texts and caption settings of `setup`.
void SetPageSetupDefaults(PageSetup &setup, PrinterMetrics &metrics, Printer &printer);

// Six dot values of `setup` from its six texts, in order top, bottom, right, left, vertical,
// horizontal, against `metrics` (read from `printer`). A text that is not a number throws
// ConversionError (a distance beyond the int range throws Error); values converted before it
// keep theirs.
void DotMarginsFromTexts(PageSetup &setup, const PrinterMetrics &metrics, Printer &printer);

// The runtime's fixed format: `value` rounded once, to `precision` significant digits or to
// `digits` decimals, whichever keeps fewer, then written with `digits` decimals and '.'.
// formatFixed(4.2333, 5, 2) == "4.23", formatFixed(123.45, 4, 2) == "123.50",
// formatFixed(10.1, 4, 2) == "10.10". A value that rounds to zero has no minus sign.
[[nodiscard]] QString formatFixed(double value, int precision, int digits);

// Reads a decimal number as the runtime does (blanks around it allowed, '.' or the locale's
// separator); throws ConversionError quoting the text when it is not one.
[[nodiscard]] double parseDecimal(const QString &text);

} // namespace quiltana
