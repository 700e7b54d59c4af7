#include "config/Cp932.h"

#include <QTest>

class TestCp932 : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii") << QStringLiteral("ABC,1\r\n") << QByteArray("ABC,1\r\n");
        QTest::newRow("hiragana") << QStringLiteral("あ") << QByteArray("\x82\xA0");
        QTest::newRow("half-width katakana") << QStringLiteral("ｱﾞ") << QByteArray("\xB1\xDE");
        QTest::newRow("kanji and yen sign byte") << QStringLiteral("表\\") << QByteArray("\x95\x5C\x5C");
        QTest::newRow("empty") << QString() << QByteArray();
    }
    void roundTrip()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(Cp932::encode(text), bytes);
        QCOMPARE(Cp932::decode(bytes), text);
        QCOMPARE(Cp932::byteCount(text), bytes.size());
    }

    void unencodableAndInvalid()
    {
        // A character outside the code page becomes one "?", as the ANSI file routines did.
        QCOMPARE(Cp932::encode(QStringLiteral("a\u00E9b")), QByteArray("a?b"));
        QCOMPARE(Cp932::encode(QString::fromUcs4(U"\U0001F600")), QByteArray("?"));
        // A lone lead byte at the end and an undefined byte each become one replacement character.
        QCOMPARE(Cp932::decode(QByteArray("A\x82")), QStringLiteral("A\uFFFD"));
        QCOMPARE(Cp932::decode(QByteArray("\xFF"
                                          "B")),
                 QStringLiteral("\uFFFDB"));
        QCOMPARE(Cp932::charByteCount(U'あ'), 2);
        QCOMPARE(Cp932::charByteCount(U'ｱ'), 1);
        QCOMPARE(Cp932::charByteCount(U'A'), 1);
    }
};

QTEST_GUILESS_MAIN(TestCp932)
#include "TestCp932.moc"
