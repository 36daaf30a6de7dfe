// The printer setup dialog of the running program, driven as a user drives it: opened modally
// by the menu command, the toolbar or the print dialog, answered with keys and clicks.
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QPageLayout>
#include <QPrinter>
#include <QTemporaryDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QtTest/QTest>

#include <functional>

#include "Unit4.h"
#include "dialogplacement.h"
#include "printersetupdialog.h"
#include "qtdialogs.h"
#include "qtprinter.h"
#include "translations.h"
#include "uitestsupport.h"

namespace quiltana::test {
namespace {

QPageSize lPrint()
{
    return QPageSize(QSizeF(89, 127), QPageSize::Millimeter, QStringLiteral("L判"), QPageSize::ExactMatch);
}

QPageSize twoLPrint()
{
    return QPageSize(QSizeF(127, 178), QPageSize::Millimeter, QStringLiteral("2L判"), QPageSize::ExactMatch);
}

// The dialog's controls by their names.
QComboBox *printerBox(const PrinterSetupDialog &d) { return named<QComboBox>(d, "PrinterBox"); }
QComboBox *paperBox(const PrinterSetupDialog &d) { return named<QComboBox>(d, "PaperBox"); }
QLineEdit *fileEdit(const PrinterSetupDialog &d) { return named<QLineEdit>(d, "FileEdit"); }
QRadioButton *landscapeButton(const PrinterSetupDialog &d) { return named<QRadioButton>(d, "LandscapeButton"); }

// Scripted answers for everything but printer setup, which is the program's own dialog.
class RealPrinterSetup : public FakeDialogs {
public:
    bool printerSetup(QWidget *parent, Printer &printer) override { return qt.printerSetup(parent, printer); }
    QtDialogs qt;
};

// Runs `act` on the printer setup dialog once it is up and modal. The dialog must be closed
// by `act`; one left open is reported and cancelled, so that the test goes on.
void whenSetupOpens(std::function<void(PrinterSetupDialog &)> act)
{
    QTimer::singleShot(0, qApp, [act] {
        auto *dialog = qobject_cast<PrinterSetupDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            ADD_FAILURE() << "the printer setup dialog is not open";
            return;
        }
        act(*dialog);
        if (dialog->isVisible()) {
            ADD_FAILURE() << "the printer setup dialog was left open";
            dialog->reject();
        }
    });
}

QStringList items(const QComboBox *box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

class PrinterSetup : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        printer.installed = QStringList{QStringLiteral("Test printer"), QStringLiteral("Photo printer")};
        printer.papers[QStringLiteral("Photo printer")] = {lPrint(), QPageSize(QPageSize::A5), twoLPrint()};
        printer.papers[QString()] = {QPageSize(QPageSize::A4), QPageSize(QPageSize::Postcard),
                                     QPageSize(QPageSize::Letter)};
    }

    RealPrinterSetup real; // made after the fixture's own answers, so it is the one in force
};

TEST(PlaceWithin, MovesAFrameOntoTheScreenAsLittleAsItTakes)
{
    const QRect screen(0, 0, 1024, 768);
    struct Case {
        QRect frame;
        QPoint expected;
    };
    const Case cases[] = {
        {QRect(100, 100, 300, 200), QPoint(100, 100)},  // inside: stays
        {QRect(900, 10, 300, 200), QPoint(724, 10)},    // past the right edge
        {QRect(-50, 700, 300, 200), QPoint(0, 568)},    // past the left and the bottom edges
        {QRect(724, 568, 300, 200), QPoint(724, 568)},  // touching the bottom right corner
        {QRect(500, -30, 1200, 900), QPoint(0, 0)},     // larger than the screen: title bar on it
    };
    for (const Case &c : cases)
        EXPECT_EQ(placeWithin(c.frame, screen).topLeft(), c.expected) << c.frame.x() << "," << c.frame.y();
    // A screen that does not start at the origin (the left one of two).
    EXPECT_EQ(placeWithin(QRect(-100, 0, 300, 200), QRect(-1280, 0, 1280, 1024)).topLeft(), QPoint(-300, 0));
    EXPECT_EQ(placeWithin(QRect(-100, 0, 300, 200), QRect(-1280, 0, 1280, 1024)).size(), QSize(300, 200));
}

