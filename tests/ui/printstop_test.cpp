// The program told to end (SIGTERM, SIGINT, SIGHUP) while it prints a PDF file: it ends of its own
// accord at its next page, leaving no file that a PDF reader cannot open and no temporary file.
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <initializer_list>
#include <utility>

namespace {

TEST(PrintStop, ASignalInTheMiddleOfAPrintLeavesNoBrokenFile)
{
    const QString pdfinfo = QStandardPaths::findExecutable(QStringLiteral("pdfinfo"));
    if (pdfinfo.isEmpty())
        GTEST_SKIP() << "pdfinfo is not installed; the PDF files cannot be checked";
    // Each signal at another moment: as soon as the file is there, a page or so in, further on.
    for (const auto &[stop, grownTo] :
         std::initializer_list<std::pair<int, qint64>>{{SIGTERM, 0}, {SIGINT, 1 << 20}, {SIGHUP, 4 << 20}}) {
        SCOPED_TRACE(stop);
        QTemporaryDir out;
        QProcess driver;
        driver.start(QStringLiteral(PRINTSTOP_DRIVER), {out.path()});
        ASSERT_TRUE(driver.waitForReadyRead(60000)) << driver.readAllStandardError().toStdString();
        ASSERT_EQ(driver.readLine().trimmed(), "printing");
        const auto largest = [&out] {
            qint64 size = -1;
            for (const QFileInfo &f : QDir(out.path()).entryInfoList(QDir::Files | QDir::Hidden))
                size = std::max(size, f.size());
            return size;
        };
        while (largest() < grownTo && driver.state() == QProcess::Running)
            QThread::msleep(2);
        ASSERT_EQ(driver.state(), QProcess::Running) << "the print ended before the signal";
        ::kill(static_cast<pid_t>(driver.processId()), stop);
        ASSERT_TRUE(driver.waitForFinished(60000)) << "the signal did not end the program";

        EXPECT_EQ(driver.exitStatus(), QProcess::NormalExit) << "the signal ended the program where it stood";
        EXPECT_EQ(driver.exitCode(), 0);
        EXPECT_EQ(driver.readAllStandardOutput().trimmed(), "stopped");
        for (const QFileInfo &f : QDir(out.path()).entryInfoList(QDir::Files | QDir::Hidden)) {
            ADD_FAILURE() << "left behind: " << f.fileName().toStdString() << " (" << f.size() << " bytes)";
            QProcess info;
            info.start(pdfinfo, {f.filePath()});
            ASSERT_TRUE(info.waitForFinished(60000));
            EXPECT_EQ(info.exitCode(), 0) << "and a PDF reader cannot open it: " << info.readAllStandardError().toStdString();
        }
    }
}

} // namespace
