#include "protocol/UploadRun.h"

#include "protocol/UploadRunRig.h"

// One cycle from its start to "END": clock setting, file request and the record phase.
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
        // Only the silent terminal is an idle poll; any answer, right or wrong, is the terminal there.
        QCOMPARE(rig.host.idlePolls, 1);
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
        QCOMPARE(rig.host.idlePolls, int(script.count(QStringLiteral("<"))));
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
};

QTEST_GUILESS_MAIN(TestUploadRun)
#include "TestUploadRun.moc"
