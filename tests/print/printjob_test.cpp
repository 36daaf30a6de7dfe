#include "printjob.h"

#include "error.h"
#include "printjobfixture.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace quiltana {
namespace {

using test::PrintJobFixture;

PrintDialogValues valuesFromSetup(const PageSetup &s)
{
    PrintDialogValues v;
    v.captionOption = s.captionOption;
    v.frameOption = s.frameOption;
    v.workingFont = s.captionFont;
    v.topText = s.topText;
    v.bottomText = s.bottomText;
    v.leftText = s.leftText;
    v.rightText = s.rightText;
    v.verticalSpacingText = s.verticalSpacingText;
    v.horizontalSpacingText = s.horizontalSpacingText;
    return v;
}

class PrintJob : public PrintJobFixture {
protected:
    void SetUp() override
    {
        PrintJobFixture::SetUp();
        commitSimpleMargins();
        run.pageSetup.captionOption = false; // captions would cover the colours the tests read
    }
    // The colour at the centre of cell `position` of a printed page.
    QColor cellColour(const QImage &page, int position) const
    {
        const auto cells = CellRects(run.document.layoutStyle, printer.pw, printer.ph, dotMargins(), ComposeMode::Print);
        return page.pixelColor(centre(cells[static_cast<std::size_t>(position)]));
    }
    void print(PageRange range, const QString &list = {}, PrintDialogResult result = PrintDialogResult::Print)
    {
        PrintDialogValues v = valuesFromSetup(run.pageSetup);
        v.range = range;
        v.pageList = list;
        FinishPrintCommand(run, result, v, printer);
    }
};

TEST_F(PrintJob, AllPagesOfAThreePageDocumentMakeThreeTitledJobs)
{
    fillCells(2, {picture("a.png", Qt::red), picture("b.png", Qt::green), picture("c.png", Qt::blue),
                  picture("d.png", Qt::yellow), picture("e.png", Qt::cyan)});
    ASSERT_EQ(run.document.pageCount, 3);
    print(PageRange::All);
    ASSERT_EQ(printer.jobs.size(), 3u);
    for (const auto &job : printer.jobs)
        EXPECT_EQ(job.title, "Quiltana Document");
    EXPECT_EQ(cellColour(printer.jobs[0].page, 0), QColor(Qt::red));
    EXPECT_EQ(cellColour(printer.jobs[0].page, 1), QColor(Qt::green));
    EXPECT_EQ(cellColour(printer.jobs[1].page, 0), QColor(Qt::blue));
    EXPECT_EQ(cellColour(printer.jobs[2].page, 0), QColor(Qt::cyan));
    EXPECT_EQ(cellColour(printer.jobs[2].page, 1), QColor(Qt::white)); // past the last picture
    EXPECT_EQ(printer.abortedJobs, 0);
}

TEST_F(PrintJob, PageListPrintsInPageOrder)
{
    fillCells(1, {picture("a.png", Qt::red), picture("b.png", Qt::green), picture("c.png", Qt::blue)});
    print(PageRange::List, QStringLiteral("3,1"));
    ASSERT_EQ(printer.jobs.size(), 2u);
    EXPECT_EQ(cellColour(printer.jobs[0].page, 0), QColor(Qt::red));
    EXPECT_EQ(cellColour(printer.jobs[1].page, 0), QColor(Qt::blue));

    printer.jobs.clear();
    print(PageRange::List, QStringLiteral("5"));
    EXPECT_TRUE(printer.jobs.empty());
    print(PageRange::List, QStringLiteral("1 - 3"));
    EXPECT_EQ(printer.jobs.size(), 3u);
}

TEST_F(PrintJob, CurrentPagePrintsTheSourcePicturesNotTheWorkCopies)
{
    fillCells(1, {picture("a.png", Qt::red), picture("b.png", Qt::green)});
    run.document.cells[1].workPath = picture("b-copy.png", Qt::magenta);
    run.document.currentPage = 1;
    print(PageRange::Current);
    ASSERT_EQ(printer.jobs.size(), 1u);
    EXPECT_EQ(cellColour(printer.jobs[0].page, 0), QColor(Qt::green));
}

TEST_F(PrintJob, FramesAreDrawnRoundEveryCellEmptyOnesIncluded)
{
    fillCells(4, {picture("a.png", Qt::red)});
    run.pageSetup.frameOption = true;
    run.pageSetup.leftText = QStringLiteral("5"); // 10 dots inside the printable area
    run.pageSetup.topText = QStringLiteral("5");
    print(PageRange::Current);
    ASSERT_EQ(printer.jobs.size(), 1u);
    const QImage &page = printer.jobs[0].page;
    const auto cells = CellRects(4, printer.pw, printer.ph, dotMargins(), ComposeMode::Print);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const Rect &r = cells[i];
        const QPoint c = centre(r);
        EXPECT_EQ(page.pixel(c.x(), r.top), qRgb(0, 0, 0)) << i;
        EXPECT_EQ(page.pixel(c.x(), r.bottom - 1), qRgb(0, 0, 0)) << i;
        EXPECT_EQ(page.pixel(r.left - 1, c.y()), qRgb(255, 255, 255)) << i; // nothing outside
        if (i > 0) { // cell 0's picture fills its width and lies over the sides of its frame
            EXPECT_EQ(page.pixel(r.left, c.y()), qRgb(0, 0, 0)) << i;
            EXPECT_EQ(page.pixel(r.right - 1, c.y()), qRgb(0, 0, 0)) << i;
        }
    }
    EXPECT_EQ(page.pixel(centre(cells[0])), qRgb(255, 0, 0));
    EXPECT_EQ(page.pixel(centre(cells[3])), qRgb(255, 255, 255)); // an empty cell is white inside
    // Printing flags every position of the largest layout, beyond the page's own cells too.
    for (int p = 4; p < 50; ++p)
        EXPECT_EQ(run.document.page.redraw[static_cast<std::size_t>(p)], Redraw::Draw) << p;
}

