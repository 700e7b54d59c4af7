// The real zelbo_udp started a second time in the folder of a copy that polls: the second start touches no file of
// the folder and ends, the first goes on delivering; a copy killed outright does not keep the next one out.

#include "config/Settings.h"
#include "config/SettingsFile.h"
#include "fakes/TestFiles.h"
#include "link/LinkTestSupport.h"
#include "RealProgram.h"
#include "simulator/SimProcess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestSecondStart : public QObject
{
    Q_OBJECT

private slots:
    void secondStartTouchesNothingAndAKilledCopyHoldsNothing();
};

void TestSecondStart::secondStartTouchesNothingAndAKilledCopyHoldsNothing()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QDir folder(dir.path());
    QVERIFY(folder.mkdir(QStringLiteral("save")));
    const QString saveFolder = folder.filePath(QStringLiteral("save"));
    const QString exe = folder.filePath(QFileInfo(QStringLiteral(ZELBO_UDP_PATH)).fileName());
    QVERIFY(QFile::copy(QStringLiteral(ZELBO_UDP_PATH), exe));
    const QStringList first = {QStringLiteral("001,ｱｲｳ,売上"), QStringLiteral("002,ｴｵ,仕入")};
    const QStringList second = {QStringLiteral("101,次,1")};
    const QString firstFile = writeTestFile(folder, QStringLiteral("first.txt"), cp932Lines(first));
    const QString secondFile = writeTestFile(folder, QStringLiteral("second.txt"), cp932Lines(second));

    // Polling all day a terminal that is not there yet; loopback only.
    const quint16 terminalPort = freeUdpPort();
    Settings settings;
    settings.SaveFolder = QDir::toNativeSeparators(saveFolder);
    settings.RemoteHost = QStringLiteral("127.0.0.1");
    settings.RemotePort = QString::number(terminalPort);
    settings.LocalPort = QString::number(freeUdpPort());
    settings.TimeAdjust = QStringLiteral("0");
    settings.OverWrite = 0;
    settings.AutoStart = 1;
    QVERIFY(!writeTestFile(folder, QStringLiteral("zelbo_udp.ini"), SettingsFile::formatFile(settings)).isEmpty());

    // Gone once the first copy's link has opened and it has looked back at an interrupted cycle.
    const QString earlier = QDir(saveFolder).filePath(QStringLiteral("UP.txt.9f.tmp"));
    QVERIFY(!writeTestFile(QDir(saveFolder), QStringLiteral("UP.txt.9f.tmp"), "earlier").isEmpty());
    QProcess program;
    startRealProgram(program, exe);
    QVERIFY(QTest::qWaitFor([&] { return !QFileInfo::exists(earlier); }, 30000));

    // What only a copy that went past the lock would touch: a temporary of an interrupted write, a journal that it
    // would take as torn, the staging file.
    QVERIFY(!writeTestFile(QDir(saveFolder), QStringLiteral("UP.txt.1a2b3c.tmp"), "half").isEmpty());
    QVERIFY(!writeTestFile(folder, QStringLiteral("Cycle.jnl"), "torn").isEmpty());
    const QMap<QString, QByteArray> before = filesUnder(dir.path());

    QProcess again;
    QElapsedTimer clock;
    clock.start();
    startRealProgram(again, exe);
    QVERIFY(again.waitForFinished(10000));
    QCOMPARE(again.exitStatus(), QProcess::NormalExit);
    QCOMPARE(again.exitCode(), 0);
    QVERIFY2(clock.elapsed() < 8000, qPrintable(QString::number(clock.elapsed())));
    // A terminal that does not answer leaves no line anywhere, so nothing may have changed.
    QCOMPARE(filesUnder(dir.path()), before);
    QVERIFY(program.state() == QProcess::Running);
    // The torn journal is the test's, not a cycle's: out of the way before the first copy writes its own.
    QVERIFY(QFile::remove(folder.filePath(QStringLiteral("Cycle.jnl"))));

    // The terminal comes: the first copy delivers, then dies outright; the next start takes over and delivers again.
    SimProcess sim(QStringLiteral(TERMINAL_SIM_PATH));
    QVERIFY(sim.start({QStringLiteral("--file"), firstFile, QStringLiteral("--then-file"), secondFile,
                       QStringLiteral("--name"), QStringLiteral("UP"), QStringLiteral("--cycles"), QStringLiteral("2"),
                       QStringLiteral("--exit-after-idle"), QStringLiteral("120"), QStringLiteral("--quiet"),
                       QStringLiteral("--bind"), QStringLiteral("127.0.0.1:%1").arg(terminalPort)}) == terminalPort);
    QVERIFY(QTest::qWaitFor([&] { return sim.linesStartingWith(QStringLiteral("RESULT")).size() == 1; }, 30000));
    program.kill();
    QVERIFY(program.waitForFinished(10000));

    startRealProgram(program, exe);
    QVERIFY2(QTest::qWaitFor([&] { return sim.linesStartingWith(QStringLiteral("EXIT")).size() == 1; }, 60000),
             qPrintable(sim.lines().join(u'\n')));
    program.kill();
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(readTestFile(QDir(saveFolder).filePath(QStringLiteral("UP.txt"))), cp932Lines(first) + cp932Lines(second));
    // The copy that holds the folder cleans up after interrupted writes.
    QVERIFY(!QFileInfo::exists(QDir(saveFolder).filePath(QStringLiteral("UP.txt.1a2b3c.tmp"))));
}

QTEST_GUILESS_MAIN(TestSecondStart)
#include "TestSecondStart.moc"
