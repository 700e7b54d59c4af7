#include "ui/WindowPlacement.h"

#include <QMargins>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {

QMargins shownFrame(const QWidget* window)
{
    const QRect outer = window->frameGeometry();
    const QRect inner = window->geometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                    outer.bottom() - inner.bottom());
}

// The frame a window not shown yet will get. Windows draws the frame itself and tells it as soon as the native
// window exists; title bar and borders differ between a fixed dialog and a resizable main window, so the window's
// own frame is what counts. A window manager (X11) adds its frame only on mapping; the reference window's frame,
// from the same manager, stands in until then.
QMargins expectedFrame(QWidget* window, const QWidget* reference)
{
    if (window->isVisible()) {
        return shownFrame(window);
    }
    window->winId();
    const QWindow* handle = window->windowHandle();
    const QMargins own = handle != nullptr ? handle->frameMargins() : QMargins();
    return own.isNull() ? shownFrame(reference) : own;
}

// Qt's move() of a native window not shown yet would place its inside, not its frame, at the point.
void moveFrameTo(QWidget* window, const QPoint& topLeft, const QMargins& frame)
{
    window->setGeometry(QRect(topLeft + QPoint(frame.left(), frame.top()), window->size()));
}

} // namespace

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
    const QMargins frame = expectedFrame(window, over);
    const QSize outer = window->size().grownBy(frame);
    const QRect target = over->frameGeometry();
    moveFrameTo(
        window,
        QPoint(target.x() + (target.width() - outer.width()) / 2, target.y() + (target.height() - outer.height()) / 2),
        frame);
}

void moveWithinScreen(QWidget* window, const QPoint& topLeft, const QWidget* reference)
{
    const QMargins frame = expectedFrame(window, reference);
    const QScreen* screen = reference->screen();
    if (screen == nullptr) {
        moveFrameTo(window, topLeft, frame);
        return;
    }
    const QRect area = screen->availableGeometry();
    const QSize outer = window->size().grownBy(frame);
    const int x = std::max(area.left(), std::min(topLeft.x(), area.left() + area.width() - outer.width()));
    const int y = std::max(area.top(), std::min(topLeft.y(), area.top() + area.height() - outer.height()));
    moveFrameTo(window, QPoint(x, y), frame);
}

void bringToFront(QWidget* window)
{
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    window->activateWindow();
}