TEST_F(PrintJob, WithoutTheFrameOptionNoFrameIsPrinted)
{
    fillCells(4, {});
    run.pageSetup.frameOption = false;
    print(PageRange::Current);
    ASSERT_EQ(printer.jobs.size(), 1u); // a blank page is still a job
    const QImage &page = printer.jobs[0].page;
    QImage white(page.size(), page.format());
    white.fill(Qt::white);
    EXPECT_EQ(page, white);
}

TEST_F(PrintJob, AFailingPictureAbortsItsJobAndStopsTheRange)
{
    fillCells(1, {picture("a.png", Qt::red), brokenPicture("b.png"), picture("c.png", Qt::blue)});
    int begun = 0, done = 0;
    PrintBusyHooks hooks{[&] { ++begun; }, [&] { ++done; }, {}, {}, {}};
    PrintDialogValues v = valuesFromSetup(run.pageSetup);
    v.range = PageRange::All;
    EXPECT_THROW(FinishPrintCommand(run, PrintDialogResult::Print, v, printer, hooks), Error);
    EXPECT_EQ(printer.jobs.size(), 1u); // page 1 only
    EXPECT_EQ(printer.abortedJobs, 1);  // page 2 was not sent half drawn
    EXPECT_FALSE(printer.jobOpen);
    EXPECT_EQ(begun, 2);
    EXPECT_EQ(done, 2); // the busy cursor ended for the failed page too
}

