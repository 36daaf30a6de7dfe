#include "workcopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "decode.h"
#include "document.h"
#include "error.h"
#include "runstate.h"
#include "smalldisk.h"

namespace quiltana {
namespace {

// Each test has a run of its own: an empty document, an existing work folder ("temp" in a
// temporary folder) and no work copy names handed out.
class WorkCopyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(runDir.isValid());
        ASSERT_TRUE(pictures.isValid());
        run.workFolder.path = runDir.filePath(QStringLiteral("temp"));
        EnsureWorkFolder(run.workFolder.path);
    }

    QString writePicture(const QString &relative, const QImage &image, const char *format = "BMP")
    {
        const QString path = pictures.filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        EXPECT_TRUE(image.save(path, format)) << path.toStdString();
        return path;
    }
    QString writePicture(const QString &relative, int width, int height, QColor color = Qt::blue)
    {
        QImage image(width, height, QImage::Format_RGB888);
        image.fill(color);
        return writePicture(relative, image);
    }
    Cell &cell(int n) { return *run.document.cellAt(n); }
    QStringList folderFiles() const { return QDir(run.workFolder.path).entryList(QDir::Files); }
    // The path of `name` in the work folder.
    QString work(const QString &name) const { return run.workFolder.path + QLatin1Char('/') + name; }

    QTemporaryDir runDir;
    QTemporaryDir pictures;
    RunState run;
};

TEST_F(WorkCopyTest, WorkCopyIs200HighWithTheTruncatedWidth)
{
    const struct {
        int width, height, expectedWidth;
    } cases[] = {{400, 300, 266}, {300, 400, 150}, {100, 50, 400}, {1, 300, 1}};
    int n = 0;
    for (const auto &c : cases) {
        const QString name = QStringLiteral("p%1.bmp").arg(n);
        cell(n).picturePath = writePicture(name, c.width, c.height);
        MakeWorkCopy(run.document, run.workFolder, n);
        EXPECT_EQ(cell(n).workPath, work(name + QStringLiteral(".bmp")));
        const QImage copy(cell(n).workPath);
        EXPECT_EQ(copy.size(), QSize(c.expectedWidth, 200)) << c.width << "x" << c.height;
        ++n;
    }
}

TEST_F(WorkCopyTest, WorkCopyOfAVeryWidePictureIsBoundedAndKeepsItsShape)
{
    // 200 rows would make 60000 x 1 twelve million pixels wide, and 5000 x 1 a million
    cell(0).picturePath = writePicture(QStringLiteral("strip.bmp"), 60000, 1);
    cell(1).picturePath = writePicture(QStringLiteral("band.bmp"), 8000, 100);
    cell(2).picturePath = writePicture(QStringLiteral("panorama.bmp"), 4000, 200);
    for (int n = 0; n < 3; ++n)
        MakeWorkCopy(run.document, run.workFolder, n);
    EXPECT_EQ(QImage(cell(0).workPath).size(), QSize(4000, 1));
    EXPECT_EQ(QImage(cell(1).workPath).size(), QSize(4000, 50));
    EXPECT_EQ(QImage(cell(2).workPath).size(), QSize(4000, 200));
}

