// The page setup record, the printer metrics and the millimetre-to-dot conversion.
#include "error.h"
#include "pagesetup.h"
#include "printer.h"
#include "runstate.h"
#include "testprinter.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace quiltana {
namespace {

using test::TestPrinter;

// A fresh run with the test printer as its printer.
class PageSetupTest : public ::testing::Test {
protected:
    void SetUp() override { run.printer = &printer; }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    void setTexts(const QString &top, const QString &bottom, const QString &left, const QString &right,
                  const QString &vertical, const QString &horizontal)
    {
        PageSetup &s = run.pageSetup;
        s.topText = top;
        s.bottomText = bottom;
        s.leftText = left;
        s.rightText = right;
        s.verticalSpacingText = vertical;
        s.horizontalSpacingText = horizontal;
    }

    TestPrinter printer; // page 4760 x 6779 dots on a 4960 x 7015 sheet, 201 x 287 mm
    RunState run;
};

TEST_F(PageSetupTest, TestPrinterBorders)
{
    ReadPrinterMetrics(run.printerMetrics, CurrentPrinter(run));
    const PrinterMetrics &m = run.printerMetrics;
    EXPECT_EQ(m.topDots, 100);
    EXPECT_EQ(m.bottomDots, 136);
    EXPECT_EQ(m.leftDots, 100);
    EXPECT_EQ(m.rightDots, 100);
    EXPECT_EQ(m.widthMM, 201);
    EXPECT_EQ(m.heightMM, 287);
    // Border dots over dots per millimetre: 6779 / 287 = 23.62 down, 4760 / 201 = 23.68 across.
    EXPECT_NEAR(m.topMM, 4.23366, 1e-5);
    EXPECT_NEAR(m.bottomMM, 5.75778, 1e-5);
    EXPECT_NEAR(m.leftMM, 4.22269, 1e-5);
    EXPECT_NEAR(m.rightMM, 4.22269, 1e-5);
}

// Each text in dots: the millimetres times the dots per millimetre of its axis (6779 / 287 down,
// 4760 / 201 across) less the border of its own side (100 top, 136 bottom, 100 left and right),
// truncated toward zero; the spacings have no border to subtract.
TEST_F(PageSetupTest, MarginAndSpacingTextsInDots)
{
    const struct {
        const char *name;
        const char *top, *bottom, *left, *right, *vertical, *horizontal;
        int topDots, bottomDots, leftDots, rightDots, verticalDots, horizontalDots;
    } rows[] = {
        // 10 mm: 236.2 - 100 = 136 and 236.2 - 136 = 100 down, 236.8 - 100 = 136 across; 1 mm: 23.6 and 23.7
        {"ten millimetres and one", "10", "10", "10", "10", "1", "1", 136, 100, 136, 136, 23, 23},
        {"zero is minus the border", "0", "0", "0", "0", "0", "0", -100, -136, -100, -100, 0, 0},
        // 4 mm: 94.48 - 100 = -5.52, which truncates to -5 where flooring would give -6
        {"truncated toward zero", "4", "4", "4", "4", "-1", "0.5", -5, -41, -5, -5, -23, 11},
    };
    ReadPrinterMetrics(run.printerMetrics, CurrentPrinter(run));
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        setTexts(row.top, row.bottom, row.left, row.right, row.vertical, row.horizontal);
        DotMarginsFromTexts(run.pageSetup, run.printerMetrics, CurrentPrinter(run));
        const PageSetup &s = run.pageSetup;
        EXPECT_EQ(s.topDots, row.topDots);
        EXPECT_EQ(s.bottomDots, row.bottomDots);
        EXPECT_EQ(s.leftDots, row.leftDots);
        EXPECT_EQ(s.rightDots, row.rightDots);
        EXPECT_EQ(s.verticalSpacingDots, row.verticalDots);
        EXPECT_EQ(s.horizontalSpacingDots, row.horizontalDots);
    }
}

