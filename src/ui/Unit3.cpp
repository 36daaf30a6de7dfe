#include "Unit3.h"

#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>

#include "dialogplacement.h"
#include "glyphs.h"
#include "pagesetup.h"
#include "printer.h"

namespace quiltana {

namespace {
constexpr int kClientWidth = 298;
constexpr int kMemoWidth = 265;

QLabel *makeLabel(const QString &text, QWidget *parent, const QRect &geometry)
{
    auto *label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setAccessibleName(text);
    return label;
}
} // namespace

QStringList PrinterInformationLines(const RunState &run)
{
    const PageSizeCache &cache = run.pageSizeCache;
    const PrinterMetrics &metrics = run.printerMetrics;
    const PageSetup &setup = run.pageSetup;
    const auto n = [](int v) { return QString::number(v); };
    // The resolution is asked of the printer now; without one the lines still show the rest.
    const int dpiX = run.printer ? run.printer->resolutionX() : 0;
    const int dpiY = run.printer ? run.printer->resolutionY() : 0;
    return {
        QStringLiteral("プリンタ情報"),
        QStringLiteral("横方向") + n(cache.width) + QStringLiteral("ピクセル"),
        QStringLiteral("縦方向") + n(cache.height) + QStringLiteral("ピクセル"),
        QStringLiteral("横方向印字可能幅") + n(metrics.widthMM) + QStringLiteral("mm"),
        QStringLiteral("縦方向印字可能幅") + n(metrics.heightMM) + QStringLiteral("mm"),
        QStringLiteral("上余白") + setup.topText + QStringLiteral("mm"),
        QStringLiteral("下余白") + setup.bottomText + QStringLiteral("mm"),
        QStringLiteral("左余白") + setup.leftText + QStringLiteral("mm"),
        QStringLiteral("右余白") + setup.rightText + QStringLiteral("mm"),
        QStringLiteral("横方向") + n(dpiX) + QStringLiteral("DPI"),
        QStringLiteral("縦方向") + n(dpiY) + QStringLiteral("DPI"),
    };
}

QStringList HistoryLines()
{
    return {
        QStringLiteral("更新情報..."),
        QStringLiteral("2001年1月 開発開始。"),
        QStringLiteral("　　　2月 印刷不具合修正"),
        QStringLiteral("　　　3月 ファイル名印刷"),
        QStringLiteral("　　　6月 ファイル拡張子印刷選択"),
        QStringLiteral("　　　7月 6分割,12分割追加"),
        QStringLiteral("　　　8月 VaziroreRariとする"),
        QStringLiteral("2014年8月 開発環境を新しい版に移行"),
        QStringLiteral("　　　9月 変数の扱いを変更"),
        QStringLiteral("　　　9月 分割数を大幅に追加"),
        QStringLiteral("　　　9月 ページの概念を導入"),
        QStringLiteral("　　　9月 フォルダのD&Dに対応"),
        QStringLiteral("　　 10月 左回転、印刷範囲指定に対応"),
        QStringLiteral("2015年8月 処理の高速化に対応"),
        QStringLiteral("　　  8月 バグ修正"),
    };
}

TForm3::TForm3(const RunState &run, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      run_(run)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("バージョン情報"));
    setAccessibleName(windowTitle());
    setFixedSize(kClientWidth, kCollapsedHeight);

    auto *Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);
    Panel1->setLineWidth(2);
    Panel1->setGeometry(8, 8, 282, 176);

    auto *ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(8, 8, 73, 65);
    ProgramIcon->setPixmap(QPixmap::fromImage(ProgramPicture(QSize(73, 65))));
    ProgramIcon->setAccessibleName(QStringLiteral("Quiltana"));

    QLabel *ProductName = makeLabel(QStringLiteral("Quiltana"), Panel1, QRect(88, 16, 180, 20));
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont bold = ProductName->font();
    bold.setBold(true);
    ProductName->setFont(bold);

    QLabel *Version = makeLabel(QStringLiteral("Version 3.11 (2015.8.18)"), Panel1, QRect(88, 40, 180, 18));
    Version->setObjectName(QStringLiteral("Version"));

    QLabel *Comments = makeLabel(QStringLiteral("Comments"), Panel1, QRect(8, 98, 120, 16));
    Comments->setObjectName(QStringLiteral("Comments"));

    Memo1 = new QPlainTextEdit(Panel1);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(8, 116, kMemoWidth, 49);
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setAccessibleName(QStringLiteral("プリンタ情報"));

    auto *OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(62, 196, 75, 25);
    OKButton->setDefault(true);
    OKButton->setAccessibleName(OKButton->text());
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    Button1 = new QPushButton(QStringLiteral("詳細>>>"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(160, 196, 75, 25);
    Button1->setAutoDefault(false);
    Button1->setAccessibleName(Button1->text());
    connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);

    // Below the collapsed height, so the history shows only when the box is expanded.
    Memo2 = new QPlainTextEdit(this);
    Memo2->setObjectName(QStringLiteral("Memo2"));
    Memo2->setGeometry(16, 244, kMemoWidth, 89);
    Memo2->setReadOnly(true);
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont fixed(QStringLiteral("ＭＳ ゴシック"));
    fixed.setStyleHint(QFont::Monospace);
    fixed.setFixedPitch(true);
    fixed.setPixelSize(12);
    Memo2->setFont(fixed);
    Memo2->setAccessibleName(QStringLiteral("更新情報"));
    Memo2->hide();
}

void TForm3::FillPrinterInformation()
{
    Memo1->clear();
    Memo1->setPlainText(PrinterInformationLines(run_).join(QLatin1Char('\n')));
}

void TForm3::FillHistory()
{
    Memo2->clear();
    Memo2->setPlainText(HistoryLines().join(QLatin1Char('\n')));
}

void TForm3::setHeight(int height) { setFixedSize(kClientWidth, height); }

void TForm3::FormShow()
{
    setHeight(kCollapsedHeight);
    Button1->setText(QStringLiteral("詳細>>>"));
    Button1->setAccessibleName(Button1->text());
    Memo2->hide();
    historyShown_ = false;
}

void TForm3::Button1Click()
{
    if (historyShown_) {
        Memo2->hide();
        setHeight(kCollapsedHeight);
        Button1->setText(QStringLiteral("詳細>>>"));
        historyShown_ = false;
    } else {
        setHeight(kExpandedHeight);
        Button1->setText(QStringLiteral("<<<詳細"));
        Memo2->show();
        historyShown_ = true;
    }
    Button1->setAccessibleName(Button1->text());
}

void TForm3::showEvent(QShowEvent *event)
{
    FormShow();
    CentreDialog(*this, CentreOn::Screen);
    QDialog::showEvent(event);
}

} // namespace quiltana
