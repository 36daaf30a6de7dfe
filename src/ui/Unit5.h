#pragma once

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QTimer;

namespace quiltana {

// The splash window shown while the program starts: it closes itself after three seconds or
// when its picture is clicked, and frees itself on closing.
class TForm5 : public QWidget {
    Q_OBJECT

public:
    explicit TForm5(QWidget *parent = nullptr);

    void Timer1Timer();
    void Image1Click();

    // Children keep their designer names; Qt's parent ownership releases them.
    //
    // What each name stands for:
    //   Image1   the splash picture (SplashPicture); a click closes the window
    //   Label1   "Ver 3.11" over the picture
    //   Label2   the version's date over the picture
    //   Memo1    the disabled text box below the picture
    //   Timer1   closes the window three seconds after it was made
    QLabel *Image1 = nullptr;
    QLabel *Label1 = nullptr; // "Ver 3.11"
    QLabel *Label2 = nullptr; // "2015.8.18"
    QPlainTextEdit *Memo1 = nullptr;
    QTimer *Timer1 = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

// The splash picture, 297 x 225 pixels.
[[nodiscard]] QImage SplashPicture();

} // namespace quiltana
