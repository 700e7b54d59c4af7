#include "output/MailHeaders.h"

#include <QTest>

class TestMailHeaders : public QObject
{
    Q_OBJECT

private slots:
    void serverUrl_data()
    {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("url");
        QTest::newRow("host") << QStringLiteral("mail.example.com") << QStringLiteral("smtp://mail.example.com:25");
        QTest::newRow("host and port") << QStringLiteral(" 10.0.0.5:587 ") << QStringLiteral("smtp://10.0.0.5:587");
        QTest::newRow("bare ipv6") << QStringLiteral("::1") << QStringLiteral("smtp://[::1]:25");
        QTest::newRow("bracketed ipv6") << QStringLiteral("[::1]") << QStringLiteral("smtp://[::1]:25");
        QTest::newRow("bracketed ipv6 and port") << QStringLiteral("[::1]:2525") << QStringLiteral("smtp://[::1]:2525");
        // Sign-in data in the text is never used.
        QTest::newRow("smtp url with login")
            << QStringLiteral("smtp://u:p@mail.example.com:587") << QStringLiteral("smtp://mail.example.com:587");
        QTest::newRow("user without scheme")
            << QStringLiteral("a@b.jp@10.0.0.5") << QStringLiteral("smtp://10.0.0.5:25");
        QTest::newRow("smtps url") << QStringLiteral("SMTPS://mail.example.com")
                                   << QStringLiteral("SMTPS://mail.example.com");
    }
    void serverUrl()
    {
        QFETCH(QString, server);
        QFETCH(QString, url);
        QCOMPARE(MailHeaders::serverUrl(server), url);
    }

    void longTextBecomesEncodedWordsOfAtMost75Characters()
    {
        const QString subject = QStringLiteral("棚卸データ（本社倉庫・第二営業所）の送付について😀 ご確認ください");
        const QByteArray encoded = MailHeaders::encodeHeaderText(subject);
        QByteArray decoded;
        const QList<QByteArray> words = encoded.split('\n');
        QVERIFY(words.size() > 1);
        for (QByteArray word : words) {
            word = word.trimmed();
            QVERIFY2(word.size() <= 75 && word.startsWith("=?UTF-8?B?") && word.endsWith("?="), word.constData());
            // Each word decodes on its own: no character is split between two.
            const QByteArray bytes = QByteArray::fromBase64(word.mid(10, word.size() - 12));
            QVERIFY(QString::fromUtf8(bytes).toUtf8() == bytes);
            decoded += bytes;
        }
        QCOMPARE(QString::fromUtf8(decoded), subject);
        // ASCII that a reader would take for an encoded-word is encoded too.
        QVERIFY(MailHeaders::encodeHeaderText(QStringLiteral("=?x?=")).startsWith("=?UTF-8?B?"));
        QCOMPARE(MailHeaders::encodeHeaderText(QStringLiteral("Inventory")), QByteArray("Inventory"));
    }

    void messageIdDomainFallsBackToLocalhost_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QByteArray>("domain");
        QTest::newRow("address") << QStringLiteral("terminal@example.com") << QByteArray("example.com");
        QTest::newRow("no domain") << QStringLiteral("terminal") << QByteArray("localhost");
        QTest::newRow("angle brackets would end the id")
            << QStringLiteral("T <t@example.com>") << QByteArray("localhost");
        QTest::newRow("non-ASCII domain") << QStringLiteral("t@例え.jp") << QByteArray("localhost");
    }
    void messageIdDomainFallsBackToLocalhost()
    {
        QFETCH(QString, from);
        QFETCH(QByteArray, domain);
        QCOMPARE(MailHeaders::messageIdDomain(from), domain);
    }
};

QTEST_GUILESS_MAIN(TestMailHeaders)
#include "TestMailHeaders.moc"
