#include "protocol/UploadRun.h"

#include "base/Cp932.h"
#include "output/DiskRunFiles.h"

#include "fakes/FakeLink.h"
#include "fakes/FakeOutput.h"
#include "fakes/FakeRunHost.h"
#include "fakes/FixedClock.h"
#include "fakes/SystemErrorText.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Checksum computed here from the bytes, independently of the engine's helper.
QString sum(const QString& covered)
{
    unsigned total = 0;
    for (const char b : Cp932::encode(covered)) {
        total += static_cast<unsigned char>(b);
    }
    return QString::asprintf("%02X", total % 256);
}

QString frame(const QString& type, const QString& data, int crcType = 0)
{
    const QString body = QStringLiteral("^") + type + data + QStringLiteral("*");
    return body + sum(crcType == 0 ? body : data + QStringLiteral("*"));
}

QString nameFrame(int count, const QString& name = QStringLiteral("DATA1"), int crcType = 0)
{
    return frame(QStringLiteral("#"), name + QStringLiteral("@") + QString::number(count), crcType);
}

// Record frame with sequence character i % 10.
QString rec(int i, const QString& data, int crcType = 0)
{
    return frame(QString::number(i % 10), data, crcType);
}

QString recv(const QString& text)
{
    return QStringLiteral("< ") + text;
}

QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? Cp932::decode(file.readAll()) : QStringLiteral("<missing>");
}

// Lines as a file holds them: each ended by CR LF.
QString lines(const QStringList& list)
{
    QString text;
    for (const QString& line : list) {
        text += line + QStringLiteral("\r\n");
    }
    return text;
}

const QString Waiting = QStringLiteral("UDP通信：送受信待ち");
const QString Failed = QStringLiteral("異常終了");
const QString Stopped = QStringLiteral("通信ｽﾄｯﾌﾟﾎﾞﾀﾝが押されました");
const QString TimeoutError = QStringLiteral("ﾚｺｰﾄﾞ受信 : ﾀｲﾑｱｳﾄ ｴﾗｰ");

// Staging file that accepts a number of lines, then fails as a full disk would.
class FailingFiles : public DiskRunFiles
{
public:
    FailingFiles(const QString& path, int goodLines) : DiskRunFiles(path), m_goodLines(goodLines) {}
    std::optional<SystemError> writeStagingLine(const QString& line) override
    {
        if (m_goodLines-- > 0) {
            return DiskRunFiles::writeStagingLine(line);
        }
        return SystemError{28, QStringLiteral("No space left on device")};
    }

private:
    int m_goodLines;
};

// One run against scripted fakes, with real staging and log files in a temporary folder.
struct Rig
{
    QTemporaryDir dir;
    QStringList journal;
    FakeRunHost host;
    FakeLink link{host};
    FixedClock clock;
    Settings settings;
    QString backPath = QDir::toNativeSeparators(dir.filePath(QStringLiteral("Back.txt")));
    FakeOutput output{settings, backPath};
    QString saveFolder;
    QString uploadPath;
    QString mailError;
    QString stagedAtWrite;

    Rig()
    {
        saveFolder = QDir::toNativeSeparators(dir.filePath(QStringLiteral("save")));
        QDir().mkpath(saveFolder);
        settings.SaveFolder = saveFolder;
        settings.TimeAdjust = QStringLiteral("0");
        settings.RemoteHost = QStringLiteral("127.0.0.1");
        settings.MailAddress = QStringLiteral("office@example.com");
        host.journal = &journal;
        link.journal = &journal;
        output.journal = &journal;
        // Stop as the main window's handler does it.
        link.stopAction = [this] {
            host.setRunning(false);
            host.SetCommState(0);
            host.ShowStatus(1, Stopped);
        };
        // The writer sees the staging file as the run left it; all fields kept, overwrite mode.
        output.writer = [this](const QString& path) {
            stagedAtWrite = readText(backPath);
            if (!output.writeResult) {
                return false;
            }
            QFile::remove(path);
            return QFile::copy(backPath, path);
        };
    }

    // "> X" expected send, "< X" reply, "<" one time-out, "<5" a whole record attempt of five time-outs,
    // "~N" WaitTicks(N), "stop" presses Stop during the previous step.
    void play(const QStringList& script)
    {
        for (const QString& step : script) {
            if (step.startsWith(QStringLiteral("> "))) {
                link.expect(step.mid(2));
            } else if (step == QStringLiteral("<")) {
                link.timeout();
            } else if (step == QStringLiteral("<5")) {
                for (int i = 0; i < 5; ++i) {
                    link.timeout();
                }
            } else if (step.startsWith(QStringLiteral("< "))) {
                link.reply(step.mid(2));
            } else if (step.startsWith(u'~')) {
                link.waitTicks(step.mid(1).toInt());
            } else if (step == QStringLiteral("stop")) {
                link.stop();
            } else {
                QTest::qFail(qPrintable(QStringLiteral("bad script step ") + step), __FILE__, __LINE__);
            }
        }
    }

    void run()
    {
        host.running = true;
        UploadRun upload(link, host, clock, output, settings);
        upload.RunUpload();
        uploadPath = upload.UploadPath();
        mailError = upload.MailError();
    }

    QString savePath(const QString& name) const { return saveFolder + QDir::separator() + name; }
    QString logText() const { return readText(savePath(QStringLiteral("LOG.TXT"))); }
    QString failures() const
    {
        return link.failures.join(u'\n') + (link.scriptDone() ? QString() : QStringLiteral(" (script not used up)"));
    }
};

QStringList opening(int count, int crcType = 0)
{
    return {QStringLiteral("> VOL"), recv(nameFrame(count, QStringLiteral("DATA1"), crcType)), QStringLiteral("> ACK")};
}

QStringList records(int first, int last, int crcType = 0)
{
    QStringList script;
    for (int i = first; i <= last; ++i) {
        script << recv(rec(i, QStringLiteral("R%1").arg(i + 1), crcType)) << QStringLiteral("> ACK");
    }
    return script;
}

QStringList recordLines(int first, int last)
{
    QStringList out;
    for (int i = first; i <= last; ++i) {
        out << QStringLiteral("R%1").arg(i + 1);
    }
    return out;
}

