#pragma once
// Shows the program's message boxes as modal Qt boxes with a single OK button.

#include "base/MessageSink.h"

class QWidget;

class QtMessageSink : public MessageSink
{
public:
    explicit QtMessageSink(QWidget* parent = nullptr);
    void setParent(QWidget* parent) { m_parent = parent; }
    void showMessage(const QString& text, const QString& title, MessageIcon icon) override;

private:
    QWidget* m_parent;
};
