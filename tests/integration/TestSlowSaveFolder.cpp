// A save folder whose every sync takes 8 s, as a share whose server has gone quiet: the real program's window stays
// alive, so a second start meanwhile is answered (not told that nobody answers), and the cycle is stored all the same.
// The slowness comes from a preloaded library (Linux).

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

class TestSlowSaveFolder : public QObject
{
    Q_OBJECT

private slots:
    void secondStartAnsweredDuringASlowSync();
};

void TestSlowSaveFolder::secondStartAnsweredDuringASlowSync()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QDir folder(dir.path());
    QVERIFY(folder.mkdir(QStringLiteral("save")));
    const QString saveFolder = QFileInfo(folder.filePath(QStringLiteral("save"))).canonicalFilePath();
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
    Settings settings;
    settings.SaveFolder = QDir::toNativeSeparators(saveFolder);
    settings.RemoteHost = QStringLiteral("127.0.0.1");
    settings.RemotePort = QString::number(terminalPort);
    settings.LocalPort = QString::number(freeUdpPort());
    settings.TimeAdjust = QStringLiteral("0");
    settings.OverWrite = 0;
    settings.AutoStart = 1;
    QVERIFY(!writeTestFile(folder, QStringLiteral("zelbo_udp.ini"), SettingsFile::formatFile(settings)).isEmpty());

    const QString syncing = folder.filePath(QStringLiteral("syncing"));
    QProcessEnvironment slow;
    slow.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(SLOW_SYNC_PATH));
    slow.insert(QStringLiteral("ZELBO_SLOW_SYNC_DIR"), saveFolder);
    slow.insert(QStringLiteral("ZELBO_SLOW_SYNC_MARK"), syncing);
    slow.insert(QStringLiteral("ZELBO_SLOW_SYNC_SECONDS"), QStringLiteral("8"));
    // A sanitizer's runtime wants to be loaded first; the preloaded library only wraps fsync.
    slow.insert(QStringLiteral("ASAN_OPTIONS"),
                qEnvironmentVariable("ASAN_OPTIONS") + QStringLiteral(":verify_asan_link_order=0"));
    QProcess program;
    startRealProgram(program, exe, QString(), slow);
    QVERIFY(QTest::qWaitFor([&] { return QFileInfo::exists(syncing); }, 30000));
    QElapsedTimer sync;
    sync.start();

    // A copy that got no answer would show its box and wait: it must end, handed over, while the sync still runs.
    QProcess again;
    startRealProgram(again, exe);
    QVERIFY(again.waitForFinished(10000));
    QCOMPARE(again.exitCode(), 0);
    QVERIFY2(sync.elapsed() < 8000, qPrintable(QString::number(sync.elapsed())));

    QVERIFY2(QTest::qWaitFor([&] { return !sim.linesStartingWith(QStringLiteral("RESULT")).isEmpty(); }, 60000),
             qPrintable(sim.lines().join(u'\n')));
    QCOMPARE(sim.linesStartingWith(QStringLiteral("RESULT ACK")).size(), 1);
    QVERIFY(sync.elapsed() >= 8000);
    QCOMPARE(readTestFile(QDir(saveFolder).filePath(QStringLiteral("UP.txt"))), cp932Lines(records));
    program.kill();
    QVERIFY(program.waitForFinished(10000));
}

QTEST_GUILESS_MAIN(TestSlowSaveFolder)
#include "TestSlowSaveFolder.moc"
