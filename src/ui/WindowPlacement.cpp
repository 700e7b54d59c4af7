#include "ui/WindowPlacement.h"

#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

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

QPoint withinScreen(const QWidget* window, const QPoint& topLeft, const QWidget* reference)
{
    const QScreen* screen = reference->screen();
    if (screen == nullptr) {
        return topLeft;
    }
    const QRect area = screen->availableGeometry();
    // A window not shown yet has no frame; the reference's frame stands in for it.
    const QSize outer = window->size() + (reference->frameGeometry().size() - reference->size());
    const int x = std::max(area.left(), std::min(topLeft.x(), area.left() + area.width() - outer.width()));
    const int y = std::max(area.top(), std::min(topLeft.y(), area.top() + area.height() - outer.height()));
    return QPoint(x, y);
}
