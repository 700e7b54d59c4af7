// The real zelbo_udp with automatic start while another program (this test) holds its local port for 20 s, as another
// user's copy on the same PC would: the program says so, names the holder, binds again by itself once the port is
// free and stores the terminal's file; the look back at an interrupted cycle waits for the bind.

#include "base/Cp932.h"
#include "config/Settings.h"
#include "config/SettingsFile.h"
#include "fakes/TestFiles.h"
#include "link/LinkTestSupport.h"
#include "RealProgram.h"
#include "simulator/SimProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

class TestLocalPortHeld : public QObject
{
    Q_OBJECT

private slots:
    void pollsOnceTheHeldPortIsFree();
};

void TestLocalPortHeld::pollsOnceTheHeldPortIsFree()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QDir folder(dir.path());
    QVERIFY(folder.mkdir(QStringLiteral("save")));
    const QString saveFolder = folder.filePath(QStringLiteral("save"));
    const QString exe = folder.filePath(QFileInfo(QStringLiteral(ZELBO_UDP_PATH)).fileName());
    QVERIFY(QFile::copy(QStringLiteral(ZELBO_UDP_PATH), exe));
    const QStringList records = {QStringLiteral("001,ｱｲｳ,売上"), QStringLiteral("002,ｴｵ,仕入")};
    const QString recordsFile = writeTestFile(folder, QStringLiteral("records.txt"), cp932Lines(records));

    SimProcess sim(QStringLiteral(TERMINAL_SIM_PATH));
    const quint16 terminalPort =
        sim.start({QStringLiteral("--file"), recordsFile, QStringLiteral("--name"), QStringLiteral("UP"),
                   QStringLiteral("--cycles"), QStringLiteral("1"), QStringLiteral("--exit-after-idle"),
                   QStringLiteral("120"), QStringLiteral("--quiet")});
    QVERIFY(terminalPort != 0);
    QUdpSocket holder;
    QVERIFY(holder.bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress));
    const quint16 localPort = holder.localPort();
    Settings settings;
    settings.SaveFolder = QDir::toNativeSeparators(saveFolder);
    settings.RemoteHost = QStringLiteral("127.0.0.1");
    settings.RemotePort = QString::number(terminalPort);
    settings.LocalPort = QString::number(localPort);
    settings.TimeAdjust = QStringLiteral("0");
    settings.OverWrite = 0;
    settings.AutoStart = 1;
    QVERIFY(!writeTestFile(folder, QStringLiteral("zelbo_udp.ini"), SettingsFile::formatFile(settings)).isEmpty());
    // A temporary of an interrupted write: removed only once the link has opened.
    const QString earlier = QDir(saveFolder).filePath(QStringLiteral("UP.txt.9f.tmp"));
    QVERIFY(!writeTestFile(QDir(saveFolder), QStringLiteral("UP.txt.9f.tmp"), "earlier").isEmpty());

    QProcess program;
    startRealProgram(program, exe);
    QElapsedTimer held;
    held.start();
    const QString historyPath = folder.filePath(QStringLiteral("History.csv"));
    const QString line =
        QStringLiteral("UDP通信 : ﾛｰｶﾙﾎﾟｰﾄ %1 は他のﾌﾟﾛｸﾞﾗﾑが使用中です。空くまで30秒ごとに再試行します")
            .arg(localPort);
    // The holder as the system names it: this process (Linux keeps 15 characters of its name).
    const QString named = QStringLiteral(" (%1 PID %2, ")
                              .arg(QFileInfo(QCoreApplication::applicationFilePath()).fileName().left(15))
                              .arg(QCoreApplication::applicationPid());
    QVERIFY2(QTest::qWaitFor([&] { return Cp932::decode(readTestFile(historyPath)).contains(line); }, 15000),
             qPrintable(Cp932::decode(readTestFile(historyPath))));
    const QString history = Cp932::decode(readTestFile(historyPath));
    QVERIFY2(history.contains(line + named), qPrintable(history));

    // The program holds on: no ending, no transfer, no look back while the port is held.
    QTest::qWait(int(qMax<qint64>(0, 20000 - held.elapsed())));
    QCOMPARE(program.state(), QProcess::Running);
    QVERIFY(sim.linesStartingWith(QStringLiteral("RESULT")).isEmpty());
    QVERIFY(QFileInfo::exists(earlier));
    holder.close();
    QElapsedTimer freed;
    freed.start();

    QVERIFY2(QTest::qWaitFor([&] { return !sim.linesStartingWith(QStringLiteral("RESULT")).isEmpty(); }, 45000),
             qPrintable(sim.lines().join(u'\n')));
    QVERIFY2(freed.elapsed() < 40000, qPrintable(QString::number(freed.elapsed())));
    QCOMPARE(sim.linesStartingWith(QStringLiteral("RESULT ACK")).size(), 1);
    QCOMPARE(readTestFile(QDir(saveFolder).filePath(QStringLiteral("UP.txt"))), cp932Lines(records));
    QVERIFY(!QFileInfo::exists(earlier));
    program.kill();
    QVERIFY(program.waitForFinished(10000));
}

QTEST_GUILESS_MAIN(TestLocalPortHeld)
#include "TestLocalPortHeld.moc"
