#include "link/UdpLink.h"

#include "base/Cp932.h"
#include "config/Settings.h"
#include "fakes/FakeRunHost.h"
#include "link/LinkTestSupport.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QNetworkDatagram>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <memory>

class TestUdpLink : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void sendsCp932TextWithCarriageReturnFromLocalPort();
    void cutsEachReply_data();
    void cutsEachReply();
    void takesReplyAsSoonAsItArrives();
    void lateReplyStaysUntilNextSend();
    void replyBeforeSendIsDiscarded();
    void secondDatagramReplacesFirst();
    void waitTicksIgnoresReplies();
    void everyShortWaitEndsAtItsDeadline();
    void openTwiceRebindsAndCloseReleasesPort();
    void busyLocalPortIsLinkError();
    void badPortTextsAreLinkErrors_data();
    void badPortTextsAreLinkErrors();
    void ignoresDatagramsFromOtherHosts();
    void stopDuringNameLookupIsQuiet();
    void refusedReadIsNoReplyButOtherReadErrorsEndTheRun();

private:
    QByteArray peerReceive();
    void peerSend(const QByteArray& datagram);

    FakeRunHost m_host;
    Settings m_settings;
    QUdpSocket m_peer;
    std::unique_ptr<UdpLink> m_link;
    quint16 m_localPort = 0;
};

void TestUdpLink::init()
{
    m_host = FakeRunHost();
    m_host.running = true;
    QVERIFY(m_peer.bind(QHostAddress::LocalHost, 0));
    m_localPort = freeUdpPort();
    QVERIFY(m_localPort != 0);
    m_settings = Settings();
    m_settings.LocalPort = QString::number(m_localPort);
    m_settings.RemoteHost = QStringLiteral("127.0.0.1");
    m_settings.RemotePort = QString::number(m_peer.localPort());
    m_link = std::make_unique<UdpLink>(m_host, m_settings);
}

void TestUdpLink::cleanup()
{
    m_link.reset();
    m_peer.close();
}

QByteArray TestUdpLink::peerReceive()
{
    if (!m_peer.hasPendingDatagrams() && !m_peer.waitForReadyRead(2000)) {
        return QByteArrayLiteral("<nothing>");
    }
    return m_peer.receiveDatagram().data();
}

void TestUdpLink::peerSend(const QByteArray& datagram)
{
    QCOMPARE(m_peer.writeDatagram(datagram, QHostAddress::LocalHost, m_localPort), datagram.size());
}

void TestUdpLink::sendsCp932TextWithCarriageReturnFromLocalPort()
{
    m_link->OpenUDP();
    QCOMPARE(m_host.status, QString());

    m_link->SendText(QStringLiteral("ﾃｽﾄ漢字ABC"));
    QVERIFY(m_peer.waitForReadyRead(2000));
    const QNetworkDatagram datagram = m_peer.receiveDatagram();
    QCOMPARE(datagram.data(), Cp932::encode(u"ﾃｽﾄ漢字ABC") + '\r');
    QCOMPARE(datagram.data().size(), 3 + 4 + 3 + 1);
    QCOMPARE(datagram.senderPort(), int(m_localPort));
    QVERIFY(m_host.running);
}

void TestUdpLink::cutsEachReply_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("expected");

    QTest::newRow("ACK + CR") << QByteArray("ACK\r") << QStringLiteral("ACK");
    QTest::newRow("terminator not examined") << QByteArray("OK\n") << QStringLiteral("OK");
    QTest::newRow("lone CR") << QByteArray("\r") << QString();
    QTest::newRow("empty datagram") << QByteArray() << QString();
    QTest::newRow("last character double-byte") << Cp932::encode(u"^0あ") << QString();
    QTest::newRow("katakana and kanji") << Cp932::encode(u"^0ｱ,商品*1F\r") << QStringLiteral("^0ｱ,商品*1F");
    QTest::newRow("64 KB") << QByteArray(65506, 'x') + '\r' << QString(65506, QLatin1Char('x'));
}

void TestUdpLink::cutsEachReply()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, expected);

    m_link->OpenUDP();
    peerSend(datagram);
    // Loopback delivery is complete when the send returns, so one tick is enough for the datagram to be read.
    m_link->WaitTicks(1);
    QCOMPARE(m_link->receiveBuffer(), expected);
    QCOMPARE(m_host.status, QString());
}