TEST_F(WorkCopyTest, WorkCopyIsA24BitBmpResampledNearestNeighbour)
{
    QImage picture(2, 1, QImage::Format_RGB888);
    picture.setPixel(0, 0, qRgb(255, 0, 0));
    picture.setPixel(1, 0, qRgb(0, 0, 255));
    cell(0).picturePath = writePicture(QStringLiteral("two.png"), picture, "PNG");
    MakeWorkCopy(run.document, run.workFolder, 0);

    QFile file(cell(0).workPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray header = file.read(30);
    ASSERT_EQ(header.size(), 30);
    EXPECT_EQ(header.left(2), QByteArray("BM"));
    EXPECT_EQ(static_cast<uchar>(header[28]) | (static_cast<uchar>(header[29]) << 8), 24);

    const QImage copy(cell(0).workPath);
    ASSERT_EQ(copy.size(), QSize(400, 200));
    for (int y : {0, 199})
        for (int x = 0; x < 400; ++x)
            ASSERT_EQ(copy.pixel(x, y) & 0xFFFFFFu, x < 200 ? 0xFF0000u : 0x0000FFu) << x << "," << y;
}

TEST_F(WorkCopyTest, ExtensionsAreRecognisedWithoutRegardToCase)
{
    const QString upper = writePicture(QStringLiteral("PHOTO.JPG"), QImage(40, 20, QImage::Format_RGB888), "JPG");
    const QString mixed = writePicture(QStringLiteral("photo.Jpg"), QImage(40, 20, QImage::Format_RGB888), "JPG");
    const QString jpeg = writePicture(QStringLiteral("photo.jpeg"), QImage(40, 20, QImage::Format_RGB888), "JPG");
    const QString gif = writePicture(QStringLiteral("photo.gif"), 40, 20);
    cell(0).picturePath = upper;
    cell(1).picturePath = mixed;
    cell(2).picturePath = jpeg;
    cell(3).picturePath = gif;
    cell(3).workPath = QStringLiteral("earlier");
    for (int n = 0; n < 4; ++n)
        MakeWorkCopy(run.document, run.workFolder, n);
    EXPECT_EQ(cell(0).workPath, work(QStringLiteral("PHOTO.JPG.bmp")));
    EXPECT_EQ(cell(1).workPath, work(QStringLiteral("photo.Jpg.bmp")));
    EXPECT_EQ(cell(2).workPath, work(QStringLiteral("photo.jpeg.bmp")));
    EXPECT_EQ(cell(3).workPath, QStringLiteral("earlier"));
    for (int n = 0; n < 3; ++n)
        EXPECT_EQ(QImage(cell(n).workPath).size(), QSize(400, 200)) << n;
    EXPECT_EQ(folderFiles().size(), 3);
}

TEST_F(WorkCopyTest, EmptyCellIsSkipped)
{
    cell(5).workPath = QStringLiteral("untouched");
    MakeWorkCopy(run.document, run.workFolder, 5);
    MakeWorkCopy(run.document, run.workFolder, -1);
    MakeWorkCopy(run.document, run.workFolder, 1000);
    EXPECT_EQ(cell(5).workPath, QStringLiteral("untouched"));
    EXPECT_TRUE(folderFiles().isEmpty());
}

TEST_F(WorkCopyTest, SameNameFromTwoFoldersGetsTwoWorkCopies)
{
    cell(0).picturePath = writePicture(QStringLiteral("camera1/IMG_0001.BMP"), 20, 10, Qt::red);
    cell(1).picturePath = writePicture(QStringLiteral("camera2/IMG_0001.BMP"), 20, 10, Qt::green);
    cell(2).picturePath = cell(0).picturePath;
    MakeWorkCopy(run.document, run.workFolder, 0);
    MakeWorkCopy(run.document, run.workFolder, 1);
    MakeWorkCopy(run.document, run.workFolder, 2);
    EXPECT_EQ(cell(0).workPath, work(QStringLiteral("IMG_0001.BMP.bmp")));
    EXPECT_NE(cell(1).workPath, cell(0).workPath);
    EXPECT_TRUE(cell(1).workPath.startsWith(work(QStringLiteral("IMG_0001.BMP"))));
    EXPECT_EQ(cell(2).workPath, cell(0).workPath);
    // each copy shows its own picture
    EXPECT_EQ(QImage(cell(0).workPath).pixel(0, 0) & 0xFFFFFFu, 0xFF0000u);
    EXPECT_EQ(QImage(cell(1).workPath).pixel(0, 0) & 0xFFFFFFu, 0x00FF00u);
    EXPECT_EQ(folderFiles().size(), 2);

    // the names stay with their pictures whatever order they are converted in again
    MakeWorkCopy(run.document, run.workFolder, 1);
    MakeWorkCopy(run.document, run.workFolder, 0);
    EXPECT_EQ(cell(0).workPath, work(QStringLiteral("IMG_0001.BMP.bmp")));
    EXPECT_EQ(QImage(cell(0).workPath).pixel(0, 0) & 0xFFFFFFu, 0xFF0000u);
}

TEST_F(WorkCopyTest, ConvertingTheSameCellTwiceRewritesTheSameFile)
{
    const QString path = writePicture(QStringLiteral("again.bmp"), 30, 30, Qt::red);
    cell(0).picturePath = path;
    MakeWorkCopy(run.document, run.workFolder, 0);
    const QString first = cell(0).workPath;
    writePicture(QStringLiteral("again.bmp"), 60, 30, Qt::green);
    MakeWorkCopy(run.document, run.workFolder, 0);
    EXPECT_EQ(cell(0).workPath, first);
    EXPECT_EQ(QImage(first).size(), QSize(400, 200));
    EXPECT_EQ(QImage(first).pixel(0, 0) & 0xFFFFFFu, 0x00FF00u);
    EXPECT_EQ(folderFiles(), QStringList{QStringLiteral("again.bmp.bmp")});
}

TEST_F(WorkCopyTest, FailedSaveLeavesNoFileAndNoWorkPathAndNamesThePicture)
{
    cell(0).picturePath = writePicture(QStringLiteral("blocked.bmp"), 20, 20);
    cell(0).workPath = QStringLiteral("earlier");
    // a folder in the way of the work copy
    ASSERT_TRUE(QDir().mkdir(work(QStringLiteral("blocked.bmp.bmp"))));
    try {
        MakeWorkCopy(run.document, run.workFolder, 0);
        ADD_FAILURE() << "no error";
    } catch (const Error &e) {
        EXPECT_TRUE(e.message().startsWith(cell(0).picturePath)) << e.what();
        EXPECT_FALSE(e.message().contains(run.workFolder.path)) << e.what();
    }
    EXPECT_TRUE(cell(0).workPath.isEmpty());
    // nothing half written is left beside the folder in the way
    EXPECT_EQ(QDir(run.workFolder.path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{QStringLiteral("blocked.bmp.bmp")});
}

// A work folder on a full or a read-only disk: the message names the picture and the system's
// reason in words, and nothing is left in the folder, not even a temporary file.
TEST_F(WorkCopyTest, FailedSaveOnADiskThatRefusesNamesTheCause)
{
    struct Case {
        bool readOnly;
        const char *reason;
    };
    for (const Case &c : {Case{false, "ディスクがいっぱいです"}, Case{true, "読み取り専用のディスクです"}}) {
        SCOPED_TRACE(c.reason);
        const test::SmallDisk disk(256 * 1024);
        if (!disk.mounted())
            GTEST_SKIP() << disk.skipReason().toStdString();
        ASSERT_TRUE(QDir(disk.path()).mkdir(QStringLiteral("temp")));
        if (c.readOnly)
            ASSERT_TRUE(disk.makeReadOnly());
        else
            disk.fill(QStringLiteral("filler"));
        const QStringList before = QDir(disk.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        run.workFolder = WorkFolder{QDir(disk.path()).filePath(QStringLiteral("temp")), {}};
        cell(0).picturePath = writePicture(QStringLiteral("full.bmp"), 400, 300);
        try {
            MakeWorkCopy(run.document, run.workFolder, 0);
            ADD_FAILURE() << "no error";
        } catch (const Error &e) {
            EXPECT_TRUE(e.message().startsWith(cell(0).picturePath)) << e.what();
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.reason))) << e.what();
        }
        EXPECT_TRUE(cell(0).workPath.isEmpty());
        EXPECT_EQ(QDir(disk.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
    }
}

TEST_F(WorkCopyTest, UnreadablePictureThrowsAndEmptiesTheWorkPath)
{
    const QString broken = pictures.filePath(QStringLiteral("broken.png"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("garbage");
    file.close();
    cell(0).picturePath = broken;
    cell(0).workPath = QStringLiteral("earlier");
    try {
        MakeWorkCopy(run.document, run.workFolder, 0);
        ADD_FAILURE() << "no error";
    } catch (const Error &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("broken.png"))) << e.message().toStdString();
    }
    // "earlier" would show the cell's former picture in the preview
    EXPECT_TRUE(cell(0).workPath.isEmpty());
    EXPECT_TRUE(folderFiles().isEmpty());
}

TEST_F(WorkCopyTest, MakeWorkCopiesConvertsEveryPictureItCanAndCollectsTheErrors)
{
    cell(0).picturePath = writePicture(QStringLiteral("a.bmp"), 20, 10);
    cell(1).picturePath = pictures.filePath(QStringLiteral("missing.png"));
    cell(2).picturePath = writePicture(QStringLiteral("c.gif"), 20, 10);
    cell(4).picturePath = writePicture(QStringLiteral("e.bmp"), 10, 20);
    const QStringList errors = MakeWorkCopies(run.document, run.workFolder, 0, 4);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("missing.png"))) << errors[0].toStdString();
    EXPECT_EQ(cell(0).workPath, work(QStringLiteral("a.bmp.bmp")));
    EXPECT_TRUE(cell(1).workPath.isEmpty());
    EXPECT_TRUE(cell(2).workPath.isEmpty());
    EXPECT_EQ(cell(4).workPath, work(QStringLiteral("e.bmp.bmp")));
    EXPECT_EQ(QImage(cell(4).workPath).size(), QSize(100, 200));
}

