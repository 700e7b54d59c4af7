#include "ui/QtMessageSink.h"

#include <QMessageBox>

namespace {

QMessageBox::Icon boxIcon(MessageIcon icon)
{
    return icon == MessageIcon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon;
}

} // namespace

QtMessageSink::QtMessageSink(QWidget* parent) : m_parent(parent) {}

QtMessageSink::~QtMessageSink()
{
    // A box whose owner outlives this sink would otherwise stay up with nobody to replace it.
    for (const QPointer<QMessageBox>& box : std::as_const(m_openBoxes)) {
        delete box.data();
    }
}

void QtMessageSink::showMessage(const QString& text, const QString& title, MessageIcon icon)
{
    QMessageBox box(boxIcon(icon), title, text, QMessageBox::Ok, m_parent);
    box.exec();
}

void QtMessageSink::showMessageNoWait(const QString& text, const QString& title, MessageIcon icon)
{
    m_openBoxes.removeIf([&](const QPointer<QMessageBox>& box) {
        if (box.isNull()) {
            return true;
        }
        if (box->windowTitle() == title && box->icon() == boxIcon(icon)) {
            box->close();
            return true;
        }
        return false;
    });
    auto* box = new QMessageBox(boxIcon(icon), title, text, QMessageBox::Ok, m_parent);
    // QMessageBox makes itself application modal; this one must leave Stop and the close button usable.
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
    m_openBoxes.append(box);
}
