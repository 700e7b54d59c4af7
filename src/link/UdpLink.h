#pragma once
// The Qt UDP link to the cradle: one socket (Winsock1), the 10 ms tick (Timer2) and the two timed waits.
// Depends on Qt Core/Network and the protocol interfaces only; it never touches widgets or displays.
// TickCount counts 10 ms periods of a monotonic clock since the wait began; Timer2 wakes the wait only when its
// limit falls due, because a periodic 10 ms wake-up alone costs more CPU than idle polling may use. Timer2 is armed
// as timerToArm says for the time left (on Windows a coarse timer for most of a wait).

#include "base/SystemError.h"
#include "link/TimerArm.h"
#include "protocol/Link.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QHostInfo>
#include <QList>
#include <QObject>
#include <QAbstractSocket>
#include <QString>
#include <QTimer>
#include <QUdpSocket>

#include <cstdint>
#include <optional>

class RunningFlag;
struct Settings;

class UdpLink : public QObject, public Link
{
    Q_OBJECT

public:
    static constexpr int TickIntervalMs = 10;
    static constexpr int ReplyTimeoutTicks = 100;
    // A yield within this time of the last event-loop pass is skipped.
    static constexpr int PumpIntervalMs = 2;

    UdpLink(const RunningFlag& running, const Settings& settings, QObject* parent = nullptr);
    ~UdpLink() override;

    void OpenUDP() override;
    void CloseUDP() override;
    void SendText(const QString& text) override;
    QString WaitReply() override;
    void WaitTicks(int count) override;
    void pump() override;
    std::optional<LinkError> takeError() override;

    // For tests, which cannot see these otherwise: the reply a wait would take, read without waiting, and whether
    // Timer2 is still armed (a wait that ended with a reply leaves it to the next; nothing else may).
    const QString& receiveBuffer() const { return ReceiveBuffer; }
    bool isTicking() const { return Timer2.isActive(); }

private:
    void Winsock1_DataArrival();
    // Reads what is queued without waiting for the signal (a skipped event pass).
    void drainDatagrams();
    // False when the read failed.
    bool takeDatagram();
    void Winsock1_Error(QAbstractSocket::SocketError error);
    void Timer2_Timer();
    bool pumpEvents();
    void startTicking(int limit);
    void countTicks();
    void armTimer2();
    // Keeps the first error for the run and ends a wait in progress.
    void recordError(const LinkError& error);
    void recordSocketError(int systemCode);
    void failOpen(const SystemError& error);
    SystemError socketError() const;
    std::optional<SystemError> resolveRemoteHost(const QString& hostText);
    bool isFromRemoteHost(const QHostAddress& sender) const;

    const RunningFlag& m_running;
    const Settings& m_settings;

    QUdpSocket Winsock1;
    QTimer Timer2;
    QString ReceiveBuffer;
    // The largest UDP payload and then some: a datagram never needs a size probe before its read.
    static constexpr qsizetype MaxDatagramBytes = 65536;
    // Reused for every read.
    QByteArray m_datagram;
    bool m_reading = false;
    // The last text sent and its datagram.
    QString m_sentText;
    QByteArray m_sentDatagram;
    std::int16_t TickCount = 0;
    int m_tickLimit = 0;
    bool m_waiting = false;
    const TimerRule m_timerRule;
    // The one clock of the link, started with it: every time below is in its nanoseconds.
    QElapsedTimer m_clock;
    qint64 m_waitStartNs = 0;
    // When Timer2 fires at the latest.
    qint64 m_timerLatestNs = 0;
    // The last pass of the event loop; none before the first.
    std::optional<qint64> m_eventsNs;

    // Destination of every send and the only source whose datagrams are taken; empty until OpenUDP resolves it.
    QList<QHostAddress> m_remoteAddresses;
    std::optional<quint16> m_remotePort;
    // Why the destination is incomplete, repeated by a send that cannot go out.
    std::optional<SystemError> m_openError;
    std::optional<LinkError> m_error;
    // A Stop during the host lookup: the run is ending, so the missing destination is no error of its own.
    bool m_lookupAbandoned = false;
};
