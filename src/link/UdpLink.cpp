#include "link/UdpLink.h"

#include "base/Cp932.h"
#include "base/Platform.h"
#include "config/Settings.h"
#include "protocol/Frame.h"
#include "protocol/RunningFlag.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QSignalBlocker>

#include <cerrno>
#include <limits>
#include <utility>

namespace {

constexpr char Terminator = '\r';
constexpr qint64 NsPerMs = 1000 * 1000;
constexpr qint64 TickNs = UdpLink::TickIntervalMs * NsPerMs;

// Polling spends nearly all day in the waits. Where a precise timer raises the system's timer resolution (on Windows
// every precise Qt timer, and a coarse one of 20 ms or less, is a 1 ms multimedia timer) only their last stretch runs
// on one. Elsewhere one precise timer is cheaper: a coarse one adds wake-ups.
TimerRule platformTimerRule()
{
    return preciseTimersRaiseTimerResolution() ? TimerRule::CoarseThenPrecise : TimerRule::Precise;
}

// Windows' dispatcher delivers posted events (precise timers, queued results) before it blocks, and such a delivery
// does not end its wait: whatever ends one of the waits below from a posted event must wake the loop, or the wait
// sleeps on with nothing left to wake it.
void wakeEventLoop()
{
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
        dispatcher->wakeUp();
    }
}

} // namespace

UdpLink::UdpLink(const RunningFlag& running, const Settings& settings, QObject* parent)
    : QObject(parent), m_running(running), m_settings(settings), Winsock1(this), m_timerRule(platformTimerRule())
{
    Winsock1.setObjectName(QStringLiteral("Winsock1"));
    m_clock.start();
    Timer2.setSingleShot(true);
    connect(&Timer2, &QTimer::timeout, this, &UdpLink::Timer2_Timer);
    connect(&Winsock1, &QUdpSocket::readyRead, this, &UdpLink::Winsock1_DataArrival);
    connect(&Winsock1, &QAbstractSocket::errorOccurred, this, &UdpLink::Winsock1_Error);
}

UdpLink::~UdpLink() = default;

void UdpLink::OpenUDP()
{
    CloseUDP();

    bool ok = false;
    const uint localPort = m_settings.LocalPort.trimmed().toUInt(&ok);
    if (!ok || localPort > 65535) {
        failOpen(SystemError::fromErrno(EINVAL));
        return;
    }
    // Exclusive: a second program on the same port must fail here rather than share the cradle's replies.
    // The bind and the sends report their own failures; the socket's error signal is left to the reads.
    bool bound = false;
    {
        const QSignalBlocker ownReport(Winsock1);
        bound = Winsock1.bind(QHostAddress::Any, static_cast<quint16>(localPort), QAbstractSocket::DontShareAddress);
    }
    if (!bound) {
        const quint16 port = static_cast<quint16>(localPort);
        const QAbstractSocket::SocketError refusal = Winsock1.error();
        if (refusal == QAbstractSocket::AddressInUseError ||
            (refusal == QAbstractSocket::SocketAccessError && accessRefusalMeansPortHeld(port))) {
            // Another program holds the port: the run may wait for it, and the line names who holds it.
            m_openError = socketError();
            recordError({*m_openError, LinkError::Kind::PortInUse, port, udpPortHolder(port)});
        } else {
            failOpen(socketError());
        }
        return;
    }
    ignoreUdpPortUnreachable(Winsock1.socketDescriptor());

    if (const std::optional<SystemError> error = resolveRemoteHost(m_settings.RemoteHost.trimmed())) {
        failOpen(*error);
        return;
    }
    if (m_lookupAbandoned) {
        return;
    }

    // The port is converted after the host is set, so a bad port leaves a bound socket with a host and no port.
    const int remotePort = m_settings.RemotePort.trimmed().toInt(&ok);
    if (!ok || remotePort < 1 || remotePort > 65535) {
        failOpen(SystemError::fromErrno(EINVAL));
        return;
    }
    m_remotePort = static_cast<quint16>(remotePort);
}

void UdpLink::CloseUDP()
{
    Timer2.stop();
    Winsock1.close();
    m_remoteAddresses.clear();
    m_remotePort.reset();
    m_openError.reset();
    m_error.reset();
    m_lookupAbandoned = false;
}

