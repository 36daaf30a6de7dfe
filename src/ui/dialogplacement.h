#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;

namespace quiltana {

// `frame` moved as little as it takes to lie wholly inside `available`; a frame larger than
// `available` keeps its top-left corner inside it, so that its title bar can still be reached.
[[nodiscard]] QRect placeWithin(const QRect &frame, const QRect &available);

// The client rectangle of a dialog `client` large whose frame (the client area grown by
// `frame`) has its centre on the centre of `owner`, then moved as little as it takes to lie
// inside `available`; a frame larger than `available` keeps its top-left corner inside it.
[[nodiscard]] QRect CentredClientRect(const QSize &client, const QMargins &frame, const QRect &owner,
                                      const QRect &available);

// Where a dialog stands: in the middle of the window it belongs to (message boxes), or in the
// middle of the screen that window is on (the print dialog, the About box).
enum class CentreOn { Owner, Screen };

// Places `dialog`, about to be shown at its final size, in the middle of its owner window or of
// the screen, wholly on the screen; a dialog whose window is not on screen goes to the middle of
// the screen. Its frame is reckoned as wide as the owner's, which the same window manager drew,
// and its client area is placed: so the dialog opens at the same place every time, whether or
// not the window manager has framed it yet (before its first showing it has not).
void CentreDialog(QWidget &dialog, CentreOn where);

} // namespace quiltana
