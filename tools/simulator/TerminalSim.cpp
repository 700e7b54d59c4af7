#include "TerminalSim.h"

#include "base/Cp932.h"
#include "protocol/Frame.h"

#include <cstdio>
#include <utility>

namespace {

constexpr char Terminator = '\r';
constexpr int IdleCheckMs = 200;

QString hex2(int value)
{
    return QStringLiteral("%1").arg(value & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

std::optional<FaultSpec> FaultSpec::parse(const QString& text)
{
    FaultSpec spec;
    if (text.startsWith(QLatin1Char('@'))) {
        const QStringList parts = text.mid(1).split(QLatin1Char(','), Qt::SkipEmptyParts);
        for (const QString& part : parts) {
            bool ok = false;
            const int number = part.trimmed().toInt(&ok);
            if (!ok || number < 1) {
                return std::nullopt;
            }
            spec.records.insert(number);
        }
        return spec;
    }
    bool ok = false;
    spec.rate = text.toDouble(&ok);
    if (!ok || spec.rate < 0.0 || spec.rate > 1.0) {
        return std::nullopt;
    }
    return spec;
}

TerminalSim::TerminalSim(SimOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_random(m_options.seed)
{
    m_retransmitTimer.setSingleShot(true);
    connect(&m_retransmitTimer, &QTimer::timeout, this, &TerminalSim::onRetransmit);
    connect(&m_socket, &QUdpSocket::readyRead, this, &TerminalSim::onReadyRead);
    m_idleTimer.setInterval(IdleCheckMs);
    connect(&m_idleTimer, &QTimer::timeout, this, &TerminalSim::checkIdle);
}

bool TerminalSim::start()
{
    if (!m_options.tracePath.isEmpty()) {
        m_traceFile.setFileName(m_options.tracePath);
        if (!m_traceFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
            std::fprintf(stderr, "terminal_sim: cannot write %s\n", qPrintable(m_options.tracePath));
            return false;
        }
    }
    if (!m_socket.bind(m_options.bindAddress, m_options.bindPort, QAbstractSocket::DontShareAddress)) {
        std::fprintf(stderr, "terminal_sim: cannot bind %s:%u: %s\n", qPrintable(m_options.bindAddress.toString()),
                     unsigned(m_options.bindPort), qPrintable(m_socket.errorString()));
        return false;
    }
    if (m_options.foreign.isSet() && !m_foreignSocket.bind(m_options.foreignFrom, 0)) {
        std::fprintf(stderr, "terminal_sim: cannot bind the foreign source %s: %s\n",
                     qPrintable(m_options.foreignFrom.toString()), qPrintable(m_foreignSocket.errorString()));
        return false;
    }
    print(QStringLiteral("PORT %1").arg(m_socket.localPort()));
    m_sinceLastDatagram.start();
    if (m_options.exitAfterIdleSeconds > 0) {
        m_idleTimer.start();
    }
    return true;
}

void TerminalSim::onReadyRead()
{
    while (m_socket.hasPendingDatagrams()) {
        QByteArray bytes(qMax<qint64>(m_socket.pendingDatagramSize(), 0), Qt::Uninitialized);
        QHostAddress sender;
        quint16 senderPort = 0;
        const qint64 read = m_socket.readDatagram(bytes.data(), bytes.size(), &sender, &senderPort);
        if (read < 0) {
            return;
        }
        bytes.resize(read);
        onDatagram(bytes, sender, senderPort);
    }
}

void TerminalSim::onDatagram(const QByteArray& bytes, const QHostAddress& sender, quint16 senderPort)
{
    m_sinceLastDatagram.restart();
    ++m_generation;
    m_retransmitTimer.stop();

    QString text = Cp932::decode(bytes);
    if (text.endsWith(QLatin1Char(Terminator))) {
        text.chop(1);
    }
    trace(QStringLiteral("RECV ") + text);
    // Answers go wherever the PC spoke from, as a cradle's do.
    m_peer = sender;
    m_peerPort = senderPort;

    if (text.startsWith(QStringLiteral("TW"))) {
        ++m_twCount;
        sendNow(datagramOf(m_twCount <= m_options.badTwCount ? QStringLiteral("NG") : QStringLiteral("OK")));
    } else if (text == QStringLiteral("VOL")) {
        sendNameFrame();
    } else if (text == QStringLiteral("ACK")) {
        switch (m_phase) {
        case Phase::NameSent:
            m_phase = Phase::Records;
            m_index = 0;
            m_repeatSent = false;
            m_sentOnce.clear();
            // An empty file announces 0 records and goes straight to "END".
            if (m_options.records.isEmpty()) {
                sendEnd();
            } else {
                sendRecord(true);
            }
            break;
        case Phase::Records:
            // A lost ACK seen from the terminal's side: the same record again, which the PC must not store twice.
            if (!m_repeatSent && hits(m_options.repeat, m_index + 1)) {
                m_repeatSent = true;
                trace(QStringLiteral("FAULT repeat %1").arg(m_index + 1));
                sendRecord(false);
                break;
            }
            ++m_index;
            m_repeatSent = false;
            if (m_index < m_options.records.size()) {
                sendRecord(true);
            } else {
                sendEnd();
            }
            break;
        case Phase::EndSent:
            endCycle(QStringLiteral("ACK"));
            break;
        case Phase::Idle:
        case Phase::Abandoned:
            break;
        }
    } else if (text == QStringLiteral("NAK")) {
        if (m_phase == Phase::Records) {
            sendRecord(false);
        } else if (m_phase == Phase::EndSent) {
            sendEnd();
        }
    } else if (text == QStringLiteral("BEL")) {
        m_phase = Phase::Abandoned;
    } else if (text == QStringLiteral("CAN")) {
        endCycle(QStringLiteral("CAN"));
    }
}

void TerminalSim::sendNameFrame()
{
    ++m_nameCount;
    const QString data =
        m_options.name + QLatin1Char('@') + QString::number(m_options.records.size()) + QLatin1Char('*');
    const QString checksum = CheckSumText(m_options.crcType == 0 ? QStringLiteral("^#") + data : data);
    const QString good = QStringLiteral("^#") + data + checksum;
    m_phase = Phase::NameSent;
    m_lastClean = datagramOf(good);
    if (m_nameCount <= m_options.badNameCount) {
        trace(QStringLiteral("FAULT bad-name"));
        sendNow(datagramOf(QStringLiteral("^#") + data + hex2(checksum.toInt(nullptr, 16) + 1)));
        return;
    }
    sendNow(m_lastClean);
}

QString TerminalSim::recordFrame(int index, QChar seqChar, bool badChecksum) const
{
    const QString& record = m_options.records.at(index);
    if (m_options.protocol == 1) {
        return record;
    }
    const QString body = record + QLatin1Char('*');
    QString checksum = CheckSumText(m_options.crcType == 0 ? QStringLiteral("^") + seqChar + body : body);
    if (badChecksum) {
        checksum = hex2(checksum.toInt(nullptr, 16) + 1);
    }
    return QStringLiteral("^") + seqChar + body + checksum;
}

void TerminalSim::sendRecord(bool firstTransmission)
{
    m_phase = Phase::Records;
    const int number = m_index + 1;
    const QChar seqChar(u'0' + m_index % 10);
    m_lastClean = datagramOf(recordFrame(m_index, seqChar, false));
    // Faults hit only a record's first transmission, so every retry of the PC can succeed.
    if (!firstTransmission || m_sentOnce.contains(number)) {
        sendNow(m_lastClean);
        return;
    }
    m_sentOnce.insert(number);

    const bool dedicated = m_options.protocol != 1;
    QByteArray datagram = m_lastClean;
    if (dedicated && hits(m_options.badCrc, number)) {
        trace(QStringLiteral("FAULT bad-crc %1").arg(number));
        datagram = datagramOf(recordFrame(m_index, seqChar, true));
    } else if (dedicated && hits(m_options.badSeq, number)) {
        // Five steps away: neither the expected character nor the previous one (which would read as a repeat).
        trace(QStringLiteral("FAULT bad-seq %1").arg(number));
        datagram = datagramOf(recordFrame(m_index, QChar(u'0' + (m_index + 5) % 10), false));
    }
    int delayMs = 0;
    if (hits(m_options.foreign, number)) {
        // The stranger speaks first; a PC that took it would see "END" and cut the file short.
        trace(QStringLiteral("FAULT foreign %1").arg(number));
        sendForeign(datagramOf(QStringLiteral("END")));
        delayMs = m_options.foreignGapMs;
    }
    if (hits(m_options.drop, number)) {
        trace(QStringLiteral("FAULT drop %1").arg(number));
        if (m_options.retransmitMs > 0) {
            m_retransmitTimer.start(m_options.retransmitMs);
        }
        return;
    }
    if (hits(m_options.delay, number)) {
        trace(QStringLiteral("FAULT delay %1").arg(number));
        delayMs += m_options.delayMs;
    }
    if (delayMs > 0) {
        sendLater(datagram, delayMs);
    } else {
        sendNow(datagram);
    }
}

void TerminalSim::sendEnd()
{
    m_phase = Phase::EndSent;
    m_lastClean = datagramOf(QStringLiteral("END"));
    sendNow(m_lastClean);
}

void TerminalSim::sendNow(const QByteArray& datagram)
{
    if (m_peerPort == 0) {
        return;
    }
    m_socket.writeDatagram(datagram, m_peer, m_peerPort);
    ++m_datagramsSent;
    if (m_options.retransmitMs > 0 && m_phase != Phase::Idle) {
        m_retransmitTimer.start(m_options.retransmitMs);
    }
}

void TerminalSim::sendLater(const QByteArray& datagram, int delayMs)
{
    const quint64 generation = m_generation;
    QTimer::singleShot(delayMs, this, [this, datagram, generation] {
        if (generation == m_generation) {
            sendNow(datagram);
        }
    });
}

void TerminalSim::sendForeign(const QByteArray& datagram)
{
    if (m_peerPort != 0) {
        m_foreignSocket.writeDatagram(datagram, m_peer, m_peerPort);
    }
}

void TerminalSim::onRetransmit()
{
    if (m_phase == Phase::NameSent || m_phase == Phase::Records || m_phase == Phase::EndSent) {
        trace(QStringLiteral("RETRANSMIT"));
        sendNow(m_lastClean);
    }
}

void TerminalSim::endCycle(const QString& answer)
{
    m_retransmitTimer.stop();
    const int sent = m_phase == Phase::Idle || m_phase == Phase::NameSent ? 0 : m_index;
    m_phase = Phase::Idle;
    ++m_cyclesDone;
    print(QStringLiteral("RESULT %1 records=%2 datagrams=%3 cycle=%4")
              .arg(answer)
              .arg(qMin(sent, int(m_options.records.size())))
              .arg(m_datagramsSent)
              .arg(m_cyclesDone));
    if (answer == QStringLiteral("ACK") && !m_options.laterRecords.isEmpty()) {
        m_options.records = m_options.laterRecords.takeFirst();
    }
    if (m_options.cycles > 0 && m_cyclesDone >= m_options.cycles) {
        print(QStringLiteral("EXIT cycles=%1").arg(m_cyclesDone));
        emit finished(0);
    }
}

void TerminalSim::checkIdle()
{
    if (m_sinceLastDatagram.elapsed() >= qint64(m_options.exitAfterIdleSeconds) * 1000) {
        m_idleTimer.stop();
        print(QStringLiteral("EXIT idle cycles=%1").arg(m_cyclesDone));
        emit finished(m_cyclesDone > 0 ? 0 : 2);
    }
}

bool TerminalSim::hits(const FaultSpec& fault, int recordNumber)
{
    if (!fault.records.isEmpty()) {
        return fault.records.contains(recordNumber);
    }
    // One draw per record and fault kind, so a seed replays the same faults.
    return fault.rate > 0.0 && m_random.generateDouble() < fault.rate;
}

QByteArray TerminalSim::datagramOf(const QString& text) const
{
    QByteArray datagram = Cp932::encode(text);
    datagram.append(Terminator);
    return datagram;
}

void TerminalSim::trace(const QString& line)
{
    if (m_options.quiet) {
        return;
    }
    if (m_traceFile.isOpen()) {
        m_traceFile.write(line.toUtf8());
        m_traceFile.write("\n");
        m_traceFile.flush();
        return;
    }
    print(line);
}

void TerminalSim::print(const QString& line)
{
    const QByteArray utf8 = line.toUtf8();
    std::fwrite(utf8.constData(), 1, size_t(utf8.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}