TEST(PaperLabel, BracketsOfOneWidthInEveryName)
{
    InstallQtTranslations(); // Qt's paper names in Japanese where it has them
    QList<QPageSize> papers;
    for (int id = 0; id < QPageSize::LastPageSize; ++id) // Custom, the last, has no size
        papers << QPageSize(static_cast<QPageSize::PageSizeId>(id));
    for (const QString &name : {QStringLiteral("はがき（縦）"), QStringLiteral("名刺(55x91)"), QStringLiteral("Photo (4x6)"),
                                QStringLiteral("Ａ４（ふちなし)")}) // as printer drivers name them
        papers << QPageSize(QSizeF(100, 150), QPageSize::Millimeter, name, QPageSize::ExactMatch);
    for (const QPageSize &paper : papers) {
        const QString label = paperLabel(paper);
        const qsizetype full = label.count(QChar(0xFF08)) + label.count(QChar(0xFF09));
        const qsizetype half = label.count(QLatin1Char('(')) + label.count(QLatin1Char(')'));
        EXPECT_TRUE((full == 0) != (half == 0) && (full + half) % 2 == 0) << label.toStdString();
    }
}

TEST_F(PrinterSetup, ListsThePrintersAndEachPrintersOwnPapers)
{
    printer.applySetup({QStringLiteral("Test printer"), printer.outputFile, QPageSize(QPageSize::A5),
                        Printer::Orientation::Portrait});
    PrinterSetupDialog dialog(printer);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("プリンタの設定"));
    EXPECT_EQ(items(printerBox(dialog)), (QStringList{QStringLiteral("Test printer"), QStringLiteral("Photo printer"),
                                                     QStringLiteral("PDF ファイル")}));
    EXPECT_EQ(printerBox(dialog)->currentIndex(), 0);
    EXPECT_EQ(paperBox(dialog)->currentText(), QStringLiteral("A5 (148 x 210 mm)"));
    EXPECT_TRUE(named<QRadioButton>(dialog, "PortraitButton")->isChecked());
    EXPECT_FALSE(fileEdit(dialog)->isEnabled());
    EXPECT_EQ(named<QPushButton>(dialog, "CancelButton")->text(), QStringLiteral("キャンセル"));

    // Another printer: its papers, the chosen one kept where it has it too.
    QTest::keyClick(printerBox(dialog), Qt::Key_Down);
    EXPECT_EQ(items(paperBox(dialog)), (QStringList{QStringLiteral("L判（89 x 127 mm）"),
                                                   QStringLiteral("A5 (148 x 210 mm)"),
                                                   QStringLiteral("2L判（127 x 178 mm）")}));
    EXPECT_EQ(paperBox(dialog)->currentIndex(), 1);
    QTest::keyClick(paperBox(dialog), Qt::Key_Up);
    EXPECT_TRUE(dialog.chosen().paper.isEquivalentTo(lPrint()));
    EXPECT_EQ(dialog.chosen().printerName, QStringLiteral("Photo printer"));

    // Back to a printer without L: A4, its usual paper, rather than nothing.
    QTest::keyClick(printerBox(dialog), Qt::Key_Up);
    EXPECT_EQ(paperBox(dialog)->currentText(), QStringLiteral("A4 (210 x 297 mm)"));

    // The PDF files: the file name field counts, and without a name there is nothing to confirm.
    printerBox(dialog)->setCurrentIndex(2);
    EXPECT_TRUE(fileEdit(dialog)->isEnabled());
    EXPECT_TRUE(named<QPushButton>(dialog, "BrowseButton")->isEnabled());
    EXPECT_TRUE(dialog.chosen().printerName.isEmpty());
    fileEdit(dialog)->clear();
    EXPECT_FALSE(named<QPushButton>(dialog, "OkButton")->isEnabled());
    QTest::keyClicks(fileEdit(dialog), QStringLiteral("/tmp/sheet.pdf"));
    EXPECT_TRUE(named<QPushButton>(dialog, "OkButton")->isEnabled());
    EXPECT_EQ(dialog.chosen().outputFile, QStringLiteral("/tmp/sheet.pdf"));
    // Postcards by their Japanese name; inch sizes to a tenth of a millimetre.
    const QStringList pdfPapers = items(paperBox(dialog));
    ASSERT_EQ(pdfPapers.size(), 3);
    EXPECT_EQ(pdfPapers[1], QStringLiteral("はがき（100 x 148 mm）"));
    // (Letter in English or, with Qt's Japanese names, in Japanese and full-width brackets.)
    EXPECT_TRUE(pdfPapers[2].contains(QStringLiteral("215.9 x 279.4 mm"))) << pdfPapers[2].toStdString();
}