TEST_F(PageSetupTest, CaptionPositionsAreTheSixRadioButtonsOnly)
{
    for (int value = -2; value <= 7; ++value)
        EXPECT_EQ(isCaptionPosition(static_cast<CaptionPosition>(value)), value >= 0 && value < 6) << value;
    // The record starts on one of them, and the first show moves it to another.
    const PageSetup &s = run.pageSetup;
    ASSERT_TRUE(isCaptionPosition(s.captionPosition));
    const CaptionPosition start = s.captionPosition;
    SetPageSetupDefaults(run.pageSetup, run.printerMetrics, CurrentPrinter(run));
    EXPECT_TRUE(isCaptionPosition(s.captionPosition));
    EXPECT_NE(s.captionPosition, start);
    // The printed font and the copy the font command starts from begin alike.
    EXPECT_EQ(s.captionFont, s.captionFontCopy);
}

TEST_F(PageSetupTest, FirstShowDefaultsTouchOnlyTextsAndCaptionSettings)
{
    PageSetup &s = run.pageSetup;
    s.frameOption = true;
    s.captionOption = false;
    s.captionFont.pointSize = 14;
    s.transparentCaptions = true;
    s.captionExtension = true;

    SetPageSetupDefaults(run.pageSetup, run.printerMetrics, CurrentPrinter(run));

    EXPECT_EQ(s.topText, QStringLiteral("4.23"));    // 4.2337 mm
    EXPECT_EQ(s.bottomText, QStringLiteral("5.76")); // 5.7578 mm
    EXPECT_EQ(s.leftText, QStringLiteral("4.22"));   // 4.2227 mm
    EXPECT_EQ(s.rightText, QStringLiteral("4.22"));
    EXPECT_EQ(s.verticalSpacingText, QStringLiteral("1"));
    EXPECT_EQ(s.horizontalSpacingText, QStringLiteral("1"));
    EXPECT_EQ(s.captionPosition, CaptionPosition::BottomLeft);
    EXPECT_FALSE(s.transparentCaptions);
    EXPECT_FALSE(s.captionExtension);
    // Not touched:
    EXPECT_EQ(s.topDots, 10);
    EXPECT_EQ(s.horizontalSpacingDots, 10);
    EXPECT_TRUE(s.frameOption);
    EXPECT_FALSE(s.captionOption);
    EXPECT_EQ(s.captionFont.pointSize, 14);
}

TEST_F(PageSetupTest, DefaultTextOfASixthOfAnInchBorder)
{
    // 127 dots at 3000 dots for 100 mm: 4.2333 mm
    printer.setMetrics(2400, 3000, 2520, 3254, 60, 127, 80, 100, 762);
    SetPageSetupDefaults(run.pageSetup, run.printerMetrics, CurrentPrinter(run));
    EXPECT_NEAR(run.printerMetrics.topMM, 4.23333, 1e-5);
    EXPECT_EQ(run.pageSetup.topText, QStringLiteral("4.23"));
}

TEST_F(PageSetupTest, DefaultTextsGiveMarginsWithinOneDotOfZero)
{
    SetPageSetupDefaults(run.pageSetup, run.printerMetrics, CurrentPrinter(run));
    DotMarginsFromTexts(run.pageSetup, run.printerMetrics, CurrentPrinter(run));
    const PageSetup &s = run.pageSetup;
    for (int dots : {s.topDots, s.bottomDots, s.leftDots, s.rightDots})
        EXPECT_LE(std::abs(dots), 1) << dots;
    EXPECT_EQ(s.verticalSpacingDots, 23);
}

TEST_F(PageSetupTest, UnequalLeftAndRightBordersEachSubtractTheirOwn)
{
    // left border 80, right border 4960 - 4700 - 80 = 180
    printer.setMetrics(4700, 6779, 4960, 7015, 80, 100, 199, 287);
    ReadPrinterMetrics(run.printerMetrics, CurrentPrinter(run));
    EXPECT_EQ(run.printerMetrics.leftDots, 80);
    EXPECT_EQ(run.printerMetrics.rightDots, 180);
    setTexts("0", "0", "0", "0", "1", "1");
    DotMarginsFromTexts(run.pageSetup, run.printerMetrics, CurrentPrinter(run));
    EXPECT_EQ(run.pageSetup.leftDots, -80);
    EXPECT_EQ(run.pageSetup.rightDots, -180);
}

