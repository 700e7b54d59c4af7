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

// Whether a socket bound to 127.0.0.2 really sends from there. Wine's sockets send from 127.0.0.1 whatever loopback
// address they are bound to, so a stranger cannot be played from inside Wine; the Windows build is checked against
// the Linux simulator's stranger instead.
inline bool loopbackStrangerPossible()
{
    QUdpSocket receiver;
    QUdpSocket stranger;
    if (!receiver.bind(QHostAddress::LocalHost, 0) || !stranger.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0)) {
        return false;
    }
    stranger.writeDatagram("?", 1, QHostAddress::LocalHost, receiver.localPort());
    if (!receiver.waitForReadyRead(2000)) {
        return false;
    }
    char byte = 0;
    QHostAddress sender;
    receiver.readDatagram(&byte, 1, &sender);
    return sender.isEqual(QHostAddress(QStringLiteral("127.0.0.2")), QHostAddress::TolerantConversion);
}