QStringList repeated(const QStringList& steps, int times)
{
    QStringList out;
    for (int i = 0; i < times; ++i) {
        out << steps;
    }
    return out;
}

const QStringList EndOk = {QStringLiteral("< END"), QStringLiteral("> ACK")};
const QStringList Nak = {QStringLiteral("> NAK")};
const QStringList Can = {QStringLiteral("> CAN")};

QString done(int count)
{
    return QStringLiteral("ﾚｺｰﾄﾞ受信<%1> : 正常終了").arg(count);
}

QString progress(int count, int announced)
{
    return QStringLiteral("ﾚｺｰﾄﾞ受信 :  %1/%2").arg(count).arg(announced);
}

QString crlf(const QStringList& parts)
{
    return parts.join(QStringLiteral("\r\n"));
}

} // namespace

class TestUploadRun : public QObject
{
    Q_OBJECT

private slots:
    void firstCycleFilesAndDisplays()
    {
        Rig rig;
        rig.settings.SaveFolder = rig.saveFolder + QDir::separator();
        rig.play(opening(2) + records(0, 1) + EndOk);
        rig.run();
        QVERIFY2(rig.link.ok(), qPrintable(rig.failures()));

        const QString name = QDir::separator() + QStringLiteral("DATA1.txt");
        QCOMPARE(rig.uploadPath, rig.saveFolder + name);
        // The run trims its own copy of the folder; the settings record stays as the user set it.
        QCOMPARE(rig.settings.SaveFolder, rig.saveFolder + QDir::separator());
        QCOMPARE(rig.host.fileCaption, name);
        QCOMPARE(rig.output.writeCalls, QStringList{rig.uploadPath});
        QCOMPARE(rig.stagedAtWrite, lines({QStringLiteral("R1"), QStringLiteral("R2")}));
        QCOMPARE(readText(rig.uploadPath), lines({QStringLiteral("R1"), QStringLiteral("R2")}));
        QCOMPARE(rig.logText(), lines({
                                    QStringLiteral("\"2026/12/06\",\"09:05:07\",\" 0\",\"^#DATA1@2*68\""),
                                    QStringLiteral("\"2026/12/06\",\"09:05:07\",\" 0\",\"") +
                                        rec(0, QStringLiteral("R1")) + QStringLiteral("\""),
                                    QStringLiteral("\"2026/12/06\",\"09:05:07\",\" 1\",\"") +
                                        rec(1, QStringLiteral("R2")) + QStringLiteral("\""),
                                    QStringLiteral("\"2026/12/06\",\"09:05:07\",\" 2\",\"END\""),
                                }));

        QCOMPARE(rig.host.status, crlf({progress(2, 2), done(2)}));
        QCOMPARE(rig.host.statusCalls.first(), QStringLiteral("status0 ") + Waiting);
        QCOMPARE(rig.host.progressMaxValue, 2);
        QCOMPARE(rig.host.progressValues, (QList<int>{0, 1, 2, 2}));
        QCOMPARE(rig.host.progressVisibility, (QList<bool>{true, false}));
        QCOMPARE(rig.host.busyCursorChanges, (QList<bool>{false, true, false}));
        QCOMPARE(rig.host.commStates, (QList<std::int16_t>{0}));
        QCOMPARE(rig.host.runningChanges, (QList<bool>{false}));
        QCOMPARE(rig.host.beeps, 0);
        QCOMPARE(rig.link.transcript.first(), QStringLiteral("OpenUDP"));
        QCOMPARE(rig.link.transcript.last(), QStringLiteral("CloseUDP"));
        QCOMPARE(rig.link.openCount, 1);
        QCOMPARE(rig.link.closeCount, 1);
        QCOMPARE(rig.link.tickCount, 4);
        QCOMPARE(rig.output.mailCalls, QStringList());
    }

    void logTimeFollowsTheClock()
    {
        // The date and time of a line are formatted once a second; a clock that moves between lines must show.
        Rig rig;
        rig.play(opening(2) + records(0, 1) + EndOk);
        rig.clock.now = QDateTime(QDate(2026, 12, 31), QTime(23, 59, 58));
        rig.link.onPump = [&rig](int) { rig.clock.now = rig.clock.now.addSecs(1); };
        rig.run();
        QVERIFY2(rig.link.ok(), qPrintable(rig.failures()));
        const QStringList logLines = rig.logText().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(logLines.size(), 4);
        QString previous;
        for (const QString& line : logLines) {
            const QString stamp = line.left(23);
            QVERIFY2(stamp > previous, qPrintable(stamp));
            previous = stamp;
        }
        QVERIFY(logLines.last().startsWith(QStringLiteral("\"2027/01/01\",")));
    }

    void clockSetting()
    {
        Rig rig;
        rig.settings.TimeAdjust = QStringLiteral("1");
        const QString tw = QStringLiteral("> TW20261206090507");
        // Anything but "OK" repeats the command; a NAK of the file request sets the clock again.
        rig.play(QStringList{tw, QStringLiteral("< NG"), tw, QStringLiteral("<"), tw, QStringLiteral("< ok"), tw,
                             QStringLiteral("< OK"), QStringLiteral("> VOL"), QStringLiteral("< XYZ"),
                             QStringLiteral("> NAK"), tw, QStringLiteral("< OK")} +
                 opening(1) + records(0, 0) + EndOk);
        rig.run();
        QVERIFY2(rig.link.ok(), qPrintable(rig.failures()));
        QCOMPARE(rig.link.tickCount, 1 + 100 + 1 + 1 + 1 + 1 + 1 + 1 + 1);
        QCOMPARE(rig.host.status, crlf({progress(1, 1), done(1)}));
    }

