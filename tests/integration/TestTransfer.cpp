#include "CommObjects.h"

#include "base/Cp932.h"
#include "base/ProgramPaths.h"
#include "config/Settings.h"
#include "fakes/FakePasswordStore.h"
#include "fakes/RecordingMessageSink.h"
#include "fakes/FakeRunHost.h"
#include "fakes/TestFiles.h"
#include "link/LinkTestSupport.h"
#include "output/SmtpServer.h"
#include "simulator/SimProcess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <memory>

namespace {

const QString StopText = QStringLiteral("通信ｽﾄｯﾌﾟﾎﾞﾀﾝが押されました");

// Twelve records wrap the sequence characters; katakana, kanji, markers and a lone "^5" test the byte handling.
QStringList sampleRecords()
{
    QStringList records;
    for (int i = 1; i <= 12; ++i) {
        records.append(QStringLiteral("%1,ｱｲｳｴｵ,商品名%1,*x*,%2").arg(i, 3, 10, QLatin1Char('0')).arg(i * 125));
    }
    records.insert(4, QStringLiteral("^5"));
    records.append(QStringLiteral("最終,ﾗｽﾄ"));
    return records;
}

} // namespace

class TestTransfer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void cleanTransfer_data();
    void cleanTransfer();
    void faultsStillGiveExactFile_data();
    void faultsStillGiveExactFile();
    void appendsAcrossAutoStartCyclesUntilStop();
    void refusedMailStoresNothingTwice_data();
    void refusedMailStoresNothingTwice();
    void stopDuringReplyWaitEndsWithCan();
    void remotePortOfLettersIsLinkError();
    void emptyFileOverwritesWithNothing();
    void terminalNameAsWindowsShowsIt();
    void namesWindowsRefusesStillStore_data();
    void namesWindowsRefusesStillStore();
    void saveFolderPastMaxPath();

private:
    // Starts the simulator on the records file with extra arguments and points the settings at it.
    bool startSim(const QStringList& arguments);
    void buildObjects();
    QString uploadPath() const { return m_saveFolder + QStringLiteral("/ORDERS.txt"); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_saveFolder;
    QString m_recordsPath;
    QStringList m_records;
    ProgramPaths m_paths;
    Settings m_settings;
    FakeRunHost m_host;
    RecordingMessageSink m_messages;
    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<CommObjects> m_comm;
    CommControl* m_control = nullptr;
};

void TestTransfer::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_saveFolder = m_dir->filePath(QStringLiteral("save"));
    QVERIFY(QDir().mkpath(m_saveFolder));
    m_paths = testProgramPaths(m_dir->path());

    m_records = sampleRecords();
    m_recordsPath = m_dir->filePath(QStringLiteral("records.txt"));
    QFile records(m_recordsPath);
    QVERIFY(records.open(QIODevice::WriteOnly));
    QVERIFY(records.write(cp932Lines(m_records)) > 0);
    records.close();

    // Loopback only: every run of this suite talks to the simulator on 127.0.0.1.
    m_settings = Settings();
    m_settings.SaveFolder = m_saveFolder;
    m_settings.RemoteHost = QStringLiteral("127.0.0.1");
    m_settings.LocalPort = QString::number(freeUdpPort());
    m_settings.RemotePort = QStringLiteral("1");
    m_settings.TimeAdjust = QStringLiteral("0");
    m_host = FakeRunHost();
    m_messages.boxes.clear();
    m_sim = std::make_unique<SimProcess>(QStringLiteral(TERMINAL_SIM_PATH));
}

void TestTransfer::cleanup()
{
    m_control = nullptr;
    m_comm.reset();
    m_sim.reset();
    m_dir.reset();
}

bool TestTransfer::startSim(const QStringList& arguments)
{
    const quint16 port =
        m_sim->start(QStringList{QStringLiteral("--exit-after-idle"), QStringLiteral("15"), QStringLiteral("--file"),
                                 m_recordsPath, QStringLiteral("--name"), QStringLiteral("ORDERS")} +
                     arguments);
    m_settings.RemotePort = QString::number(port);
    return port != 0;
}