TEST_F(WorkCopyTest, PreparingTouchesNoState)
{
    const QString path = writePicture(QStringLiteral("pure.bmp"), 400, 300);
    cell(0).picturePath = path;
    const PreparedWorkCopy ready = PrepareWorkCopy(path);
    EXPECT_EQ(ready.outcome, PreparedWorkCopy::Outcome::Ready);
    EXPECT_EQ(ready.image.size(), QSize(266, 200));
    EXPECT_EQ(PrepareWorkCopy(QStringLiteral("x.gif")).outcome, PreparedWorkCopy::Outcome::Skip);
    EXPECT_EQ(PrepareWorkCopy(QString()).outcome, PreparedWorkCopy::Outcome::Skip);
    const PreparedWorkCopy failed = PrepareWorkCopy(pictures.filePath(QStringLiteral("none.jpg")));
    EXPECT_EQ(failed.outcome, PreparedWorkCopy::Outcome::Failed);
    EXPECT_FALSE(failed.error.isEmpty());
    EXPECT_TRUE(cell(0).workPath.isEmpty());
    EXPECT_TRUE(folderFiles().isEmpty());

    CommitWorkCopy(run.document, run.workFolder, 0, ready);
    EXPECT_EQ(cell(0).workPath, work(QStringLiteral("pure.bmp.bmp")));
    EXPECT_THROW(CommitWorkCopy(run.document, run.workFolder, 0, failed), Error);
    EXPECT_TRUE(cell(0).workPath.isEmpty());
}