    void fileRequest_data()
    {
        QTest::addColumn<QString>("fixFname");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QString>("status");

        const QString bad = nameFrame(2).left(10) + QStringLiteral("00");
        const QStringList badNak = {QStringLiteral("> VOL"), recv(bad), QStringLiteral("> NAK")};
        const QStringList vol = {QStringLiteral("> VOL")};
        const QStringList bel = {QStringLiteral("> BEL"), QStringLiteral("> CAN")};
        const QString crcError = QStringLiteral("ENQ送信/ﾌｧｲﾙ名受信 : CRC ｴﾗｰ");
        const QString formatError = QStringLiteral("ENQ送信/ﾌｧｲﾙ名受信 : ﾌｫｰﾏｯﾄ ｴﾗｰ");
        auto sixTimes = [&](const QString& reply) {
            return repeated({QStringLiteral("> VOL"), recv(reply), QStringLiteral("> NAK")}, 5) + vol +
                   QStringList{recv(reply)} + bel;
        };

        QTest::newRow("five NAK, then BEL") << QString() << sixTimes(bad) << crlf({Waiting, crcError, bad, Failed});
        QTest::newRow("time-outs never count") << QString()
                                               << badNak + vol + QStringList{QStringLiteral("<")} + badNak +
                                                      repeated(vol + QStringList{QStringLiteral("<")}, 3) +
                                                      repeated(badNak, 3) + opening(1) + records(0, 0) + EndOk
                                               << crlf({progress(1, 1), done(1)});
        QTest::newRow("five bad, then a good frame")
            << QString() << repeated(badNak, 5) + opening(1) + records(0, 0) + EndOk << crlf({progress(1, 1), done(1)});
        QTest::newRow("short reply is a format error") << QString() << sixTimes(QStringLiteral("OK"))
                                                       << crlf({Waiting, formatError, QStringLiteral("OK"), Failed});
        QTest::newRow("record frame in its place") << QString() << sixTimes(rec(0, QStringLiteral("A")))
                                                   << crlf({Waiting, formatError, rec(0, QStringLiteral("A")), Failed});
        const QString noAt = frame(QStringLiteral("#"), QStringLiteral("DATA1"));
        QTest::newRow("no @ and no fixed name")
            << QString() << sixTimes(noAt) << crlf({Waiting, formatError, noAt, Failed});
        QTest::newRow("no @ with a fixed name")
            << QStringLiteral("FIX") << vol + QStringList{recv(noAt), QStringLiteral("> ACK")} + EndOk
            << crlf({Waiting, done(0)});
        const QString tooMany = nameFrame(32768);
        QTest::newRow("count above 32767")
            << QString() << sixTimes(tooMany) << crlf({Waiting, formatError, tooMany, Failed});
        // An undefined code checked as the "?" it is not.
        const QString undefinedCode = Cp932::decode(QByteArray("\x85\x40"));
        const QString questionSum =
            QStringLiteral("^#D") + undefinedCode + QStringLiteral("@1*") + sum(QStringLiteral("^#D?@1*"));
        // The status box shows the refused frame as Windows shows it: the undefined code as "・".
        QTest::newRow("undefined code summed as ?")
            << QString() << sixTimes(questionSum)
            << crlf({Waiting, crcError, QString(questionSum).replace(undefinedCode, QStringLiteral("・")), Failed});
    }
    void fileRequest()
    {
        QFETCH(QString, fixFname);
        QFETCH(QStringList, script);
        QFETCH(QString, status);
        Rig rig;
        rig.settings.FixFname = fixFname;
        rig.play(script);
        rig.run();
        QVERIFY2(rig.link.ok(), qPrintable(rig.failures()));
        QCOMPARE(rig.host.status, status);
        QCOMPARE(rig.host.beeps, status.endsWith(Failed) ? 1 : 0);
        QCOMPARE(rig.host.commStates, (QList<std::int16_t>{0}));
        QVERIFY(!rig.host.running);
    }

