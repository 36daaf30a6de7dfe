#include "workfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "error.h"

namespace quiltana {

void EnsureWorkFolder(const QString &path)
{
    const QFileInfo folder(path);
    // Through a link, the files deleted at close would be somebody else's.
    if (folder.isSymLink())
        throw Error(QStringLiteral("Cannot create temp directory.\n")
                    + FileErrorText(folder.absoluteFilePath(),
                                    QStringLiteral("シンボリックリンクです。作業フォルダはリンクを通しては使いません")));
    if (folder.isDir())
        return;
    if (!QDir().mkdir(path))
        throw Error(QStringLiteral("Cannot create temp directory."));
}

bool IsWorkCopyName(const QString &fileName)
{
    // "<name>.<jpg|jpeg|png|bmp>[~n].bmp", the kinds the program reads, and also
    // "<name>~<8 hex digits>.<kind>[~n].bmp" for a shortened long name.
    static const QRegularExpression pattern(
        QStringLiteral("^.+\\.(?:[jJ][pP][eE]?[gG]|[pP][nN][gG]|[bB][mM][pP])(?:~[0-9]+)?\\.bmp$"));
    return pattern.match(fileName).hasMatch();
}

QStringList WorkCopyFiles(const QString &path)
{
    const QFileInfo folderInfo(path);
    if (folderInfo.isSymLink() || !folderInfo.isDir())
        return {};
    const QDir folder(folderInfo.filePath());
    QStringList names;
    const QStringList entries =
        folder.entryList({QStringLiteral("*.bmp")}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString &name : entries) {
        // Only the program's own files, and only the files themselves: a link is never
        // followed, whatever it points to.
        const QFileInfo entry(folder.filePath(name));
        if (IsWorkCopyName(name) && !entry.isSymLink() && entry.isFile())
            names.append(name);
    }
    return names;
}

void DeleteWorkCopies(const QString &path)
{
    const QDir folder(path);
    for (const QString &name : WorkCopyFiles(path))
        QFile::remove(folder.filePath(name));
}

} // namespace quiltana