void TestUdpLink::takesReplyAsSoonAsItArrives()
{
    m_link->OpenUDP();
    m_link->SendText(QStringLiteral("VOL"));
    QCOMPARE(peerReceive(), QByteArray("VOL\r"));
    QTimer::singleShot(50, this, [this] { peerSend("OK\r"); });

    QElapsedTimer elapsed;
    elapsed.start();
    QCOMPARE(m_link->WaitReply(), QStringLiteral("OK"));
    QVERIFY2(elapsed.elapsed() < 900, "the reply must end the wait, not the time-out");

    // The timer the reply left armed decides no later wait: one that gets nothing lasts its whole time-out, a
    // shorter pause ends at its own deadline, and nothing stays armed once the link is closed. How far past its end
    // a timer may carry a wait is TestTimerArm's.
    m_link->SendText(QStringLiteral("ACK"));
    elapsed.start();
    QCOMPARE(m_link->WaitReply(), QString());
    QVERIFY(elapsed.elapsed() >= 1000);
    peerSend("OK\r");
    QCOMPARE(m_link->WaitReply(), QStringLiteral("OK"));
    elapsed.start();
    m_link->WaitTicks(2);
    QVERIFY(elapsed.elapsed() >= 2 * UdpLink::TickIntervalMs && elapsed.elapsed() < 900);
    QVERIFY(!m_link->isTicking());
    QCOMPARE(m_link->WaitReply(), QStringLiteral("OK"));
    m_link->CloseUDP();
    QVERIFY(!m_link->isTicking());
}

void TestUdpLink::lateReplyStaysUntilNextSend()
{
    m_link->OpenUDP();
    m_link->SendText(QStringLiteral("VOL"));

    QElapsedTimer elapsed;
    elapsed.start();
    QCOMPARE(m_link->WaitReply(), QString());
    QVERIFY(elapsed.elapsed() >= 1000);
    QVERIFY(!m_link->isTicking());

    peerSend("LATE\r");
    m_link->pump();
    // Without a send the late reply is returned at once, and it stays in the buffer.
    elapsed.start();
    QCOMPARE(m_link->WaitReply(), QStringLiteral("LATE"));
    QCOMPARE(m_link->WaitReply(), QStringLiteral("LATE"));
    QVERIFY(elapsed.elapsed() < 900);

    m_link->SendText(QStringLiteral("NAK"));
    QCOMPARE(m_link->receiveBuffer(), QString());
}

void TestUdpLink::replyBeforeSendIsDiscarded()
{
    m_link->OpenUDP();
    m_link->SendText(QStringLiteral("VOL"));
    peerSend("^#DATA@2*00\r");
    QCOMPARE(m_link->WaitReply(), QStringLiteral("^#DATA@2*00"));

    // A stray repeat queued right before the next send (with no event-loop pass between) must not answer it.
    peerSend("^#DATA@2*00\r");
    m_link->SendText(QStringLiteral("ACK"));
    QCOMPARE(m_link->receiveBuffer(), QString());
    m_link->WaitTicks(1);
    QCOMPARE(m_link->receiveBuffer(), QString());
    QCOMPARE(m_host.status, QString());
}

void TestUdpLink::secondDatagramReplacesFirst()
{
    m_link->OpenUDP();
    m_link->SendText(QStringLiteral("VOL"));
    peerSend("^0FIRST*00\r");
    peerSend("^0SECOND*00\r");
    QCOMPARE(m_link->WaitReply(), QStringLiteral("^0SECOND*00"));
}

void TestUdpLink::waitTicksIgnoresReplies()
{
    m_link->OpenUDP();
    QTimer::singleShot(10, this, [this] { peerSend("OK\r"); });
    QElapsedTimer elapsed;
    elapsed.start();
    m_link->WaitTicks(5);
    QVERIFY(elapsed.elapsed() >= 5 * UdpLink::TickIntervalMs);
    QVERIFY(!m_link->isTicking());
    QCOMPARE(m_link->receiveBuffer(), QStringLiteral("OK"));

    // No ticks to wait: back at once, even without an event to wake the wait.
    elapsed.start();
    m_link->WaitTicks(0);
    m_link->WaitTicks(-3);
    QVERIFY(elapsed.elapsed() < 900);
    QVERIFY(!m_link->isTicking());
}

