// Prints as the print command does, with the program's own handling of the signals that end it,
// for printstop_test.cpp: forty pages of one picture to PDF files in the folder it is given. It
// writes "printing" once the print dialog is answered and, at its end, "stopped" when a signal
// ended it or "finished" when the print ran to its end.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPageSize>
#include <QPrinter>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

#include "Unit4.h"
#include "document.h"
#include "fakedialogs.h"
#include "handlerguard.h"
#include "printcommand.h"
#include "qtprinter.h"
#include "stopsignals.h"

int main(int argc, char **argv)
{
    using namespace quiltana;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const StopSignals stopSignals;
    QTemporaryDir pictures;
    QImage image(60, 40, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 37 & 0xff, y * 53 & 0xff, x * y & 0xff));
    const QString picture = pictures.filePath(QStringLiteral("p.png"));
    if (argc != 2 || !stopSignals.installed() || !image.save(picture))
        return 2;

    QtPrinter printer(QDir(QString::fromLocal8Bit(argv[1])).filePath(QStringLiteral("Quiltana Document.pdf")));
    printer.printer()->setPageSize(QPageSize(QPageSize::A6));
    printer.printer()->setResolution(150); // pages of about half a megabyte
    RunState run;
    run.printer = &printer;
    ReadPrinterMetrics(run.printerMetrics, printer);
    SetPageSetupDefaults(run.pageSetup, run.printerMetrics, printer);
    Document &doc = run.document;
    doc.layoutStyle = 1;
    for (int i = 0; i < 40; ++i)
        doc.cells[static_cast<std::size_t>(i)].picturePath = doc.cells[static_cast<std::size_t>(i)].workPath = picture;
    doc.lastFilledCell = doc.scanLastFilledCell();
    RefreshPageLists(doc);

    test::FakeDialogs dialogs;
    TForm4 form(run);
    dialogs.onExec = [&form](QDialog &) {
        form.findChild<QRadioButton *>(QStringLiteral("pageall"))->setChecked(true);
        std::puts("printing");
        std::fflush(stdout);
        return static_cast<int>(PrintDialogResult::Print);
    };
    // As a menu command runs: from the event loop, which goes on after the print as the
    // program's does, until a signal ends it.
    QTimer::singleShot(0, [&form, &run] {
        guarded(nullptr, [&form, &run] { Print1Click(nullptr, form, run); });
        if (!StopSignalled())
            QCoreApplication::quit();
    });
    QApplication::exec();
    std::puts(StopSignalled() ? "stopped" : "finished");
    return 0;
}
