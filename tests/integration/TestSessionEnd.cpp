// A logoff that another program cancelled, sent to the real program mid-transfer. On Windows end_session sends the
// real zelbo_udp.exe on a real display WM_QUERYENDSESSION and then, as after another program refused the end,
// WM_ENDSESSION with FALSE: Qt's session manager and the program's wiring take them from there. Where the system has
// no such messages a line on the standard input of zelbo_udp_session plays both through the program's own watcher.
// Either way the cycle is answered "CAN" at once, and polling comes back by itself.

#include "base/Cp932.h"
#include "config/Settings.h"
#include "config/SettingsFile.h"
#include "fakes/TestFiles.h"
#include "link/LinkTestSupport.h"
#include "RealProgram.h"
#include "simulator/SimProcess.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestSessionEnd : public QObject
{
    Q_OBJECT

private slots:
    void cancelledEndAnswersCanAndPollingComesBack();
};

void TestSessionEnd::cancelledEndAnswersCanAndPollingComesBack()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QDir folder(dir.path());
    QVERIFY(folder.mkdir(QStringLiteral("save")));
    const QString saveFolder = folder.filePath(QStringLiteral("save"));
    const QString exe = folder.filePath(QFileInfo(QStringLiteral(ZELBO_UDP_PATH)).fileName());
    QVERIFY(QFile::copy(QStringLiteral(ZELBO_UDP_PATH), exe));
    const QStringList records = {QStringLiteral("001,ｱｲｳ,売上"), QStringLiteral("002,ｴｵ,仕入"),
                                 QStringLiteral("003,ｶｷ,返品"),  QStringLiteral("004,ｸｹ,在庫"),
                                 QStringLiteral("005,ｺｻ,売上"),  QStringLiteral("006,ｼｽ,仕入")};
    const QString recordFile = writeTestFile(folder, QStringLiteral("records.txt"), cp932Lines(records));

    // Every record 1.5 s late: the program waits for one whenever the messages come.
    SimProcess sim(QStringLiteral(TERMINAL_SIM_PATH));
    const quint16 terminalPort =
        sim.start({QStringLiteral("--file"), recordFile, QStringLiteral("--name"), QStringLiteral("UP"),
                   QStringLiteral("--cycles"), QStringLiteral("2"), QStringLiteral("--delay"), QStringLiteral("1"),
                   QStringLiteral("--delay-ms"), QStringLiteral("1500"), QStringLiteral("--exit-after-idle"),
                   QStringLiteral("120")});
    QVERIFY(terminalPort != 0);
    Settings settings;
    settings.SaveFolder = QDir::toNativeSeparators(saveFolder);
    settings.RemoteHost = QStringLiteral("127.0.0.1");
    settings.RemotePort = QString::number(terminalPort);
    settings.LocalPort = QString::number(freeUdpPort());
    settings.TimeAdjust = QStringLiteral("0");
    settings.OverWrite = 0;
    settings.AutoStart = 1;
    // Named after the exe, which is the test build on Linux.
    const QString ini = QFileInfo(exe).completeBaseName() + QStringLiteral(".ini");
    QVERIFY(!writeTestFile(folder, ini, SettingsFile::formatFile(settings)).isEmpty());

    QProcess program;
    const QString endSessionPath = QStringLiteral(END_SESSION_PATH);
    QProcessEnvironment display;
    if (!endSessionPath.isEmpty()) {
        // Windows' own platform: offscreen windows have no window handle for the messages.
        display.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("windows"));
    }
    startRealProgram(program, exe, QString(), display);
    QVERIFY2(QTest::qWaitFor([&] { return sim.lines().contains(QStringLiteral("FAULT delay 2")); }, 60000),
             qPrintable(sim.lines().join(u'\n')));

    if (endSessionPath.isEmpty()) {
        QVERIFY(program.write("end\n") == 4);
    } else {
        QProcess endSession;
        endSession.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        endSession.start(endSessionPath, {QString::number(program.processId())});
        QVERIFY(endSession.waitForFinished(90000));
        const QString said = QString::fromLocal8Bit(endSession.readAllStandardOutput());
        QVERIFY2(endSession.exitStatus() == QProcess::NormalExit && endSession.exitCode() == 0, qPrintable(said));
        QVERIFY2(said.contains(QStringLiteral("refused=0")) && said.contains(QStringLiteral("ENDSESSION FALSE")),
                 qPrintable(said));
    }

    // The query stopped the cycle with "CAN" before the delayed record came; the cancellation started polling again,
    // and the terminal's repeat of the file is stored, once.
    QVERIFY2(QTest::qWaitFor([&] { return !sim.linesStartingWith(QStringLiteral("EXIT")).isEmpty(); }, 90000),
             qPrintable(sim.lines().join(u'\n')));
    const QStringList results = sim.linesStartingWith(QStringLiteral("RESULT"));
    QCOMPARE(results.size(), 2);
    QVERIFY2(results[0].startsWith(QStringLiteral("RESULT CAN records=")), qPrintable(results[0]));
    QVERIFY2(results[1].startsWith(QStringLiteral("RESULT ACK records=6 ")), qPrintable(results[1]));
    QCOMPARE(readTestFile(QDir(saveFolder).filePath(QStringLiteral("UP.txt"))), cp932Lines(records));
    // Nobody pressed Stop, and the history says so.
    const QString history = Cp932::decode(readTestFile(folder.filePath(QStringLiteral("History.csv"))));
    QVERIFY2(history.contains(QStringLiteral("ﾛｸﾞｵﾌ/ｼｬｯﾄﾀﾞｳﾝのため通信を停止しました")), qPrintable(history));
    QVERIFY(!history.contains(QStringLiteral("通信ｽﾄｯﾌﾟﾎﾞﾀﾝが押されました")));

    program.kill();
    QVERIFY(program.waitForFinished(10000));
}

QTEST_GUILESS_MAIN(TestSessionEnd)
#include "TestSessionEnd.moc"
