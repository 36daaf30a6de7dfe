// A small program that prints the way the print command does, with the program's own handling of
// the signals that end it, for the test that signals it in the middle of a print
// (printstop_test.cpp). Usage: printstop_driver <output folder> <picture> ...
// It prints one picture a page, every page, to PDF files in the output folder. It writes
// "printing" once the print dialog has been answered and, at its end, "stopped" when a signal
// ended it or "finished" when the print ran to its end.
#include <QApplication>
#include <QDir>
#include <QPageSize>
#include <QPrinter>
#include <QRadioButton>
#include <QTimer>

#include <cstdio>

#include "Unit4.h"
#include "document.h"
#include "fakedialogs.h"
#include "handlerguard.h"
#include "pagesetup.h"
#include "printcommand.h"
#include "printjob.h"
#include "qtprinter.h"
#include "stopsignals.h"

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const quiltana::StopSignals stopSignals;
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3 || !stopSignals.installed())
        return 2;

    using namespace quiltana;
    QtPrinter printer(QDir(args[1]).filePath(QStringLiteral("Quiltana Document.pdf")));
    printer.printer()->setPageSize(QPageSize(QPageSize::A6));
    printer.printer()->setResolution(150); // pages of a few hundred kilobytes
    setCurrentPrinter(&printer);
    ReadPrinterMetrics(printer);
    SetPageSetupDefaults(printer);
    Document &doc = document();
    doc.layoutStyle = 1;
    for (qsizetype i = 2; i < args.size(); ++i)
        doc.cells[static_cast<std::size_t>(i - 2)].picturePath = doc.cells[static_cast<std::size_t>(i - 2)].workPath = args[i];
    doc.lastFilledCell = doc.scanLastFilledCell();
    RefreshPageLists(doc);

    test::FakeDialogs dialogs;
    TForm4 form;
    dialogs.onExec = [&form](QDialog &) {
        form.pageall->setChecked(true);
        std::puts("printing");
        std::fflush(stdout);
        return kPrintResultPrint;
    };
    // As a menu command runs: from the event loop, which goes on after the print as the
    // program's does, until a signal ends it.
    QTimer::singleShot(0, [&form] {
        guarded(nullptr, [&form] { Print1Click(nullptr, form); });
        if (!StopSignalled())
            QCoreApplication::quit();
    });
    QApplication::exec();
    std::puts(StopSignalled() ? "stopped" : "finished");
    for (const QString &e : dialogs.errors)
        std::printf("error: %s\n", e.toLocal8Bit().constData());
    setCurrentPrinter(nullptr);
    return 0;
}
