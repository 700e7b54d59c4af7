// The real zelbo_udp installed where its user may not write, as a user who is not root: its files go to the user's
// own data folder, IT's presets make the first start poll without a box, and a profile polls a second terminal beside
// it with files of its own. And a save folder where that user may write the upload file but create no file.

#include "config/Settings.h"
#include "config/SettingsFile.h"
#include "fakes/TestFiles.h"
#include "link/LinkTestSupport.h"
#include "simulator/SimProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

class TestDataFolder : public QObject
{
    Q_OBJECT

private slots:
    void readOnlyProgramFolderPresetsAndAProfile();
    void appendsWhereNoLockFileCanBeMade();
};

namespace {

const QString RunAsNobodyNeeds = QStringLiteral("needs root and setpriv to run the program as another user");

QStringList asNobody(const QString& exe)
{
    return {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"), QStringLiteral("--clear-groups"), exe};
}

} // namespace

void TestDataFolder::readOnlyProgramFolderPresetsAndAProfile()
{
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (::geteuid() != 0 || setpriv.isEmpty()) {
        QSKIP(qPrintable(RunAsNobodyNeeds));
    }
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QDir top(dir.path());
    // The program folder is root's; the user's home and save folders are the user's.
    QVERIFY(top.mkpath(QStringLiteral("program")) && top.mkpath(QStringLiteral("home/save")) &&
            top.mkpath(QStringLiteral("home/.local/share/ZELBO/ZELBO_UDP/profiles/B")) &&
            top.mkpath(QStringLiteral("home/saveB")));
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                  QFile::ReadOther | QFile::ExeOther));
    const QDir program(top.filePath(QStringLiteral("program")));
    const QString exe = program.filePath(QStringLiteral("zelbo_udp"));
    QVERIFY(QFile::copy(QStringLiteral(ZELBO_UDP_PATH), exe));
    const QString home = top.filePath(QStringLiteral("home"));
    const QString data = home + QStringLiteral("/.local/share/ZELBO/ZELBO_UDP");

    const QStringList recordsA = {QStringLiteral("001,ｱｲｳ"), QStringLiteral("002,表")};
    const QStringList recordsB = {QStringLiteral("101,B")};
    const QString fileA = writeTestFile(top, QStringLiteral("a.txt"), cp932Lines(recordsA));
    const QString fileB = writeTestFile(top, QStringLiteral("b.txt"), cp932Lines(recordsB));
    SimProcess simA(QStringLiteral(TERMINAL_SIM_PATH));
    const quint16 portA =
        simA.start({QStringLiteral("--file"), fileA, QStringLiteral("--name"), QStringLiteral("A"),
                    QStringLiteral("--exit-after-idle"), QStringLiteral("60"), QStringLiteral("--quiet")});
    SimProcess simB(QStringLiteral(TERMINAL_SIM_PATH));
    const quint16 portB =
        simB.start({QStringLiteral("--file"), fileB, QStringLiteral("--name"), QStringLiteral("B"),
                    QStringLiteral("--exit-after-idle"), QStringLiteral("60"), QStringLiteral("--quiet")});
    QVERIFY(portA != 0 && portB != 0);

    // IT's presets for everybody's first start, and a settings file of the user's own for the second cradle.
    const QByteArray presets = QStringLiteral("[ZELBO_UDP]\r\nREMOTEHOST=127.0.0.1\r\nREMOTEPORT=%1\r\nLOCALPORT=%2\r\n"
                                              "SAVEFOLDER=%HOME%/save\r\nAUTOSTART=1\r\nTIMEADJUST=0\r\n")
                                   .arg(portA)
                                   .arg(freeUdpPort())
                                   .toUtf8();
    QVERIFY(!writeTestFile(program, QStringLiteral("zelbo_udp.defaults.ini"), presets).isEmpty());
    Settings profileB = SettingsFile::defaults(home + QStringLiteral("/saveB"));
    profileB.RemoteHost = QStringLiteral("127.0.0.1");
    profileB.RemotePort = QString::number(portB);
    profileB.LocalPort = QString::number(freeUdpPort());
    profileB.TimeAdjust = QStringLiteral("0");
    profileB.AutoStart = 1;
    QVERIFY(!writeTestFile(QDir(data + QStringLiteral("/profiles/B")), QStringLiteral("zelbo_udp.ini"),
                           SettingsFile::formatFile(profileB))
                 .isEmpty());
    QVERIFY(QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-R"), QStringLiteral("nobody"), home}) == 0);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("HOME"), home);
    environment.remove(QStringLiteral("XDG_DATA_HOME"));
    environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    QProcess first;
    QProcess second;
    for (QProcess* copy : {&first, &second}) {
        copy->setProcessEnvironment(environment);
        copy->setProcessChannelMode(QProcess::ForwardedChannels);
        copy->setWorkingDirectory(home);
    }
    first.start(setpriv, asNobody(exe));
    second.start(setpriv, asNobody(exe) + QStringList{QStringLiteral("--profile"), QStringLiteral("B")});
    QVERIFY(first.waitForStarted(10000) && second.waitForStarted(10000));
    const auto stored = [](SimProcess& sim) { return !sim.linesStartingWith(QStringLiteral("RESULT ACK")).isEmpty(); };
    // The history line follows the answer.
    const auto recorded = [&](const QString& folder) {
        return QFileInfo::exists(folder + QStringLiteral("/History.csv"));
    };
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     return stored(simA) && stored(simB) && recorded(data) &&
                            recorded(data + QStringLiteral("/profiles/B"));
                 },
                 60000),
             qPrintable(simA.lines().join(u'\n') + u'\n' + simB.lines().join(u'\n')));
    first.kill();
    second.kill();
    QVERIFY(first.waitForFinished(10000) && second.waitForFinished(10000));

    QCOMPARE(readTestFile(home + QStringLiteral("/save/A.txt")), cp932Lines(recordsA));
    QCOMPARE(readTestFile(home + QStringLiteral("/saveB/B.txt")), cp932Lines(recordsB));
    QCOMPARE(program.entryList(QDir::Files | QDir::Hidden),
             (QStringList{QStringLiteral("zelbo_udp"), QStringLiteral("zelbo_udp.defaults.ini")}));
    // Each its own settings file, staging file and history.
    for (const QString& folder : {data, data + QStringLiteral("/profiles/B")}) {
        for (const QString& name :
             {QStringLiteral("zelbo_udp.ini"), QStringLiteral("Back.txt"), QStringLiteral("History.csv")}) {
            QVERIFY2(QFileInfo::exists(folder + u'/' + name), qPrintable(folder + u'/' + name));
        }
    }
    Settings written;
    QFile iniFile(data + QStringLiteral("/zelbo_udp.ini"));
    QVERIFY(iniFile.open(QIODevice::ReadOnly));
    QCOMPARE(SettingsFile::parse(iniFile.readAll(), written), ReadResult::Ok);
    QCOMPARE(written.SaveFolder, home + QStringLiteral("/save"));
    QCOMPARE(written.RemotePort, QString::number(portA));
}

