#include "ui/OwnerLock.h"

#include "ui/WindowPlacement.h"

OwnerLock::OwnerLock(QWidget* window, QWidget* owner, OnRelease onRelease)
    : m_window(window), m_owner(owner), m_onRelease(onRelease)
{
    if (owner != nullptr) {
        window->setFont(owner->font());
        QObject::connect(owner, &QObject::destroyed, window, &QObject::deleteLater);
    }
}

OwnerLock::~OwnerLock()
{
    release();
}

void OwnerLock::lock()
{
    if (m_owner) {
        m_owner->setEnabled(false);
        stackAbove(m_window, m_owner);
    }
}

void OwnerLock::release()
{
    if (m_released) {
        return;
    }
    m_released = true;
    if (!m_owner) {
        return;
    }
    m_owner->setEnabled(true);
    if (m_onRelease == OnRelease::EnableAndActivate) {
        m_owner->show();
        m_owner->raise();
        m_owner->activateWindow();
    }
}
