#include "dialogplacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace quiltana {

QRect placeWithin(const QRect &frame, const QRect &available)
{
    QRect placed = frame;
    placed.moveLeft(std::max(std::min(frame.left(), available.right() + 1 - frame.width()), available.left()));
    placed.moveTop(std::max(std::min(frame.top(), available.bottom() + 1 - frame.height()), available.top()));
    return placed;
}

QRect CentredClientRect(const QSize &client, const QMargins &frame, const QRect &owner, const QRect &available)
{
    QRect outer(QPoint(0, 0), client.grownBy(frame));
    outer.moveCenter(owner.center());
    outer = placeWithin(outer, available);
    return QRect(outer.topLeft() + QPoint(frame.left(), frame.top()), client);
}

void CentreDialog(QWidget &dialog, CentreOn where)
{
    const QWidget *owner = dialog.parentWidget() ? dialog.parentWidget()->window() : nullptr;
    if (owner && !owner->isVisible())
        owner = nullptr;
    const QScreen *screen = owner ? owner->screen() : dialog.screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    QMargins frame;
    if (owner) {
        const QRect outer = owner->frameGeometry();
        const QRect inner = owner->geometry();
        frame = QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                         outer.bottom() - inner.bottom());
    }
    const bool onOwner = owner && where == CentreOn::Owner;
    dialog.setGeometry(CentredClientRect(dialog.size(), frame, onOwner ? owner->frameGeometry() : available, available));
}

} // namespace quiltana