    void recordPhase_data()
    {
        QTest::addColumn<int>("protocol");
        QTest::addColumn<int>("crcType");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QStringList>("staged");
        QTest::addColumn<QString>("status");

        const QStringList attempt = {QStringLiteral("<5")};
        const QString badSum = QStringLiteral("^0abc*00");
        const QStringList badNak = {recv(badSum), QStringLiteral("> NAK")};

        QTest::newRow("twelve records, type 1") << 0 << 0 << opening(12) + records(0, 11) + EndOk << recordLines(0, 11)
                                                << crlf({progress(12, 12), done(12)});
        QTest::newRow("twelve records, type 2") << 0 << 1 << opening(12, 1) + records(0, 11, 1) + EndOk
                                                << recordLines(0, 11) << crlf({progress(12, 12), done(12)});
        QTest::newRow("repeat of 9 while 0 is expected")
            << 0 << 0
            << opening(11) + records(0, 9) + QStringList{recv(QStringLiteral("^9R10*ZZ")), QStringLiteral("> ACK")} +
                   records(10, 10) + EndOk
            << recordLines(0, 10) << crlf({progress(11, 11), done(11)});
        // Without the reset after the repeat, the fifth time-out would end the cycle.
        QTest::newRow("repeat resets the retry count")
            << 0 << 0
            << opening(2) + records(0, 0) + repeated(attempt + Nak, 4) +
                   QStringList{recv(rec(0, QStringLiteral("R1"))), QStringLiteral("> ACK")} +
                   repeated(attempt + Nak, 4) + records(1, 1) + EndOk
            << recordLines(0, 1) << crlf({progress(2, 2), done(2)});
        QTest::newRow("two back is a format error")
            << 0 << 0
            << opening(3) + records(0, 1) + QStringList{recv(rec(0, QStringLiteral("R1"))), QStringLiteral("> NAK")} +
                   records(2, 2) + EndOk
            << recordLines(0, 2) << crlf({progress(3, 3), done(3)});
        QTest::newRow("four time-outs, then a record")
            << 0 << 0 << opening(1) + repeated(attempt + Nak, 4) + records(0, 0) + EndOk << recordLines(0, 0)
            << crlf({progress(1, 1), done(1)});
        QTest::newRow("reply in the third wait of an attempt")
            << 0 << 0 << opening(1) + QStringList{QStringLiteral("<"), QStringLiteral("<")} + records(0, 0) + EndOk
            << recordLines(0, 0) << crlf({progress(1, 1), done(1)});
        QTest::newRow("five time-outs") << 0 << 0 << opening(1) + repeated(attempt + Nak, 4) + attempt + Can
                                        << QStringList() << crlf({Waiting, TimeoutError, Failed});
        QTest::newRow("six bad frames") << 0 << 0
                                        << opening(1) + repeated(badNak, 5) +
                                               QStringList{recv(badSum), QStringLiteral("> BEL")} + Can
                                        << QStringList()
                                        << crlf({QStringLiteral("ﾚｺｰﾄﾞ受信 : CRC ｴﾗｰ"), badSum, Failed});
        QTest::newRow("five bad frames, then a time-out") << 0 << 0 << opening(1) + repeated(badNak, 5) + attempt + Can
                                                          << QStringList() << crlf({Waiting, TimeoutError, Failed});
        const QString wrongSeq = rec(5, QStringLiteral("X"));
        QTest::newRow("four time-outs and two wrong sequences")
            << 0 << 0
            << opening(1) + repeated(attempt + Nak, 4) +
                   QStringList{recv(wrongSeq), QStringLiteral("> NAK"), recv(wrongSeq), QStringLiteral("> BEL")} + Can
            << QStringList() << crlf({QStringLiteral("ﾚｺｰﾄﾞ受信 : ﾌｫｰﾏｯﾄ ｴﾗｰ"), wrongSeq, Failed});
        QTest::newRow("END before the announced count")
            << 0 << 0 << opening(5) + records(0, 1) + EndOk << recordLines(0, 1) << crlf({progress(2, 5), done(5)});
        QTest::newRow("more than announced")
            << 0 << 0 << opening(1) + records(0, 2) + EndOk << recordLines(0, 2) << crlf({progress(3, 1), done(1)});
        QTest::newRow("short, misplaced and wrongly summed replies")
            << 0 << 0
            << opening(1) +
                   QStringList{QStringLiteral("< X"),
                               QStringLiteral("> NAK"),
                               QStringLiteral("< OK"),
                               QStringLiteral("> NAK"),
                               recv(nameFrame(1)),
                               QStringLiteral("> NAK"),
                               recv(QStringLiteral("^0a") + Cp932::decode(QByteArray("\x85\x40")) +
                                    QStringLiteral("*") + sum(QStringLiteral("^0a?*"))),
                               QStringLiteral("> NAK")} +
                   records(0, 0) + EndOk
            << recordLines(0, 0) << crlf({progress(1, 1), done(1)});
        QTest::newRow("double-byte record, type 2")
            << 0 << 1
            << opening(1, 1) + QStringList{recv(rec(0, QStringLiteral("売上,ｱｲ"), 1)), QStringLiteral("> ACK")} + EndOk
            << QStringList{QStringLiteral("売上,ｱｲ")} << crlf({progress(1, 1), done(1)});
        QTest::newRow("simple protocol stores texts unchanged")
            << 1 << 0
            << opening(3) + QStringList{QStringLiteral("< A,1"), QStringLiteral("> ACK"), QStringLiteral("< ^5"),
                                        QStringLiteral("> ACK"), QStringLiteral("< ^9x"), QStringLiteral("> ACK"),
                                        QStringLiteral("<5"),    QStringLiteral("> NAK")} +
                   EndOk
            << QStringList{QStringLiteral("A,1"), QStringLiteral("^5"), QStringLiteral("^9x")}
            << crlf({progress(3, 3), done(3)});
        // Only the exact text ends the file.
        QTest::newRow("near-END texts are records")
            << 1 << 0
            << opening(3) + QStringList{QStringLiteral("< END "), QStringLiteral("> ACK"),  QStringLiteral("< end"),
                                        QStringLiteral("> ACK"),  QStringLiteral("< ENDX"), QStringLiteral("> ACK")} +
                   EndOk
            << QStringList{QStringLiteral("END "), QStringLiteral("end"), QStringLiteral("ENDX")}
            << crlf({progress(3, 3), done(3)});
        QTest::newRow("simple protocol time-outs") << 1 << 0 << opening(1) + repeated(attempt + Nak, 4) + attempt + Can
                                                   << QStringList() << crlf({Waiting, TimeoutError, Failed});
    }
    void recordPhase()
    {
        QFETCH(int, protocol);
        QFETCH(int, crcType);
        QFETCH(QStringList, script);
        QFETCH(QStringList, staged);
        QFETCH(QString, status);
        Rig rig;
        rig.settings.Protocol = static_cast<std::int16_t>(protocol);
        rig.settings.CrcType = static_cast<std::int16_t>(crcType);
        rig.play(script);
        rig.run();
        QVERIFY2(rig.link.ok(), qPrintable(rig.failures()));
        QCOMPARE(rig.host.status, status);
        QCOMPARE(readText(rig.backPath), lines(staged));
        const bool ok = status.endsWith(QStringLiteral("正常終了"));
        QCOMPARE(rig.output.writeCalls.size(), ok ? 1 : 0);
        QCOMPARE(rig.host.beeps, ok ? 0 : 1);
        QVERIFY(!rig.host.progressVisible);
        if (ok) {
            QCOMPARE(rig.host.progressValue, rig.host.progressMaxValue);
            QVERIFY(rig.host.progressValues.last() <= rig.host.progressMaxValue);
        }
    }

    void timeoutTicksAndLog()
    {
        Rig rig;
        rig.play(opening(1) + repeated({QStringLiteral("<5"), QStringLiteral("> NAK")}, 4) +
                 QStringList{QStringLiteral("<5"), QStringLiteral("> CAN")});
        rig.run();
        QVERIFY2(rig.link.ok(), qPrintable(rig.failures()));
        QCOMPARE(rig.link.tickCount, 1 + 5 * 5 * 100);
        const QString empty = QStringLiteral("\"2026/12/06\",\"09:05:07\",\" 0\",\"\"");
        QCOMPARE(rig.logText(), lines(QStringList{QStringLiteral("\"2026/12/06\",\"09:05:07\",\" 0\",\"") +
                                                  nameFrame(1) + QStringLiteral("\"")} +
                                      repeated({empty}, 5)));
    }

