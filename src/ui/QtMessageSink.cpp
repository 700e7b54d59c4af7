#include "ui/QtMessageSink.h"

#include <QMessageBox>

QtMessageSink::QtMessageSink(QWidget* parent) : m_parent(parent) {}

void QtMessageSink::showMessage(const QString& text, const QString& title, MessageIcon icon)
{
    QMessageBox box(icon == MessageIcon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon, title, text,
                    QMessageBox::Ok, m_parent);
    box.exec();
}
