#include "testprinter.h"

#include "error.h"

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

QPainter *TestPrinter::beginDocument(const QString &title)
{
    if (failBegin)
        throw Error(QStringLiteral("The test printer refuses to start a job."));
    if (jobOpen)
        throw Error(QStringLiteral("A print job is already open."));
    current_ = QImage(pw, ph, QImage::Format_RGB32);
    current_.setDotsPerMeterX(qRound(dpiX / 0.0254));
    current_.setDotsPerMeterY(qRound(dpiY / 0.0254));
    current_.fill(Qt::white);
    currentTitle_ = title;
    painter_ = std::make_unique<QPainter>(&current_);
    jobOpen = true;
    return painter_.get();
}

void TestPrinter::endDocument()
{
    painter_.reset();
    jobs.push_back({currentTitle_, current_});
    current_ = QImage();
    jobOpen = false;
}

void TestPrinter::abortDocument()
{
    painter_.reset();
    current_ = QImage();
    ++abortedJobs;
    jobOpen = false;
}

} // namespace quiltana::test
