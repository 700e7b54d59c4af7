#include "protocol/Frame.h"

#include "base/Cp932.h"

#include <QTest>

class TestFrame : public QObject
{
    Q_OBJECT

private slots:
    void checkSumText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("sum");
        QTest::newRow("abc") << QStringLiteral("abc") << QStringLiteral("26");
        QTest::newRow("empty") << QString() << QStringLiteral("00");
        QTest::newRow("double-byte あ") << QStringLiteral("あ") << QStringLiteral("22");
        QTest::newRow("padded upper-case") << QStringLiteral("\n") << QStringLiteral("0A");
        QTest::newRow("wraps modulo 256") << QStringLiteral("zzz") << QStringLiteral("6E");
        QTest::newRow("half-width and double-byte") << QStringLiteral("ｱあ") << QStringLiteral("D3");
        QTest::newRow("outside the code page counts as ?") << QStringLiteral("\u00E9") << QStringLiteral("3F");
    }
    void checkSumText()
    {
        QFETCH(QString, text);
        QFETCH(QString, sum);
        QCOMPARE(CheckSumText(text), sum);
    }

    void checkFrame_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("typeChar");
        QTest::addColumn<int>("crcType");
        QTest::addColumn<int>("result");
        const QString seq0 = QStringLiteral("0");
        const QString hash = QStringLiteral("#");
        QTest::newRow("type 1 valid") << QStringLiteral("^0abc*DE") << seq0 << 0 << 1;
        QTest::newRow("type 1 sum under type 2") << QStringLiteral("^0abc*DE") << seq0 << 1 << -2;
        QTest::newRow("type 2 valid") << QStringLiteral("^0abc*50") << seq0 << 1 << 1;
        QTest::newRow("type 2 sum under type 1") << QStringLiteral("^0abc*50") << seq0 << 0 << -2;
        QTest::newRow("empty data type 1") << QStringLiteral("^0*B8") << seq0 << 0 << 1;
        QTest::newRow("empty data type 2") << QStringLiteral("^0*2A") << seq0 << 1 << 1;
        QTest::newRow("lower-case digits") << QStringLiteral("^0abc*de") << seq0 << 0 << -2;
        QTest::newRow("wrong sequence") << QStringLiteral("^1X,Y*96") << seq0 << 0 << -1;
        QTest::newRow("end marker late") << QStringLiteral("^0abc*D") << seq0 << 0 << -1;
        QTest::newRow("end marker early") << QStringLiteral("^0abc*DEF") << seq0 << 0 << -1;
        QTest::newRow("file-name frame type 1") << QStringLiteral("^#DATA1@2*68") << hash << 0 << 1;
        QTest::newRow("file-name frame type 2") << QStringLiteral("^#DATA1@2*E7") << hash << 1 << 1;
        QTest::newRow("other type values act as 2") << QStringLiteral("^0abc*50") << seq0 << 7 << 1;
        QTest::newRow("no start marker") << QStringLiteral("x0abc*DE") << seq0 << 0 << -1;
        QTest::newRow("empty") << QString() << seq0 << 0 << -1;
        QTest::newRow("one character") << QStringLiteral("^") << seq0 << 0 << -1;
        QTest::newRow("two characters") << QStringLiteral("^0") << seq0 << 0 << -1;
        QTest::newRow("three characters") << QStringLiteral("^0*") << seq0 << 1 << -1;
        QTest::newRow("double-byte data type 1") << QStringLiteral("^0あ*DA") << seq0 << 0 << 1;
        QTest::newRow("double-byte data type 2") << QStringLiteral("^0あ*4C") << seq0 << 1 << 1;
        QTest::newRow("double-byte type character") << QStringLiteral("^あabc*DE") << seq0 << 0 << -1;
        // A code the code page leaves undefined is summed as its own two bytes, never as the "?" of "^0a?*".
        const QString undefinedCode = Cp932::decode(QByteArray("\x85\x40"));
        QTest::newRow("undefined code in data")
            << QStringLiteral("^0a") + undefinedCode + QStringLiteral("*DE") << seq0 << 0 << 1;
        QTest::newRow("undefined code summed as ?")
            << QStringLiteral("^0a") + undefinedCode + QStringLiteral("*58") << seq0 << 0 << -2;
        QTest::newRow("type character outside the code page") << QStringLiteral("^\u00E9a*00") << seq0 << 0 << -1;
    }
    void checkFrame()
    {
        QFETCH(QString, text);
        QFETCH(QString, typeChar);
        QFETCH(int, crcType);
        QFETCH(int, result);
        QCOMPARE(int(CheckFrame(text, typeChar.at(0).unicode(), static_cast<std::int16_t>(crcType))), result);
    }

    void cutToByteCount_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("byteCount");
        QTest::addColumn<QString>("result");
        QTest::newRow("OK + CR") << QStringLiteral("OK\r") << 3 << QStringLiteral("OK");
        QTest::newRow("lone CR") << QStringLiteral("\r") << 1 << QString();
        QTest::newRow("empty datagram") << QString() << 0 << QString();
        QTest::newRow("empty text, count given") << QString() << 5 << QString();
        QTest::newRow("count zero") << QStringLiteral("ABC") << 0 << QString();
        QTest::newRow("ends in double-byte") << QStringLiteral("OKあ") << 4 << QString();
        QTest::newRow("double-byte then CR") << QStringLiteral("ｱあ\r") << 4 << QStringLiteral("ｱあ");
        QTest::newRow("double-byte first") << QStringLiteral("あｱ\r") << 4 << QStringLiteral("あｱ");
        QTest::newRow("half-width is one byte") << QStringLiteral("ｱｱｱ\r") << 4 << QStringLiteral("ｱｱｱ");
        QTest::newRow("bytes, not characters") << QStringLiteral("ああX\r") << 6 << QStringLiteral("ああX");
        QTest::newRow("lone lead byte is one byte")
            << Cp932::decode(QByteArray("\x82 A\r")) << 4 << Cp932::decode(QByteArray("\x82 A"));
        QTest::newRow("count below text") << QStringLiteral("ABCDE") << 3 << QStringLiteral("AB");
    }
    void cutToByteCount()
    {
        QFETCH(QString, text);
        QFETCH(int, byteCount);
        QFETCH(QString, result);
        QCOMPARE(CutToByteCount(text, byteCount), result);
    }

    void cutToByteCountLargeDatagram()
    {
        const QString text = QString(65506, u'A') + QStringLiteral("\r");
        QCOMPARE(CutToByteCount(text, 65507).size(), 65506);
        const QString kanji = QString(32753, u'漢') + QStringLiteral("\r");
        QCOMPARE(CutToByteCount(kanji, 65507), QString(32753, u'漢'));
    }

    void parseFileNameFrame_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<bool>("hasAt");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("countFits");
        QTest::addColumn<int>("count");
        QTest::newRow("name and count") << QStringLiteral("^#DATA1@2*68") << true << QStringLiteral("DATA1") << true
                                        << 2;
        QTest::newRow("empty name") << QStringLiteral("^#@12*00") << true << QString() << true << 12;
        QTest::newRow("no digits") << QStringLiteral("^#ORDERS@*00") << true << QStringLiteral("ORDERS") << true << 0;
        QTest::newRow("leading blanks") << QStringLiteral("^#A@  7*00") << true << QStringLiteral("A") << true << 7;
        QTest::newRow("largest") << QStringLiteral("^#A@32767*00") << true << QStringLiteral("A") << true << 32767;
        QTest::newRow("too large") << QStringLiteral("^#A@32768*00") << true << QStringLiteral("A") << false << 0;
        QTest::newRow("huge") << QStringLiteral("^#A@99999999999999999999*00") << true << QStringLiteral("A") << false
                              << 0;
        QTest::newRow("overflowing digits") << QStringLiteral("^#A@") + QString(400, u'9') + QStringLiteral("*00")
                                            << true << QStringLiteral("A") << false << 0;
        QTest::newRow("negative") << QStringLiteral("^#A@-1*00") << true << QStringLiteral("A") << false << 0;
        QTest::newRow("half to even down") << QStringLiteral("^#A@2.5*00") << true << QStringLiteral("A") << true << 2;
        QTest::newRow("half to even up") << QStringLiteral("^#A@3.5*00") << true << QStringLiteral("A") << true << 4;
        QTest::newRow("rounds up") << QStringLiteral("^#A@2.6*00") << true << QStringLiteral("A") << true << 3;
        QTest::newRow("first @ splits") << QStringLiteral("^#A@B@3*00") << true << QStringLiteral("A") << true << 0;
        QTest::newRow("double-byte name")
            << QStringLiteral("^#名前@5*00") << true << QStringLiteral("名前") << true << 5;
        QTest::newRow("no @") << QStringLiteral("^#NAME*00") << false << QString() << true << 0;
    }
    void parseFileNameFrame()
    {
        QFETCH(QString, frame);
        QFETCH(bool, hasAt);
        QFETCH(QString, name);
        QFETCH(bool, countFits);
        QFETCH(int, count);
        const FileNameFrame parsed = ::parseFileNameFrame(frame);
        QCOMPARE(parsed.hasAt, hasAt);
        QCOMPARE(parsed.name, name);
        QCOMPARE(parsed.countFits, countFits);
        QCOMPARE(parsed.count, count);
    }

    void frameData()
    {
        QCOMPARE(::frameData(u"^0A,1*00"), QStringLiteral("A,1"));
        QCOMPARE(::frameData(u"^0*B8"), QString());
        QCOMPARE(::frameData(u"^0"), QString());
    }
};

QTEST_GUILESS_MAIN(TestFrame)
#include "TestFrame.moc"
