#pragma once
// Shows the program's message boxes as Qt boxes with a single OK button: modal ones that wait for OK, and during a
// run open ones, at most one of each kind.

#include "base/MessageSink.h"

#include <QList>
#include <QPointer>

class QMessageBox;
class QWidget;

class QtMessageSink : public MessageSink
{
public:
    explicit QtMessageSink(QWidget* parent = nullptr);
    ~QtMessageSink() override;
    void setParent(QWidget* parent) { m_parent = parent; }
    void showMessage(const QString& text, const QString& title, MessageIcon icon) override;
    void showMessageNoWait(const QString& text, const QString& title, MessageIcon icon) override;

private:
    QWidget* m_parent;
    // Boxes shown without waiting that may still be open; the user's OK deletes them.
    QList<QPointer<QMessageBox>> m_openBoxes;
};
