// An outage in the system log, through the system's own log: two entries whatever its length. On Linux syslog(3)
// writes them to a socket of this test's own at /dev/log, in the private /dev that private-dev-log.sh makes (the test
// skips where no mount namespace can be made); under Wine ReportEventW traces them, which outage-events-wine.sh checks.

#include "output/OutageEvents.h"

#include "base/Platform.h"
#include "output/CycleRecorder.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#ifndef Q_OS_WIN
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace {

// A cycle every 30 s: stored, failing for 2 h 5 min after its notice (the third failure), stored again.
void playOutage(CycleRecorder& recorder)
{
    const QDateTime start(QDate(2026, 12, 9), QTime(7, 15, 0));
    const auto cycle = [&](int seconds, const QString& failure) {
        Output::CycleSummary summary;
        summary.time = start.addSecs(seconds);
        summary.end = failure.isEmpty() ? Output::CycleEnd::Acknowledged : Output::CycleEnd::Failed;
        summary.failure = failure;
        (void)recorder.record(summary);
    };
    cycle(0, QString());
    for (int seconds = 30; seconds <= 7560; seconds += 30) {
        cycle(seconds, QStringLiteral("保存ﾌｫﾙﾀﾞが存在しません : Z:\\受信"));
    }
    cycle(7590, QString());
    cycle(7620, QString());
}

} // namespace

class TestOutageEvents : public QObject
{
    Q_OBJECT

private slots:
    void anOutageIsTwoEntriesInTheSystemLog()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        CycleRecorder recorder(dir.filePath(QStringLiteral("History.csv")));
        OutageEvents events(writeSystemEvent);
        recorder.addCycleListener([&events](const CycleRecorder::CycleNotice& cycle) { events.cycleEnded(cycle); });
#ifdef Q_OS_WIN
        playOutage(recorder);
#else
        if (!qEnvironmentVariableIsSet("ZELBO_PRIVATE_DEV")) {
            QSKIP("needs a /dev of its own (a mount namespace), which private-dev-log.sh could not make here");
        }
        const int socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        QVERIFY(socket >= 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, "/dev/log");
        QVERIFY2(::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0,
                 std::strerror(errno));
        playOutage(recorder);
        QStringList entries;
        char datagram[4096];
        for (ssize_t size; (size = ::recv(socket, datagram, sizeof datagram, 0)) > 0;) {
            entries << QString::fromUtf8(datagram, size);
        }
        ::close(socket);
        // Priority (user facility: 12 warning, 14 information), time, ident and process id, then the entry.
        static const QRegularExpression header(
            QStringLiteral("^<(\\d+)>\\w{3} [ \\d]\\d \\d\\d:\\d\\d:\\d\\d zelbo_udp\\[%1\\]: ")
                .arg(QCoreApplication::applicationPid()));
        QStringList told;
        for (const QString& entry : entries) {
            const QRegularExpressionMatch match = header.match(entry);
            QVERIFY2(match.hasMatch(), qPrintable(entry));
            told << match.captured(1) + u' ' + entry.mid(match.capturedLength());
        }
        QCOMPARE(told, (QStringList{QStringLiteral("12 [2000] 障害が続いています : 保存ﾌｫﾙﾀﾞが存在しません : Z:\\受信"),
                                    QStringLiteral("14 [1004] 障害が回復しました (継続 2時間5分) : "
                                                   "保存ﾌｫﾙﾀﾞが存在しません : Z:\\受信")}));
#endif
    }

    void lengthText_data()
    {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("seconds") << qint64(45) << QStringLiteral("45秒");
        QTest::newRow("minutes") << qint64(12 * 60 + 5) << QStringLiteral("12分5秒");
        QTest::newRow("hours drop the seconds") << qint64(3 * 3600 + 59) << QStringLiteral("3時間0分");
        QTest::newRow("days") << qint64(2 * 86400 + 4 * 3600 + 30 * 60) << QStringLiteral("2日4時間30分");
    }
    void lengthText()
    {
        QFETCH(qint64, seconds);
        QFETCH(QString, text);
        QCOMPARE(OutageEvents::lengthText(seconds), text);
    }
};

QTEST_GUILESS_MAIN(TestOutageEvents)
#include "TestOutageEvents.moc"