    void endOfCycle_data()
    {
        QTest::addColumn<int>("sendMail");
        QTest::addColumn<bool>("written");
        QTest::addColumn<bool>("mailed");
        QTest::addColumn<bool>("undoFails");
        QTest::addColumn<QStringList>("tail");

        const QString write = QStringLiteral("WriteUploadFile ");
        const QString mail = QStringLiteral("SendByMail ");
        const QString refused =
            QStringLiteral("status1 office@example.com宛 ﾒｰﾙ登録失敗:10061 接続できません。ZelboMail");
        const QString undo = QStringLiteral("settleCycle CAN");
        QTest::newRow("stored") << 0 << true << true << false
                                << QStringList{write, QStringLiteral("> ACK"), QStringLiteral("status1 ") + done(1)};
        QTest::newRow("stored and mailed") << 1 << true << true << false
                                           << QStringList{write,
                                                          mail,
                                                          QStringLiteral("status1 office@example.com宛 ﾒｰﾙ登録完了"),
                                                          QStringLiteral("beep"),
                                                          QStringLiteral("> ACK"),
                                                          QStringLiteral("status1 ") + done(1)};
        // The appended lines are taken back before "CAN"; a failure to do so is shown like other file errors.
        QTest::newRow("mail refused")
            << 1 << true << false << false
            << QStringList{write, mail, refused, undo, QStringLiteral("> CAN"), QStringLiteral("status1 ") + Failed};
        QTest::newRow("mail refused, not taken back")
            << 1 << true << false << true
            << QStringList{write,
                           mail,
                           refused,
                           undo,
                           QStringLiteral("status1 <UploadFile>  5:Input/output error"),
                           QStringLiteral("> CAN"),
                           QStringLiteral("status1 ") + Failed};
        QTest::newRow("writer failed, no mail")
            << 1 << false << true << false
            << QStringList{write, undo, QStringLiteral("> CAN"), QStringLiteral("status1 ") + Failed};
        QTest::newRow("mail flag not exactly 1")
            << -1 << true << true << false
            << QStringList{write, QStringLiteral("> ACK"), QStringLiteral("status1 ") + done(1)};
    }
    void endOfCycle()
    {
        QFETCH(int, sendMail);
        QFETCH(bool, written);
        QFETCH(bool, mailed);
        QFETCH(bool, undoFails);
        QFETCH(QStringList, tail);
        Rig rig;
        rig.settings.SendMail = static_cast<std::int16_t>(sendMail);
        rig.output.writeResult = written;
        rig.output.mailResult = mailed;
        if (undoFails) {
            rig.output.undoError = SystemError{5, QStringLiteral("Input/output error")};
        }
        rig.play(opening(1) + records(0, 0) + QStringList{QStringLiteral("< END"), tail.at(tail.size() - 2)});
        rig.run();
        QVERIFY2(rig.link.ok(), qPrintable(rig.failures()));

        for (QString& entry : tail) {
            if (entry.endsWith(u' ')) {
                entry += rig.savePath(QStringLiteral("DATA1.txt"));
            }
        }
        // Awake from the accepted file name until the final answer has gone out.
        tail.insert(tail.indexOf(QRegularExpression(QStringLiteral("^> (ACK|CAN)$"))) + 1,
                    QStringLiteral("keepAwake 0"));
        QVERIFY(rig.journal.indexOf(QStringLiteral("keepAwake 1")) > rig.journal.indexOf(QStringLiteral("> VOL")));
        const qsizetype from = rig.journal.indexOf(tail.first());
        QVERIFY(from > 0);
        const QStringList runEnd = {QStringLiteral("CloseUDP"), QStringLiteral("SetCommState 0")};
        QCOMPARE(rig.journal.mid(from), tail + runEnd);
        QCOMPARE(rig.mailError, mailed ? QString() : QStringLiteral("10061 接続できません。ZelboMail"));
        // The run itself removes no upload file, not even when the mail fails.
        QCOMPARE(QFile::exists(rig.uploadPath), written);
    }

    // After a kill: an unreadable journal is reported once at the start; a block the output already holds is
    // acknowledged with its own line and without a second mail.
    void repeatOfUnansweredCycle()
    {
        Rig rig;
        rig.settings.SendMail = 1;
        rig.output.recovery = {Output::Recovery::Unreadable, {}};
        rig.output.alreadyStored = true;
        rig.output.mailAlreadySent = true;
        rig.play(opening(1) + records(0, 0) + EndOk);
        rig.run();
        QVERIFY2(rig.link.ok(), qPrintable(rig.failures()));
        const qsizetype journalLine =
            rig.journal.indexOf(QStringLiteral("status1 <Journal> 前回の受信記録が読めないため無視します"));
        QVERIFY(journalLine >= 0 && journalLine < rig.journal.indexOf(QStringLiteral("> VOL")));
        QCOMPARE(rig.host.statusLines(),
                 (QStringList{progress(1, 1), QStringLiteral("ﾚｺｰﾄﾞ受信 : 受信済みのﾃﾞｰﾀのため二重に保存しません"),
                              done(1)}));
        QVERIFY(rig.output.mailCalls.isEmpty());
    }

