// Measures how fast the program makes its work copies, prints a full page and renders the
// preview, on a folder of photographs. Every measured run is a fresh child process (this
// program started again with --child), so that each peak memory figure belongs to one run.
// It reports; it judges nothing and always ends with 0 unless it could not run at all.

#include "allocator.h"
#include "benchcases.h"
#include "quality.h"
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
    QString folder; // the photo set's own folder when empty
    QString key;    // how the summary finds the row
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
        const std::string dir = QFile::encodeName(row.folder.isEmpty() ? folder : row.folder).toStdString();
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
                "       quiltana_bench --quality-pictures OUT [photo folder]\n"
                "  The folder defaults to %s; make it with\n"
                "  bash ../shared/bench/make-photos.sh\n"
                "  --quality-pictures writes the pictures of the print quality report and their\n"
                "  printed cells into OUT; bench/quality.py measures them (scripts/bench.sh does both).\n",
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
    // The quality report's pictures: --quality-pictures OUT [FOLDER]
    if (!args.isEmpty() && args[0] == QLatin1String("--quality-pictures") && args.size() >= 2) {
        try {
            WriteQualityPictures(args.size() > 2 ? args[2] : QString::fromLatin1(kDefaultFolder), args[1]);
            return 0;
        } catch (const std::exception &e) {
            std::fprintf(stderr, "The quality report's pictures could not be made: %s\n", e.what());
            return 1;
        }
    }

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
    // The 1000-photo cases use the set repeated to 1000 names.
    QString thousand;
    try {
        thousand = RepeatedSet(folder, 1000);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "The 1000-photo cases are left out: %s\n", e.what());
    }
    const int fewRuns = std::min(runs, 2);
    const auto row = [](const char *label, const char *caseName, bool oneCore, int n, const QString &dir,
                        const char *key) {
        return Row{QString::fromUtf8(label), QString::fromLatin1(caseName), oneCore, n, {}, dir, QString::fromLatin1(key)};
    };
    std::vector<Row> rows = {
        row("Reference: djpeg -scale 1/8 + libpng", "reference-djpeg", true, runs, {}, "djpeg"),
        row("Reference: libjpeg 1/8 + libpng in-process", "reference-lib", true, runs, {}, "floor/1"),
        row("Reference: libjpeg 1/8 + libpng in-process", "reference-lib", false, runs, {}, "floor/2"),
        row("Work copies of all photos (drop)", "workcopies", true, runs, {}, "drop/1"),
        row("Work copies of all photos (drop)", "workcopies", false, runs, {}, "drop/2"),
        row("Print 5X10, 50 photos, to PDF at 600 dpi", "print", false, runs, {}, "print/2"),
        row("Print 5X10, 50 photos, to PDF at 600 dpi", "print", true, runs, {}, "print/1"),
        row("Print's decoding alone: the 50 photos fitted into their cells", "fit-50", true, runs, {}, "fit50"),
        row("Preview render 5X10 from work copies", "preview", true, runs, {}, "preview"),
        row("Full-size decode of the page's 50 photos", "full-decode-50", true, std::min(runs, 3), {}, "full50/1"),
        row("Full-size decode of the page's 50 photos", "full-decode-50", false, std::min(runs, 3), {}, "full50/2"),
    };
    if (!thousand.isEmpty()) {
        rows.push_back(row("1000 photos: reference libjpeg 1/8 + libpng", "reference-lib", false, fewRuns, thousand, "floor1000"));
        rows.push_back(row("1000 photos: work copies (drop)", "workcopies", false, fewRuns, thousand, "drop1000"));
        rows.push_back(row("1000 photos: print every page of 5X10 to PDF", "print-all", false, fewRuns, thousand, "printall"));
    }
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
        const QString &key = row.key;
        medians[key] = time.median;
        peaks[key] = aboveRest.median;
    }

    // The targets, each a ratio of two rows of this run.
    const auto have = [&](const char *key) { return medians.count(QString::fromLatin1(key)) > 0; };
    const auto time = [&](const char *key) { return medians[QString::fromLatin1(key)]; };
    const auto above = [&](const char *key) { return peaks[QString::fromLatin1(key)] / 1024.0; };
    std::printf("\n| Target | Measured | Limit |\n|---|---|---|\n");
    if (have("print/2") && have("full50/1"))
        std::printf("| Print 5X10 (both cores) / full-size decode of its 50 photos, one process on one core | %.2f | 0.6 |\n",
                    time("print/2") / time("full50/1"));
    if (have("print/2") && have("full50/2"))
        std::printf("| Print 5X10 (both cores) / full-size decode of its 50 photos on both cores | %.2f | – |\n",
                    time("print/2") / time("full50/2"));
    if (have("print/1") && have("full50/1"))
        std::printf("| Print 5X10 on one core / full-size decode on one core | %.2f | – |\n", time("print/1") / time("full50/1"));
    if (have("print/2"))
        std::printf("| Print 5X10: peak above rest | %.0f MB | 200 MB |\n", above("print/2"));
    if (have("drop1000") && have("floor1000"))
        std::printf("| 1000-photo drop / two-core reduced-decode floor | %.2f | 1.1 |\n", time("drop1000") / time("floor1000"));
    if (have("drop1000"))
        std::printf("| 1000-photo drop: peak above rest | %.0f MB | 150 MB |\n", above("drop1000"));
    if (have("drop/2"))
        std::printf("| 52-photo drop: peak above rest (for growth) | %.0f MB | – |\n", above("drop/2"));
    if (have("drop/2") && have("floor/2"))
        std::printf("| 52-photo work copies / two-core floor | %.2f | 1.0 |\n", time("drop/2") / time("floor/2"));
    if (have("drop/1") && have("djpeg"))
        std::printf("| 52-photo work copies on one core / djpeg reference | %.2f | – |\n", time("drop/1") / time("djpeg"));
    if (have("printall"))
        std::printf("| 1000 photos: every page of 5X10 printed | %.1f s | – |\n", time("printall"));
    return 0;
}