// The menu command: another paper in landscape. The page size cache keeps the landscape page,
// the printer ends in portrait on that paper, and the metrics are read from it.
TEST_F(PrinterSetup, EnterTakesThePaperAndOrientationFromTheMenuCommand)
{
    TForm1 &w = open();
    const int a4Width = printer.pageWidth();
    whenSetupOpens([](PrinterSetupDialog &d) {
        EXPECT_EQ(paperBox(d)->currentText(), QStringLiteral("A4 (210 x 297 mm)"));
        QTest::keyClick(paperBox(d), Qt::Key_Down); // A5
        QTest::mouseClick(landscapeButton(d), Qt::LeftButton);
        QTest::keyClick(paperBox(d), Qt::Key_Return);
    });
    w.N3Click();
    EXPECT_TRUE(real.errors.isEmpty()) << real.errors.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(printer.setupsApplied, 1);
    EXPECT_TRUE(printer.paper.isEquivalentTo(QPageSize(QPageSize::A5)));
    EXPECT_EQ(printer.orientation(), Printer::Orientation::Portrait);
    EXPECT_LT(printer.pageWidth(), a4Width);
    // The cache holds the page as it was chosen, turned.
    EXPECT_EQ(run.pageSizeCache.width, printer.pageHeight());
    EXPECT_EQ(run.pageSizeCache.height, printer.pageWidth());
    EXPECT_EQ(run.printerMetrics.widthMM, printer.widthMM());
    EXPECT_EQ(run.printerMetrics.heightMM, printer.heightMM());
    EXPECT_LT(run.printerMetrics.widthMM, 201);
}

TEST_F(PrinterSetup, EscapeAndCancelChangeNothing)
{
    TForm1 &w = open();
    const Printer::Setup before = printer.setup();
    const PrinterMetrics metrics = run.printerMetrics;
    run.pageSizeCache = PageSizeCache{1, 2};
    const auto choose = [](PrinterSetupDialog &d) {
        QTest::keyClick(printerBox(d), Qt::Key_Down);
        QTest::keyClick(paperBox(d), Qt::Key_Down);
        QTest::mouseClick(landscapeButton(d), Qt::LeftButton);
    };
    whenSetupOpens([&](PrinterSetupDialog &d) {
        choose(d);
        QTest::keyClick(paperBox(d), Qt::Key_Escape);
    });
    w.N3Click();
    whenSetupOpens([&](PrinterSetupDialog &d) {
        choose(d);
        QTest::mouseClick(named<QPushButton>(d, "CancelButton"), Qt::LeftButton);
    });
    speedButton(w, 2)->click();

    EXPECT_EQ(printer.setupsApplied, 0);
    EXPECT_EQ(printer.printerName, before.printerName);
    EXPECT_TRUE(printer.paper.isEquivalentTo(before.paper));
    EXPECT_EQ(printer.orientation(), before.orientation);
    EXPECT_EQ(run.pageSizeCache.width, 1);
    EXPECT_EQ(run.pageSizeCache.height, 2);
    EXPECT_EQ(run.printerMetrics.widthMM, metrics.widthMM);
    EXPECT_EQ(run.printerMetrics.topDots, metrics.topDots);
}