void TestTransfer::buildObjects()
{
    m_comm = std::make_unique<CommObjects>(m_host, m_settings, m_paths, m_messages, QStringLiteral("ZELBO_UDP"));
    m_control = &m_comm->control();
    m_control->Timer1_Timer();
}

void TestTransfer::cleanTransfer_data()
{
    QTest::addColumn<int>("protocol");
    QTest::addColumn<int>("crcType");
    QTest::addColumn<QString>("timeAdjust");

    QTest::newRow("dedicated, type 1, clock set") << 0 << 0 << QStringLiteral("1");
    QTest::newRow("dedicated, type 2") << 0 << 1 << QStringLiteral("0");
    QTest::newRow("simple, type 1") << 1 << 0 << QStringLiteral("0");
    QTest::newRow("simple, type 2, clock set") << 1 << 1 << QStringLiteral("1");
}

void TestTransfer::cleanTransfer()
{
    QFETCH(int, protocol);
    QFETCH(int, crcType);
    QFETCH(QString, timeAdjust);
    m_settings.Protocol = static_cast<std::int16_t>(protocol);
    m_settings.CrcType = static_cast<std::int16_t>(crcType);
    m_settings.TimeAdjust = timeAdjust;
    QVERIFY(startSim(
        {QStringLiteral("--protocol"), QString::number(protocol), QStringLiteral("--crc"), QString::number(crcType)}));
    buildObjects();

    m_control->cmdComm_Click(0);

    QCOMPARE(readTestFile(uploadPath()), cp932Lines(m_records));
    QCOMPARE(m_host.statusLines().last(), QStringLiteral("ﾚｺｰﾄﾞ受信<14> : 正常終了"));
    QVERIFY(!m_host.running);
    QCOMPARE(m_host.commStates.last(), std::int16_t(0));
    QVERIFY(m_messages.boxes.isEmpty());
    QVERIFY(m_sim->waitForExit());
    // File-name frame, 14 records and "END", plus "OK" to the clock setting.
    const int datagrams = timeAdjust == QStringLiteral("1") ? 17 : 16;
    QCOMPARE(m_sim->linesStartingWith(QStringLiteral("RESULT")),
             QStringList{QStringLiteral("RESULT ACK records=14 datagrams=%1 cycle=1").arg(datagrams)});
    const QStringList received = m_sim->linesStartingWith(QStringLiteral("RECV"));
    QCOMPARE(received.first().startsWith(QStringLiteral("RECV TW")), timeAdjust == QStringLiteral("1"));
    QCOMPARE(received.count(QStringLiteral("RECV NAK")), 0);
    // The log holds the file-name frame, each record and "END".
    QCOMPARE(readTestFile(m_saveFolder + QStringLiteral("/LOG.TXT")).count("\r\n"), 16);
}

void TestTransfer::faultsStillGiveExactFile_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("naks");

    QTest::newRow("bad checksums") << QStringList{QStringLiteral("--bad-crc"), QStringLiteral("@2,5")} << 2;
    QTest::newRow("wrong sequence") << QStringList{QStringLiteral("--bad-seq"), QStringLiteral("@3")} << 1;
    // Record 11 carries "0" after "9": its repeat is recognised across the wrap.
    QTest::newRow("repeats") << QStringList{QStringLiteral("--repeat"), QStringLiteral("@1,10,11")} << 0;
    QTest::newRow("drop, terminal resends") << QStringList{QStringLiteral("--drop"), QStringLiteral("@3"),
                                                           QStringLiteral("--retransmit"), QStringLiteral("300")}
                                            << 0;
    // No resend by the terminal: the PC's five waits run out and its NAK brings the record.
    QTest::newRow("drop, PC asks again") << QStringList{QStringLiteral("--drop"), QStringLiteral("@7")} << 1;
    QTest::newRow("reply later than one wait") << QStringList{QStringLiteral("--delay"), QStringLiteral("@2"),
                                                              QStringLiteral("--delay-ms"), QStringLiteral("1300")}
                                               << 0;
    QTest::newRow("bad file-name frames") << QStringList{QStringLiteral("--bad-name"), QStringLiteral("2")} << 2;
    QTest::newRow("stranger on 127.0.0.2") << QStringList{QStringLiteral("--foreign"), QStringLiteral("@1,6,14")} << 0;
    QTest::newRow("random mix, seeded") << QStringList{QStringLiteral("--seed"),    QStringLiteral("7"),
                                                       QStringLiteral("--bad-crc"), QStringLiteral("0.2"),
                                                       QStringLiteral("--repeat"),  QStringLiteral("0.2"),
                                                       QStringLiteral("--bad-seq"), QStringLiteral("0.1")}
                                        << -1;
}

