// Jobs for an installed CUPS printer. These need a running print system with a queue to print
// to (a PDF queue is enough): QUILTANA_TEST_PRINTER names it, "QuiltanaTest" by default. Where
// none is reachable the tests skip.
#include "document.h"
#include "error.h"
#include "pagesetup.h"
#include "printer.h"
#include "printjob.h"
#include "qtprinter.h"
#include "runstate.h"
#include "smalldisk.h"
#include "testprinter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryDir>

#include <cups/cups.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace quiltana {
namespace {

struct QueuedJob {
    int id;
    QString title;
};

// Every job the print system remembers for `queue`, finished ones included.
std::vector<QueuedJob> jobsOn(const QString &queue)
{
    cups_job_t *jobs = nullptr;
    const int n = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.toUtf8().constData(), 0, CUPS_WHICHJOBS_ALL);
    std::vector<QueuedJob> out;
    for (int i = 0; i < n; ++i)
        out.push_back({jobs[i].id, QString::fromUtf8(jobs[i].title)});
    cupsFreeJobs(n, jobs);
    return out;
}

// The real printer, whose jobs can be given a title of their own so that a test finds them
// among the jobs of other tests running at the same time.
class TitledPrinter : public QtPrinter {
public:
    QPainter *beginDocument(const QString &title) override
    {
        return QtPrinter::beginDocument(titleOverride.isEmpty() ? title : titleOverride);
    }
    QString titleOverride;
};

// Temporary job files the printer may have left in the temporary folder (the test's own, see
// SetUp).
QStringList spoolFiles()
{
    return QDir(QDir::tempPath()).entryList({QStringLiteral("quiltana-job-*.pdf")}, QDir::Files);
}

// The value of job attribute `name` of job `id`, "" when the job does not have it.
QString jobAttribute(int id, const char *name)
{
    ipp_t *request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, "localhost", ippPort(), "/jobs/%d",
                     id);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ipp_t *response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/jobs/");
    QString value;
    if (response) {
        if (ipp_attribute_t *attr = ippFindAttribute(response, name, IPP_TAG_ZERO)) {
            char buffer[256];
            ippAttributeString(attr, buffer, sizeof(buffer));
            value = QString::fromUtf8(buffer);
        }
        ippDelete(response);
    }
    return value;
}

class QtPrinterCups : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        queue = test::TestQueueName();
        if (QPrinterInfo::printerInfo(queue).isNull())
            GTEST_SKIP() << "No CUPS printer \"" << queue.toStdString()
                         << "\" is reachable (cupsd not running or no such queue); set one up, e.g. "
                            "lpadmin -p QuiltanaTest -v cups-pdf:/ -E -m <a PDF model from lpinfo -m>";
        // Job files go to this test's own folder, apart from those of tests running alongside.
        tmpChanged = true;
        savedTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(dir.path()));
        ASSERT_EQ(QDir(QDir::tempPath()).canonicalPath(), QDir(dir.path()).canonicalPath());
        ASSERT_TRUE(printer.usePrinter(queue));
        ASSERT_FALSE(printer.printsToFile());
        run.printer = &printer;
        ReadPrinterMetrics(run.printerMetrics, printer);
    }
    void TearDown() override
    {
        if (!tmpChanged)
            return;
        if (savedTmp.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", savedTmp);
    }

    // Cell 0 holds `path`, on a page of four with frames and captions, margins converted.
    void onePicturePage(const QString &path)
    {
        Document &doc = run.document;
        doc.layoutStyle = 4;
        doc.cells[0].picturePath = doc.cells[0].workPath = path;
        doc.lastFilledCell = doc.scanLastFilledCell();
        RefreshPageLists(doc);
        PageSetup &s = run.pageSetup;
        s.captionOption = true;
        s.frameOption = true;
        s.topText = s.bottomText = s.leftText = s.rightText = QStringLiteral("10");
        s.verticalSpacingText = s.horizontalSpacingText = QStringLiteral("5");
        DotMarginsFromTexts(run.pageSetup, run.printerMetrics, printer);
    }

    QTemporaryDir dir;
    QString queue;
    bool tmpChanged = false;
    QByteArray savedTmp;
    TitledPrinter printer;
    RunState run;
};