    void autoStartCycles()
    {
        Rig rig;
        rig.settings.AutoStart = 1;
        rig.host.journalFlushes = true;
        const QString second = frame(QStringLiteral("#"), QStringLiteral("NEXT@1"));
        const QString bad = QStringLiteral("^#NEXT@1*00");
        rig.play(opening(2) + records(0, 1) + EndOk + QStringList{QStringLiteral("~300")} +
                 // The restarted cycle counts its file request from 0 again: five NAK before the BEL.
                 repeated({QStringLiteral("> VOL"), recv(bad), QStringLiteral("> NAK")}, 5) +
                 QStringList{QStringLiteral("> VOL"), recv(second), QStringLiteral("> ACK")} +
                 QStringList{recv(rec(0, QStringLiteral("N1"))), QStringLiteral("> ACK")} + EndOk +
                 QStringList{QStringLiteral("~300"), QStringLiteral("stop"), QStringLiteral("> CAN")});
        rig.run();
        QVERIFY2(rig.link.ok(), qPrintable(rig.failures()));

        QCOMPARE(rig.host.statusCalls.count(QStringLiteral("status0 ") + Waiting), 1);
        QCOMPARE(rig.link.openCount, 1);
        QCOMPARE(rig.link.closeCount, 1);
        QCOMPARE(rig.host.status, crlf({progress(1, 1), done(1), Stopped, Failed}));
        QCOMPARE(rig.output.writeCalls,
                 (QStringList{rig.savePath(QStringLiteral("DATA1.txt")), rig.savePath(QStringLiteral("NEXT.txt"))}));
        QCOMPARE(readText(rig.backPath), lines({QStringLiteral("N1")}));
        QVERIFY(rig.logText().startsWith(QStringLiteral("\"2026/12/06\",\"09:05:07\",\" 0\",\"") + second));
        QCOMPARE(rig.link.tickCount, 4 + 300 + 8 + 300);
        QCOMPARE(rig.host.commStates, (QList<std::int16_t>{0, 0}));
        // The link shows nothing: each reply wait finds the due displays shown, each pause all of them.
        QCOMPARE(rig.journal.count(QStringLiteral("flushDisplays")), 2);
        QCOMPARE(rig.journal.count(QStringLiteral("flushDueDisplays")), 4 + 8);
        for (qsizetype i = 1; i < rig.journal.size(); ++i) {
            if (rig.journal[i].startsWith(QStringLiteral("< "))) {
                QCOMPARE(rig.journal[i - 1], QStringLiteral("flushDueDisplays"));
            } else if (rig.journal[i].startsWith(QStringLiteral("WaitTicks"))) {
                QCOMPARE(rig.journal[i - 1], QStringLiteral("flushDisplays"));
            }
        }
        QVERIFY(!rig.host.running);

        // The day's history: a line per cycle that ended, the stop's included.
        QCOMPARE(rig.output.cycles.size(), 3);
        const Output::CycleSummary& first = rig.output.cycles[0];
        QCOMPARE(first.terminalFile, QStringLiteral("DATA1"));
        QVERIFY(first.end == Output::CycleEnd::Acknowledged && first.announcedCount == 2 && first.receivedCount == 2);
        QCOMPARE(first.uploadPath, rig.savePath(QStringLiteral("DATA1.txt")));
        QVERIFY(first.failure.isEmpty());
        QCOMPARE(rig.output.cycles[1].terminalFile, QStringLiteral("NEXT"));
        const Output::CycleSummary& stopped = rig.output.cycles[2];
        QVERIFY(stopped.end == Output::CycleEnd::Stopped && stopped.terminalFile.isEmpty() &&
                stopped.uploadPath.isEmpty());
        QCOMPARE(stopped.failure, Stopped);
    }

    void stop_data()
    {
        QTest::addColumn<int>("autoStart");
        QTest::addColumn<QString>("timeAdjust");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QString>("status");

        const QString stopped = crlf({Waiting, Stopped, Failed});
        QTest::newRow("clock setting wait")
            << 0 << QStringLiteral("1")
            << QStringList{QStringLiteral("> TW20261206090507"), QStringLiteral("<"), QStringLiteral("stop")} + Can
            << stopped;
        QTest::newRow("clock setting wait, OK came")
            << 0 << QStringLiteral("1")
            << QStringList{QStringLiteral("> TW20261206090507"), QStringLiteral("< OK"), QStringLiteral("stop")} + Can
            << stopped;
        QTest::newRow("file request wait, reply came")
            << 0 << QStringLiteral("0")
            << QStringList{QStringLiteral("> VOL"), recv(nameFrame(1)), QStringLiteral("stop")} + Can << stopped;
        QTest::newRow("during the file-name ACK")
            << 0 << QStringLiteral("0") << opening(1) + QStringList{QStringLiteral("stop")} + Can << stopped;
        QTest::newRow("record wait") << 0 << QStringLiteral("0")
                                     << opening(1) + QStringList{QStringLiteral("<"), QStringLiteral("stop")} + Can
                                     << stopped;
        QTest::newRow("during a record ACK")
            << 0 << QStringLiteral("0") << opening(2) + records(0, 0) + QStringList{QStringLiteral("stop")} + Can
            << crlf({progress(1, 2), Stopped, Failed});
        QTest::newRow("pause between cycles")
            << 1 << QStringLiteral("0")
            << opening(1) + records(0, 0) + EndOk + QStringList{QStringLiteral("~300"), QStringLiteral("stop")} + Can
            << crlf({progress(1, 1), done(1), Stopped, Failed});
    }
    void stop()
    {
        QFETCH(int, autoStart);
        QFETCH(QString, timeAdjust);
        QFETCH(QStringList, script);
        QFETCH(QString, status);
        Rig rig;
        rig.settings.AutoStart = static_cast<std::int16_t>(autoStart);
        rig.settings.TimeAdjust = timeAdjust;
        rig.play(script);
        rig.run();
        QVERIFY2(rig.link.ok(), qPrintable(rig.failures()));
        QCOMPARE(rig.host.status, status);
        QCOMPARE(rig.link.transcript.last(), QStringLiteral("CloseUDP"));
        QCOMPARE(rig.host.commStates, (QList<std::int16_t>{0, 0}));
        QVERIFY(!rig.host.running);
        QVERIFY(!rig.host.busyCursor);
        QVERIFY(!rig.host.progressVisible);
    }

    void stopAtRecordYield()
    {
        Rig rig;
        rig.play(opening(1) + QStringList{QStringLiteral("> CAN")});
        // Yields: cycle start, before CheckFrame of the name, then the first record iteration.
        rig.link.onPump = [&rig](int n) {
            if (n == 3) {
                rig.link.stopAction();
            }
        };
        rig.run();
        QVERIFY2(rig.link.ok(), qPrintable(rig.failures()));
        QCOMPARE(rig.host.status, crlf({Waiting, Stopped, Failed}));
    }

