#pragma once

#include <QHash>
#include <QSet>
#include <QString>

#include "document.h"
#include "pagesetup.h"

namespace quiltana {

class Printer;

// Which work path each picture file got in a run, and which paths are taken (WorkCopyPathFor).
struct WorkCopyNames {
    QHash<QString, QString> byPicture; // picture file key -> work path
    QSet<QString> taken;               // work path keys handed out
};

// Where a run keeps its work copies, and the names handed out there.
struct WorkFolder {
    QString path; // absolute, fixed at start-up; never relative to the current directory
    WorkCopyNames names;
};

// Where the open dialog of "ファイル読み込み..." starts: in the folder the user last took
// pictures from in this run, so that loading one picture after another does not mean finding
// that folder again each time.
struct PictureFolderMemory {
    QString folder; // absolute; empty until a picture is opened, dropped or named at start-up
};

// The state of one run of the program. `main` owns the one instance and hands it to the main
// window, which passes it, or only the parts they use, to the rules; nothing else reaches it.
// A test makes its own. Plain data: a default one is the state at start-up before any printer
// was read, with no work folder chosen yet.
struct RunState {
    Document document;
    PageSetup pageSetup;
    PrinterMetrics printerMetrics;
    PageSizeCache pageSizeCache; // the About box shows it
    Printer *printer = nullptr;  // the current printer, main's (not owned); null only in tests
    WorkFolder workFolder;
    PictureFolderMemory pictureFolder;
};

// The run's current printer; throws Error when it has none.
[[nodiscard]] Printer &CurrentPrinter(const RunState &run);

} // namespace quiltana