// The print dialog's "プリンタ設定" rereads the metrics but leaves the orientation in force.
TEST_F(PrinterSetup, ThePrintDialogsButtonKeepsLandscape)
{
    TForm1 &w = open();
    run.pageSizeCache = PageSizeCache{1, 2};
    whenSetupOpens([](PrinterSetupDialog &d) {
        QTest::mouseClick(landscapeButton(d), Qt::LeftButton);
        QTest::keyClick(printerBox(d), Qt::Key_Enter);
    });
    w.printDialog()->Button3Click();
    EXPECT_EQ(printer.orientation(), Printer::Orientation::Landscape);
    EXPECT_GT(printer.pageWidth(), printer.pageHeight());
    EXPECT_EQ(run.printerMetrics.widthMM, printer.widthMM());
    EXPECT_GT(run.printerMetrics.widthMM, run.printerMetrics.heightMM);
    EXPECT_EQ(run.pageSizeCache.width, 1); // only the main window's command fills the cache

    // Opened again, it shows what is in force.
    whenSetupOpens([](PrinterSetupDialog &d) {
        EXPECT_TRUE(landscapeButton(d)->isChecked());
        QTest::keyClick(printerBox(d), Qt::Key_Escape);
    });
    w.printDialog()->Button3Click();
}

// A printer that went away while the dialog was open: the user is told, and nothing changes.
TEST_F(PrinterSetup, ARefusedChoiceIsReportedAndChangesNothing)
{
    TForm1 &w = open();
    run.pageSizeCache = PageSizeCache{1, 2};
    whenSetupOpens([this](PrinterSetupDialog &d) {
        QTest::keyClick(printerBox(d), Qt::Key_Down);
        printer.installed.removeAll(QStringLiteral("Photo printer"));
        QTest::keyClick(printerBox(d), Qt::Key_Return);
    });
    w.N3Click();
    ASSERT_EQ(real.errors.size(), 1);
    EXPECT_TRUE(real.errors[0].contains(QStringLiteral("Photo printer"))) << real.errors[0].toStdString();
    EXPECT_EQ(printer.printerName, QStringLiteral("Test printer"));
    EXPECT_EQ(run.pageSizeCache.width, 1);
}

// The real printer behind the real dialog: L prints in landscape, typed as a user types.
TEST(PrinterSetupOnPdf, TheChosenPaperIsThePageOfTheNextJob)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("photos.pdf"));
    QtPrinter printer(file);
    whenSetupOpens([](PrinterSetupDialog &d) {
        EXPECT_EQ(printerBox(d)->currentText(), QStringLiteral("PDF ファイル"));
        QTest::keyClicks(paperBox(d), QStringLiteral("L")); // the first paper named with an L
        EXPECT_EQ(paperBox(d)->currentText(), QStringLiteral("L判（89 x 127 mm）"));
        QTest::mouseClick(landscapeButton(d), Qt::LeftButton);
        QTest::keyClick(paperBox(d), Qt::Key_Return);
    });
    ASSERT_TRUE(QtDialogs().printerSetup(nullptr, printer));

    const QPageLayout layout = printer.printer()->pageLayout();
    EXPECT_TRUE(layout.pageSize().isEquivalentTo(lPrint()));
    EXPECT_EQ(layout.orientation(), QPageLayout::Landscape);
    EXPECT_GT(printer.physicalWidth(), printer.physicalHeight());
    ASSERT_NE(printer.beginDocument(QStringLiteral("Quiltana Document")), nullptr);
    printer.endDocument();
    EXPECT_EQ(printer.lastOutputFile(), file);
    EXPECT_GT(QFileInfo(file).size(), 0);
}

TEST_F(PrinterSetup, OpensWhollyOnScreenBesideTheTopRightWindow)
{
    TForm1 &w = open();
    const QRect screen = w.screen()->availableGeometry();
    // The main window stands at the right edge (its frame may stick out a little until the
    // window manager has framed it).
    EXPECT_GT(w.frameGeometry().right(), screen.right() - 10);
    QRect placed;
    whenSetupOpens([&](PrinterSetupDialog &d) {
        placed = d.frameGeometry();
        QTest::keyClick(printerBox(d), Qt::Key_Escape);
    });
    w.N3Click();
    ASSERT_TRUE(placed.isValid());
    EXPECT_TRUE(screen.contains(placed)) << placed.x() << "," << placed.y() << " " << placed.width() << "x"
                                         << placed.height();
    EXPECT_TRUE(placed.intersects(w.frameGeometry()));
}

} // namespace
} // namespace quiltana::test
