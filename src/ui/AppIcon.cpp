#include "ui/AppIcon.h"

#include <QSize>
#include <QString>

QIcon applicationIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 256}) {
        icon.addFile(QStringLiteral(":/icons/zelbo_udp-%1.png").arg(size), QSize(size, size));
    }
    icon.addFile(QStringLiteral(":/icons/zelbo_udp.png"), QSize(64, 64));
    return icon;
}
