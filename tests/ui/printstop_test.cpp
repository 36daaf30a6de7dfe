// The program told to end (SIGTERM, SIGINT, SIGHUP) while it prints a PDF file: it ends of its own
// accord at its next page, leaving no file that a PDF reader cannot open and no temporary file.
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

namespace {

// The largest file in `folder`, hidden ones included; -1 when there is none.
qint64 largestFile(const QString &folder)
{
    qint64 largest = -1;
    for (const QFileInfo &f : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden))
        largest = std::max(largest, f.size());
    return largest;
}

TEST(PrintStop, ASignalInTheMiddleOfAPrintLeavesNoBrokenFile)
{
    const QString pdfinfo = QStandardPaths::findExecutable(QStringLiteral("pdfinfo"));
    if (pdfinfo.isEmpty())
        GTEST_SKIP() << "pdfinfo is not installed; the PDF files cannot be checked";
    QTemporaryDir pictures;
    ASSERT_TRUE(pictures.isValid());
    QStringList arguments{QString()};
    for (int i = 0; i < 40; ++i) {
        QImage image(60, 40, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, qRgb((x * 37 + i * 11) & 0xff, (y * 53) & 0xff, (x * y + i) & 0xff));
        arguments << pictures.filePath(QStringLiteral("p%1.png").arg(i));
        ASSERT_TRUE(image.save(arguments.last(), "PNG"));
    }

    // Each signal at another moment: as soon as the file is there, a page or so in, further on.
    struct Case {
        int signal;
        qint64 grownTo; // the bytes the file being written has when the signal is sent
    };
    for (const Case &c : {Case{SIGTERM, 0}, Case{SIGINT, 1 << 20}, Case{SIGHUP, 4 << 20}}) {
        SCOPED_TRACE(c.signal);
        QTemporaryDir out;
        ASSERT_TRUE(out.isValid());
        arguments[0] = out.path();
        QProcess driver;
        driver.start(QStringLiteral(PRINTSTOP_DRIVER), arguments);
        ASSERT_TRUE(driver.waitForStarted());
        while (!driver.canReadLine())
            ASSERT_TRUE(driver.waitForReadyRead(60000)) << driver.readAllStandardError().toStdString();
        ASSERT_EQ(driver.readLine().trimmed(), "printing");
        // Waits for the print to get that far (or to end).
        while (largestFile(out.path()) < c.grownTo && driver.state() == QProcess::Running)
            QThread::msleep(2);
        ASSERT_EQ(driver.state(), QProcess::Running) << "the print ended before the signal";
        ::kill(static_cast<pid_t>(driver.processId()), c.signal);
        ASSERT_TRUE(driver.waitForFinished(60000));

        EXPECT_EQ(driver.exitStatus(), QProcess::NormalExit) << "the signal ended the program where it stood";
        EXPECT_EQ(driver.exitCode(), 0);
        EXPECT_EQ(driver.readAllStandardOutput().trimmed(), "stopped");
        // The run was given up, and its unfinished file with it.
        EXPECT_TRUE(QDir(out.path()).isEmpty(QDir::Files | QDir::Hidden));
        for (const QFileInfo &f : QDir(out.path()).entryInfoList(QDir::Files | QDir::Hidden)) {
            EXPECT_FALSE(f.fileName().startsWith(QLatin1Char('.'))) << "left behind: " << f.fileName().toStdString();
            QProcess info;
            info.start(pdfinfo, {f.filePath()});
            ASSERT_TRUE(info.waitForFinished(60000));
            EXPECT_EQ(info.exitCode(), 0) << f.fileName().toStdString() << " (" << f.size()
                                          << " bytes) cannot be opened: " << info.readAllStandardError().toStdString();
        }
    }
}

} // namespace