TEST_F(PageSetupTest, ChangedPrinterKeepsTheTextsButConvertsWithItsOwnSize)
{
    SetPageSetupDefaults(run.pageSetup, run.printerMetrics, CurrentPrinter(run));
    const QString topBefore = run.pageSetup.topText;
    TestPrinter other;
    other.setMetrics(2380, 3390, 2480, 3508, 50, 59, 201, 287, 300);
    run.printer = &other;
    ReadPrinterMetrics(run.printerMetrics, CurrentPrinter(run));
    EXPECT_EQ(run.pageSetup.topText, topBefore);
    run.pageSetup.topText = QStringLiteral("10");
    DotMarginsFromTexts(run.pageSetup, run.printerMetrics, CurrentPrinter(run));
    EXPECT_EQ(run.pageSetup.topDots, 59); // 10 x 3390 / 287 = 118.1 - 59
}

TEST_F(PageSetupTest, TextThatIsNoNumberStopsTheConversionWhereItStands)
{
    ReadPrinterMetrics(run.printerMetrics, CurrentPrinter(run));
    PageSetup &s = run.pageSetup;
    s.topDots = s.bottomDots = s.leftDots = s.rightDots = 777;
    s.verticalSpacingDots = s.horizontalSpacingDots = 777;
    // Order of conversion: top, bottom, right, left, vertical, horizontal.
    setTexts("10", "10", "abc", "10", "1", "1"); // the left text is the bad one
    try {
        DotMarginsFromTexts(run.pageSetup, run.printerMetrics, CurrentPrinter(run));
        FAIL() << "no ConversionError";
    } catch (const ConversionError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("「abc」"))) << e.message().toStdString();
    }
    EXPECT_EQ(s.topDots, 136);
    EXPECT_EQ(s.bottomDots, 100);
    EXPECT_EQ(s.rightDots, 136);
    EXPECT_EQ(s.leftDots, 777);
    EXPECT_EQ(s.verticalSpacingDots, 777);
    EXPECT_EQ(s.horizontalSpacingDots, 777);
}

TEST_F(PageSetupTest, EmptyAndOddTextsAreNoNumbers)
{
    ReadPrinterMetrics(run.printerMetrics, CurrentPrinter(run));
    for (const char *text : {"", "  ", "1,2,3", "10mm", "inf", "nan", "--1", "1e99999", "０"}) {
        setTexts(text, "1", "1", "1", "1", "1");
        EXPECT_THROW(DotMarginsFromTexts(run.pageSetup, run.printerMetrics, CurrentPrinter(run)), ConversionError) << text;
    }
}

TEST_F(PageSetupTest, AcceptedNumberForms)
{
    const struct {
        const char *text;
        double value;
    } rows[] = {{" 4.5 ", 4.5}, {"+4.5", 4.5}, {"-.5", -0.5}, {"1e1", 10.0}, {"7.", 7.0}};
    for (const auto &row : rows)
        EXPECT_DOUBLE_EQ(parseDecimal(QString::fromLatin1(row.text)), row.value) << row.text;
}

TEST_F(PageSetupTest, LocaleDecimalSeparatorIsAccepted)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_DOUBLE_EQ(parseDecimal(QStringLiteral("4,5")), 4.5);
    EXPECT_DOUBLE_EQ(parseDecimal(QStringLiteral("4.5")), 4.5);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    // A comma is no separator here, and never a thousands separator that turns 4,5 into 45.
    EXPECT_THROW((void)parseDecimal(QStringLiteral("4,5")), ConversionError);
}