void TestTransfer::faultsStillGiveExactFile()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, naks);
    if (arguments.contains(QStringLiteral("--foreign")) && !loopbackStrangerPossible()) {
        QSKIP("sockets here cannot send from 127.0.0.2");
    }
    QVERIFY(startSim(arguments));
    buildObjects();

    m_control->cmdComm_Click(0);

    QCOMPARE(readTestFile(uploadPath()), cp932Lines(m_records));
    QCOMPARE(m_host.statusLines().last(), QStringLiteral("ﾚｺｰﾄﾞ受信<14> : 正常終了"));
    QVERIFY(m_sim->waitForExit());
    QCOMPARE(m_sim->linesStartingWith(QStringLiteral("RESULT")).size(), 1);
    QVERIFY(m_sim->linesStartingWith(QStringLiteral("RESULT")).first().startsWith(QStringLiteral("RESULT ACK")));
    if (naks >= 0) {
        QCOMPARE(m_sim->lines().count(QStringLiteral("RECV NAK")), naks);
    }
}

void TestTransfer::appendsAcrossAutoStartCyclesUntilStop()
{
    m_settings.AutoStart = 1;
    m_settings.OverWrite = 0;
    QFile existing(uploadPath());
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("OLD\r\n");
    existing.close();
    QVERIFY(startSim({QStringLiteral("--cycles"), QStringLiteral("2")}));
    int results = 0;
    m_sim->onLine = [this, &results](const QString& line) {
        if (line.startsWith(QStringLiteral("RESULT")) && ++results == 2) {
            m_control->cmdComm_Click(1);
        }
    };
    // Without the second result the run would poll for ever: stop it, so the checks below fail instead of hanging.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [this] { m_control->cmdComm_Click(1); });
    watchdog.start(60000);
    buildObjects(); // the first tick starts the run: AutoStart is 1

    QCOMPARE(results, 2);
    QCOMPARE(readTestFile(uploadPath()), QByteArray("OLD\r\n") + cp932Lines(m_records) + cp932Lines(m_records));
    QCOMPARE(m_sim->linesStartingWith(QStringLiteral("RESULT ACK")).size(), 2);
    const QStringList lines = m_host.statusLines();
    QCOMPARE(lines.mid(lines.size() - 3),
             (QStringList{QStringLiteral("ﾚｺｰﾄﾞ受信<14> : 正常終了"), StopText, QStringLiteral("異常終了")}));
    QVERIFY(!m_host.running);
    QVERIFY(!m_control->Form_Unload());
}

void TestTransfer::refusedMailStoresNothingTwice_data()
{
    QTest::addColumn<int>("overWrite");
    QTest::addColumn<bool>("fileBefore");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("user");

    const QString reject = QStringLiteral("reject");
    QTest::newRow("append: the old lines alone") << 0 << true << reject << QString();
    QTest::newRow("append, no file before: none after") << 0 << false << reject << QString();
    QTest::newRow("overwrite: the records once") << 1 << true << reject << QString();
    // A server without STARTTLS never hears the user's password; the mail fails as any refused one does.
    QTest::newRow("sign-in without TLS") << 0 << true << QStringLiteral("auth") << QStringLiteral("zelbo");
}

