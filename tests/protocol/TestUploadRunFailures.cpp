#include "protocol/UploadRun.h"

#include "protocol/UploadRunRig.h"

// Failures of the link and of files, naming, and the limits of counts and replies.
class TestUploadRunFailures : public QObject
{
    Q_OBJECT

private slots:
    void linkFailsToOpen()
    {
        Rig rig;
        // A bind error other than a port in use ends the run with the link error text, also with AutoStart 1; the
        // first cycle fails at once.
        rig.settings.AutoStart = 1;
        rig.link.error = LinkError{{10049, QStringLiteral("cannot assign")}};
        // Nor does it look back at an unanswered cycle: another copy may be writing that folder.
        rig.output.recovery = {Output::Recovery::Unreadable, {}};
        rig.play({QStringLiteral("> CAN")});
        rig.run();
        QVERIFY2(rig.link.ok(), qPrintable(rig.failures()));
        QCOMPARE(rig.host.status,
                 crlf({QStringLiteral("10049 UDP設定に問題がないか確認してください。 cannot assign"), Failed}));
        QCOMPARE(rig.link.transcript,
                 (QStringList{QStringLiteral("OpenUDP"), QStringLiteral("> CAN"), QStringLiteral("CloseUDP")}));
    }

    // A network away for now fails the cycle, once reported; polling goes on with a growing pause and stores again
    // when it is back. A manual run, or any other link error, ends the run.
    void networkAwayForNow()
    {
        const LinkError unreachable{{101, QStringLiteral("Network is unreachable")}, LinkError::Kind::NetworkAway};
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

    // A local port another program holds (another user's copy): with automatic start each cycle fails for it, the
    // link binds again every 30 s, and polling starts as soon as it binds, with the look back at an unanswered cycle
    // that the run's start left out. A run started by hand ends as at any other bind error.
    void localPortHeldByAnotherProgram()
    {
        const auto held = [](const std::optional<PortHolder>& holder) {
            return LinkError{
                {8, QStringLiteral("The bound address is already in use")}, LinkError::Kind::PortInUse, 6000, holder};
        };
        const PortHolder first{QStringLiteral("zelbo_udp.exe"), 4242, QStringLiteral("PC01\\sato"), 2};
        const PortHolder second{QString(), 0, QStringLiteral("suzuki"), std::nullopt};
        Rig rig;
        rig.settings.AutoStart = 1;
        rig.output.recovery = {Output::Recovery::Unreadable, {}};
        rig.link.openErrors = {held(first), held(first), held(second)};
        rig.play(repeated(Can + QStringList{QStringLiteral("~3000")}, 3));
        rig.play(opening(1) + records(0, 0) + EndOk +
                 QStringList{QStringLiteral("~300"), QStringLiteral("stop"), QStringLiteral("> CAN")});
        rig.run();
        QVERIFY2(rig.link.ok(), qPrintable(rig.failures()));
        const QString line =
            QStringLiteral("UDP通信 : ﾛｰｶﾙﾎﾟｰﾄ 6000 は他のﾌﾟﾛｸﾞﾗﾑが使用中です。空くまで30秒ごとに再試行します");
        const QString byFirst = line + QStringLiteral(" (zelbo_udp.exe PID 4242, PC01\\sato, ｾｯｼｮﾝ 2)");
        const QString bySecond = line + QStringLiteral(" (suzuki)");
        // Shown when it begins and when another program holds the port; 異常終了 for its first cycle and the Stop.
        QCOMPARE(rig.journal.filter(QStringLiteral("status1 UDP通信 : ﾛｰｶﾙﾎﾟｰﾄ")),
                 (QStringList{QStringLiteral("status1 ") + byFirst, QStringLiteral("status1 ") + bySecond}));
        QCOMPARE(rig.journal.count(QStringLiteral("status1 ") + Failed), 2);
        QCOMPARE(rig.link.openCount, 4);
        const qsizetype bound = rig.journal.lastIndexOf(QStringLiteral("OpenUDP"));
        QCOMPARE(rig.journal.indexOf(QStringLiteral("status1 <Journal> 前回の受信記録が読めないため無視します")),
                 bound + 1);
        QCOMPARE(rig.output.writeCalls.size(), 1);
        QCOMPARE(rig.output.cycles.size(), 5);
        QCOMPARE(rig.output.cycles[0].failure, byFirst);
        QCOMPARE(rig.output.cycles[1].failure, byFirst);
        QCOMPARE(rig.output.cycles[2].failure, bySecond);
        QCOMPARE(rig.output.cycles[3].end, Output::CycleEnd::Acknowledged);

        Rig manual;
        manual.link.error = held(first);
        manual.play(Can);
        manual.run();
        QVERIFY2(manual.link.ok(), qPrintable(manual.failures()));
        QCOMPARE(manual.host.status,
                 crlf({QStringLiteral("8 UDP設定に問題がないか確認してください。 The bound address is already in use"),
                       Failed}));
        QCOMPARE(manual.link.openCount, 1);
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

QTEST_GUILESS_MAIN(TestUploadRunFailures)
#include "TestUploadRunFailures.moc"
