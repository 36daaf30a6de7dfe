// Measures how fast the program makes its work copies, prints a full page and renders the
// preview, on a folder of photographs. Every measured run is a fresh child process (this
// program started again with --child), so that each peak memory figure belongs to one run.
// It reports; it judges nothing and always ends with 0 unless it could not run at all.

#include "allocator.h"
#include "benchcases.h"
#include "statistics.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <algorithm>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <string>
#include <vector>

using namespace quiltana::bench;

namespace {

constexpr const char *kDefaultFolder = "/var/tmp/quiltana-bench-photos";

struct Row {
    QString label;
    QString caseName;
    bool oneCore;
    int runs;
    std::vector<CaseResult> results;
};

// Runs this program as a child for one case and reads its result line.
bool runChild(const std::string &self, const Row &row, const QString &folder, CaseResult *result)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return false;
    const pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        // Qt's warnings go with the result; they are shown only when the run fails.
        dup2(pipeEnds[1], STDOUT_FILENO);
        dup2(pipeEnds[1], STDERR_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        const std::string name = row.caseName.toStdString();
        const std::string cores = row.oneCore ? "1" : "all";
        const std::string dir = QFile::encodeName(folder).toStdString();
        execl(self.c_str(), self.c_str(), "--child", name.c_str(), "--cores", cores.c_str(), dir.c_str(),
              static_cast<char *>(nullptr));
        _exit(127);
    }
    close(pipeEnds[1]);
    std::string output;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = read(pipeEnds[0], buffer, sizeof buffer)) > 0)
        output.append(buffer, static_cast<std::size_t>(n));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    for (const QString &line : QString::fromStdString(output).split(QLatin1Char('\n'))) {
        bool ok = false;
        const CaseResult parsed = CaseResult::fromLine(line, &ok);
        if (ok) {
            *result = parsed;
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
    }
    std::fprintf(stderr, "%s failed:\n%s\n", row.label.toLocal8Bit().constData(), output.c_str());
    return false;
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    return QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2);
}

QString mb(double kb) { return QString::number(kb / 1024.0, 'f', 0); }

QString spreadText(const Spread &s, int digits, double scale = 1)
{
    return QStringLiteral("%1 (%2–%3)")
        .arg(s.median * scale, 0, 'f', digits)
        .arg(s.min * scale, 0, 'f', digits)
        .arg(s.max * scale, 0, 'f', digits);
}