void TestTransfer::refusedMailStoresNothingTwice()
{
    QFETCH(int, overWrite);
    QFETCH(bool, fileBefore);
    QFETCH(QString, mode);
    QFETCH(QString, user);
    const QByteArray old = Cp932::encode(QStringLiteral("旧001,ｱｲｳ\r\n旧002,ｴｵ\r\n"));
    if (fileBefore) {
        QFile existing(uploadPath());
        QVERIFY(existing.open(QIODevice::WriteOnly));
        QVERIFY(existing.write(old) == old.size());
        existing.close();
    }
    SmtpServer server(mode);
    QVERIFY(server.port() != 0);
    FakePasswordStore passwords;
    passwords.passwords.insert({server.address(), user}, QStringLiteral("secret"));
    m_settings.MailUser = user;
    m_settings.OverWrite = static_cast<std::int16_t>(overWrite);
    m_settings.SendMail = 1;
    m_settings.MailAddress = QStringLiteral("to@example.com");
    m_settings.FromMailAddress = QStringLiteral("from@example.com");
    m_settings.MailServer = server.address();
    // The terminal keeps its data after "CAN" and sends the same file again.
    QVERIFY(startSim({QStringLiteral("--cycles"), QStringLiteral("2")}));
    buildObjects();
    m_comm->output().setMailPasswordStore(&passwords);

    QByteArray expected;
    if (overWrite == 1) {
        expected = cp932Lines(m_records);
    } else {
        expected = fileBefore ? old : QByteArrayLiteral("<missing>");
    }
    for (int cycle = 1; cycle <= 2; ++cycle) {
        m_control->cmdComm_Click(0);

        QCOMPARE(readTestFile(uploadPath()), expected);
        const QStringList lines = m_host.statusLines();
        QVERIFY2(lines.size() >= 2 &&
                     lines[lines.size() - 2].startsWith(QStringLiteral("to@example.com宛 ﾒｰﾙ登録失敗:")),
                 qPrintable(lines.join(u'\n')));
        QCOMPARE(lines.last(), QStringLiteral("異常終了"));
        QTRY_COMPARE(m_sim->linesStartingWith(QStringLiteral("RESULT CAN records=14 ")).size(), cycle);
    }
    QVERIFY(m_messages.boxes.isEmpty());
    QCOMPARE(server.authLog(), QByteArray());
}

void TestTransfer::stopDuringReplyWaitEndsWithCan()
{
    QVERIFY(startSim({QStringLiteral("--drop"), QStringLiteral("@4")}));
    bool stoppedInWait = false;
    m_sim->onLine = [this, &stoppedInWait](const QString& line) {
        if (line == QStringLiteral("FAULT drop 4")) {
            stoppedInWait = m_control->Form_Unload();
        }
    };
    buildObjects();

    m_control->cmdComm_Click(0);

    QVERIFY(stoppedInWait);
    QVERIFY(!m_host.running);
    QVERIFY(!QFile::exists(uploadPath()));
    QCOMPARE(m_host.statusLines().mid(m_host.statusLines().size() - 2),
             (QStringList{StopText, QStringLiteral("異常終了")}));
    QVERIFY(m_sim->waitForExit());
    QCOMPARE(m_sim->linesStartingWith(QStringLiteral("RESULT")),
             QStringList{QStringLiteral("RESULT CAN records=3 datagrams=4 cycle=1")});
    // The run closed its socket: the local port is free again.
    QUdpSocket probe;
    QVERIFY(probe.bind(QHostAddress::Any, m_settings.LocalPort.toUShort(), QAbstractSocket::DontShareAddress));
    QVERIFY(!m_control->Form_Unload());
}

void TestTransfer::remotePortOfLettersIsLinkError()
{
    m_settings.RemotePort = QStringLiteral("cradle");
    buildObjects();

    m_control->cmdComm_Click(0);

    QVERIFY(!m_host.running);
    const QStringList lines = m_host.statusLines();
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines.first().startsWith(QStringLiteral("22 UDP設定に問題がないか確認してください。 ")),
             qPrintable(lines.first()));
    QCOMPARE(lines.last(), QStringLiteral("異常終了"));
    QCOMPARE(m_host.commStates.last(), std::int16_t(0));
    QVERIFY(!m_control->Form_Unload());
}

void TestTransfer::emptyFileOverwritesWithNothing()
{
    QFile records(m_recordsPath);
    QVERIFY(records.open(QIODevice::WriteOnly | QIODevice::Truncate));
    records.close();
    QFile existing(uploadPath());
    QVERIFY(existing.open(QIODevice::WriteOnly));
    QVERIFY(existing.write("OLD\r\n") == 5);
    existing.close();
    m_settings.OverWrite = 1;
    QVERIFY(startSim({}));
    buildObjects();

    m_control->cmdComm_Click(0);

    QCOMPARE(readTestFile(uploadPath()), QByteArray());
    QCOMPARE(m_host.statusLines().last(), QStringLiteral("ﾚｺｰﾄﾞ受信<0> : 正常終了"));
    QVERIFY(m_sim->waitForExit());
    QCOMPARE(m_sim->linesStartingWith(QStringLiteral("RESULT")),
             QStringList{QStringLiteral("RESULT ACK records=0 datagrams=2 cycle=1")});
}