// Everything a run of conversions leaves behind: the errors, every cell's work path and the
// bytes of every file in the work folder.
struct ConversionOutcome {
    QStringList errors;
    QStringList workPaths;
    QMap<QString, QByteArray> files;
};

// `run` starts afresh from `start` with its work folder in `runFolder`. The work paths are
// recorded relative to the run's folder, so that two runs can be compared.
ConversionOutcome ConvertInFreshRun(RunState &run, const QString &runFolder, const Document &start, int workers,
                                    const ConversionProgress &progress = {})
{
    run = RunState{};
    run.document = start;
    run.workFolder.path = QDir(runFolder).filePath(QStringLiteral("temp"));
    EnsureWorkFolder(run.workFolder.path);
    const QDir folder(run.workFolder.path);
    // a folder where one work copy should go makes its save fail
    EXPECT_TRUE(folder.mkdir(QStringLiteral("blocked.bmp.bmp")));
    ConversionOutcome outcome;
    outcome.errors = MakeWorkCopies(run.document, run.workFolder, 0, kCellCount - 1, workers, progress);
    for (int n = 0; n < kCellCount; ++n) {
        const QString &path = run.document.cell(n).workPath;
        outcome.workPaths << (path.startsWith(runFolder + QLatin1Char('/')) ? path.mid(runFolder.size()) : path);
    }
    for (const QString &name : folder.entryList(QDir::Files)) {
        QFile file(folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        outcome.files.insert(name, file.readAll());
    }
    return outcome;
}

TEST_F(WorkCopyTest, DecodingOnSeveralThreadsGivesWhatOneAfterAnotherGives)
{
    Document start;
    int n = 0;
    // A large picture first, so that later, smaller ones are finished before it.
    QImage large(1600, 1200, QImage::Format_RGB888);
    for (int y = 0; y < large.height(); ++y)
        for (int x = 0; x < large.width(); ++x)
            large.setPixel(x, y, qRgb(x % 256, y % 256, (x * y) % 256));
    start.cells[n++].picturePath = writePicture(QStringLiteral("large.jpg"), large, "JPG");
    QImage plain(30, 20, QImage::Format_RGB888);
    plain.fill(Qt::red);
    const QString red = writePicture(QStringLiteral("camera1/IMG_0001.png"), plain, "PNG");
    plain.fill(Qt::green);
    const QString green = writePicture(QStringLiteral("camera2/IMG_0001.png"), plain, "PNG");
    start.cells[n++].picturePath = red;
    start.cells[n++].picturePath = green; // same file name, another picture
    start.cells[n++].picturePath = red;   // the same picture twice
    const QString broken = pictures.filePath(QStringLiteral("broken.jpg"));
    {
        QFile file(broken);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a picture");
    }
    start.cells[n].picturePath = broken;
    start.cells[n++].workPath = QStringLiteral("earlier");
    start.cells[n++].picturePath = pictures.filePath(QStringLiteral("missing.bmp"));
    start.cells[n++].picturePath = writePicture(QStringLiteral("blocked.bmp"), 20, 20);
    n++; // an empty cell
    start.cells[n].picturePath = writePicture(QStringLiteral("other.gif"), 20, 20);
    start.cells[n++].workPath = QStringLiteral("kept");
    for (int i = 0; i < 12; ++i)
        start.cells[n++].picturePath =
            writePicture(QStringLiteral("small%1.bmp").arg(i), 40 + i, 30, QColor(i * 20, 0, 255 - i * 20));

    QTemporaryDir one, several;
    ASSERT_TRUE(one.isValid());
    ASSERT_TRUE(several.isValid());
    const ConversionOutcome sequential = ConvertInFreshRun(run, one.path(), start, 1);
    const ConversionOutcome parallel = ConvertInFreshRun(run, several.path(), start, 3);

    ASSERT_EQ(sequential.errors.size(), 3) << sequential.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(sequential.errors[0].contains(QStringLiteral("broken.jpg")));
    EXPECT_TRUE(sequential.errors[1].contains(QStringLiteral("missing.bmp")));
    EXPECT_TRUE(sequential.errors[2].contains(QStringLiteral("blocked.bmp")));
    EXPECT_TRUE(sequential.workPaths[4].isEmpty()); // failed: its former copy is not shown
    EXPECT_EQ(sequential.workPaths[8], QStringLiteral("kept"));
    EXPECT_NE(sequential.workPaths[2], sequential.workPaths[1]);
    EXPECT_EQ(sequential.workPaths[3], sequential.workPaths[1]);
    EXPECT_EQ(sequential.files.size(), 15);

    EXPECT_EQ(parallel.errors, sequential.errors);
    EXPECT_EQ(parallel.workPaths, sequential.workPaths);
    EXPECT_EQ(parallel.files.keys(), sequential.files.keys());
    for (auto it = sequential.files.cbegin(); it != sequential.files.cend(); ++it)
        EXPECT_TRUE(parallel.files.value(it.key()) == it.value()) << it.key().toStdString();
}

// A run of conversions with its progress reports: what the cell table held at each report.
struct Report {
    int done;
    int total;
    bool cellDone; // the reported cell has its outcome: a work path, or (failed, skipped) none
};

TEST_F(WorkCopyTest, ProgressIsToldOncePerCellInOrderAndChangesNoResult)
{
    Document start;
    start.cells[0].picturePath = writePicture(QStringLiteral("a.bmp"), 40, 30);
    start.cells[1].picturePath = pictures.filePath(QStringLiteral("missing.jpg"));
    start.cells[2].picturePath = writePicture(QStringLiteral("c.gif"), 20, 10); // skipped
    // cell 3 empty
    for (int i = 4; i < 30; ++i)
        start.cells[static_cast<std::size_t>(i)].picturePath =
            writePicture(QStringLiteral("p%1.bmp").arg(i), 30 + i, 20, QColor(i * 8, 40, 100));
    start.cells[30].picturePath = start.cells[0].picturePath; // the same picture again

    for (const int workers : {1, 3}) {
        SCOPED_TRACE(workers);
        QTemporaryDir without, with;
        ASSERT_TRUE(without.isValid());
        ASSERT_TRUE(with.isValid());
        const ConversionOutcome plain = ConvertInFreshRun(run, without.path(), start, workers);
        std::vector<Report> reports;
        const ConversionOutcome told =
            ConvertInFreshRun(run, with.path(), start, workers, [&](int done, int total) {
                // Reported after the cell is committed: a picture that converted has its path.
                const Cell &cell = run.document.cell(done - 1);
                const bool converted = !cell.workPath.isEmpty();
                const bool shouldHave = done - 1 == 0 || (done - 1 >= 4 && done - 1 <= 30);
                reports.push_back({done, total, converted == shouldHave});
            });
        EXPECT_EQ(told.errors, plain.errors);
        EXPECT_EQ(told.workPaths, plain.workPaths);
        EXPECT_EQ(told.files, plain.files);

        ASSERT_EQ(reports.size(), static_cast<std::size_t>(kCellCount));
        for (std::size_t i = 0; i < reports.size(); ++i) {
            EXPECT_EQ(reports[i].done, static_cast<int>(i) + 1);
            EXPECT_EQ(reports[i].total, kCellCount);
            EXPECT_TRUE(reports[i].cellDone) << "cell " << i;
        }
    }
}

TEST_F(WorkCopyTest, ProgressCountsTheCellsOfTheRunWithinTheTable)
{
    cell(997).picturePath = writePicture(QStringLiteral("x.bmp"), 20, 20);
    std::vector<std::pair<int, int>> reports;
    const auto record = [&](int done, int total) { reports.emplace_back(done, total); };
    // A run that reaches past cell 999 counts only the cells that exist.
    EXPECT_TRUE(MakeWorkCopies(run.document, run.workFolder, 996, 1005, 2, record).isEmpty());
    EXPECT_EQ(reports, (std::vector<std::pair<int, int>>{{1, 4}, {2, 4}, {3, 4}, {4, 4}}));
    // An empty run reports nothing.
    reports.clear();
    EXPECT_TRUE(MakeWorkCopies(run.document, run.workFolder, 5, 4, record).isEmpty());
    EXPECT_TRUE(reports.empty());
}

TEST_F(WorkCopyTest, MemoryEstimateNeverFallsBelowWhatTheDecodingHolds)
{
    const auto write = [&](const QString &name, const QByteArray &bytes) {
        const QString path = pictures.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    };
    const auto le = [](QByteArray &b, quint32 v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            b.append(char((v >> (8 * i)) & 255));
    };
    // An OS/2 BMP: 12-byte header with 16-bit sides, 3000 x 2000 at 24 bits.
    QByteArray os2("BM");
    le(os2, 0, 4);
    le(os2, 0, 4);
    le(os2, 26, 4);
    le(os2, 12, 4);
    le(os2, 3000, 2);
    le(os2, 2000, 2);
    le(os2, 1, 2);
    le(os2, 24, 2);
    os2.append(QByteArray(6000 * 3, '\0'));
    EXPECT_GE(HeldBytesWhileDecoding(write(QStringLiteral("os2.bmp"), os2)), 3000LL * 2000 * 3);

    // A progressive JPEG whose frame header follows 300 other segments.
    QImage photo(64, 48, QImage::Format_RGB888);
    photo.fill(Qt::darkCyan);
    const QString plain = pictures.filePath(QStringLiteral("plain.jpg"));
    QImageWriter writer(plain, "JPEG");
    writer.setProgressiveScanWrite(true);
    ASSERT_TRUE(writer.write(photo));
    QFile plainFile(plain);
    ASSERT_TRUE(plainFile.open(QIODevice::ReadOnly));
    const QByteArray jpeg = plainFile.readAll();
    QByteArray padded = jpeg.left(2);
    for (int i = 0; i < 300; ++i)
        padded.append(QByteArray::fromHex("ffe50006") + "four"); // an APP5 segment of 4 bytes
    padded.append(jpeg.mid(2));
    const qint64 coefficients = 64LL * 48 * 2; // at least one component's blocks
    EXPECT_GE(HeldBytesWhileDecoding(write(QStringLiteral("segments.jpg"), padded)), coefficients);

    // Headers that cannot be read count as the largest picture.
    for (const auto &[name, bytes] : {std::pair{"cut.jpg", jpeg.left(20)}, std::pair{"cut.bmp", os2.left(16)},
                                      std::pair{"cut.png", QByteArray("\x89PNG\r\n\x1a\n", 8)}})
        EXPECT_GE(HeldBytesWhileDecoding(write(QString::fromLatin1(name), bytes)), kMaxPicturePixels) << name;
    // A picture that streams holds nothing worth planning for.
    const QString rowPng = writePicture(QStringLiteral("row.png"), QImage(40, 30, QImage::Format_RGB888), "PNG");
    EXPECT_EQ(HeldBytesWhileDecoding(rowPng), 0);
    // Also when an EXIF block before its data (here after a tEXt chunk) may turn it: it is
    // sampled as stored. The estimate reads no checksums, so theirs are left zero.
    QFile rowFile(rowPng);
    ASSERT_TRUE(rowFile.open(QIODevice::ReadOnly));
    const QByteArray row = rowFile.readAll();
    const QByteArray text = QByteArray::fromHex("00000004") + "tEXtabcd" + QByteArray(4, '\0');
    const QByteArray exif = QByteArray::fromHex("00000008") + "eXIfII*" + QByteArray(5, '\0') + QByteArray(4, '\0');
    EXPECT_EQ(HeldBytesWhileDecoding(write(QStringLiteral("exif.png"), row.left(33) + text + exif + row.mid(33))), 0);
    EXPECT_EQ(HeldBytesWhileDecoding(write(QStringLiteral("text.png"), row.left(33) + text + row.mid(33))), 0);
    // An interlaced picture with alpha is collected at four bytes a pixel.
    QByteArray adam7Alpha = row;
    adam7Alpha[25] = 6;
    adam7Alpha[28] = 1;
    EXPECT_GE(HeldBytesWhileDecoding(write(QStringLiteral("adam7alpha.png"), adam7Alpha)), 40LL * 30 * 4);
}

TEST_F(WorkCopyTest, WorkFolderIsCreatedOnceAndReportedWhenItCannotBe)
{
    EXPECT_TRUE(QFileInfo(run.workFolder.path).isDir());
    EXPECT_NO_THROW(EnsureWorkFolder(run.workFolder.path));
    ASSERT_TRUE(QDir(run.workFolder.path).removeRecursively());
    QFile blocker(run.workFolder.path);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    try {
        EnsureWorkFolder(run.workFolder.path);
        ADD_FAILURE() << "no error";
    } catch (const Error &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Cannot create temp directory."));
    }
}

TEST_F(WorkCopyTest, CleanUpDeletesOnlyWorkCopiesAndNeverThroughALink)
{
    QTemporaryDir outside;
    ASSERT_TRUE(outside.isValid());
    const QString target = outside.filePath(QStringLiteral("target.jpg.bmp"));
    for (const QString &name : {work(QStringLiteral("IMG_1.JPG.bmp")), work(QStringLiteral("b.png~2.bmp")),
                                work(QStringLiteral("x~0a1b2c3d.jpeg.bmp")), work(QStringLiteral("precious.bmp")),
                                work(QStringLiteral("holiday.BMP")), work(QStringLiteral("notes.txt")),
                                work(QStringLiteral("C.BMP.BMP")), target}) {
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    // a link with a work copy's name leads outside
    ASSERT_TRUE(QFile::link(target, work(QStringLiteral("link.jpg.bmp"))));
    QStringList found = WorkCopyFiles(run.workFolder.path);
    found.sort();
    EXPECT_EQ(found, (QStringList{QStringLiteral("IMG_1.JPG.bmp"), QStringLiteral("b.png~2.bmp"),
                                  QStringLiteral("x~0a1b2c3d.jpeg.bmp")}));
    DeleteWorkCopies(run.workFolder.path);
    EXPECT_TRUE(WorkCopyFiles(run.workFolder.path).isEmpty());
    QStringList left = QDir(run.workFolder.path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    left.sort();
    EXPECT_EQ(left, (QStringList{QStringLiteral("C.BMP.BMP"), QStringLiteral("holiday.BMP"), QStringLiteral("link.jpg.bmp"),
                                 QStringLiteral("notes.txt"), QStringLiteral("precious.bmp")}));
    EXPECT_TRUE(QFileInfo::exists(target));
}

TEST_F(WorkCopyTest, WorkFolderThatIsALinkIsNeitherUsedNorCleaned)
{
    QTemporaryDir users;
    ASSERT_TRUE(users.isValid());
    const QString own = users.filePath(QStringLiteral("photo.jpg.bmp"));
    {
        QFile f(own);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QDir(run.workFolder.path).removeRecursively());
    ASSERT_TRUE(QFile::link(users.path(), run.workFolder.path));
    EXPECT_THROW(EnsureWorkFolder(run.workFolder.path), Error);
    EXPECT_TRUE(WorkCopyFiles(run.workFolder.path).isEmpty());
    DeleteWorkCopies(run.workFolder.path);
    EXPECT_TRUE(QFileInfo::exists(own));
}

TEST_F(WorkCopyTest, LongNamesGetShortStableAndDistinctWorkCopies)
{
    // 83 three-byte characters and ".jpg": 253 bytes, to which ".bmp" cannot be added within
    // the 255 bytes a file name may have
    const QString longName = QString(83, QChar(0x5199)) + QStringLiteral(".jpg");
    ASSERT_TRUE(QDir(pictures.path()).mkpath(QStringLiteral("a")));
    ASSERT_TRUE(QDir(pictures.path()).mkpath(QStringLiteral("b")));
    const QString a = pictures.filePath(QStringLiteral("a/") + longName);
    const QString b = pictures.filePath(QStringLiteral("b/") + longName);
    QImage picture(40, 30, QImage::Format_RGB888);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(a, "JPEG"));
    ASSERT_TRUE(picture.save(b, "JPEG"));
    cell(0).picturePath = a;
    cell(1).picturePath = b;
    cell(2).picturePath = a;
    EXPECT_TRUE(MakeWorkCopies(run.document, run.workFolder, 0, 2, 1).isEmpty());
    const QString name = QFileInfo(cell(0).workPath).fileName();
    EXPECT_LE(QFile::encodeName(name).size(), 200);
    EXPECT_TRUE(name.startsWith(QString(10, QChar(0x5199)))) << name.toStdString();
    EXPECT_TRUE(IsWorkCopyName(name)) << name.toStdString();
    EXPECT_EQ(cell(2).workPath, cell(0).workPath);
    EXPECT_NE(cell(1).workPath, cell(0).workPath);
    EXPECT_EQ(QImage(cell(1).workPath).size(), QSize(266, 200));
    DeleteWorkCopies(run.workFolder.path);
    EXPECT_TRUE(folderFiles().isEmpty());
}

} // namespace
} // namespace quiltana
