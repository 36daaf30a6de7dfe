#include "testprinter.h"

#include "document.h"
#include "error.h"
#include "pagesetup.h"

#include <algorithm>
#include <utility>

namespace quiltana::test {

TestPrinter::TestPrinter() { setMetrics(4760, 6779, 4960, 7015, 100, 100, 201, 287, 600); }

void TestPrinter::setMetrics(int pageW, int pageH, int physicalW, int physicalH, int offsetX_,
                             int offsetY_, int widthMM_, int heightMM_, int dpi)
{
    pw = pageW;
    ph = pageH;
    fullW = physicalW;
    fullH = physicalH;
    offX = offsetX_;
    offY = offsetY_;
    mmW = widthMM_;
    mmH = heightMM_;
    dpiX = dpiY = dpi;
}

void TestPrinter::setOrientation(Orientation o)
{
    if (o == orient)
        return;
    std::swap(pw, ph);
    std::swap(fullW, fullH);
    std::swap(offX, offY);
    std::swap(mmW, mmH);
    std::swap(dpiX, dpiY);
    orient = o;
}

Printer::Setup TestPrinter::setup() const { return Setup{printerName, outputFile, paper, orient}; }

QList<QPageSize> TestPrinter::paperSizes(const QString &name) const
{
    if (const auto it = papers.find(name); it != papers.end())
        return it->second;
    return {QPageSize(QPageSize::A4), QPageSize(QPageSize::A5), QPageSize(QPageSize::Letter)};
}

void TestPrinter::applySetup(const Setup &s)
{
    if (jobOpen)
        throw Error(QStringLiteral("A print job is open."));
    if (!s.printerName.isEmpty() && !installed.contains(s.printerName))
        throw Error(QStringLiteral("No printer \"%1\".").arg(s.printerName));
    const QList<QPageSize> offered = paperSizes(s.printerName);
    if (std::none_of(offered.begin(), offered.end(), [&](const QPageSize &p) { return p.isEquivalentTo(s.paper); }))
        throw Error(QStringLiteral("\"%1\" does not take %2.").arg(s.printerName, s.paper.name()));

    setOrientation(Orientation::Portrait);
    if (!s.paper.isEquivalentTo(paper)) {
        const int right = fullW - pw - offX;
        const int bottom = fullH - ph - offY;
        const QSize sheet = s.paper.sizePixels(dpiX);
        fullW = sheet.width();
        fullH = sheet.height();
        pw = fullW - offX - right;
        ph = fullH - offY - bottom;
        mmW = pw * 254 / (dpiX * 10); // as the default A4 page: 4760 dots at 600 dpi are 201 mm
        mmH = ph * 254 / (dpiY * 10);
    }
    paper = s.paper;
    printerName = s.printerName;
    outputFile = s.outputFile;
    setOrientation(s.orientation);
    ++setupsApplied;
}

QPainter *TestPrinter::beginDocument(const QString &title)
{
    if (failBegin)
        throw Error(QStringLiteral("The test printer refuses to start a job."));
    if (jobOpen)
        throw Error(QStringLiteral("A print job is already open."));
    currentTitle_ = title;
    donePages_.clear();
    startPage();
    jobOpen = true;
    return painter_.get();
}

void TestPrinter::startPage()
{
    painter_.reset();
    current_ = QImage(pw, ph, QImage::Format_RGB32);
    current_.setDotsPerMeterX(qRound(dpiX / 0.0254));
    current_.setDotsPerMeterY(qRound(dpiY / 0.0254));
    current_.fill(Qt::white);
    painter_ = std::make_unique<QPainter>(&current_);
}

QPainter *TestPrinter::newPage()
{
    if (!jobOpen)
        throw Error(QStringLiteral("No print job is open."));
    painter_.reset();
    donePages_.push_back(current_);
    startPage();
    return painter_.get();
}

void TestPrinter::endDocument()
{
    painter_.reset();
    std::vector<QImage> pages = std::move(donePages_);
    pages.push_back(current_);
    Job job{currentTitle_, pages.front(), {}, printerName.isEmpty() ? outputFile : QString()};
    job.morePages.assign(pages.begin() + 1, pages.end());
    jobs.push_back(std::move(job));
    donePages_.clear();
    current_ = QImage();
    jobOpen = false;
}

void TestPrinter::abortDocument()
{
    painter_.reset();
    current_ = QImage();
    donePages_.clear();
    ++abortedJobs;
    jobOpen = false;
}

QString TestQueueName()
{
    return qEnvironmentVariable("QUILTANA_TEST_PRINTER", QStringLiteral("QuiltanaTest"));
}

} // namespace quiltana::test
