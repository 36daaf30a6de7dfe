#pragma once

#include <QWidget>

class QLabel;
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

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Children keep their designer names as their object names; Qt's parent ownership releases
    // them. Those not kept here are found by name.
    //
    // What each name stands for:
    //   Image1   the splash picture (SplashPicture); a click closes the window
    //   Label1   "Ver 3.11" over the picture
    //   Label2   the version's date over the picture
    //   Memo1    the disabled text box below the picture
    //   Timer1   closes the window three seconds after it was made
    QLabel *Image1 = nullptr;
    QTimer *Timer1 = nullptr;
};

// The splash picture, 297 x 225 pixels.
[[nodiscard]] QImage SplashPicture();

} // namespace quiltana
