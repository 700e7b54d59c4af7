#include "ui/TrayTexts.h"

#include <QTest>

class TestTrayTexts : public QObject
{
    Q_OBJECT

private slots:
    void fitsWhatWindowsShows_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("shown");
        // The reason and the system's error stay whole; the share's middle gives way, then nothing else needs to.
        QTest::newRow("share")
            << QStringLiteral(
                   "ZELBO_UDP - 通信中\n異常: 保存ﾌｫﾙﾀﾞが存在しません : \\\\fileserver01\\共有\\営業部\\東京支店\\"
                   "2026年度\\ﾊﾝﾃﾞｨ\\受信データ\\ZELBO\\HT-01\\送信済み\\今月分 53:ネットワーク パスが見つかりません。"
                   "\n最終受信 2026/12/08 10:15:00 ACK")
            << 127
            << QStringLiteral(
                   "ZELBO_UDP - 通信中\n異常: 保存ﾌｫﾙﾀﾞが存在しません : \\\\fileserver…受信データ\\ZELBO\\HT-01\\"
                   "送信済み\\今月分 53:ネットワーク パスが見つかりません。\n最終受信 2026/12/08 10:15:00 ACK");
        QTest::newRow("blanks in folder names")
            << QStringLiteral(
                   "保存ﾌｫﾙﾀﾞが存在しません : D:\\My Documents\\Handy Terminal\\Data 2026\\受信 3:指定されたパスが"
                   "見つかりません。")
            << 60
            << QStringLiteral(
                   "保存ﾌｫﾙﾀﾞが存在しません : D:\\My D…nal\\Data 2026\\受信 3:指定されたパスが見つかりません。");
        QTest::newRow("a URL is no path")
            << QStringLiteral(
                   "ﾒｰﾙのﾊﾟｽﾜｰﾄﾞが保存されていません。設定で入力してください : smtp://user@mail.example.co.jp:587")
            << 40 << QStringLiteral("ﾒｰﾙのﾊﾟｽﾜｰﾄﾞが保存されていません。設定で入力してください : smt…");
        QTest::newRow("path too short to give way")
            << QStringLiteral("保存ﾌｫﾙﾀﾞが存在しません : D:\\受信 3:指定されたパスが見つかりません。") << 20
            << QStringLiteral("保存ﾌｫﾙﾀﾞが存在しません : D:…");
        QTest::newRow("surrogate pair kept whole") << QStringLiteral("a𠮷𠮷") << 3 << QStringLiteral("a…");
    }
    void fitsWhatWindowsShows()
    {
        QFETCH(QString, text);
        QFETCH(int, limit);
        QFETCH(QString, shown);
        QCOMPARE(fitTrayText(text, limit), shown);
        QVERIFY(shown.size() <= limit);
    }
};

QTEST_GUILESS_MAIN(TestTrayTexts)
#include "TestTrayTexts.moc"
