#pragma once
// A secondary window's hold on the window that opened it: the owner is disabled while the window is open and enabled
// again exactly once, when the window closes or is destroyed; the window goes when its owner does. Qt Widgets only.

#include <QPointer>
#include <QWidget>

class OwnerLock
{
public:
    enum class OnRelease
    {
        Enable,
        EnableAndActivate, // also shows the owner and brings it to the front
    };

    // window takes the owner's font (the Japanese face list) and is deleted when the owner is. owner may be null.
    OwnerLock(QWidget* window, QWidget* owner, OnRelease onRelease);
    ~OwnerLock();
    OwnerLock(const OwnerLock&) = delete;
    OwnerLock& operator=(const OwnerLock&) = delete;

    QWidget* owner() const { return m_owner; }
    // Disables the owner and stacks the window above it.
    void lock();
    // Gives the owner back; only the first call acts.
    void release();

private:
    QWidget* m_window;
    QPointer<QWidget> m_owner;
    OnRelease m_onRelease;
    bool m_released = false;
};
