#pragma once

#include <QString>

#include <exception>
#include <utility>

#include "dialogs.h"
#include "error.h"

class QWidget;

namespace quiltana {

// Runs one step of a window's handler and shows an error it raises in the error box over
// `window`: an Error with its message, any other exception with its text. Every window's
// handlers that call the rules run under it, so no error reaches Qt's event loop; main runs
// the start-up and the message loop under it too (`window` nullptr). True when the step ran
// to its end.
template <typename Step> bool guarded(QWidget *window, Step &&step)
{
    try {
        std::forward<Step>(step)();
        return true;
    } catch (const Error &e) {
        dialogs().error(window, e.message());
    } catch (const std::exception &e) {
        dialogs().error(window, QString::fromLocal8Bit(e.what()));
    }
    return false;
}

} // namespace quiltana
