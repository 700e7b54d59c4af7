#include "ui/WindowPlacement.h"

#include <QWidget>
#include <QWindow>

void stackAbove(QWidget* window, QWidget* owner)
{
    if (owner == nullptr) {
        return;
    }
    window->winId();
    QWindow* ownerHandle = owner->window()->windowHandle();
    if (window->windowHandle() != nullptr && ownerHandle != nullptr) {
        window->windowHandle()->setTransientParent(ownerHandle);
    }
}

void centreOver(QWidget* window, const QWidget* over)
{
    const QRect frame = over->frameGeometry();
    window->move(frame.x() + (frame.width() - window->width()) / 2,
                 frame.y() + (frame.height() - window->height()) / 2);
}