int childMain(const QString &caseName, bool oneCore, const QString &folder)
{
    // A measured run starts as the program does.
    quiltana::TuneAllocatorForDecoding();
    try {
        const CaseResult result = RunCase(caseName, folder, oneCore);
        std::printf("%s\n", result.toLine().toUtf8().constData());
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}

void usage()
{
    std::printf("usage: quiltana_bench [--runs N] [photo folder]\n"
                "  The folder defaults to %s; make it with\n"
                "  bash ../shared/bench/make-photos.sh\n",
                kDefaultFolder);
}

} // namespace

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    // A measured run: --child CASE --cores 1|all FOLDER
    if (args.size() == 5 && args[0] == QLatin1String("--child") && args[2] == QLatin1String("--cores"))
        return childMain(args[1], args[3] == QLatin1String("1"), args[4]);

    int runs = 5;
    QString folder = QString::fromLatin1(kDefaultFolder);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs") && i + 1 < args.size()) {
            runs = std::max(1, args[++i].toInt());
        } else if (args[i] == QLatin1String("--help") || args[i] == QLatin1String("-h")) {
            usage();
            return 0;
        } else {
            folder = args[i];
        }
    }
    const QList<Photo> photos = PhotosIn(folder);
    if (photos.isEmpty()) {
        std::printf("No photos in %s.\n", folder.toLocal8Bit().constData());
        usage();
        return 2;
    }
    double megapixels = 0;
    for (const Photo &p : photos)
        megapixels += p.megapixels;
    std::printf("Photos: %lld files, %.0f megapixels in %s; %d runs per case\n\n",
                static_cast<long long>(photos.size()), megapixels, folder.toLocal8Bit().constData(), runs);
    std::printf("Load average before: %s\n", loadAverage().toLatin1().constData());
    std::fflush(stdout);

    const std::string self = QFile::encodeName(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).toStdString();
    std::vector<Row> rows = {
        {QStringLiteral("Reference: djpeg -scale 1/8 + libpng"), QStringLiteral("reference-djpeg"), true, runs, {}},
        {QStringLiteral("Reference: libjpeg 1/8 + libpng in-process"), QStringLiteral("reference-lib"), true, runs, {}},
        {QStringLiteral("Reference: libjpeg 1/8 + libpng in-process"), QStringLiteral("reference-lib"), false, runs, {}},
        {QStringLiteral("Work copies of all photos (drop)"), QStringLiteral("workcopies"), true, runs, {}},
        {QStringLiteral("Work copies of all photos (drop)"), QStringLiteral("workcopies"), false, runs, {}},
        {QStringLiteral("Print 5X10, 50 photos, to PDF at 600 dpi"), QStringLiteral("print"), true, runs, {}},
        {QStringLiteral("Preview render 5X10 from work copies"), QStringLiteral("preview"), true, runs, {}},
        {QStringLiteral("Full-size decode libjpeg + libpng"), QStringLiteral("full-decode"), true, std::min(runs, 3), {}},
    };
    // Round by round, so that a change in the machine's load falls on every case alike.
    for (int round = 0; round < runs; ++round) {
        for (Row &row : rows) {
            if (round >= row.runs)
                continue;
            CaseResult result;
            if (runChild(self, row, folder, &result))
                row.results.push_back(result);
        }
        std::fprintf(stderr, "round %d of %d done\n", round + 1, runs);
    }

    std::printf("Load average after: %s\n\n", loadAverage().toLatin1().constData());
    std::printf("| Case | Cores | Time s: median (min–max) | MP/s | CPU s | Peak above rest MB: median (min–max) | Peak MB | Output | Notes |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    std::map<QString, double> medians;
    std::map<QString, double> peaks;
    for (const Row &row : rows) {
        if (row.results.empty()) {
            std::printf("| %s | %s | failed | | | | | | |\n", row.label.toUtf8().constData(), row.oneCore ? "1" : "2");
            continue;
        }
        std::vector<double> seconds, cpu, above, peak, bytes;
        for (const CaseResult &r : row.results) {
            seconds.push_back(r.seconds);
            cpu.push_back(r.cpuSeconds);
            above.push_back(static_cast<double>(r.peakKb - r.restKb));
            peak.push_back(static_cast<double>(r.peakKb));
            bytes.push_back(static_cast<double>(r.outputBytes));
        }
        const CaseResult &first = row.results.front();
        const Spread time = spreadOf(seconds);
        const Spread aboveRest = spreadOf(above);
        const bool small = time.median < 0.1;
        const QString timeText = small ? spreadText(time, 1, 1000) + QStringLiteral(" ms") : spreadText(time, 3);
        const QString output = first.outputBytes > 0
                                   ? QStringLiteral("PDF %1 MB").arg(spreadOf(bytes).median / 1e6, 0, 'f', 1)
                                   : QString();
        QString notes = first.note;
        if (first.errors)
            notes += QStringLiteral(" %1 errors").arg(first.errors);
        if (row.caseName == QLatin1String("workcopies") || row.caseName == QLatin1String("reference-lib"))
            notes += QStringLiteral(" (%1 decoding threads)").arg(first.threads);
        const bool separateProcesses = row.caseName == QLatin1String("reference-djpeg");
        std::printf("| %s | %s | %s | %.0f | %.2f | %s | %s | %s | %s |\n", row.label.toUtf8().constData(),
                    row.oneCore ? "1" : "2", timeText.toUtf8().constData(), first.megapixels / time.median,
                    spreadOf(cpu).median,
                    separateProcesses ? "–" : spreadText(aboveRest, 0, 1.0 / 1024).toUtf8().constData(),
                    mb(spreadOf(peak).median).toUtf8().constData(), output.toUtf8().constData(),
                    notes.trimmed().toUtf8().constData());
        const QString key = row.caseName + (row.oneCore ? QStringLiteral("/1") : QStringLiteral("/2"));
        medians[key] = time.median;
        peaks[key] = aboveRest.median;
    }

    if (medians.count(QStringLiteral("workcopies/1")) && medians.count(QStringLiteral("reference-djpeg/1")))
        std::printf("\nWork copies on one core / djpeg reference: %.2f\n",
                    medians[QStringLiteral("workcopies/1")] / medians[QStringLiteral("reference-djpeg/1")]);
    if (medians.count(QStringLiteral("workcopies/2")) && medians.count(QStringLiteral("reference-lib/2")))
        std::printf("Work copies on both cores / in-process reference on both cores: %.2f\n",
                    medians[QStringLiteral("workcopies/2")] / medians[QStringLiteral("reference-lib/2")]);
    if (medians.count(QStringLiteral("workcopies/1")) && medians.count(QStringLiteral("workcopies/2")))
        std::printf("Work copies, one core / both cores: %.2f\n",
                    medians[QStringLiteral("workcopies/1")] / medians[QStringLiteral("workcopies/2")]);
    return 0;
}