// As on a drop share: another user's lock file holds the upload file ("CAN"); once it is gone, nothing can hold it, and
// the cycles are appended without the hold, said once in the history.
void TestDataFolder::appendsWhereNoLockFileCanBeMade()
{
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (::geteuid() != 0 || setpriv.isEmpty()) {
        QSKIP(qPrintable(RunAsNobodyNeeds));
    }
    QTemporaryDir dir;
    const QDir top(dir.path());
    QVERIFY(top.mkpath(QStringLiteral("program")) && top.mkpath(QStringLiteral("save")));
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                  QFile::ReadOther | QFile::ExeOther));
    const QDir program(top.filePath(QStringLiteral("program")));
    const QDir save(top.filePath(QStringLiteral("save")));
    const QString exe = program.filePath(QStringLiteral("zelbo_udp"));
    QVERIFY(QFile::copy(QStringLiteral(ZELBO_UDP_PATH), exe));
    const QString upload = writeTestFile(save, QStringLiteral("UP.txt"), QByteArray());
    const QString log = writeTestFile(save, QStringLiteral("LOG.TXT"), QByteArray());
    const QString lock = writeTestFile(save, QStringLiteral(".UP.txt.lock"), QByteArray());
    QVERIFY(QFile::setPermissions(lock, QFile::ReadOwner | QFile::WriteOwner));

    const QStringList first = {QStringLiteral("001,ｱ")};
    const QStringList second = {QStringLiteral("002,表")};
    SimProcess sim(QStringLiteral(TERMINAL_SIM_PATH));
    const quint16 port =
        sim.start({QStringLiteral("--file"), writeTestFile(top, QStringLiteral("1"), cp932Lines(first)),
                   QStringLiteral("--then-file"), writeTestFile(top, QStringLiteral("2"), cp932Lines(second)),
                   QStringLiteral("--name"), QStringLiteral("UP"), QStringLiteral("--cycles"), QStringLiteral("0"),
                   QStringLiteral("--exit-after-idle"), QStringLiteral("60"), QStringLiteral("--quiet")});
    Settings settings = SettingsFile::defaults(save.path());
    settings.RemoteHost = QStringLiteral("127.0.0.1");
    settings.RemotePort = QString::number(port);
    settings.LocalPort = QString::number(freeUdpPort());
    settings.TimeAdjust = QStringLiteral("0");
    settings.AutoStart = 1;
    QVERIFY(port != 0 &&
            !writeTestFile(program, QStringLiteral("zelbo_udp.ini"), SettingsFile::formatFile(settings)).isEmpty());
    QVERIFY(QProcess::execute(QStringLiteral("chown"),
                              {QStringLiteral("-R"), QStringLiteral("nobody"), program.path(), upload, log}) == 0);

    sim.onLine = [&](const QString& line) {
        if (line.startsWith(QStringLiteral("RESULT CAN"))) {
            QFile::remove(lock);
        }
    };
    QProcess copy;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    copy.setProcessEnvironment(environment);
    copy.setProcessChannelMode(QProcess::ForwardedChannels);
    copy.start(setpriv, asNobody(exe));
    QVERIFY2(QTest::qWaitFor([&] { return sim.linesStartingWith(QStringLiteral("RESULT ACK")).size() == 2; }, 60000),
             qPrintable(sim.lines().join(u'\n')));
    copy.kill();
    QVERIFY(copy.waitForFinished(10000));

    QCOMPARE(readTestFile(upload), cp932Lines(first) + cp932Lines(second));
    QCOMPARE(save.entryList(QDir::Files | QDir::Hidden),
             (QStringList{QStringLiteral("LOG.TXT"), QStringLiteral("UP.txt")}));
    const QString history = Cp932::decode(readTestFile(program.filePath(QStringLiteral("History.csv"))));
    QVERIFY2(history.contains(QStringLiteral(",CAN,") + upload + QStringLiteral(",,ｱｯﾌﾟﾛｰﾄﾞﾌｧｲﾙに書き込めません")),
             qPrintable(history));
    QCOMPARE(history.count(QStringLiteral(",ﾛｯｸﾌｧｲﾙを作成できないため、他のPCからの同時書き込みを防げません : ") +
                           lock + QStringLiteral(" 13:")),
             1);
}

QTEST_GUILESS_MAIN(TestDataFolder)
#include "TestDataFolder.moc"
