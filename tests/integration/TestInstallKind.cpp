// The real zelbo_udp as the per-machine install starts it at logon: beside the installer's marker it keeps its files
// in the user's own folder, taking the settings an earlier version left beside it; a start with --background beside
// the copy that holds that folder, running or frozen, ends at once and touches nothing.

#include "config/Settings.h"
#include "config/SettingsFile.h"
#include "fakes/TestFiles.h"
#include "link/LinkTestSupport.h"
#include "RealProgram.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <signal.h>

class TestInstallKind : public QObject
{
    Q_OBJECT

private slots:
    void markedInstallStartedInTheBackground();
};

void TestInstallKind::markedInstallStartedInTheBackground()
{
    QTemporaryDir dir;
    const QDir top(dir.path());
    QVERIFY(top.mkpath(QStringLiteral("program")) && top.mkpath(QStringLiteral("save")));
    const QDir program(top.filePath(QStringLiteral("program")));
    const QString exe = program.filePath(QStringLiteral("zelbo_udp"));
    QVERIFY(QFile::copy(QStringLiteral(ZELBO_UDP_PATH), exe));
    QVERIFY(!writeTestFile(program, QStringLiteral("zelbo_udp.machine"), "").isEmpty());
    // Left by an earlier version that someone who could write there started: polls a terminal nobody plays.
    Settings settings = SettingsFile::defaults(QDir::toNativeSeparators(top.filePath(QStringLiteral("save"))));
    settings.RemoteHost = QStringLiteral("127.0.0.1");
    settings.RemotePort = QString::number(freeUdpPort());
    settings.LocalPort = QString::number(freeUdpPort());
    settings.TimeAdjust = QStringLiteral("0");
    settings.AutoStart = 1;
    const QByteArray earlier = SettingsFile::formatFile(settings);
    QVERIFY(!writeTestFile(program, QStringLiteral("zelbo_udp.ini"), earlier).isEmpty());
    QVERIFY(!writeTestFile(program, QStringLiteral("zelbo_udp.defaults.ini"), "REMOTEHOST=127.0.0.2").isEmpty());
    const QString stale = writeTestFile(QDir(top.filePath(QStringLiteral("save"))), QStringLiteral("U.txt.9.tmp"), "");
    const QMap<QString, QByteArray> programFiles = filesUnder(program.path());

    // Nobody holds the folder: a start in the background starts as usual, and cleans up once its link is open.
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("XDG_DATA_HOME"), top.filePath(QStringLiteral("xdg")));
    QProcess first;
    first.setArguments({QStringLiteral("--background")});
    startRealProgram(first, exe, QString(), environment);
    QVERIFY(QTest::qWaitFor([&] { return !QFileInfo::exists(stale); }, 30000));
    QCOMPARE(readTestFile(top.filePath(QStringLiteral("xdg/ZELBO/ZELBO_UDP/zelbo_udp.ini"))), earlier);
    // No lock, staging file, history or probe beside the program, and its files as they were.
    QCOMPARE(program.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
             QStringList(programFiles.keys()));
    QCOMPARE(filesUnder(program.path()), programFiles);

    const QMap<QString, QByteArray> before = filesUnder(dir.path());
    for (const bool frozen : {false, true}) {
        QVERIFY(!frozen || ::kill(pid_t(first.processId()), SIGSTOP) == 0);
        QProcess again;
        again.setArguments({QStringLiteral("--background")});
        QElapsedTimer clock;
        clock.start();
        startRealProgram(again, exe, QString(), environment);
        // A start that asked would wait 5 s for the frozen copy, then stay in its box.
        QVERIFY2(again.waitForFinished(10000), frozen ? "frozen" : "running");
        QVERIFY(again.exitStatus() == QProcess::NormalExit && again.exitCode() == 0);
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(filesUnder(dir.path()), before);
    }
    // The stopped copy goes with the QProcess, by SIGKILL.
}

QTEST_GUILESS_MAIN(TestInstallKind)
#include "TestInstallKind.moc"
