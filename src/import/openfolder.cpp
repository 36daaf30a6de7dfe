#include "openfolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace quiltana {

void RememberPictureFolder(PictureFolderMemory &memory, const QStringList &names)
{
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        if (it->isEmpty())
            continue;
        const QFileInfo info(*it);
        if (info.isDir()) {
            memory.folder = QDir::cleanPath(info.absoluteFilePath());
            return;
        }
        if (info.exists()) {
            memory.folder = QDir::cleanPath(info.absolutePath());
            return;
        }
    }
}

QString StartFolder(const QString &remembered, const QString &pictures, const QString &home)
{
    for (const QString &folder : {remembered, pictures})
        if (!folder.isEmpty() && QFileInfo(folder).isDir())
            return folder;
    return home;
}

QString OpenDialogStartFolder(const PictureFolderMemory &memory)
{
    return StartFolder(memory.folder,
                       QStandardPaths::writableLocation(QStandardPaths::PicturesLocation), QDir::homePath());
}

} // namespace quiltana
