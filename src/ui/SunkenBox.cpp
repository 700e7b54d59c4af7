#include "ui/SunkenBox.h"

#include <QLabel>

QLabel* makeSunkenBox(const QString& name, QWidget* parent)
{
    auto* box = new QLabel(parent);
    box->setObjectName(name);
    box->setTextFormat(Qt::PlainText);
    box->setFrameShape(QFrame::Panel);
    box->setFrameShadow(QFrame::Sunken);
    box->setAutoFillBackground(true);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Window, Qt::white);
    box->setPalette(palette);
    return box;
}

int boxTextIndent(const QWidget* box)
{
    return box->fontMetrics().horizontalAdvance(u'x') / 2;
}
