#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

namespace quiltana {

struct Document;

// The pictures of one folder as full paths (folder + "/" + entry name): its files whose
// extension is ".jpg", ".jpeg", ".bmp" or ".png" in any letter case (hidden files included), in
// the order a file manager lists them: numbers in names compared as numbers, letter case
// ignored, Japanese names by the Japanese collation; without descending into subfolders. A
// subfolder is never a picture, whatever its name, nor is a link that leads nowhere. A path
// that is not a readable folder gives an empty list. Shared by the command line and the drop
// of folders.
// A picture whose name cannot be represented (IsRepresentableName) is not among them: the
// message for it, naming the full path escaped, is appended to `refused` when one is given.
[[nodiscard]] QStringList PicturesInFolder(const QString &folder, QStringList *refused = nullptr);

// Fills the run's document `doc` from the command line, from cell 0 on: every argument is read; a folder
// contributes PicturesInFolder(folder), anything else (a file of any extension, a path that
// does not exist) goes into the next cell unchanged. Orientation 0 everywhere. No cell past
// 999 is written: what does not fit is left out and counted. Sets the last filled cell by a
// scan of the table. Returns the number of paths left out (0 normally), which the window
// reports to the user. Paths should already be absolute, made so against the directory the
// program was started in (ReadCommandLine). The messages for pictures of folders whose names
// cannot be represented are appended to `refused` when one is given.
// The work copies are not made here: the caller makes them afterwards (MakeWorkCopies).
int FillDocumentFromArguments(Document &doc, const QStringList &arguments, QStringList *refused = nullptr);

// The command line's arguments (without the program's name) as the system handed them over,
// bytes in the file-name encoding: `paths` are the arguments the program can name, absolute
// against `startFolder` (the absolute folder the program was started in) and cleaned (an empty argument stays empty), in their order;
// `refused` the messages for the arguments whose names cannot be represented. A refused
// argument takes no cell.
struct CommandLine {
    QStringList paths;
    QStringList refused;
};
[[nodiscard]] CommandLine ReadCommandLine(const QList<QByteArray> &rawArguments, const QString &startFolder);

} // namespace quiltana
