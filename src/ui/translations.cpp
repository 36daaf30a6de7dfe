#include "translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QPointer>
#include <QStringList>
#include <QTranslator>

namespace quiltana {

bool InstallQtTranslations()
{
    static QPointer<QTranslator> installed; // belongs to the application, which may be renewed
    auto *app = QCoreApplication::instance();
    if (!app)
        return false;
    if (installed && installed->parent() == app)
        return true;

    const QStringList folders{
        QLibraryInfo::path(QLibraryInfo::TranslationsPath),
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations"))};
    auto *translator = new QTranslator(app);
    for (const QString &folder : folders) {
        if (translator->load(QStringLiteral("qtbase_ja"), folder)
            && QCoreApplication::installTranslator(translator)) {
            installed = translator;
            return true;
        }
    }
    delete translator;
    return false;
}

} // namespace quiltana
