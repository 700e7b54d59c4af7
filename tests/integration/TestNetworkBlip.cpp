// Polling all day across a network outage, for real: in a private network namespace the loopback address is taken
// away between two files and given back, and the real link, engine and files deliver the next file by themselves.

#include "CommObjects.h"

#include "base/Cp932.h"
#include "base/ProgramPaths.h"
#include "config/Settings.h"
#include "fakes/FakeRunHost.h"
#include "fakes/RecordingMessageSink.h"
#include "fakes/TestFiles.h"
#include "link/LinkTestSupport.h"
#include "simulator/SimProcess.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

const char* const InsideVariable = "ZELBO_IN_NETNS";

bool runQuietly(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool loopbackAddress(const QString& change)
{
    return runQuietly(QStringLiteral("ip"), {QStringLiteral("addr"), change, QStringLiteral("127.0.0.1/8"),
                                             QStringLiteral("dev"), QStringLiteral("lo")});
}

} // namespace

class TestNetworkBlip : public QObject
{
    Q_OBJECT

private slots:
    void pollingDeliversAgainAfterOutage();
};

void TestNetworkBlip::pollingDeliversAgainAfterOutage()
{
    if (!qEnvironmentVariableIsSet(InsideVariable)) {
        // The outage needs a network of the test's own: this program again, in a new network namespace.
        const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
        if (unshare.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("ip")).isEmpty() ||
            !runQuietly(unshare, {QStringLiteral("-n"), QStringLiteral("true")})) {
            QSKIP("no private network namespace here (unshare -n needs root or user namespaces, and ip)");
        }
        QProcess inside;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(InsideVariable), QStringLiteral("1"));
        inside.setProcessEnvironment(environment);
        inside.setProcessChannelMode(QProcess::ForwardedChannels);
        inside.start(unshare, {QStringLiteral("-n"), QStringLiteral("--"), QCoreApplication::applicationFilePath(),
                               QStringLiteral("pollingDeliversAgainAfterOutage")});
        QVERIFY(inside.waitForFinished(180000));
        QCOMPARE(inside.exitCode(), 0);
        return;
    }

    QVERIFY(runQuietly(QStringLiteral("ip"),
                       {QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("lo"), QStringLiteral("up")}));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QDir folder(dir.path());
    QVERIFY(folder.mkdir(QStringLiteral("save")));
    const QStringList first = {QStringLiteral("001,ｱ,1"), QStringLiteral("002,売,2")};
    const QStringList second = {QStringLiteral("101,後,1")};
    const QString firstFile = writeTestFile(folder, QStringLiteral("first.txt"), cp932Lines(first));
    const QString secondFile = writeTestFile(folder, QStringLiteral("second.txt"), cp932Lines(second));

    SimProcess sim(QStringLiteral(TERMINAL_SIM_PATH));
    const quint16 port =
        sim.start({QStringLiteral("--file"), firstFile, QStringLiteral("--then-file"), secondFile,
                   QStringLiteral("--name"), QStringLiteral("UP"), QStringLiteral("--cycles"), QStringLiteral("0"),
                   QStringLiteral("--exit-after-idle"), QStringLiteral("120"), QStringLiteral("--quiet")});
    QVERIFY(port != 0);

    Settings settings;
    settings.SaveFolder = folder.filePath(QStringLiteral("save"));
    settings.RemoteHost = QStringLiteral("127.0.0.1");
    settings.RemotePort = QString::number(port);
    settings.LocalPort = QString::number(freeUdpPort());
    settings.TimeAdjust = QStringLiteral("0");
    settings.OverWrite = 0;
    settings.AutoStart = 1;
    FakeRunHost host;
    QStringList shown;
    host.journal = &shown;
    RecordingMessageSink messages;
    const ProgramPaths paths = testProgramPaths(dir.path());
    CommObjects comm(host, settings, paths, messages, QStringLiteral("ZELBO_UDP"));

    // After the first file the address goes away for a few seconds; after the second the user stops.
    bool removed = false;
    bool restored = false;
    sim.onLine = [&](const QString& line) {
        if (line.startsWith(QStringLiteral("RESULT ACK")) && line.endsWith(QStringLiteral("cycle=1"))) {
            removed = loopbackAddress(QStringLiteral("del"));
            QTimer::singleShot(4500, [&] { restored = loopbackAddress(QStringLiteral("add")); });
        } else if (line.startsWith(QStringLiteral("RESULT ACK")) && line.endsWith(QStringLiteral("cycle=2"))) {
            comm.control().cmdComm_Click(CommControl::StopIndex);
        }
    };
    QTimer::singleShot(90000, [&] { comm.control().cmdComm_Click(CommControl::StopIndex); });
    comm.control().Timer1_Timer();

    QVERIFY(removed && restored);
    QCOMPARE(readTestFile(folder.filePath(QStringLiteral("save/UP.txt"))), cp932Lines(first) + cp932Lines(second));
    const QString retry = QStringLiteral("status1 UDP通信 : ﾈｯﾄﾜｰｸに接続できません。再試行します 101:");
    QVERIFY2(shown.filter(retry).size() == 1, qPrintable(shown.join(u'\n')));
    QVERIFY(messages.boxes.isEmpty());
}

QTEST_GUILESS_MAIN(TestNetworkBlip)
#include "TestNetworkBlip.moc"