void TestUdpLink::everyShortWaitEndsAtItsDeadline()
{
    // A timer event delivered just before Windows' dispatcher blocks used to leave the wait asleep now and then; the
    // coarse timer here only rescues such a wait, so the check below fails instead of the test hanging.
    QTimer rescue;
    rescue.start(2000);
    m_link->OpenUDP();
    for (int i = 0; i < 100; ++i) {
        QElapsedTimer elapsed;
        elapsed.start();
        m_link->WaitTicks(1);
        QVERIFY2(elapsed.elapsed() < 1500,
                 qPrintable(QStringLiteral("wait %1 took %2 ms").arg(i).arg(elapsed.elapsed())));
    }
}

void TestUdpLink::openTwiceRebindsAndCloseReleasesPort()
{
    m_link->OpenUDP();
    m_link->OpenUDP();
    QCOMPARE(m_host.status, QString());
    QVERIFY(m_host.running);

    QUdpSocket rival;
    QVERIFY2(!rival.bind(QHostAddress::Any, m_localPort, QAbstractSocket::DontShareAddress),
             "the link must hold its port exclusively");

    m_link->SendText(QStringLiteral("ACK"));
    QCOMPARE(peerReceive(), QByteArray("ACK\r"));

    m_link->CloseUDP();
    QVERIFY(rival.bind(QHostAddress::Any, m_localPort, QAbstractSocket::DontShareAddress));
}

void TestUdpLink::busyLocalPortIsLinkError()
{
    // Held on the loopback address only: the link's bind on every address conflicts all the same.
    QUdpSocket holder;
    QVERIFY(holder.bind(QHostAddress::LocalHost, m_localPort, QAbstractSocket::DontShareAddress));

    m_link->OpenUDP();
    const std::optional<LinkError> error = m_link->takeError();
    QVERIFY(error && error->kind == LinkError::Kind::PortInUse);
    QCOMPARE(error->port, m_localPort);
    QCOMPARE(error->error.number, int(QAbstractSocket::AddressInUseError));
    QVERIFY(!error->error.description.isEmpty());
    // The system names this process as the holder (Linux shortens the name to 15 characters).
    QVERIFY(error->holder);
    QCOMPARE(error->holder->pid, QCoreApplication::applicationPid());
    QVERIFY(!error->holder->process.isEmpty());
    QVERIFY2(QFileInfo(QCoreApplication::applicationFilePath()).fileName().startsWith(error->holder->process),
             qPrintable(error->holder->process));
    QVERIFY(!error->holder->user.isEmpty());
    // The run decides what the window shows.
    QVERIFY(m_host.status.isEmpty());
    QVERIFY(!m_link->takeError());

    // Once the port is free the same link binds it.
    holder.close();
    m_link->OpenUDP();
    QVERIFY(!m_link->takeError());
    m_link->SendText(QStringLiteral("VOL"));
    QCOMPARE(peerReceive(), QByteArray("VOL\r"));
}

void TestUdpLink::badPortTextsAreLinkErrors_data()
{
    QTest::addColumn<QString>("localPort");
    QTest::addColumn<QString>("remotePort");
    QTest::addColumn<bool>("bound");

    QTest::newRow("remote letters") << QString() << QStringLiteral("abc") << true;
    QTest::newRow("remote out of range") << QString() << QStringLiteral("70000") << true;
    QTest::newRow("remote 0") << QString() << QStringLiteral("0") << true;
    QTest::newRow("remote empty") << QString() << QString() << true;
    QTest::newRow("local letters") << QStringLiteral("x6000") << QString() << false;
}

void TestUdpLink::badPortTextsAreLinkErrors()
{
    QFETCH(QString, localPort);
    QFETCH(QString, remotePort);
    QFETCH(bool, bound);
    if (!localPort.isEmpty()) {
        m_settings.LocalPort = localPort;
    } else {
        m_settings.RemotePort = remotePort;
    }

    m_link->OpenUDP();
    std::optional<LinkError> error = m_link->takeError();
    QVERIFY(error && error->kind == LinkError::Kind::Other);
    QCOMPARE(error->error.number, 22);
    // A bad remote port leaves the local port bound; a bad local port binds nothing.
    QUdpSocket rival;
    QCOMPARE(!rival.bind(QHostAddress::Any, m_localPort, QAbstractSocket::DontShareAddress), bound);

    // The run's closing "CAN" cannot go anywhere: the same error comes again and nothing is sent.
    m_link->SendText(QStringLiteral("CAN"));
    error = m_link->takeError();
    QVERIFY(error && error->error.number == 22);
    QVERIFY(!m_peer.hasPendingDatagrams());
}