TEST_F(QtPrinterCups, CanvasIsThePrintersPage)
{
    const QStringList before = spoolFiles();
    QPainter *canvas = printer.beginDocument(QStringLiteral("Quiltana Document"));
    ASSERT_NE(canvas, nullptr);
    // The job is drawn elsewhere first, on a canvas of exactly the printer's printable page.
    ASSERT_NE(canvas->device(), nullptr);
    EXPECT_EQ(canvas->device()->width(), printer.pageWidth());
    EXPECT_EQ(canvas->device()->height(), printer.pageHeight());
    EXPECT_EQ(canvas->device()->logicalDpiX(), printer.resolutionX());
    EXPECT_TRUE(canvas->transform().isIdentity());
    printer.abortDocument();
    EXPECT_EQ(spoolFiles(), before);
    EXPECT_EQ(printer.lastJobId(), 0);
}

// Two pages in a row, as "print all" sends them: each a job of its own, both sent.
TEST_F(QtPrinterCups, FinishedJobsAreSentWithTheirTitle)
{
    QImage img(60, 40, QImage::Format_RGB32);
    img.fill(Qt::red);
    const QString path = dir.filePath(QStringLiteral("red.png"));
    ASSERT_TRUE(img.save(path, "PNG"));
    onePicturePage(path);
    const QStringList before = spoolFiles();

    std::vector<int> sent;
    for (int job = 0; job < 2; ++job) {
        PrintPages(run.document, run.pageSetup, {0}, true, printer);
        sent.push_back(printer.lastJobId());
        EXPECT_TRUE(printer.lastOutputFile().isEmpty());
    }
    EXPECT_GT(sent[0], 0);
    EXPECT_GT(sent[1], sent[0]);
    const std::vector<QueuedJob> known = jobsOn(queue);
    for (const int id : sent) {
        const auto it = std::find_if(known.begin(), known.end(), [id](const QueuedJob &j) { return j.id == id; });
        ASSERT_NE(it, known.end()) << "job " << id << " is not known on " << queue.toStdString();
        EXPECT_EQ(it->title, QString::fromLatin1(kPrintJobTitle));
    }
    // The jobs' temporary files went with them.
    EXPECT_EQ(spoolFiles(), before);
}

// The paper, orientation, copies and two-sided setting chosen in printer setup travel with the
// job, since the job's file carries only the drawing.
TEST_F(QtPrinterCups, JobCarriesThePrinterSettings)
{
    QPrinter *q = printer.printer();
    q->setPageSize(QPageSize(QPageSize::A5));
    if (q->pageLayout().pageSize().id() != QPageSize::A5)
        GTEST_SKIP() << queue.toStdString() << " has no A5 paper";
    printer.setOrientation(Printer::Orientation::Landscape);
    q->setCopyCount(2);
    q->setDuplex(QPrinter::DuplexLongSide);

    QPainter *canvas = printer.beginDocument(QStringLiteral("Quiltana Document"));
    ASSERT_NE(canvas, nullptr);
    EXPECT_EQ(canvas->device()->width(), printer.pageWidth());
    EXPECT_GT(canvas->device()->width(), canvas->device()->height());
    canvas->drawRect(0, 0, printer.pageWidth() / 2, printer.pageHeight() / 2);
    printer.endDocument();
    const int id = printer.lastJobId();
    ASSERT_GT(id, 0);

    EXPECT_EQ(jobAttribute(id, "media").toStdString(), q->pageLayout().pageSize().key().toStdString());
    EXPECT_EQ(jobAttribute(id, "copies").toStdString(), "2");
    // A printer that cannot print on both sides keeps its one-sided setting.
    const bool twoSided = q->duplex() == QPrinter::DuplexLongSide;
    EXPECT_EQ(jobAttribute(id, "sides").toStdString(), twoSided ? "two-sided-long-edge" : "one-sided");
    EXPECT_EQ(jobAttribute(id, "orientation-requested").toStdString(), "landscape");
}

