#include "output/MailSender.h"

#include "base/Cp932.h"
#include "config/Settings.h"
#include "fakes/FakePasswordStore.h"
#include "fakes/TestFiles.h"
#include "output/SmtpServer.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <optional>

using namespace std::chrono_literals;

class TestMailSender : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    MailSender::Mail mailTo(const QString& server, const QString& attachment)
    {
        return {QStringLiteral("office@example.com"),
                QStringLiteral("terminal@example.com"),
                QStringLiteral("データ"),
                QString(),
                attachment,
                server,
                QString(),
                std::nullopt};
    }

private slots:
    void delivered_data()
    {
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("japanese subject, ascii name")
            << QStringLiteral("ｱｯﾌﾟﾛｰﾄﾞﾃﾞｰﾀ 送信") << QStringLiteral("UP20240105.txt");
        QTest::newRow("long subject over several encoded words, japanese name")
            << QStringLiteral("棚卸データ（本社倉庫・第二営業所・第三営業所）の送付について ご確認ください")
            << QStringLiteral("端末ＴＲ３０_20240105.txt");
        QTest::newRow("empty subject") << QString() << QStringLiteral("UPLOAD.txt");
#ifdef Q_OS_WIN
        // No Windows file name holds '"'; ';' and '=' still have to stay inside the quoted name.
        const QString specialName = QStringLiteral("a 'b';c=d.txt");
#else
        const QString specialName = QStringLiteral("a \"b\".txt");
#endif
        QTest::newRow("ascii subject") << QStringLiteral("Inventory =? upload") << specialName;
    }
    void delivered()
    {
        QFETCH(QString, subject);
        QFETCH(QString, fileName);
        SmtpServer server(QStringLiteral("accept"));
        QVERIFY(server.port() != 0);
        // cp932 with a 0x5C trail byte, half-width katakana, CR LF, a lone LF and a NUL: all must arrive unchanged.
        const QByteArray bytes = Cp932::encode(QStringLiteral("表示,ｱｲｳ,001\r\n漢字,2\n")) + QByteArray("x\0y\r\n", 5);
        const QString path = writeTestFile(m_dir.path(), fileName, bytes);
        QVERIFY(!path.isEmpty());

        MailSender sender;
        MailSender::Mail mail = mailTo(server.address(), path);
        mail.subject = subject;
        QString mailError = QStringLiteral("earlier");
        QVERIFY2(sender.send(mail, mailError), qPrintable(mailError));
        QCOMPARE(mailError, QStringLiteral("earlier"));

        QCOMPARE(server.messageCount(), 1);
        const QJsonObject got = server.message(1);
        QCOMPARE(got.value(QLatin1String("mail_from")).toString(), QStringLiteral("terminal@example.com"));
        QCOMPARE(got.value(QLatin1String("rcpt_tos")).toArray(), QJsonArray({QStringLiteral("office@example.com")}));
        QCOMPARE(got.value(QLatin1String("to")).toString(), QStringLiteral("office@example.com"));
        QCOMPARE(got.value(QLatin1String("from")).toString(), QStringLiteral("terminal@example.com"));
        QCOMPARE(got.value(QLatin1String("subject")).toString(), subject);
        QVERIFY(got.value(QLatin1String("date")).toBool());
        QCOMPARE(got.value(QLatin1String("bodies")).toArray(), QJsonArray({QString()}));
        const QJsonArray attachments = got.value(QLatin1String("attachments")).toArray();
        QCOMPARE(attachments.size(), 1);
        const QJsonObject attachment = attachments.at(0).toObject();
        QCOMPARE(attachment.value(QLatin1String("filename")).toString(), fileName);
        QCOMPARE(server.read(1, attachment.value(QLatin1String("file")).toString()), bytes);
    }

    // A user signs in over TLS only: with a wrong password and the stored one on a STARTTLS server; sign-in data in the
    // server text is never used; a server without STARTTLS never hears AUTH, nor does any server without a password.
    void signsInOnlyOverTls()
    {
        SmtpServer tls(QStringLiteral("tls-auth"));
        SmtpServer plain(QStringLiteral("auth"));
        QVERIFY(tls.port() != 0 && plain.port() != 0);
        const QString path = writeTestFile(m_dir.path(), QStringLiteral("AUTH.txt"), QByteArray("1,2\r\n"));
        FakePasswordStore store;
        store.passwords.insert({tls.address(), QStringLiteral("zelbo")}, QStringLiteral("secret"));
        store.passwords.insert({plain.address(), QStringLiteral("zelbo")}, QStringLiteral("secret"));
        MailSender sender;
        sender.setTimeouts(2s, 10s);
        sender.setCaFile(tls.certificatePath());
        sender.setPasswordStore(&store);
        QString mailError;
        QString reply;

        MailSender::Mail mail = mailTo(tls.address(), path);
        mail.user = QStringLiteral("zelbo");
        mail.password = QStringLiteral("wrong");
        QVERIFY(!sender.send(mail, mailError, &reply));
        QVERIFY2(mailError.startsWith(QStringLiteral("67 ")) && mailError.contains(QStringLiteral("535")),
                 qPrintable(mailError)); // CURLE_LOGIN_DENIED with the server's refusal
        mail.password.reset();
        QVERIFY2(sender.send(mail, mailError, &reply), qPrintable(mailError));
        QVERIFY2(reply.startsWith(QStringLiteral("250")), qPrintable(reply));
        QCOMPARE(tls.messageCount(), 1);
        QVERIFY(tls.message(1).value(QLatin1String("authenticated")).toBool());
        QVERIFY(!tls.authLog().contains("tls=False"));

        // The dialog's test message: marked in its subject, no attachment.
        Settings settings;
        settings.MailAddress = mail.to;
        settings.FromMailAddress = mail.from;
        settings.MailSub = QStringLiteral("棚卸");
        settings.MailServer = tls.address();
        settings.MailUser = QStringLiteral("zelbo");
        QVERIFY2(sender.send(MailSender::testMail(settings), mailError), qPrintable(mailError));
        QCOMPARE(tls.message(2).value(QLatin1String("subject")).toString(), QStringLiteral("[ﾃｽﾄ送信] 棚卸"));
        QVERIFY(tls.message(2).value(QLatin1String("attachments")).toArray().isEmpty());

        QVERIFY(!sender.send(mailTo(QStringLiteral("smtp://zelbo:secret@") + tls.address(), path), mailError));
        QVERIFY2(mailError.contains(QStringLiteral("530")), qPrintable(mailError));
        QCOMPARE(tls.messageCount(), 2);

        mail.server = plain.address();
        QVERIFY(!sender.send(mail, mailError));
        QVERIFY2(mailError.startsWith(QStringLiteral("64 ")) && mailError.contains(QStringLiteral("TLS")),
                 qPrintable(mailError)); // CURLE_USE_SSL_FAILED
        mail.user = QStringLiteral("nobody");
        QVERIFY(!sender.send(mail, mailError));
        QVERIFY2(mailError.contains(QStringLiteral("保存されていません")), qPrintable(mailError));
        QCOMPARE(plain.messageCount(), 0);
        QCOMPARE(plain.authLog(), QByteArray());
    }

    void failures_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("server");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("detail");
        QTest::newRow("nothing listening") << QString() << QString() << 7 << QStringLiteral("connect");
        QTest::newRow("recipient refused")
            << QStringLiteral("reject") << QString() << 55 << QStringLiteral("550 5.1.1 <office@example.com>");
        QTest::newRow("server never answers")
            << QStringLiteral("silent") << QString() << 28 << QStringLiteral("imeout");
        QTest::newRow("unknown host") << QString() << QStringLiteral("mail.zelbo.invalid") << 6
                                      << QStringLiteral("mail.zelbo.invalid");
        QTest::newRow("missing attachment")
            << QStringLiteral("accept") << QString() << 26 << QStringLiteral("NOFILE.txt");
    }
    void failures()
    {
        QFETCH(QString, mode);
        QFETCH(QString, server);
        QFETCH(int, number);
        QFETCH(QString, detail);

        std::optional<SmtpServer> smtp;
        if (!mode.isEmpty()) {
            smtp.emplace(mode);
            QVERIFY(smtp->port() != 0);
            server = smtp->address();
        } else if (server.isEmpty()) {
            // A port that was free a moment ago: the connection is refused.
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            server = QStringLiteral("127.0.0.1:") + QString::number(probe.serverPort());
        }
        const QString path = detail == QLatin1String("NOFILE.txt")
                                 ? m_dir.filePath(detail)
                                 : writeTestFile(m_dir.path(), QStringLiteral("F.txt"), "a\r\n");

        MailSender sender;
        sender.setTimeouts(1s, 2s);
        QString mailError = QStringLiteral("earlier");
        QElapsedTimer elapsed;
        elapsed.start();
        QVERIFY(!sender.send(mailTo(server, path), mailError));
        // The short bound applies: without it a silent server would hold the send for a minute.
        QVERIFY(elapsed.elapsed() < 20000);

        static const QRegularExpression shape(QStringLiteral("^(\\d+) (.+)「SMTP」$"));
        const QRegularExpressionMatch match = shape.match(mailError);
        QVERIFY2(match.hasMatch(), qPrintable(mailError));
        QCOMPARE(match.captured(1).toInt(), number);
        QVERIFY2(match.captured(2).contains(detail), qPrintable(mailError));
        if (smtp) {
            QCOMPARE(smtp->messageCount(), 0);
        }
    }

    void boundedWhenServerFallsSilent_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("after the message body") << QStringLiteral("mute-data") << false;
        QTest::newRow("at QUIT, message accepted") << QStringLiteral("mute-quit") << true;
    }
    void boundedWhenServerFallsSilent()
    {
        QFETCH(QString, mode);
        QFETCH(bool, accepted);
        SmtpServer server(mode);
        QVERIFY(server.port() != 0);
        const QString path = writeTestFile(m_dir.path(), QStringLiteral("M.txt"), "a\r\n");
        MailSender sender;
        sender.setTimeouts(1s, 3s);
        QString mailError;
        QElapsedTimer elapsed;
        elapsed.start();
        QCOMPARE(sender.send(mailTo(server.address(), path), mailError), accepted);
        // The bound covers closing the connection too; libcurl checks it about once a second.
        QVERIFY2(elapsed.elapsed() < 4500, qPrintable(QString::number(elapsed.elapsed())));
        // The server had the whole message before it fell silent.
        QCOMPARE(server.messageCount(), 1);
        if (!accepted) {
            QVERIFY2(mailError.startsWith(QStringLiteral("28 ")), qPrintable(mailError)); // CURLE_OPERATION_TIMEDOUT
        }
    }

    void callerKeepsHandlingEvents()
    {
        SmtpServer server(QStringLiteral("silent"));
        QVERIFY(server.port() != 0);
        const QString path = writeTestFile(m_dir.path(), QStringLiteral("E.txt"), "a\r\n");
        int ticks = 0;
        QTimer timer;
        timer.setInterval(50);
        connect(&timer, &QTimer::timeout, this, [&ticks] { ++ticks; });
        timer.start();
        MailSender sender;
        sender.setTimeouts(1s, 1500ms);
        QString mailError;
        QVERIFY(!sender.send(mailTo(server.address(), path), mailError));
        timer.stop();
        // The send blocks a worker thread only; the caller's timers kept firing meanwhile.
        QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
    }
};

QTEST_GUILESS_MAIN(TestMailSender)
#include "TestMailSender.moc"
