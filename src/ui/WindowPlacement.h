#pragma once
// Placement of the secondary windows relative to the window they belong to.

class QWidget;

// Stacks the window above its owner without making it a child, because disabling a parent would disable the
// window as well.
void stackAbove(QWidget* window, QWidget* owner);
// Centres the window over the frame of another one.
void centreOver(QWidget* window, const QWidget* over);
