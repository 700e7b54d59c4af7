#pragma once
// Loopback helpers shared by the link and integration tests.

#include <QHostAddress>
#include <QString>
#include <QUdpSocket>

// A UDP port on 127.0.0.1 that was free a moment ago (bound, read and released).
inline quint16 freeUdpPort()
{
    QUdpSocket probe;
    if (!probe.bind(QHostAddress::LocalHost, 0)) {
        return 0;
    }
    return probe.localPort();
}