// Printer setup on the queue: a paper from the queue's own list and landscape reach the job as
// its media; PDF files and back again are printers like any other.
TEST_F(QtPrinterCups, PaperChosenInSetupIsTheJobsMedia)
{
    const QList<QPageSize> papers = printer.paperSizes(queue);
    ASSERT_FALSE(papers.isEmpty());
    const auto a5 =
        std::find_if(papers.begin(), papers.end(), [](const QPageSize &p) { return p.id() == QPageSize::A5; });
    if (a5 == papers.end())
        GTEST_SKIP() << queue.toStdString() << " has no A5 paper";
    EXPECT_TRUE(printer.installedPrinters().contains(queue));

    Printer::Setup s = printer.setup();
    EXPECT_EQ(s.printerName, queue);
    s.paper = *a5;
    s.orientation = Printer::Orientation::Landscape;
    printer.applySetup(s);
    EXPECT_TRUE(printer.setup().paper.isEquivalentTo(*a5));
    EXPECT_GT(printer.pageWidth(), printer.pageHeight());
    ReadPrinterMetrics(run.printerMetrics, printer);
    EXPECT_EQ(run.printerMetrics.widthMM, printer.widthMM());

    QPainter *canvas = printer.beginDocument(QStringLiteral("Quiltana Document"));
    ASSERT_NE(canvas, nullptr);
    canvas->drawRect(0, 0, printer.pageWidth() / 2, printer.pageHeight() / 2);
    printer.endDocument();
    const int id = printer.lastJobId();
    ASSERT_GT(id, 0);
    EXPECT_EQ(jobAttribute(id, "media").toStdString(), a5->key().toStdString());
    EXPECT_EQ(jobAttribute(id, "orientation-requested").toStdString(), "landscape");

    const QString file = dir.filePath(QStringLiteral("setup.pdf"));
    printer.applySetup({QString(), file, QPageSize(QPageSize::A4), Printer::Orientation::Portrait});
    EXPECT_TRUE(printer.printsToFile());
    printer.beginDocument(QStringLiteral("Quiltana Document"));
    printer.endDocument();
    EXPECT_EQ(printer.lastOutputFile(), file);

    s.orientation = Printer::Orientation::Portrait;
    printer.applySetup(s);
    EXPECT_FALSE(printer.printsToFile());
    EXPECT_EQ(printer.setup().printerName, queue);
    EXPECT_TRUE(printer.setup().paper.isEquivalentTo(*a5));
}

TEST_F(QtPrinterCups, FailedJobIsNotSent)
{
    const QString broken = dir.filePath(QStringLiteral("broken.png"));
    {
        QFile f(broken);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("this is not a PNG file at all");
    }
    onePicturePage(broken);
    const QStringList before = spoolFiles();
    printer.titleOverride = QStringLiteral("Quiltana failed job %1").arg(QCoreApplication::applicationPid());

    EXPECT_THROW(PrintPages(run.document, run.pageSetup, {0}, true, printer), Error);
    EXPECT_EQ(printer.lastJobId(), 0);
    for (const QueuedJob &j : jobsOn(queue))
        EXPECT_NE(j.title, printer.titleOverride) << "job " << j.id << " reached the printer";
    EXPECT_EQ(spoolFiles(), before);
}

// A temporary folder on a full disk: the job is not sent half written, the message says why, and
// its temporary file is gone.
TEST_F(QtPrinterCups, JobThatCannotBeWrittenOutIsNotSentAndSaysWhy)
{
    const test::SmallDisk disk(256 * 1024);
    if (!disk.mounted())
        GTEST_SKIP() << disk.skipReason().toStdString();
    onePicturePage(QString()); // frames only: still more than a full disk takes
    disk.fill(QStringLiteral("filler"));
    qputenv("TMPDIR", QFile::encodeName(disk.path()));
    printer.titleOverride = QStringLiteral("Quiltana full disk %1").arg(QCoreApplication::applicationPid());

    try {
        PrintPages(run.document, run.pageSetup, {0}, true, printer);
        ADD_FAILURE() << "no error";
    } catch (const Error &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("ディスクがいっぱいです"))) << e.what();
    }
    EXPECT_EQ(printer.lastJobId(), 0);
    for (const QueuedJob &j : jobsOn(queue))
        EXPECT_NE(j.title, printer.titleOverride) << "job " << j.id << " reached the printer";
    EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("filler")});
}

} // namespace
} // namespace quiltana
