#pragma once
// Records every message box instead of showing it.

#include "base/MessageSink.h"

#include <QList>
#include <QString>

class RecordingMessageSink : public MessageSink
{
public:
    struct Box
    {
        QString text;
        QString title;
        MessageIcon icon;
        bool waited; // shown by showMessage, which waits for OK; false for showMessageNoWait
    };

    void showMessage(const QString& text, const QString& title, MessageIcon icon) override
    {
        boxes.append({text, title, icon, true});
    }
    void showMessageNoWait(const QString& text, const QString& title, MessageIcon icon) override
    {
        boxes.append({text, title, icon, false});
    }

    QList<Box> boxes;
};