TEST_F(PrintJob, StoppingAfterTwoOfFivePagesSendsTwoWholeJobsAndNoMore)
{
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan};
    QStringList paths;
    for (int i = 0; i < 5; ++i)
        paths << picture(QStringLiteral("p%1.png").arg(i), colours[i]);
    fillCells(1, paths);
    std::vector<std::pair<int, int>> asked; // (index, count), asked only between jobs
    PrintBusyHooks hooks;
    hooks.nextPage = [&](const PrintStep &step) {
        asked.emplace_back(step.index, step.count);
        EXPECT_EQ(step.page, step.index); // every page in order: the n-th is page n
        EXPECT_FALSE(printer.jobOpen);
        EXPECT_EQ(static_cast<int>(printer.jobs.size()), step.index - 1); // the pages before it are sent
        return step.index <= 2;
    };
    PrintDialogValues v = valuesFromSetup(run.pageSetup);
    v.range = PageRange::All;
    FinishPrintCommand(run, PrintDialogResult::Print, v, printer, hooks);

    ASSERT_EQ(printer.jobs.size(), 2u);
    // Nothing is asked once the run has stopped.
    EXPECT_EQ(asked, (std::vector<std::pair<int, int>>{{1, 5}, {2, 5}, {3, 5}}));
    EXPECT_EQ(printer.abortedJobs, 0);
    EXPECT_FALSE(printer.jobOpen);
    // Both sent pages are whole: their one picture fills the cell.
    EXPECT_EQ(cellColour(printer.jobs[0].page, 0), QColor(Qt::red));
    EXPECT_EQ(cellColour(printer.jobs[1].page, 0), QColor(Qt::green));

    // Stopping before the first page prints nothing at all; PrintPages says how many it sent.
    printer.jobs.clear();
    hooks.nextPage = [](const PrintStep &) { return false; };
    EXPECT_EQ(PrintPages(run.document, run.pageSetup, {0, 1, 2}, false, printer, hooks).printed, 0);
    EXPECT_TRUE(printer.jobs.empty());
    hooks.nextPage = [](const PrintStep &step) { return step.index != 3; };
    EXPECT_EQ(PrintPages(run.document, run.pageSetup, {4, 0, 1, 2}, false, printer, hooks).printed, 2);
    ASSERT_EQ(printer.jobs.size(), 2u);
    EXPECT_EQ(cellColour(printer.jobs[0].page, 0), QColor(Qt::cyan));
}

TEST_F(PrintJob, APrinterThatCannotStartAJobReportsIt)
{
    fillCells(1, {picture("a.png", Qt::red)});
    printer.failBegin = true;
    int done = 0;
    PrintDialogValues v = valuesFromSetup(run.pageSetup);
    EXPECT_THROW(FinishPrintCommand(run, PrintDialogResult::Print, v, printer, {{}, [&] { ++done; }, {}, {}, {}}), Error);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(printer.abortedJobs, 0);
}

TEST_F(PrintJob, CloseCommitsWithoutPrintingAndCancelChangesNothing)
{
    fillCells(1, {picture("a.png", Qt::red)});
    PrintDialogValues v = valuesFromSetup(run.pageSetup);
    v.frameOption = true;
    v.captionPosition = CaptionPosition::TopRight;
    v.topText = QStringLiteral("12.5");

    const PageSetup before = run.pageSetup;
    FinishPrintCommand(run, PrintDialogResult::Cancel, v, printer);
    EXPECT_EQ(run.pageSetup.topText, before.topText);
    EXPECT_EQ(run.pageSetup.topDots, before.topDots);
    EXPECT_FALSE(run.pageSetup.frameOption);

    FinishPrintCommand(run, PrintDialogResult::Close, v, printer);
    EXPECT_TRUE(printer.jobs.empty());
    EXPECT_TRUE(run.pageSetup.frameOption);
    EXPECT_EQ(run.pageSetup.captionPosition, CaptionPosition::TopRight);
    EXPECT_EQ(run.pageSetup.topText, "12.5");
    EXPECT_EQ(run.pageSetup.topDots, 40); // 12.5 mm at 4 dots per mm, less the 10 unprintable dots
}

