// The program's entry: splash, title, the main window and the message loop.
#include <QApplication>
#include <QDir>
#include <QFont>
#include <QStringList>

#include <exception>

#include "Unit1.h"
#include "Unit5.h"
#include "dialogs.h"
#include "error.h"
#include "printer.h"
#include "qtprinter.h"

namespace {

// The interface asks for the Windows gothic faces; the font mapper finds Japanese gothic faces
// installed here instead, so that no text turns into boxes.
void registerFontSubstitutions()
{
    const QStringList proportional{QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP"),
                                   QStringLiteral("IPAGothic")};
    const QStringList fixed{QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans Mono CJK JP"),
                            QStringLiteral("Noto Sans CJK JP")};
    QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"), proportional);
    QFont::insertSubstitutions(QStringLiteral("MS PGothic"), proportional);
    QFont::insertSubstitutions(QStringLiteral("ＭＳ ゴシック"), fixed);
    QFont::insertSubstitutions(QStringLiteral("MS Gothic"), fixed);
}

// The command line's paths, absolute against the folder the program was started in: the
// current directory moves to the program's folder before they are read.
QStringList absoluteArguments(const QStringList &arguments)
{
    const QDir start = QDir::current();
    QStringList result;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        result.append(a.isEmpty() ? a : QDir::cleanPath(start.absoluteFilePath(a)));
    }
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quiltana"));
    registerFontSubstitutions();
    const QStringList arguments = absoluteArguments(QApplication::arguments());

    try {
        // Shown and painted before the rest loads; it closes and frees itself.
        auto *splash = new quiltana::TForm5;
        splash->show();
        splash->repaint();
        QApplication::processEvents();

        quiltana::QtPrinter printer;
        quiltana::setCurrentPrinter(&printer);
        {
            quiltana::TForm1 form(arguments, quiltana::TForm1::ProgramFolder(QCoreApplication::applicationDirPath()));
            form.show();
            QApplication::exec();
        }
        quiltana::setCurrentPrinter(nullptr);
    } catch (const quiltana::Error &e) {
        quiltana::dialogs().error(nullptr, e.message());
    } catch (const std::exception &e) {
        quiltana::dialogs().error(nullptr, QString::fromLocal8Bit(e.what()));
    }
    return 0;
}
