#include "commandline.h"

#include "document.h"
#include "paths.h"
#include "placer.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace quiltana {

QStringList PicturesInFolder(const QString &folder)
{
    QStringList pictures;
    // QDirIterator without sorting hands the entries over in the file system's reading order;
    // QDir::Files keeps a subfolder called "x.jpg" out, QDir::Hidden keeps hidden pictures in.
    QDirIterator it(folder, QDir::Files | QDir::Hidden);
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        if (isAcceptedPicture(name))
            pictures.append(prefix + name);
    }
    return pictures;
}

int FillDocumentFromArguments(const QStringList &arguments)
{
    Document &doc = document();
    Placer placer(doc, 0);

    // Every argument is looked at, so that each picture that finds no cell is counted.
    for (const QString &argument : arguments) {
        if (argument.isEmpty())
            continue; // names nothing; as a picture path it would only read as an empty cell
        if (QFileInfo(argument).isDir()) {
            for (const QString &picture : PicturesInFolder(argument))
                placer.place(picture);
        } else {
            placer.place(argument);
        }
    }
    doc.lastFilledCell = doc.scanLastFilledCell();
    return placer.leftOut();
}

} // namespace quiltana
