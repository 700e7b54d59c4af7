#pragma once
// Placement of the secondary windows relative to the window they belong to.

class QPoint;
class QWidget;

// Stacks the window above its owner without making it a child, because disabling a parent would disable the
// window as well.
void stackAbove(QWidget* window, QWidget* owner);
// Centres the window over the frame of another one.
void centreOver(QWidget* window, const QWidget* over);
// The top-left corner, moved back only as far as needed for the whole window to lie within the free area of the
// screen the reference window is on; a window larger than that area keeps its title bar reachable.
QPoint withinScreen(const QWidget* window, const QPoint& topLeft, const QWidget* reference);