TEST_F(PrintJob, CommitConvertsTheMarginsOfTheWorkedExample)
{
    printer.setMetrics(4760, 6779, 4960, 7015, 100, 100, 201, 287, 600);
    ReadPrinterMetrics(run.printerMetrics, printer);
    PrintDialogValues v;
    v.topText = v.bottomText = v.leftText = v.rightText = QStringLiteral("10");
    v.verticalSpacingText = v.horizontalSpacingText = QStringLiteral("1");
    v.captionOption = true;
    v.captionExtension = true;
    v.transparentCaptions = true;
    v.captionPosition = CaptionPosition::BottomRight;
    v.workingFont.face = QStringLiteral("IPAPGothic");
    v.workingFont.pointSize = 14;
    CommitPrintDialog(run.pageSetup, run.printerMetrics, v, printer);
    const PageSetup &s = run.pageSetup;
    EXPECT_EQ(s.topDots, 136);
    EXPECT_EQ(s.bottomDots, 100);
    EXPECT_EQ(s.leftDots, 136);
    EXPECT_EQ(s.rightDots, 136);
    EXPECT_EQ(s.verticalSpacingDots, 23);
    EXPECT_EQ(s.horizontalSpacingDots, 23);
    EXPECT_TRUE(s.captionExtension);
    EXPECT_TRUE(s.transparentCaptions);
    EXPECT_EQ(s.captionPosition, CaptionPosition::BottomRight);
    EXPECT_EQ(s.captionFont, v.workingFont);
    EXPECT_NE(s.captionFontCopy, v.workingFont); // the copy changes only through the font dialogs
}

TEST_F(PrintJob, AMarginThatIsNoNumberStopsTheCommandBeforePrinting)
{
    fillCells(1, {picture("a.png", Qt::red)});
    PrintDialogValues v = valuesFromSetup(run.pageSetup);
    v.frameOption = true;
    v.leftText = QStringLiteral("abc");
    EXPECT_THROW(FinishPrintCommand(run, PrintDialogResult::Print, v, printer), ConversionError);
    EXPECT_TRUE(printer.jobs.empty());
    EXPECT_TRUE(run.pageSetup.frameOption); // what was taken over stays
    EXPECT_EQ(run.pageSetup.leftText, "abc");
}

TEST(PrintPageLists, TheLastPageReadsCellsPastTheTableAsEmpty)
{
    Document doc;
    doc.layoutStyle = 6; // page 166 covers cells 996..1001
    for (int c = 996; c < 1000; ++c)
        doc.cells[static_cast<std::size_t>(c)].picturePath = QStringLiteral("/p/%1.png").arg(c);
    doc.cells[999].orientation = Turn::Left;
    doc.page.workPath[4] = QStringLiteral("stale");
    LoadPrintPageLists(doc, 166);
    EXPECT_EQ(doc.page.workPath[0], "/p/996.png");
    EXPECT_EQ(doc.page.workPath[3], "/p/999.png");
    EXPECT_EQ(doc.page.orientation[3], Turn::Left);
    EXPECT_TRUE(doc.page.workPath[4].isEmpty());
    EXPECT_TRUE(doc.page.workPath[5].isEmpty());
    for (int j = 0; j < 6; ++j)
        EXPECT_EQ(doc.page.redraw[static_cast<std::size_t>(j)], Redraw::Draw);
}

TEST(PrintRange, EachChoiceGivesItsPages)
{
    const struct {
        const char *name;
        PageRange range;
        const char *list;
        int currentPage, pageCount;
        std::vector<int> pages;
    } rows[] = {
        {"current page only", PageRange::Current, "3", 2, 5, {2}},
        {"every page", PageRange::All, "3", 2, 3, {0, 1, 2}},
        {"the listed page", PageRange::List, "3", 2, 5, {2}},
        {"an open range", PageRange::List, "2-", 0, 4, {1, 2, 3}},
    };
    for (const auto &row : rows)
        EXPECT_EQ(PagesToPrint(row.range, row.list, row.currentPage, row.pageCount), row.pages) << row.name;
}

} // namespace
} // namespace quiltana
