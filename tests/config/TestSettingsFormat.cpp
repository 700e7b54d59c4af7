#include "config/SettingsFile.h"

#include "SettingsLines.h"

#include <QTest>

// How the settings line is written and read: every value in its place, and the reading rules for hand-edited files.
class TestSettingsFormat : public QObject
{
    Q_OBJECT

private slots:
    void formatMatchesTheDocumentedDefaultLine()
    {
        const QByteArray expected = R"("C:\Users\op\Documents","6000","192.168.0.111","6001",0,"",0,0,0,0,0,0,"","",)"
                                    R"(1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,"","","1","")"
                                    "\r\n";
        QCOMPARE(SettingsFile::formatFile(SettingsFile::defaults(QStringLiteral("C:\\Users\\op\\Documents"))),
                 expected);
    }

    void roundTripOfEveryValue()
    {
        Settings s;
        s.SaveFolder = QStringLiteral("D:\\受信データ");
        s.LocalPort = QStringLiteral("7000");
        s.RemoteHost = QStringLiteral("127.0.0.1");
        s.RemotePort = QStringLiteral("7001");
        s.AddDate = 4;
        s.FixFname = QStringLiteral("ﾃﾞｰﾀ");
        s.CrcType = 1;
        s.OverWrite = 1;
        s.StartUpSize = 1;
        s.AutoStart = 1;
        s.Protocol = 1;
        s.SendMail = 7;
        s.MailAddress = QStringLiteral("to@example.com");
        s.MailSub = QStringLiteral("売上, 本日分");
        for (int i = 0; i < Settings::FieldCount; ++i) {
            s.FieldSelect[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i % 2);
        }
        s.FieldSelect[19] = -32768;
        s.FromMailAddress = QStringLiteral("from@example.com");
        s.MailServer = QStringLiteral("smtp://user:pw@127.0.0.1:2525");
        s.TimeAdjust = QStringLiteral("0");
        s.MailUser = QStringLiteral("taro@example.jp");

        Settings back;
        QCOMPARE(SettingsFile::parse(SettingsFile::formatFile(s), back), ReadResult::Ok);
        QVERIFY(back == s);
    }

    // Every value differs from every other (each integer is its own position), so writing or reading any two
    // positions swapped changes the line or the record.
    void everyValueInItsOwnPosition()
    {
        Settings s;
        s.SaveFolder = QStringLiteral("D:\\受信\\1");
        s.LocalPort = QStringLiteral("7002");
        s.RemoteHost = QStringLiteral("127.0.0.3");
        s.RemotePort = QStringLiteral("7004");
        s.AddDate = 5;
        s.FixFname = QStringLiteral("ﾃﾞｰﾀ6");
        s.CrcType = 7;
        s.OverWrite = 8;
        s.StartUpSize = 9;
        s.AutoStart = 10;
        s.Protocol = 11;
        s.SendMail = 12;
        s.MailAddress = QStringLiteral("to13@example.invalid");
        s.MailSub = QStringLiteral("売上, 14");
        s.FieldSelect = {15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34};
        s.FromMailAddress = QStringLiteral("from35@example.invalid");
        s.MailServer = QStringLiteral("smtp36.example.invalid");
        s.TimeAdjust = QStringLiteral("0.37");
        s.MailUser = QStringLiteral("user38");

        const QByteArray line = Cp932::encode(
            QStringLiteral(R"("D:\受信\1","7002","127.0.0.3","7004",5,"ﾃﾞｰﾀ6",7,8,9,10,11,12,"to13@example.invalid",)"
                           R"("売上, 14",15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31,32,33,34,)"
                           R"("from35@example.invalid","smtp36.example.invalid","0.37","user38")"
                           "\r\n"));
        QCOMPARE(SettingsFile::formatFile(s), line);
        Settings back;
        QCOMPARE(SettingsFile::parse(line, back), ReadResult::Ok);
        QVERIFY(back == s);
    }

    void readingRules_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("mailSub");
        QTest::addColumn<int>("addDate");

        const QByteArray line = defaultLine(QStringLiteral("C:\\Data"));
        const int ok = int(ReadResult::Ok);
        const int invalid = int(ReadResult::Invalid);
        QTest::newRow("as written") << line << ok << QString() << 0;
        QByteArray multiLine = line;
        multiLine.replace(",", ",\r\n");
        QTest::newRow("one value per line") << multiLine << ok << QString() << 0;
        QByteArray lineEnds = line;
        lineEnds.replace("\"6000\",", "\"6000\"\r\n");
        QTest::newRow("line end instead of comma") << lineEnds << ok << QString() << 0;
        QByteArray spaced = line;
        spaced.replace(",", ",  ");
        QTest::newRow("spaces before items") << spaced << ok << QString() << 0;
        QTest::newRow("comma inside quotes") << lineWithItem(14, "\"a,b\"") << ok << QStringLiteral("a,b") << 0;
        QTest::newRow("junk after closing quote") << lineWithItem(14, "\"x\"yz") << ok << QStringLiteral("x") << 0;
        QTest::newRow("empty integer reads 0") << lineWithItem(5, "") << ok << QString() << 0;
        QTest::newRow("integer 4") << lineWithItem(5, "4") << ok << QString() << 4;
        QTest::newRow("extra values ignored") << QByteArray(line.trimmed() + ",9\r\n") << ok << QString() << 0;
        // Older files end at the 37th value: no mail user.
        QTest::newRow("37 values") << line.left(line.lastIndexOf(',')) << ok << QString() << 0;
        QTest::newRow("no final line end") << line.trimmed() << ok << QString() << 0;
        QTest::newRow("70000") << lineWithItem(7, "70000") << invalid << QString() << 0;
        QTest::newRow("-40000") << lineWithItem(20, "-40000") << invalid << QString() << 0;
        QTest::newRow("not a number") << lineWithItem(8, "abc") << invalid << QString() << 0;
        QTest::newRow("fraction") << lineWithItem(8, "1.5") << invalid << QString() << 0;
        QTest::newRow("empty file") << QByteArray() << invalid << QString() << 0;
        QTest::newRow("truncated") << line.left(line.size() / 2) << invalid << QString() << 0;
        QByteArray values36 = line.left(line.lastIndexOf(','));
        QTest::newRow("36 values") << values36.left(values36.lastIndexOf(',')) << invalid << QString() << 0;
        QTest::newRow("binary garbage") << QByteArray("\x00\xFF\x81\x10,\x9F\xFE\r\n", 8) << invalid << QString() << 0;
    }
    void readingRules()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, result);
        QFETCH(QString, mailSub);
        QFETCH(int, addDate);
        Settings s;
        s.MailUser = QStringLiteral("left from before");
        QCOMPARE(int(SettingsFile::parse(bytes, s)), result);
        if (result == int(ReadResult::Ok)) {
            QCOMPARE(s.MailUser, QString());
            QCOMPARE(s.SaveFolder, QStringLiteral("C:\\Data"));
            QCOMPARE(s.MailSub, mailSub);
            QCOMPARE(int(s.AddDate), addDate);
            QCOMPARE(s.TimeAdjust, QStringLiteral("1"));
        }
    }
};

QTEST_GUILESS_MAIN(TestSettingsFormat)
#include "TestSettingsFormat.moc"
