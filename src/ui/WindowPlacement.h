#pragma once
// Placement of the secondary windows relative to the window they belong to. Positions and sizes are those of the
// outer frames, as the user sees them.

class QPoint;
class QWidget;

// Stacks the window above its owner without making it a child, because disabling a parent would disable the
// window as well.
void stackAbove(QWidget* window, QWidget* owner);
// Centres the window's frame over the frame of another one.
void centreOver(QWidget* window, const QWidget* over);
// Puts the window's frame at the top-left corner, moved back only as far as needed for the whole frame to lie within
// the free area of the screen the reference window is on; a window larger than that area keeps its title bar
// reachable.
void moveWithinScreen(QWidget* window, const QPoint& topLeft, const QWidget* reference);
// Brings the window up for a user who asked for it elsewhere (a second start, the notification area): shown, restored
// if minimised (a maximised one stays maximised), in front and active.
void bringToFront(QWidget* window);