void UdpLink::SendText(const QString& text)
{
    // A late reply is discarded here, so it cannot pass for the answer to this send; a skipped pump still reads it.
    if (!pumpEvents()) {
        drainDatagrams();
    }
    ReceiveBuffer.clear();

    if (m_remoteAddresses.isEmpty() || !m_remotePort) {
        if (!m_lookupAbandoned) {
            recordError({m_openError ? *m_openError : SystemError::fromErrno(EDESTADDRREQ)});
        }
        return;
    }
    // The record phase sends the same "ACK" again and again: its bytes are made once.
    if (text != m_sentText || m_sentDatagram.isEmpty()) {
        m_sentText = text;
        m_sentDatagram = Cp932::encode(text);
        m_sentDatagram.append(Terminator);
    }
    const QByteArray& datagram = m_sentDatagram;
    qint64 sent = 0;
    int code = 0;
    {
        const QSignalBlocker ownReport(Winsock1);
        sent = Winsock1.writeDatagram(datagram, m_remoteAddresses.constFirst(), *m_remotePort);
        code = lastSocketErrorCode();
    }
    if (sent != datagram.size()) {
        recordSocketError(code);
    }
}

QString UdpLink::WaitReply()
{
    startTicking(ReplyTimeoutTicks);
    while (ReceiveBuffer.isEmpty() && TickCount < ReplyTimeoutTicks && !m_error) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        m_eventsNs = m_clock.nsecsElapsed();
        countTicks();
    }
    // A reply ends the wait long before its deadline, and the next wait follows at once: it takes the timer over
    // rather than stopping and arming it again for every record (see startTicking).
    if (ReceiveBuffer.isEmpty()) {
        Timer2.stop();
    }
    m_waiting = false;
    return ReceiveBuffer;
}

void UdpLink::WaitTicks(int count)
{
    startTicking(count);
    while (TickCount < m_tickLimit) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        m_eventsNs = m_clock.nsecsElapsed();
        countTicks();
    }
    Timer2.stop();
    m_waiting = false;
}

void UdpLink::pump()
{
    pumpEvents();
}

bool UdpLink::pumpEvents()
{
    // The run yields several times per record; right after the event loop has run there is nothing new for the
    // user, and skipping the extra pass keeps the transfer near the loopback's own rate.
    if (m_eventsNs && m_clock.nsecsElapsed() - *m_eventsNs < PumpIntervalMs * NsPerMs) {
        return false;
    }
    QCoreApplication::processEvents();
    m_eventsNs = m_clock.nsecsElapsed();
    return true;
}

void UdpLink::Winsock1_DataArrival()
{
    // The signal stands for a datagram, so it is read at once, into a buffer that holds the largest one: the read
    // gives its size. Qt signals again only once the queue has been read, and a later datagram replaces an earlier
    // one, so the rest is taken too.
    if (Winsock1.state() == QAbstractSocket::BoundState) {
        while (takeDatagram() && Winsock1.hasPendingDatagrams()) {
            // The next datagram replaces this one.
        }
    }
}

void UdpLink::drainDatagrams()
{
    if (Winsock1.state() == QAbstractSocket::BoundState) {
        while (Winsock1.hasPendingDatagrams() && takeDatagram()) {
            // Each replaces the last; SendText discards the one left.
        }
    }
}

bool UdpLink::takeDatagram()
{
    if (m_datagram.size() < MaxDatagramBytes) {
        m_datagram.resize(MaxDatagramBytes);
    }
    QHostAddress sender;
    m_reading = true;
    const qint64 read = Winsock1.readDatagram(m_datagram.data(), m_datagram.size(), &sender);
    m_reading = false;
    // A failed read has been judged by Winsock1_Error (a stale notification with nothing behind it is no failure);
    // the loops stop at it, so they cannot spin on a report the socket keeps giving.
    if (read < 0) {
        return false;
    }
    // Anything not from the cradle (another device, a stray broadcast) must not pose as its reply.
    if (isFromRemoteHost(sender)) {
        ReceiveBuffer = CutToByteCount(Cp932::decode(m_datagram.constData(), read), read);
    }
    return true;
}

void UdpLink::Winsock1_Error(QAbstractSocket::SocketError error)
{
    // Windows answers a datagram to a port where nothing listens (no terminal in the cradle, the cradle restarting, a
    // wrong RemotePort) with a failed read. That is neither a reply nor a broken link: the wait runs into its time-out
    // and the retry rules apply, as on systems that never pass the report on.
    if (error == QAbstractSocket::ConnectionRefusedError) {
        return;
    }
    // A read notification with nothing behind it fails the read that trusted it: no reply yet. Windows calls that a
    // network error with its own code, which is fresh only while the read is ours.
    const int code = lastSocketErrorCode();
    if (error == QAbstractSocket::TemporaryError || (m_reading && isNothingToReadError(code))) {
        return;
    }
    recordSocketError(code);
}

