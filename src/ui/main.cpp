// The program's entry: splash, title, the main window and the message loop.
#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QList>
#include <QStringList>

#include "Unit1.h"
#include "Unit5.h"
#include "allocator.h"
#include "commandline.h"
#include "fontsubstitutions.h"
#include "handlerguard.h"
#include "qtprinter.h"
#include "runstate.h"
#include "stopsignals.h"
#include "translations.h"

int main(int argc, char **argv)
{
    // Before Qt starts any thread of its own.
    quiltana::TuneAllocatorForDecoding();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quiltana"));
    // SIGTERM, SIGINT and SIGHUP end the event loops (and any print at its next page) rather
    // than the process where it stands.
    const quiltana::StopSignals stopSignals;
    quiltana::RegisterFontSubstitutions();
    // Before the first window: Qt's standard buttons and dialogs take their texts when made.
    quiltana::InstallQtTranslations();
    // The arguments as the system handed them over, before any conversion to text: a name that
    // is no valid UTF-8 is refused by its own bytes rather than opened under a changed name.
    // QApplication has taken out the options meant for Qt. The paths are made absolute against
    // the folder the program was started in; nothing later depends on that folder.
    QList<QByteArray> rawArguments;
    for (int i = 1; i < argc; ++i)
        rawArguments.append(QByteArray(argv[i]));
    const quiltana::CommandLine commandLine = quiltana::ReadCommandLine(rawArguments, QDir::currentPath());

    // The start-up and the message loop; an error that ends them is shown before the program ends.
    quiltana::guarded(nullptr, [&] {
        // Shown and painted before the rest loads; it closes and frees itself.
        auto *splash = new quiltana::TForm5;
        splash->show();
        splash->repaint();
        QApplication::processEvents();

        quiltana::QtPrinter printer;
        // The state of this run: the windows hold it, the rules are handed its parts.
        quiltana::RunState run;
        run.printer = &printer;
        run.workFolder.path =
            quiltana::TForm1::ProgramFolder(QCoreApplication::applicationDirPath()) + QStringLiteral("/temp");
        {
            quiltana::TForm1 form(run, commandLine.paths, commandLine.refused);
            form.show();
            // A signal that came during the start-up has already asked the (not yet running)
            // loop to end.
            if (!quiltana::StopSignalled())
                QApplication::exec();
        }
    });
    return 0;
}