    void linkFailsToOpen()
    {
        Rig rig;
        // A bind error ends the run with the link error text, also with AutoStart 1; the first cycle fails at once.
        rig.settings.AutoStart = 1;
        rig.link.error = LinkError{{10048, QStringLiteral("in use")}, false};
        // Nor does it look back at an unanswered cycle: another copy may be writing that folder.
        rig.output.recovery = {Output::Recovery::Unreadable, {}};
        rig.play({QStringLiteral("> CAN")});
        rig.run();
        QVERIFY2(rig.link.ok(), qPrintable(rig.failures()));
        QCOMPARE(rig.host.status,
                 crlf({QStringLiteral("10048 UDP設定に問題がないか確認してください。 in use"), Failed}));
        QCOMPARE(rig.link.transcript,
                 (QStringList{QStringLiteral("OpenUDP"), QStringLiteral("> CAN"), QStringLiteral("CloseUDP")}));
    }

    // A network away for now fails the cycle, once reported; polling goes on with a growing pause and stores again
    // when it is back. A manual run, or any other link error, ends the run.
    void networkAwayForNow()
    {
        const LinkError unreachable{{101, QStringLiteral("Network is unreachable")}, true};
        Rig rig;
        rig.settings.AutoStart = 1;
        rig.link.expect(QStringLiteral("VOL"))
            .failWith(unreachable)
            .expect(QStringLiteral("CAN"))
            .failWith(unreachable);
        rig.play({QStringLiteral("~300")});
        rig.link.expect(QStringLiteral("VOL"))
            .failWith(unreachable)
            .expect(QStringLiteral("CAN"))
            .failWith(unreachable);
        rig.play({QStringLiteral("~600")});
        // Back mid-way through a file: the next one is stored.
        rig.play(opening(2) + records(0, 0));
        rig.link.reply(rec(1, QStringLiteral("R2"))).expect(QStringLiteral("ACK")).failWith(unreachable);
        rig.play({QStringLiteral("> CAN"), QStringLiteral("~300")});
        rig.play(opening(1) + records(0, 0) + EndOk +
                 QStringList{QStringLiteral("~300"), QStringLiteral("stop"), QStringLiteral("> CAN")});
        rig.run();
        QVERIFY2(rig.link.ok(), qPrintable(rig.failures()));
        const QString retry =
            QStringLiteral("UDP通信 : ﾈｯﾄﾜｰｸに接続できません。再試行します 101:Network is unreachable");
        QCOMPARE(rig.journal.count(QStringLiteral("status1 ") + retry), 2);
        QCOMPARE(rig.output.writeCalls.size(), 1);
        // Every cycle reaches the history with its reason, shown or not: the output tells a lasting one by its text.
        QCOMPARE(rig.output.cycles.size(), 5);
        QVERIFY(rig.output.cycles[1].failure == retry && rig.output.cycles[2].failure == retry);
        QVERIFY(rig.host.status.endsWith(crlf({done(1), Stopped, Failed})));

        Rig manual;
        manual.link.expect(QStringLiteral("VOL")).failWith(unreachable).expect(QStringLiteral("CAN"));
        manual.run();
        QVERIFY2(manual.link.ok(), qPrintable(manual.failures()));
        QCOMPARE(manual.host.status,
                 crlf({QStringLiteral("101 UDP設定に問題がないか確認してください。 Network is unreachable"), Failed}));
        QVERIFY(!manual.host.running);
    }

