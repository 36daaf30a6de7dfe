#include "commandline.h"

#include "document.h"
#include "names.h"
#include "paths.h"
#include "placer.h"

#include <QCollator>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace quiltana {

namespace {

// The pictures in the order a file manager lists them: numbers in names compared as numbers
// (IMG_2 before IMG_10), letter case ignored, Japanese names by the Japanese collation. Names
// the collation takes as equal keep a fixed order by their characters.
void SortAsAFileManagerLists(QStringList &paths)
{
    QCollator collator{QLocale(QLocale::Japanese, QLocale::Japan)};
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(paths.begin(), paths.end(), [&collator](const QString &a, const QString &b) {
        const int order = collator.compare(a, b);
        return order != 0 ? order < 0 : a < b;
    });
}

} // namespace

QStringList PicturesInFolder(const QString &folder, QStringList *refused)
{
    QStringList pictures;
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
#ifdef Q_OS_UNIX
    // The folder's names as the file system holds them: Qt's listing would already have turned
    // a name that is no valid UTF-8 into one that names nothing.
    const QByteArray rawPrefix = QFile::encodeName(prefix);
    DIR *dir = opendir(rawPrefix.constData());
    if (!dir)
        return pictures;
    while (const dirent *entry = readdir(dir)) {
        const QByteArray name(entry->d_name);
        const QString text = QFile::decodeName(name);
        if (!isAcceptedPicture(text)) // also passes over "." and ".."
            continue;
        // A file, or a link to one; a subfolder called "x.jpg", a link that leads nowhere, a
        // pipe or a device is no picture.
        const QByteArray raw = rawPrefix + name;
        struct stat info {};
        if (::stat(raw.constData(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        if (IsRepresentableName(name))
            pictures.append(prefix + text);
        else if (refused)
            refused->append(UnrepresentableNameError(raw));
    }
    closedir(dir);
#else
    // QDir::Files keeps a subfolder called "x.jpg" out, QDir::Hidden keeps hidden pictures in.
    Q_UNUSED(refused);
    QDirIterator it(folder, QDir::Files | QDir::Hidden);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        if (isAcceptedPicture(name))
            pictures.append(prefix + name);
    }
#endif
    SortAsAFileManagerLists(pictures);
    return pictures;
}

int FillDocumentFromArguments(Document &doc, const QStringList &arguments, QStringList *refused)
{
    Placer placer(doc, 0);

    // Every argument is looked at, so that each picture that finds no cell is counted.
    for (const QString &argument : arguments) {
        if (argument.isEmpty())
            continue; // names nothing; as a picture path it would only read as an empty cell
        if (QFileInfo(argument).isDir()) {
            for (const QString &picture : PicturesInFolder(argument, refused))
                placer.place(picture);
        } else {
            placer.place(argument);
        }
    }
    doc.lastFilledCell = doc.scanLastFilledCell();
    return placer.leftOut();
}

CommandLine ReadCommandLine(const QList<QByteArray> &rawArguments, const QString &startFolder)
{
    CommandLine result;
    const QDir start(startFolder);
    QByteArray rawStart = QFile::encodeName(start.path());
    if (!rawStart.endsWith('/'))
        rawStart += '/';
    for (const QByteArray &raw : rawArguments) {
        if (!IsRepresentableName(raw)) {
            const QByteArray absolute =
                raw.startsWith('/') ? raw : rawStart + raw;
            result.refused.append(UnrepresentableNameError(absolute));
            continue;
        }
        const QString path = QFile::decodeName(raw);
        result.paths.append(path.isEmpty() ? path : QDir::cleanPath(start.absoluteFilePath(path)));
    }
    return result;
}

} // namespace quiltana
