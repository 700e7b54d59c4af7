#include "protocol/UploadRun.h"

#include "protocol/UploadRunRig.h"

// The end of a cycle, the cycles of automatic start, and Stop.
class TestUploadRunEnd : public QObject
{
    Q_OBJECT

private slots:
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

    // The upload file's write waits in the event loop: a Stop meanwhile lets it finish, then the terminal is told
    // "CAN" and what was written is taken back.
    void stopDuringTheWrite()
    {
        Rig rig;
        rig.play(opening(1) + records(0, 0) + QStringList{QStringLiteral("< END")} + Can);
        const auto write = rig.output.writer;
        rig.output.writer = [&rig, write](const QString& path) {
            rig.link.stopAction();
            return write(path);
        };
        rig.run();
        QVERIFY2(rig.link.ok(), qPrintable(rig.failures()));
        QCOMPARE(rig.host.status, crlf({progress(1, 1), Stopped, Failed}));
        QVERIFY(rig.journal.contains(QStringLiteral("settleCycle CAN")));
        QCOMPARE(rig.output.cycles.last().end, Output::CycleEnd::Stopped);
    }
};

QTEST_GUILESS_MAIN(TestUploadRunEnd)
#include "TestUploadRunEnd.moc"