TEST_F(PageSetupTest, DistanceBeyondAnyPageIsRefused)
{
    ReadPrinterMetrics(run.printerMetrics, CurrentPrinter(run));
    setTexts("1e12", "1", "1", "1", "1", "1");
    run.pageSetup.topDots = 5;
    EXPECT_THROW(DotMarginsFromTexts(run.pageSetup, run.printerMetrics, CurrentPrinter(run)), Error);
    EXPECT_EQ(run.pageSetup.topDots, 5);
}

TEST_F(PageSetupTest, PrinterReportingZeroSizeIsRefusedAndMetricsStay)
{
    ReadPrinterMetrics(run.printerMetrics, CurrentPrinter(run));
    const PrinterMetrics before = run.printerMetrics;
    struct Broken {
        const char *what;
        int pageW, pageH, widthMM, heightMM;
    };
    for (const Broken &b : {Broken{"page width", 0, 6779, 201, 287}, Broken{"page height", 4760, 0, 201, 287},
                            Broken{"width mm", 4760, 6779, 0, 287}, Broken{"height mm", 4760, 6779, 201, 0}}) {
        TestPrinter broken;
        broken.setMetrics(b.pageW, b.pageH, 4960, 7015, 90, 90, b.widthMM, b.heightMM);
        EXPECT_THROW(ReadPrinterMetrics(run.printerMetrics, broken), Error) << b.what;
        const PrinterMetrics &m = run.printerMetrics;
        EXPECT_EQ(m.topDots, before.topDots) << b.what;
        EXPECT_EQ(m.leftDots, before.leftDots) << b.what;
        EXPECT_EQ(m.bottomDots, before.bottomDots) << b.what;
        EXPECT_EQ(m.widthMM, before.widthMM) << b.what;
        EXPECT_DOUBLE_EQ(m.topMM, before.topMM) << b.what;

        setTexts("10", "10", "10", "10", "1", "1");
        run.pageSetup.topDots = 42;
        EXPECT_THROW(DotMarginsFromTexts(run.pageSetup, run.printerMetrics, broken), Error) << b.what;
        EXPECT_EQ(run.pageSetup.topDots, 42) << b.what;
    }
}

TEST_F(PageSetupTest, NoPrinterInstalledIsAnError)
{
    run.printer = nullptr;
    EXPECT_THROW(ReadPrinterMetrics(run.printerMetrics, CurrentPrinter(run)), Error);
}

// Fixed notation with the given decimals after rounding once to the given significant digits,
// halves away from zero.
TEST(FormatFixed, RuntimeFixedFormatExamples)
{
    const struct {
        double value;
        int precision, decimals;
        const char *text;
        const char *name;
    } rows[] = {
        {4.2333, 5, 2, "4.23", "the default margin text"},
        {12.7, 5, 2, "12.70", "decimals filled with zeros"},
        {123.45, 4, 2, "123.50", "four significant digits first"},
        {10 + 0.1, 4, 2, "10.10", "an arrow step above 10"},
        {4.2336, 5, 2, "4.23", "a border in millimetres"},
        {0, 5, 2, "0.00", "zero"},
        {4.23496, 5, 2, "4.23", "rounded once: five digits first would give 4.2350 and then 4.24"},
        {4.235, 5, 2, "4.24", "stored as 4.23500000000000031"},
        {9.999, 5, 2, "10.00", "a carry into a new digit"},
        {99.996, 5, 2, "100.00", "a carry past the significant digits"},
        {0.125, 5, 2, "0.13", "an exact half rounds up"},
        {-0.125, 5, 2, "-0.13", "and a negative one down"},
        {-0.05, 5, 2, "-0.05", "a small negative value"},
        {-5.7578, 5, 2, "-5.76", "a negative border"},
        {-0.004, 5, 2, "0.00", "rounded to zero: no minus sign"},
        {0.0042, 5, 2, "0.00", "below the last decimal"},
        {0.0051, 5, 2, "0.01", "just above half the last decimal"},
        {123456.0, 5, 2, "123460.00", "more digits than the precision"},
        {3.14159, 5, 0, "3", "no decimals"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(formatFixed(row.value, row.precision, row.decimals), QString::fromLatin1(row.text)) << row.name;
}

} // namespace
} // namespace quiltana