    void fileErrors_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("protocol");
        QTest::addColumn<QString>("statusStart");
        QTest::addColumn<QString>("statusEnd");
        QTest::newRow("staging cannot be opened")
            << QStringLiteral("back") << 0 << crlf({Waiting, QStringLiteral("<BackFile>  %1:").arg(MissingFolderError)})
            << Failed;
        QTest::newRow("save folder missing")
            << QStringLiteral("save") << 0 << crlf({Waiting, QStringLiteral("保存ﾌｫﾙﾀﾞが存在しません : ")}) << Failed;
        QTest::newRow("staging write fails")
            << QStringLiteral("write") << 0
            << crlf({progress(1, 3), QStringLiteral("<BackFile#1WR>  28:No space left on device"), Failed}) << Failed;
        // The simple protocol replaces the whole status with the bare error, then appends the end text.
        QTest::newRow("staging write fails, simple")
            << QStringLiteral("write") << 1 << crlf({QStringLiteral(" 28:No space left on device"), Failed}) << Failed;
    }
    void fileErrors()
    {
        QFETCH(QString, fault);
        QFETCH(int, protocol);
        QFETCH(QString, statusStart);
        QFETCH(QString, statusEnd);
        Rig rig;
        rig.settings.Protocol = static_cast<std::int16_t>(protocol);
        QStringList script = opening(3);
        if (fault == QStringLiteral("back")) {
            rig.output.files = std::make_unique<DiskRunFiles>(rig.dir.filePath(QStringLiteral("missing/Back.txt")));
        } else if (fault == QStringLiteral("save")) {
            rig.settings.SaveFolder = rig.dir.filePath(QStringLiteral("missing"));
        } else {
            rig.output.files = std::make_unique<FailingFiles>(rig.backPath, 1);
            script += protocol == 1 ? QStringList{QStringLiteral("< A"), QStringLiteral("> ACK")} : records(0, 0);
            script += recv(protocol == 1 ? QStringLiteral("B") : rec(1, QStringLiteral("R2")));
        }
        rig.play(script + Can);
        rig.run();
        QVERIFY2(rig.link.ok(), qPrintable(rig.failures()));
        QVERIFY2(rig.host.status.startsWith(statusStart), qPrintable(rig.host.status));
        QVERIFY(rig.host.status.endsWith(statusEnd));
        QCOMPARE(rig.host.beeps, 1);
        QVERIFY(rig.output.writeCalls.isEmpty());
        if (fault == QStringLiteral("back")) {
            // The staging file opens first: the log of a previous cycle is left alone.
            QVERIFY(!QFile::exists(rig.savePath(QStringLiteral("LOG.TXT"))));
        }
    }

    // A save folder that goes away is never swapped for another: "CAN" naming it while it is missing, stored there
    // again once it is back.
    void saveFolderVanishesBetweenCycles()
    {
        Rig rig;
        rig.settings.AutoStart = 1;
        const QString folder = rig.saveFolder;
        rig.play(opening(1) + records(0, 0) + EndOk + QStringList{QStringLiteral("~300")});
        rig.link.then([folder] { QDir(folder).removeRecursively(); });
        rig.play(opening(1) + Can + QStringList{QStringLiteral("~300")});
        rig.link.then([folder] { QDir().mkpath(folder); });
        rig.play(opening(1) + records(0, 0) + EndOk +
                 QStringList{QStringLiteral("~300"), QStringLiteral("stop"), QStringLiteral("> CAN")});
        rig.run();
        QVERIFY2(rig.link.ok(), qPrintable(rig.failures()));
        QVERIFY(rig.journal.contains(QStringLiteral("status1 保存ﾌｫﾙﾀﾞが存在しません : ") + folder +
                                     QStringLiteral(" 2:No such file or directory")));
        QCOMPARE(rig.output.writeCalls,
                 (QStringList{rig.savePath(QStringLiteral("DATA1.txt")), rig.savePath(QStringLiteral("DATA1.txt"))}));
        QCOMPARE(rig.settings.SaveFolder, folder);
        QCOMPARE(QDir(rig.dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 (QStringList{QStringLiteral("Back.txt"), QStringLiteral("save")}));
    }

    void naming_data()
    {
        QTest::addColumn<QString>("fixFname");
        QTest::addColumn<QString>("terminalName");
        QTest::addColumn<int>("addDate");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("fixed, name-date-time")
            << QStringLiteral("DAT") << QStringLiteral("ORDERS") << 4 << QStringLiteral("DAT-20261206-0905.txt");
        QTest::newRow("terminal name") << QString() << QStringLiteral("ORDERS") << 0 << QStringLiteral("ORDERS.txt");
        QTest::newRow("date") << QString() << QStringLiteral("ORDERS") << 1 << QStringLiteral("20261206.txt");
        QTest::newRow("name-date") << QString() << QStringLiteral("ORDERS") << 3
                                   << QStringLiteral("ORDERS-20261206.txt");
        QTest::newRow("date-time") << QStringLiteral("DAT") << QStringLiteral("ORDERS") << 2
                                   << QStringLiteral("20261206-0905.txt");
        QTest::newRow("empty terminal name") << QString() << QString() << 0 << QStringLiteral(".txt");
        QTest::newRow("climbing terminal name")
            << QString() << QStringLiteral("../../evil") << 0 << QStringLiteral("______evil.txt");
        QTest::newRow("absolute fixed name")
            << QStringLiteral("/tmp/x") << QStringLiteral("A") << 3 << QStringLiteral("_tmp_x-20261206.txt");
        QTest::newRow("backslash and drive")
            << QStringLiteral("C:\\W\\x") << QStringLiteral("A") << 0 << QStringLiteral("C__W_x.txt");
    }
    void naming()
    {
        QFETCH(QString, fixFname);
        QFETCH(QString, terminalName);
        QFETCH(int, addDate);
        QFETCH(QString, fileName);
        Rig rig;
        rig.settings.FixFname = fixFname;
        rig.settings.AddDate = static_cast<std::int16_t>(addDate);
        const QString nameFrameText = nameFrame(1, terminalName);
        rig.play(QStringList{QStringLiteral("> VOL"), recv(nameFrameText), QStringLiteral("> ACK")} + records(0, 0) +
                 EndOk);
        rig.run();
        QVERIFY2(rig.link.ok(), qPrintable(rig.failures()));
        QCOMPARE(rig.uploadPath, rig.savePath(fileName));
        QCOMPARE(rig.host.fileCaption, QDir::separator() + fileName);
        QVERIFY(QFile::exists(rig.uploadPath));
        QStringList expected{fileName, QStringLiteral("LOG.TXT")};
        expected.sort();
        QCOMPARE(QDir(rig.saveFolder).entryList(QDir::Files | QDir::Hidden, QDir::Name), expected);
    }

    void moreThan32767Records()
    {
        Rig rig;
        constexpr int Count = 32770;
        QStringList script = opening(32767);
        for (int i = 0; i < Count; ++i) {
            script << recv(rec(i, QStringLiteral("X"))) << QStringLiteral("> ACK");
        }
        rig.play(script + EndOk);
        rig.run();
        QVERIFY2(rig.link.ok(), qPrintable(rig.failures()));
        QCOMPARE(rig.host.status, crlf({QStringLiteral("ﾚｺｰﾄﾞ受信 :  32770/32767"), done(32767)}));
        QCOMPARE(rig.host.progressMaxValue, 32767);
        QCOMPARE(rig.host.progressValues.mid(32766, 4), (QList<int>{32766, 32767, 32767, 32767}));
        QCOMPARE(readText(rig.backPath).size(), Count * 3);
        QVERIFY(rig.logText().endsWith(QStringLiteral("\" 32770\",\"END\"\r\n")));
    }

    void zeroRecordsKeepsBarHidden()
    {
        Rig rig;
        rig.play(opening(0) + EndOk);
        rig.run();
        QVERIFY2(rig.link.ok(), qPrintable(rig.failures()));
        QCOMPARE(rig.host.progressVisibility, (QList<bool>{false, false}));
        QCOMPARE(rig.host.status, crlf({Waiting, done(0)}));
    }

    // Datagrams near the 64 KB limit: junk is refused in both phases, a full-size record is staged whole.
    void largeReplies()
    {
        Rig rig;
        const QString junk(65506, u'^');
        const QString bigRecord = QString(32000, u'漢') + QString(1000, u',');
        rig.play(QStringList{QStringLiteral("> VOL"), recv(junk), QStringLiteral("> NAK")} + opening(2) +
                 QStringList{recv(junk), QStringLiteral("> NAK"), recv(rec(0, bigRecord)), QStringLiteral("> ACK")} +
                 records(1, 1) + EndOk);
        rig.run();
        QVERIFY2(rig.link.ok(), qPrintable(rig.failures()));
        QCOMPARE(rig.host.status, crlf({progress(2, 2), done(2)}));
        QCOMPARE(rig.stagedAtWrite, lines({bigRecord, QStringLiteral("R2")}));
    }
};

QTEST_GUILESS_MAIN(TestUploadRun)
#include "TestUploadRun.moc"