void UdpLink::Timer2_Timer()
{
    // A timer a wait left armed has nothing to count between waits.
    if (!m_waiting) {
        return;
    }
    countTicks();
    // A timer may fire a little before the clock agrees; wait out the rest.
    if (TickCount < m_tickLimit) {
        armTimer2();
    } else {
        wakeEventLoop();
    }
}

void UdpLink::startTicking(int limit)
{
    TickCount = 0;
    // The count is a 16-bit value; a larger one would never be reached.
    m_tickLimit = qMin(limit, int(std::numeric_limits<std::int16_t>::max()));
    m_waitStartNs = m_clock.nsecsElapsed();
    m_waiting = true;
    if (limit <= 0) {
        Timer2.stop();
        return;
    }
    // A timer left armed by the last wait that falls due before this one's end is kept: it fires early at worst, and
    // Timer2_Timer arms the rest.
    if (!Timer2.isActive() || m_timerLatestNs > m_waitStartNs + m_tickLimit * TickNs) {
        armTimer2();
    }
}

void UdpLink::countTicks()
{
    const qint64 ticks = (m_clock.nsecsElapsed() - m_waitStartNs) / TickNs;
    TickCount = static_cast<std::int16_t>(qMin<qint64>(ticks, m_tickLimit));
}

void UdpLink::armTimer2()
{
    const qint64 nowNs = m_clock.nsecsElapsed();
    const TimerArm arm = timerToArm(m_waitStartNs + m_tickLimit * TickNs - nowNs, m_timerRule);
    m_timerLatestNs = nowNs + arm.latestMs * NsPerMs;
    Timer2.setTimerType(arm.type);
    Timer2.start(arm.intervalMs);
}

void UdpLink::failOpen(const SystemError& error)
{
    m_openError = error;
    recordError({error});
}

void UdpLink::recordSocketError(int systemCode)
{
    // Qt gives one code ("Unable to send a datagram") for every failed send; the system's own code tells whether the
    // network is only away for now, and its text says so better.
    if (isTransientNetworkError(systemCode)) {
        recordError({SystemError::fromSystemCode(systemCode), LinkError::Kind::NetworkAway});
    } else {
        recordError({socketError()});
    }
}

void UdpLink::recordError(const LinkError& error)
{
    if (!m_error) {
        m_error = error;
    }
    // A wait ends at an error; one woken only by a posted event would sleep on.
    wakeEventLoop();
}

std::optional<LinkError> UdpLink::takeError()
{
    return std::exchange(m_error, std::nullopt);
}

SystemError UdpLink::socketError() const
{
    return {static_cast<int>(Winsock1.error()), Winsock1.errorString()};
}

std::optional<SystemError> UdpLink::resolveRemoteHost(const QString& hostText)
{
    m_remoteAddresses.clear();
    QHostAddress literal;
    if (literal.setAddress(hostText)) {
        m_remoteAddresses.append(literal);
        return std::nullopt;
    }
    // A name is looked up once per run without blocking: the wait pumps events like the other waits, and a Stop
    // abandons it quietly (the run is ending anyway).
    // The local context goes with this frame: a result already queued when the lookup is abandoned is then dropped
    // instead of being written into a frame that no longer exists.
    std::optional<QHostInfo> result;
    QObject context;
    const int lookupId = QHostInfo::lookupHost(hostText, &context, [&result](const QHostInfo& info) {
        result = info;
        wakeEventLoop();
    });
    while (!result) {
        if (!m_running.isRunning()) {
            QHostInfo::abortHostLookup(lookupId);
            m_lookupAbandoned = true;
            return std::nullopt;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (result->error() != QHostInfo::NoError || result->addresses().isEmpty()) {
        return SystemError{static_cast<int>(QAbstractSocket::HostNotFoundError), result->errorString()};
    }
    // IPv4 first: the cradle is an IPv4 device and the socket is dual-stack.
    for (const QHostAddress& address : result->addresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol) {
            m_remoteAddresses.append(address);
        }
    }
    for (const QHostAddress& address : result->addresses()) {
        if (address.protocol() != QAbstractSocket::IPv4Protocol) {
            m_remoteAddresses.append(address);
        }
    }
    return std::nullopt;
}

bool UdpLink::isFromRemoteHost(const QHostAddress& sender) const
{
    const auto mode = QHostAddress::ConvertV4MappedToIPv4 | QHostAddress::ConvertLocalHost;
    for (const QHostAddress& address : m_remoteAddresses) {
        if (address.isEqual(sender, mode)) {
            return true;
        }
    }
    return false;
}
