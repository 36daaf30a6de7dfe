#pragma once

#include <QGuiApplication>

namespace quiltana {

// A stretch of work the user waits for, undone on leaving the scope however it is left. While
// it lasts, `flag` (when given) reads true, and with Cursor::Wait the hourglass shows over the
// program's windows. Afterwards the flag reads false and the cursor is the one from before.
// The windows mark with it an import or a print in progress (no other command may start), a
// resize in progress (no nested resize) and a render (the hourglass only).
class BusyScope {
public:
    enum class Cursor { Unchanged, Wait };

    explicit BusyScope(Cursor cursor) : BusyScope(nullptr, cursor) {}
    explicit BusyScope(bool &flag, Cursor cursor = Cursor::Unchanged) : BusyScope(&flag, cursor) {}
    ~BusyScope()
    {
        if (cursor_ == Cursor::Wait)
            QGuiApplication::restoreOverrideCursor();
        if (flag_)
            *flag_ = false;
    }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    BusyScope(bool *flag, Cursor cursor) : flag_(flag), cursor_(cursor)
    {
        if (flag_)
            *flag_ = true;
        if (cursor_ == Cursor::Wait)
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    }

    bool *flag_;
    Cursor cursor_;
};

} // namespace quiltana
