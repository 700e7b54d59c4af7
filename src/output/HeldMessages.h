#pragma once
// Boxes asked for on the file work's thread, which may not open a window: held, in order, until the thread that owns
// the windows shows them. Qt Core only.

#include "base/MessageSink.h"

#include <QList>
#include <QMutex>

class HeldMessages : public MessageSink
{
public:
    // Holds the box; every box here is one that does not wait.
    void showMessage(const QString& text, const QString& title, MessageIcon icon) override;
    // Shows the held boxes through sink, without waiting, and forgets them.
    void showHeld(MessageSink& sink);

private:
    struct Box
    {
        QString text;
        QString title;
        MessageIcon icon = MessageIcon::None;
    };
    QMutex m_mutex;
    QList<Box> m_boxes;
};
