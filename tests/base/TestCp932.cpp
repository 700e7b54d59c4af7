#include "base/Cp932.h"

#include <QFile>
#include <QTest>

namespace {

bool isPrivateUse(QChar c)
{
    return c.unicode() >= 0xE000 && c.unicode() <= 0xF8FF;
}

} // namespace

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
        // Single bytes outside ASCII and katakana, as code page 932 maps them.
        QTest::newRow("0x80 0xA0 0xFD-0xFF")
            << QStringLiteral("\u0080\uF8F0\uF8F1\uF8F2\uF8F3") << QByteArray("\x80\xA0\xFD\xFE\xFF");
        QTest::newRow("user-defined area")
            << QStringLiteral("\uE000\uE0BC\uE757") << QByteArray("\xF0\x40\xF1\x40\xF9\xFC");
        // A character with several codes decodes from, and encodes to, the code the Windows encoder writes.
        QTest::newRow("NEC row 13 only") << QStringLiteral("①") << QByteArray("\x87\x40");
        QTest::newRow("JIS over NEC row 13") << QStringLiteral("\u2252") << QByteArray("\x81\xE0");
        QTest::newRow("NEC row 13 over IBM") << QStringLiteral("\u3231") << QByteArray("\x87\x8A");
        QTest::newRow("IBM over NEC-selected") << QStringLiteral("\u7E8A\u2170") << QByteArray("\xFA\x5C\xFA\x40");
        QTest::newRow("JIS over both IBM") << QStringLiteral("\uFFE2") << QByteArray("\x81\xCA");
    }
    void roundTrip()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(Cp932::encode(text), bytes);
        QCOMPARE(Cp932::decode(bytes), text);
        QCOMPARE(Cp932::byteCount(text), bytes.size());
    }

    void everyCodeSurvivesText()
    {
        // Every single byte, and every lead byte before every second byte (a pair, or a lone lead and its follower).
        QList<QByteArray> inputs;
        for (int b = 0; b < 256; ++b) {
            inputs.append(QByteArray(1, char(b)));
        }
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (lead > 0x9F && lead < 0xE0) {
                continue;
            }
            for (int second = 0; second < 256; ++second) {
                const char pair[2] = {char(lead), char(second)};
                inputs.append(QByteArray(pair, 2));
            }
        }
        QCOMPARE(inputs.size(), 256 + 60 * 256);
        for (const QByteArray& bytes : inputs) {
            const QString text = Cp932::decode(bytes);
            const auto second = bytes.size() == 2 ? static_cast<unsigned char>(bytes[1]) : 0;
            const bool pair = bytes.size() == 2 && second >= 0x40 && second <= 0xFC && second != 0x7F;
            QVERIFY2(text.size() == (pair ? 1 : bytes.size()) && !text.contains(QChar(QChar::ReplacementCharacter)),
                     bytes.toHex().constData());
            QVERIFY2(Cp932::encode(text) == bytes, bytes.toHex().constData());
            QVERIFY2(Cp932::byteCount(text) == bytes.size(), bytes.toHex().constData());
            QVERIFY2(Cp932::charByteCount(text[0].unicode()) == (pair ? 2 : 1), bytes.toHex().constData());
        }

        // Codes that would otherwise come back as other bytes keep their own private-use character.
        for (const QByteArray& bytes : {QByteArray("\xED\x40"), QByteArray("\x87\x90"), QByteArray("\xFA\x58"),
                                        QByteArray("\xEE\xF9"), QByteArray("\x85\x40"), QByteArray("\x82")}) {
            const QString text = Cp932::decode(bytes);
            QVERIFY2(text.size() == 1 && isPrivateUse(text[0]) && text[0].unicode() >= 0xE758,
                     bytes.toHex().constData());
        }
        const QString loneLead = Cp932::decode(QByteArray("A\x82\r"));
        QCOMPARE(loneLead.size(), 3);
        QCOMPARE(loneLead.back(), u'\r');
    }

    void textAsShown()
    {
        // Every duplicate code reads as the character an independent decoder gives it (reference file
        // generated once from Python's cp932 decoder), and writing that character back gives the preferred code.
        QFile reference(qEnvironmentVariable("ZELBO_SOURCE_DIR") + QStringLiteral("/tests/base/cp932_duplicates.txt"));
        QVERIFY(reference.open(QIODevice::ReadOnly));
        int count = 0;
        while (!reference.atEnd()) {
            const QList<QByteArray> columns = reference.readLine().trimmed().split(' ');
            QCOMPARE(columns.size(), 2);
            const QByteArray bytes = QByteArray::fromHex(columns[0]);
            const QString expected(QChar(char16_t(columns[1].toUShort(nullptr, 16))));
            QVERIFY2(Cp932::decodeShown(bytes) == expected, columns[0].constData());
            QVERIFY2(Cp932::decode(Cp932::encode(expected)) == expected, columns[0].constData());
            ++count;
        }
        QCOMPARE(count, 398);

        // In context: the 0x5C trail byte stays in its character; what is no character becomes "・".
        QCOMPARE(Cp932::decodeShown(QByteArray("\xEE\xE0\x87\x90\x95\x5C.txt")), QStringLiteral("髙≒表.txt"));
        QCOMPARE(Cp932::decodeShown(QByteArray("A\x85\x40|\x80\xA0\xFD\xFF|\xF0\x40\xB1\x82")),
                 QStringLiteral("A・|・・・・|\uE000ｱ・"));
        QCOMPARE(Cp932::shown(Cp932::decode(QByteArray("\xED\x40\xFA\x5C"))), QStringLiteral("纊纊"));
    }

    void unencodable()
    {
        // A character outside the code page becomes one "?", surrogate pairs included; nothing around it is lost.
        QCOMPARE(Cp932::encode(QStringLiteral("a\u00E9b")), QByteArray("a?b"));
        QCOMPARE(Cp932::encode(QStringLiteral("\u301C\u6D4B")), QByteArray("??"));
        QCOMPARE(Cp932::encode(QString::fromUcs4(U"x\U0001F600y")), QByteArray("x?y"));
        QCOMPARE(Cp932::encode(QString(QChar(0xD83D)) + u'z'), QByteArray("?z"));
        QCOMPARE(Cp932::byteCount(QString::fromUcs4(U"\U0001F600\u301Cあ")), 4);
        QCOMPARE(Cp932::charByteCount(U'\U0001F600'), 1);
        QCOMPARE(Cp932::charByteCount(U'\u301C'), 1);
        QCOMPARE(Cp932::charByteCount(U'あ'), 2);
        QCOMPARE(Cp932::charByteCount(U'ｱ'), 1);
        QCOMPARE(Cp932::charByteCount(U'A'), 1);

        // Text kept through the code page: "①" and half-width katakana survive, WAVE DASH does not.
        QCOMPARE(Cp932::decode(Cp932::encode(QStringLiteral("①ｶﾅ"))), QStringLiteral("①ｶﾅ"));
        QCOMPARE(Cp932::decode(Cp932::encode(QStringLiteral("1\u301C2"))), QStringLiteral("1?2"));
    }

    void roundTrips()
    {
        QVERIFY(Cp932::roundTrips(QStringLiteral("C:\\棚卸\\①ｶﾅ")));
        QVERIFY(Cp932::roundTrips(QString()));
        QVERIFY(!Cp932::roundTrips(QStringLiteral("1\u301C2")));
        QVERIFY(!Cp932::roundTrips(QString::fromUcs4(U"x\U0001F600y")));
        QVERIFY(!Cp932::roundTrips(QStringLiteral("caf\u00E9")));
    }
};

QTEST_GUILESS_MAIN(TestCp932)
#include "TestCp932.moc"
