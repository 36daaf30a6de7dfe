#pragma once

#include <QString>
#include <QStringList>

namespace quiltana::bench {

// One photograph of the set: its path and its size in megapixels (from its header).
struct Photo {
    QString path;
    double megapixels = 0;
};

// The JPEG and PNG files of `folder`, sorted by name.
[[nodiscard]] QList<Photo> PhotosIn(const QString &folder);

// The `count` photos with the most pixels (ties by name), in name order: the page that is
// printed and previewed.
[[nodiscard]] QList<Photo> LargestPhotos(const QList<Photo> &photos, int count);

// What one measured run reports; a child process prints it as one line for the parent.
struct CaseResult {
    double seconds = 0;
    double megapixels = 0; // picture megapixels handled
    long restKb = 0;       // resident before the measured work
    long peakKb = 0;       // peak resident during it
    double cpuSeconds = 0; // processor time of the process (and its children) during it
    qint64 outputBytes = 0;
    int threads = 0;
    int errors = 0;
    QString note;

    [[nodiscard]] QString toLine() const;
    [[nodiscard]] static CaseResult fromLine(const QString &line, bool *ok);
};

// The measured cases. Each runs in a fresh process of its own (see main.cpp), so that its peak
// memory is its own.
//   reference-djpeg  every JPEG through `djpeg -scale 1/8`, every PNG fully through libpng
//   reference-lib    the same in this process (libjpeg at 1/8, libpng)
//   full-decode      every photo at full size through libjpeg and libpng
//   workcopies       a drop of the folder on an empty document: every work copy made
//   print            a 5X10 page of the 50 largest photos printed to a PDF file at 600 dpi
//   preview          the preview of that page rendered from the work copies
//   full-decode-50   the 50 photos of that page at full size through libjpeg and libpng
//   fit-50           those 50 photos decoded and fitted into their cells as printing does it, no PDF
//   print-all        every page of a 5X10 document of all the photos (up to 1000), to PDF
//
// Repeated to `count` names: a folder of links named NNNN-<photo> that cycles through the set,
// made (or made again) beside the set; answers its path.
[[nodiscard]] QStringList CaseNames();

// Runs `name` on the photos of `folder` in this process; `oneCore` keeps the process (and what
// it starts) on a single processor. Throws std::runtime_error when the case cannot run.
[[nodiscard]] QString RepeatedSet(const QString &folder, int count);

[[nodiscard]] CaseResult RunCase(const QString &name, const QString &folder, bool oneCore);

} // namespace quiltana::bench
