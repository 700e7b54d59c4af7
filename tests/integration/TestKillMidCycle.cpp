// zelbo_udp_pausing (the program with a pause to be killed at), killed between the end of a file and the terminal's
// answer, then the real zelbo_udp started in its folder, against terminal_sim repeating the unanswered cycle as a
// terminal must: nothing stored twice, nothing lost, no second mail.

#include "base/Cp932.h"
#include "config/Settings.h"
#include "config/SettingsFile.h"
#include "fakes/TestFiles.h"
#include "link/LinkTestSupport.h"
#include "output/SmtpServer.h"
#include "RealProgram.h"
#include "simulator/SimProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestKillMidCycle : public QObject
{
    Q_OBJECT

private slots:
    void repeatAfterKillIsStoredOnce_data();
    void repeatAfterKillIsStoredOnce();
};

void TestKillMidCycle::repeatAfterKillIsStoredOnce_data()
{
    QTest::addColumn<QString>("pauseAt");
    QTest::addColumn<int>("mailsBeforeKill");

    // Mail accepted, "ACK" not yet sent: the repeat is acknowledged without a second copy or a second mail.
    QTest::newRow("before the answer") << QStringLiteral("answer") << 1;
    // Journal written, upload file not yet touched: the repeat is stored, once.
    QTest::newRow("before the write") << QStringLiteral("journal") << 0;
    // "ACK" sent, journal not yet cleared: the terminal brings its next block, which is kept beside the first.
    QTest::newRow("after the answer") << QStringLiteral("answered") << 1;
}

void TestKillMidCycle::repeatAfterKillIsStoredOnce()
{
    QFETCH(QString, pauseAt);
    QFETCH(int, mailsBeforeKill);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QDir folder(dir.path());
    QVERIFY(folder.mkdir(QStringLiteral("save")));
    const QString saveFolder = folder.filePath(QStringLiteral("save"));
    const QString exe = folder.filePath(QFileInfo(QStringLiteral(ZELBO_UDP_PATH)).fileName());
    QVERIFY(QFile::copy(QStringLiteral(ZELBO_UDP_PATH), exe));
    const QString pausing = folder.filePath(QFileInfo(QStringLiteral(ZELBO_UDP_PAUSING_PATH)).fileName());
    QVERIFY(QFile::copy(QStringLiteral(ZELBO_UDP_PAUSING_PATH), pausing));

    const QStringList first = {QStringLiteral("001,ｱｲｳ,売上"), QStringLiteral("002,ｴｵ,仕入"),
                               QStringLiteral("003,表,12")};
    const QStringList second = {QStringLiteral("101,次,1"), QStringLiteral("102,次,2")};
    const QString firstFile = writeTestFile(folder, QStringLiteral("first.txt"), cp932Lines(first));
    const QString secondFile = writeTestFile(folder, QStringLiteral("second.txt"), cp932Lines(second));

    SmtpServer smtp(QStringLiteral("accept"));
    QVERIFY(smtp.port() != 0);
    SimProcess sim(QStringLiteral(TERMINAL_SIM_PATH));
    const quint16 simPort =
        sim.start({QStringLiteral("--file"), firstFile, QStringLiteral("--then-file"), secondFile,
                   QStringLiteral("--name"), QStringLiteral("UP"), QStringLiteral("--cycles"), QStringLiteral("2"),
                   QStringLiteral("--exit-after-idle"), QStringLiteral("120"), QStringLiteral("--quiet")});
    QVERIFY(simPort != 0);

    // Append mode, mailing on, polling all day; loopback only.
    Settings settings;
    settings.SaveFolder = QDir::toNativeSeparators(saveFolder);
    settings.RemoteHost = QStringLiteral("127.0.0.1");
    settings.RemotePort = QString::number(simPort);
    settings.LocalPort = QString::number(freeUdpPort());
    settings.TimeAdjust = QStringLiteral("0");
    settings.OverWrite = 0;
    settings.AutoStart = 1;
    settings.SendMail = 1;
    settings.MailAddress = QStringLiteral("to@example.com");
    settings.FromMailAddress = QStringLiteral("from@example.com");
    settings.MailServer = smtp.address();
    // Both programs share the folder's files; each reads the settings file named after itself.
    for (const QString& exeFile : {exe, pausing}) {
        const QString ini = QFileInfo(exeFile).completeBaseName() + QStringLiteral(".ini");
        QVERIFY(!writeTestFile(folder, ini, SettingsFile::formatFile(settings)).isEmpty());
    }

    const QString upload = QDir(saveFolder).filePath(QStringLiteral("UP.txt"));
    QProcess program;
    startRealProgram(program, pausing, pauseAt);
    QVERIFY(QTest::qWaitFor([&] { return QFileInfo::exists(folder.filePath(QStringLiteral("PAUSED.") + pauseAt)); },
                            60000));
    program.kill();
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(smtp.messageCount(), mailsBeforeKill);

    startRealProgram(program, exe);
    QVERIFY2(QTest::qWaitFor([&] { return sim.linesStartingWith(QStringLiteral("EXIT")).size() == 1; }, 90000),
             qPrintable(sim.lines().join(u'\n')));
    // Cleared right after the answer: nothing is pending once the terminal has it.
    QVERIFY(QTest::qWaitFor([&] { return !QFileInfo::exists(folder.filePath(QStringLiteral("Cycle.jnl"))); }, 10000));
    program.kill();
    QVERIFY(program.waitForFinished(10000));

    QCOMPARE(readTestFile(upload), cp932Lines(first) + cp932Lines(second));
    QCOMPARE(smtp.messageCount(), 2);
    QCOMPARE(smtp.read(1, QStringLiteral("attachment-0")), cp932Lines(first));
    QCOMPARE(smtp.read(2, QStringLiteral("attachment-0")), cp932Lines(first) + cp932Lines(second));
    const QStringList results = sim.linesStartingWith(QStringLiteral("RESULT"));
    QCOMPARE(results.size(), 2);
    QVERIFY2(results.at(0).startsWith(QStringLiteral("RESULT ACK records=3")) &&
                 results.at(1).startsWith(QStringLiteral("RESULT ACK records=2")),
             qPrintable(results.join(u'\n')));
}

QTEST_GUILESS_MAIN(TestKillMidCycle)
#include "TestKillMidCycle.moc"
