#pragma once
// Plays a handheld terminal in its cradle on a loopback UDP port: answers "TW" and "VOL", sends the file-name
// frame and the records stop-and-wait, and injects reproducible faults. Console only; no widgets.

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QObject>
#include <QRandomGenerator>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUdpSocket>

#include <cstdint>
#include <optional>

// Which records (1-based, first transmission only) a fault hits: a fixed list, or each record with a probability.
struct FaultSpec
{
    double rate = 0.0;
    QSet<int> records;

    static std::optional<FaultSpec> parse(const QString& text);
    bool isSet() const { return rate > 0.0 || !records.isEmpty(); }
};

struct SimOptions
{
    QHostAddress bindAddress = QHostAddress::LocalHost;
    quint16 bindPort = 0;
    QStringList records;
    // Served one after another once a cycle is answered "ACK", as a terminal that deleted what was acknowledged.
    QList<QStringList> laterRecords;
    QString name = QStringLiteral("DATA");
    std::int16_t crcType = 0;
    std::int16_t protocol = 0;
    int cycles = 1;
    int exitAfterIdleSeconds = 60;
    quint32 seed = 1;
    FaultSpec drop;
    FaultSpec badCrc;
    FaultSpec badSeq;
    FaultSpec repeat;
    FaultSpec delay;
    FaultSpec foreign;
    int delayMs = 300;
    int badTwCount = 0;
    int badNameCount = 0;
    int retransmitMs = 0;
    QHostAddress foreignFrom = QHostAddress(QStringLiteral("127.0.0.2"));
    int foreignGapMs = 100;
    bool quiet = false;
    QString tracePath;
};

class TerminalSim : public QObject
{
    Q_OBJECT

public:
    explicit TerminalSim(SimOptions options, QObject* parent = nullptr);

    // Binds and prints "PORT n"; false (with a message on stderr) when the address cannot be bound.
    bool start();

signals:
    void finished(int exitCode);

private:
    enum class Phase
    {
        Idle,
        NameSent,
        Records,
        EndSent,
        Abandoned,
    };

    void onReadyRead();
    void onDatagram(const QByteArray& bytes, const QHostAddress& sender, quint16 senderPort);
    void sendNameFrame();
    void sendRecord(bool firstTransmission);
    void sendEnd();
    void sendNow(const QByteArray& datagram);
    void sendLater(const QByteArray& datagram, int delayMs);
    void sendForeign(const QByteArray& datagram);
    void onRetransmit();
    void endCycle(const QString& answer);
    void checkIdle();
    bool hits(const FaultSpec& fault, int recordNumber);
    QString recordFrame(int index, QChar seqChar, bool badChecksum) const;
    QByteArray datagramOf(const QString& text) const;
    void trace(const QString& line);
    void print(const QString& line);

    SimOptions m_options;
    QUdpSocket m_socket;
    QUdpSocket m_foreignSocket;
    QTimer m_retransmitTimer;
    QTimer m_idleTimer;
    QElapsedTimer m_sinceLastDatagram;
    QRandomGenerator m_random;
    QFile m_traceFile;

    Phase m_phase = Phase::Idle;
    QHostAddress m_peer;
    quint16 m_peerPort = 0;
    int m_index = 0;
    bool m_repeatSent = false;
    QByteArray m_lastClean;
    // Bumped on every received datagram, so a delayed send that the peer has overtaken is dropped.
    quint64 m_generation = 0;
    int m_twCount = 0;
    int m_nameCount = 0;
    int m_cyclesDone = 0;
    int m_datagramsSent = 0;
    // Per record: whether its first transmission has gone out (faults hit first transmissions only).
    QSet<int> m_sentOnce;
};
