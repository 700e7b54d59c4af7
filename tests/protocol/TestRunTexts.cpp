#include "protocol/RunTexts.h"

#include <QDir>
#include <QTest>

class TestRunTexts : public QObject
{
    Q_OBJECT

    static QDateTime at(int hour, int minute, int second = 0)
    {
        return QDateTime(QDate(2026, 12, 6), QTime(hour, minute, second));
    }

private slots:
    void uploadFileNamePart_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("addDate");
        QTest::addColumn<QString>("part");
        const QString s = QDir::separator();
        QTest::newRow("name, date and time")
            << QStringLiteral("DAT") << 4 << s + QStringLiteral("DAT-20261206-0905.txt");
        QTest::newRow("name only") << QStringLiteral("ORDERS") << 0 << s + QStringLiteral("ORDERS.txt");
        QTest::newRow("date replaces name") << QStringLiteral("ORDERS") << 1 << s + QStringLiteral("20261206.txt");
        QTest::newRow("name and date") << QStringLiteral("ORDERS") << 3 << s + QStringLiteral("ORDERS-20261206.txt");
        QTest::newRow("date and time replace name")
            << QStringLiteral("DAT") << 2 << s + QStringLiteral("20261206-0905.txt");
        QTest::newRow("empty name") << QString() << 0 << s + QStringLiteral(".txt");
        QTest::newRow("unknown index acts as 0") << QStringLiteral("DAT") << 5 << s + QStringLiteral("DAT.txt");
        QTest::newRow("negative index acts as 0") << QStringLiteral("DAT") << -1 << s + QStringLiteral("DAT.txt");
        QTest::newRow("second extension") << QStringLiteral("A.txt") << 0 << s + QStringLiteral("A.txt.txt");
    }
    void uploadFileNamePart()
    {
        QFETCH(QString, name);
        QFETCH(int, addDate);
        QFETCH(QString, part);
        QCOMPARE(::uploadFileNamePart(name, static_cast<std::int16_t>(addDate), at(9, 5, 59)), part);
    }

    void safeFileName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("safe");
        QTest::newRow("plain") << QStringLiteral("DATA1") << QStringLiteral("DATA1");
        QTest::newRow("double-byte") << QStringLiteral("売上データ") << QStringLiteral("売上データ");
        QTest::newRow("single dot kept") << QStringLiteral("a.b") << QStringLiteral("a.b");
        QTest::newRow("climbing") << QStringLiteral("../../evil") << QStringLiteral("______evil");
        QTest::newRow("backslash") << QStringLiteral("..\\x") << QStringLiteral("___x");
        QTest::newRow("absolute") << QStringLiteral("/etc/passwd") << QStringLiteral("_etc_passwd");
        QTest::newRow("drive") << QStringLiteral("C:x") << QStringLiteral("C_x");
        QTest::newRow("control characters") << QStringLiteral("a\tb\x7F") << QStringLiteral("a_b_");
        QTest::newRow("bare dot-dot") << QStringLiteral("..") << QStringLiteral("__");
        // What Windows or a share refuses, or reads as another name, never reaches the file system on any platform.
        QTest::newRow("share characters") << QStringLiteral("a*b?c\"d<e>f|g") << QStringLiteral("a_b_c_d_e_f_g");
        QTest::newRow("trailing dots and blanks") << QStringLiteral(" DATA. . ") << QStringLiteral(" DATA");
        QTest::newRow("dots after dot-dot") << QStringLiteral("a...") << QStringLiteral("a__");
        QTest::newRow("nothing but dots and blanks") << QStringLiteral(". .") << QString();
        QTest::newRow("device") << QStringLiteral("CON") << QStringLiteral("CON_");
        QTest::newRow("device in lower case, extension") << QStringLiteral("lpt1.csv") << QStringLiteral("lpt1_.csv");
        QTest::newRow("device, blank before the dot") << QStringLiteral("Aux .x") << QStringLiteral("Aux_ .x");
        QTest::newRow("device once trimmed") << QStringLiteral("nul. ") << QStringLiteral("nul_");
        QTest::newRow("port with superscript") << QStringLiteral("COM\u00B2") << QStringLiteral("COM\u00B2_");
        QTest::newRow("names that only start like one")
            << QStringLiteral("CONSOLE COM10 LPT0.PRN") << QStringLiteral("CONSOLE COM10 LPT0.PRN");
        QTest::newRow("device later in the name") << QStringLiteral("A.CON") << QStringLiteral("A.CON");
    }
    void safeFileName()
    {
        QFETCH(QString, name);
        QFETCH(QString, safe);
        QCOMPARE(::safeFileName(name), safe);
    }

    void saveFolderPaths_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("trimmed");
        QTest::addColumn<QString>("path");
        const QString s = QDir::separator();
        QTest::newRow("no separator") << s + QStringLiteral("data") << s + QStringLiteral("data")
                                      << s + QStringLiteral("data") + s + QStringLiteral("DAT.txt");
        QTest::newRow("trailing separator") << s + QStringLiteral("data") + s << s + QStringLiteral("data")
                                            << s + QStringLiteral("data") + s + QStringLiteral("DAT.txt");
        QTest::newRow("drive root") << QStringLiteral("D:") + s << QStringLiteral("D:")
                                    << QStringLiteral("D:") + s + QStringLiteral("DAT.txt");
        QTest::newRow("bare root") << s << s << s + QStringLiteral("DAT.txt");
    }
    void saveFolderPaths()
    {
        QFETCH(QString, folder);
        QFETCH(QString, trimmed);
        QFETCH(QString, path);
        QCOMPARE(trimSaveFolder(folder), trimmed);
        QCOMPARE(joinFolder(trimSaveFolder(folder), QDir::separator() + QStringLiteral("DAT.txt")), path);
    }

    void texts()
    {
        QCOMPARE(clockCommand(at(9, 5, 7)), QStringLiteral("TW20261206090507"));
        QCOMPARE(clockCommand(at(23, 59, 58)), QStringLiteral("TW20261206235958"));

        QCOMPARE(blankNumber(0), QStringLiteral(" 0"));
        QCOMPARE(blankNumber(12), QStringLiteral(" 12"));
        QCOMPARE(blankNumber(40000), QStringLiteral(" 40000"));
        QCOMPARE(blankNumber(-3), QStringLiteral("-3"));

        QCOMPARE(logLine(at(9, 5, 7), 0, QStringLiteral("^#DATA1@2*68")),
                 QStringLiteral("\"2026/12/06\",\"09:05:07\",\" 0\",\"^#DATA1@2*68\""));
        // Quotes in a reply are written as they came; a time-out leaves the last field empty.
        QCOMPARE(logLine(at(14, 0, 1), 3, QStringLiteral("^3a\"b*00")),
                 QStringLiteral("\"2026/12/06\",\"14:00:01\",\" 3\",\"^3a\"b*00\""));
        QCOMPARE(logLine(at(14, 0, 1), 3, QString()), QStringLiteral("\"2026/12/06\",\"14:00:01\",\" 3\",\"\""));

        QCOMPARE(recordStatusText(12, 12), QStringLiteral("ﾚｺｰﾄﾞ受信 :  12/12"));
        QCOMPARE(recordStatusText(40000, 100), QStringLiteral("ﾚｺｰﾄﾞ受信 :  40000/100"));
        QCOMPARE(completedStatusText(2), QStringLiteral("ﾚｺｰﾄﾞ受信<2> : 正常終了"));
        QCOMPARE(fileErrorText(QStringLiteral("<BackFile> "), SystemError{2, QStringLiteral("No such file")}),
                 QStringLiteral("<BackFile>  2:No such file"));
        QCOMPARE(fileErrorNumberText(SystemError{28, QStringLiteral("No space")}), QStringLiteral(" 28:No space"));

        // Who holds the local port, with only the parts the system told.
        const QString held =
            QStringLiteral("UDP通信 : ﾛｰｶﾙﾎﾟｰﾄ 6000 は他のﾌﾟﾛｸﾞﾗﾑが使用中です。空くまで30秒ごとに再試行します");
        QCOMPARE(portInUseStatusText(6000, std::nullopt), held);
        QCOMPARE(portInUseStatusText(6000, PortHolder{}), held);
        QCOMPARE(portInUseStatusText(6000, PortHolder{QString(), 77, QString(), 0}),
                 held + QStringLiteral(" (PID 77, ｾｯｼｮﾝ 0)"));
    }
};

QTEST_GUILESS_MAIN(TestRunTexts)
#include "TestRunTexts.moc"
