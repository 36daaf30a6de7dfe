#include "Unit5.h"

#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTimer>

#include "glyphs.h"

namespace quiltana {

namespace {
constexpr int kClientWidth = 291;
constexpr int kClientHeight = 309;
constexpr int kPictureWidth = 297;
constexpr int kPictureHeight = 225;
constexpr int kLifetimeMs = 3000;
constexpr int kTextLeft = 170;  // where the title and the two labels begin over the picture
constexpr int kTextMargin = 4;  // clear space between them and the window's right edge
} // namespace

QImage SplashPicture()
{
    QImage image(kPictureWidth, kPictureHeight, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient sky(0, 0, 0, kPictureHeight);
    sky.setColorAt(0, QColor(40, 70, 140));
    sky.setColorAt(1, QColor(150, 190, 230));
    p.fillRect(image.rect(), sky);
    p.drawImage(QPoint(18, 30), ProgramPicture(QSize(150, 150)));
    // The picture is wider than the window that shows it, so the title keeps to the part that
    // shows; the face standing in for the Windows one may be wider, so the size comes from
    // measuring the name, not from the design.
    const QString name = QStringLiteral("Quiltana");
    const QRect titleArea(kTextLeft, 60, kClientWidth - kTextLeft - kTextMargin, 40);
    QFont title(QStringLiteral("ＭＳ Ｐゴシック"));
    title.setBold(true);
    for (int size = 30; size >= 10; --size) {
        title.setPixelSize(size);
        if (QFontMetrics(title, &image).horizontalAdvance(name) <= titleArea.width())
            break;
    }
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(titleArea, Qt::AlignLeft | Qt::AlignVCenter, name);
    p.end();
    return image;
}

TForm5::TForm5(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("Form5"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(kClientWidth, kClientHeight);
    setAccessibleName(QStringLiteral("Quiltana"));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, kPictureWidth, kPictureHeight);
    Image1->setPixmap(QPixmap::fromImage(SplashPicture()));
    Image1->setAccessibleName(QStringLiteral("Quiltana"));
    Image1->installEventFilter(this);

    // The labels stand over the picture; clicks go through them to the picture.
    auto *Label1 = new QLabel(QStringLiteral("Ver 3.11"), Image1);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont version(QStringLiteral("ＭＳ Ｐゴシック"));
    version.setPixelSize(21);
    version.setBold(true);
    version.setItalic(true);
    Label1->setFont(version);
    Label1->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    Label1->setGeometry(kTextLeft, 110, kClientWidth - kTextLeft - kTextMargin, 24);
    Label1->setAttribute(Qt::WA_TransparentForMouseEvents);
    Label1->setAccessibleName(Label1->text());

    auto *Label2 = new QLabel(QStringLiteral("2015.8.18"), Image1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    Label2->setGeometry(kTextLeft, 140, kClientWidth - kTextLeft - kTextMargin, 18);
    Label2->setAttribute(Qt::WA_TransparentForMouseEvents);
    Label2->setAccessibleName(Label2->text());

    auto *Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(0, kPictureHeight, kClientWidth, kClientHeight - kPictureHeight);
    Memo1->setFrameShape(QFrame::NoFrame);
    // Six lines do not fit its 84 pixels; a scroll bar on a disabled box would only be noise.
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setEnabled(false);
    Memo1->setPlainText(QStringLiteral("Quiltana Ver 3.11\n\n\n\n\n"));
    Memo1->setAccessibleName(QStringLiteral("Quiltana Ver 3.11"));

    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
    }

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(kLifetimeMs);
    connect(Timer1, &QTimer::timeout, this, &TForm5::Timer1Timer);
    Timer1->start();
}

void TForm5::Timer1Timer() { close(); }

void TForm5::Image1Click()
{
    // The timer belongs to this window and dies with it, so it cannot fire after a click.
    Timer1->stop();
    close();
}

bool TForm5::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Image1 && event->type() == QEvent::MouseButtonRelease) {
        Image1Click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace quiltana