void TestUdpLink::ignoresDatagramsFromOtherHosts()
{
    if (!loopbackStrangerPossible()) {
        QSKIP("sockets here cannot send from 127.0.0.2");
    }
    QUdpSocket stranger;
    QVERIFY(stranger.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0));
    m_link->OpenUDP();
    m_link->SendText(QStringLiteral("VOL"));

    stranger.writeDatagram("END\r", QHostAddress::LocalHost, m_localPort);
    m_link->WaitTicks(1);
    QCOMPARE(m_link->receiveBuffer(), QString());

    // A stranger speaking last must not replace the cradle's reply either.
    peerSend("^#DATA@1*00\r");
    stranger.writeDatagram("END\r", QHostAddress::LocalHost, m_localPort);
    QCOMPARE(m_link->WaitReply(), QStringLiteral("^#DATA@1*00"));
    QCOMPARE(m_host.status, QString());
}

void TestUdpLink::stopDuringNameLookupIsQuiet()
{
    // "localhost" comes from the hosts file, so no name server is asked; its second lookup comes from Qt's cache.
    m_settings.RemoteHost = QStringLiteral("localhost");
    m_link->OpenUDP();
    QCOMPARE(m_host.status, QString());
    m_link->SendText(QStringLiteral("VOL"));
    QCOMPARE(peerReceive(), QByteArray("VOL\r"));
    m_link->CloseUDP();

    // Stopped while the name is being looked up: the run is ending, so nothing is reported or sent, and the answer
    // that is already on its way must find nothing left to write into (run under a sanitizer to see the difference).
    m_host.running = false;
    m_link->OpenUDP();
    QCOMPARE(m_host.status, QString());
    m_link->WaitTicks(2);
    m_link->SendText(QStringLiteral("CAN"));
    m_link->WaitTicks(1);
    QCOMPARE(m_host.status, QString());
    QVERIFY(!m_peer.hasPendingDatagrams());
}

void TestUdpLink::refusedReadIsNoReplyButOtherReadErrorsEndTheRun()
{
    // Windows reports a "port unreachable" answer to a send as a failed read, which Qt signals as a refused
    // connection; nothing here produces one for real, so the socket's signal is raised as Qt raises it.
    m_link->OpenUDP();
    auto* socket = m_link->findChild<QUdpSocket*>(QStringLiteral("Winsock1"));
    QVERIFY(socket != nullptr);
    m_link->SendText(QStringLiteral("VOL"));
    QCOMPARE(peerReceive(), QByteArray("VOL\r"));
    QTimer::singleShot(20, socket, [socket] { emit socket->errorOccurred(QAbstractSocket::ConnectionRefusedError); });

    QElapsedTimer elapsed;
    elapsed.start();
    QCOMPARE(m_link->WaitReply(), QString());
    QVERIFY2(elapsed.elapsed() >= 900, "a refused send is no reply: the wait runs into its time-out");
    QVERIFY(!m_link->takeError());

    // The retry goes out and its reply is taken.
    m_link->SendText(QStringLiteral("NAK"));
    QCOMPARE(peerReceive(), QByteArray("NAK\r"));
    peerSend("OK\r");
    QCOMPARE(m_link->WaitReply(), QStringLiteral("OK"));
    QVERIFY(!m_link->takeError());

    // Any other failed read is a link error, and it ends a wait at once.
    m_link->SendText(QStringLiteral("ACK"));
    QCOMPARE(peerReceive(), QByteArray("ACK\r"));
    QTimer::singleShot(20, socket, [socket] { emit socket->errorOccurred(QAbstractSocket::NetworkError); });
    elapsed.restart();
    QCOMPARE(m_link->WaitReply(), QString());
    QVERIFY(elapsed.elapsed() < 900);
    QVERIFY(m_link->takeError());
    QVERIFY(m_host.status.isEmpty());

    // A read notification with nothing queued (the read that trusts it fails with "would block") is no error.
    m_link->SendText(QStringLiteral("NAK"));
    QCOMPARE(peerReceive(), QByteArray("NAK\r"));
    emit socket->readyRead();
    QVERIFY(!m_link->takeError());
    peerSend("OK\r");
    QCOMPARE(m_link->WaitReply(), QStringLiteral("OK"));
    QVERIFY(!m_link->takeError());
}

QTEST_GUILESS_MAIN(TestUdpLink)
#include "TestUdpLink.moc"