void TestTransfer::saveFolderPastMaxPath()
{
    // Windows' file calls stop at 260 characters unless given the extended-length form of a path; a save folder deep
    // in a file share can pass that. A smoke test: neither Linux nor Wine has the limit.
    QString folder = m_saveFolder;
    while (folder.size() <= 300) {
        folder += QStringLiteral("/深い階層の保存ﾌｫﾙﾀﾞ_0123456789");
    }
    QVERIFY(QDir().mkpath(folder));
    m_settings.SaveFolder = QDir::toNativeSeparators(folder);
    QVERIFY(startSim({}));
    buildObjects();

    m_control->cmdComm_Click(0);

    QCOMPARE(readTestFile(folder + QStringLiteral("/ORDERS.txt")), cp932Lines(m_records));
    QCOMPARE(m_host.statusLines().last(), QStringLiteral("ﾚｺｰﾄﾞ受信<14> : 正常終了"));
    QVERIFY(m_messages.boxes.isEmpty());
    QCOMPARE(readTestFile(folder + QStringLiteral("/LOG.TXT")).count("\r\n"), 16);
}

void TestTransfer::terminalNameAsWindowsShowsIt()
{
    // 0xEEE0 (NEC-selected 髙), 0x8790 (NEC row 13 ≒) and 0x955C (表, trail byte "\"): the file is named with the
    // characters Windows shows for them, and the records keep their bytes.
    const QString name = Cp932::decode(QByteArray("\xEE\xE0\x87\x90\x95\x5C"));
    m_records.append(name + QStringLiteral(",") + Cp932::decode(QByteArray("\xFB\xFC\x81\xE0")));
    QVERIFY(writeTestFile(m_dir->path(), QStringLiteral("records.txt"), cp932Lines(m_records)) == m_recordsPath);
    QVERIFY(startSim({QStringLiteral("--name"), name}));
    buildObjects();

    m_control->cmdComm_Click(0);

    QCOMPARE(QDir(m_saveFolder).entryList(QDir::Files),
             (QStringList{QStringLiteral("LOG.TXT"), QStringLiteral("髙≒表.txt")}));
    QVERIFY(m_host.fileCaption.endsWith(QStringLiteral("髙≒表.txt")));
    QCOMPARE(readTestFile(m_saveFolder + QStringLiteral("/髙≒表.txt")), cp932Lines(m_records));
    QCOMPARE(m_host.statusLines().last(), QStringLiteral("ﾚｺｰﾄﾞ受信<15> : 正常終了"));
}

void TestTransfer::namesWindowsRefusesStillStore_data()
{
    QTest::addColumn<QString>("terminalName");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("characters a share refuses") << QStringLiteral("在庫*?\"<>|.") << QStringLiteral("在庫______.txt");
    QTest::newRow("device name") << QStringLiteral("con") << QStringLiteral("con_.txt");
}

void TestTransfer::namesWindowsRefusesStillStore()
{
    QFETCH(QString, terminalName);
    QFETCH(QString, fileName);
    QVERIFY(startSim({QStringLiteral("--name"), terminalName}));
    buildObjects();

    m_control->cmdComm_Click(0);

    QCOMPARE(readTestFile(m_saveFolder + u'/' + fileName), cp932Lines(m_records));
    QCOMPARE(QDir(m_saveFolder).entryList(QDir::Files).size(), 2);
    QCOMPARE(m_host.statusLines().last(), QStringLiteral("ﾚｺｰﾄﾞ受信<14> : 正常終了"));
    QVERIFY(m_sim->waitForExit());
    QCOMPARE(m_sim->linesStartingWith(QStringLiteral("RESULT")),
             QStringList{QStringLiteral("RESULT ACK records=14 datagrams=16 cycle=1")});
}

QTEST_GUILESS_MAIN(TestTransfer)
#include "TestTransfer.moc"
