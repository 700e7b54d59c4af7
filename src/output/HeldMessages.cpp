#include "output/HeldMessages.h"

#include <QMutexLocker>

void HeldMessages::showMessage(const QString& text, const QString& title, MessageIcon icon)
{
    const QMutexLocker lock(&m_mutex);
    m_boxes.append({text, title, icon});
}

void HeldMessages::showHeld(MessageSink& sink)
{
    QList<Box> boxes;
    {
        const QMutexLocker lock(&m_mutex);
        boxes.swap(m_boxes);
    }
    for (const Box& box : boxes) {
        sink.showMessageNoWait(box.text, box.title, box.icon);
    }
}
