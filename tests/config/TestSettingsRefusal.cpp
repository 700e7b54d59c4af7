#include "config/RefusalRules.h"

#include "config/MailSignInRules.h"

#include <QTest>

class TestSettingsRefusal : public QObject
{
    Q_OBJECT

private slots:
    // The rules apply in order and the first that fails decides the message.
    void refusesWhatMustNotReachTheFile()
    {
        const QString mailMessage = QStringLiteral("宛先ﾒｰﾙｱﾄﾞﾚｽ(To)\r\n差出人ﾒｰﾙｱﾄﾞﾚｽ(From)\r\nﾒｰﾙｻｰﾊﾞｰ\r\n"
                                                   "のいずれかが入力されていません！！");
        Settings s;
        s.SaveFolder = QStringLiteral("D:\\受信");
        QCOMPARE(settingsRefusal(s), QString());

        // Mail on (exactly 1) needs recipient, sender and server; the subject may stay empty.
        s.MailAddress = QStringLiteral("to@example.com");
        s.FromMailAddress = QStringLiteral("from@example.com");
        s.SendMail = -1;
        QCOMPARE(settingsRefusal(s), QString());
        s.SendMail = 1;
        QCOMPARE(settingsRefusal(s), mailMessage);
        s.MailServer = QStringLiteral("127.0.0.1");
        QCOMPARE(settingsRefusal(s), QString());

        // The mail rule first; then every field holding a quote, one a line; only then text cp932 cannot hold.
        s.RemoteHost = QStringLiteral("a\"b");
        s.MailSub = QStringLiteral("\"");
        s.FixFname = QStringLiteral("4月\u301C6月");
        s.MailServer.clear();
        QCOMPARE(settingsRefusal(s), mailMessage);
        s.MailServer = QStringLiteral("127.0.0.1");
        QCOMPARE(settingsRefusal(s), QStringLiteral("ﾘﾓｰﾄﾎｽﾄ\r\n件名\r\nに \" (ﾀﾞﾌﾞﾙｸｫｰﾃｰｼｮﾝ) は使用できません！！"));
        s.RemoteHost = QStringLiteral("127.0.0.1");
        s.MailSub = QStringLiteral("棚卸①ｳﾘｱｹﾞ");
        s.SaveFolder = QStringLiteral("D:\\测试");
        QCOMPARE(settingsRefusal(s),
                 QStringLiteral("保存ﾌｫﾙﾀﾞ\r\n保存ﾌｧｲﾙ名\r\nに使用できない文字が含まれています！！"));

        // Last, a fixed name the run would store under another name.
        const QString nameMessage =
            QStringLiteral("保存ﾌｧｲﾙ名\r\nに \\ / : * ? < > | と .. 、末尾の . と空白、\r\n"
                           "CON PRN AUX NUL COM1～COM9 LPT1～LPT9 という名前は使用できません！！");
        s.SaveFolder = QStringLiteral("D:\\受信");
        for (const QString& name : {QStringLiteral("売上*"), QStringLiteral("lpt3.dat"), QStringLiteral("ORDERS ")}) {
            s.FixFname = name;
            QCOMPARE(settingsRefusal(s), nameMessage);
        }
        s.FixFname = QStringLiteral("棚卸.CON");
        QCOMPARE(settingsRefusal(s), QString());
    }

    // Sign-in data belongs in the user name and the credential store: the dialog refuses it in the server text.
    void signInDataInTheServerTextIsRefused()
    {
        for (const char* server : {"smtp://u:p@127.0.0.1:587", "u@example.jp@10.0.0.5", "smtps://u@mail.example.jp"}) {
            QVERIFY2(mailServerHasCredentials(QString::fromLatin1(server)), server);
        }
        for (const char* server : {"mail.example.jp:587", "[::1]:25", "smtp://mail.example.jp/x@y"}) {
            QVERIFY2(!mailServerHasCredentials(QString::fromLatin1(server)), server);
        }
        Settings s;
        s.MailServer = QStringLiteral("smtp://u:p@127.0.0.1:587");
        QVERIFY(settingsRefusal(s).startsWith(QStringLiteral("ﾒｰﾙｻｰﾊﾞｰ\r\nにﾕｰｻﾞｰ名やﾊﾟｽﾜｰﾄﾞ")));
    }

    // The password at OK, for a dialog opened with taro on smtp.example.jp: what is typed is stored; with mail on,
    // nothing typed passes only for the same pair with a password stored, else the store's answer decides.
    void mailPasswordAtOk()
    {
        const QString server = QStringLiteral("smtp.example.jp");
        const auto step = [&](const QString& to, const char* user, int sendMail, StoredPassword loaded, bool typed) {
            Settings edit;
            edit.MailServer = to;
            edit.MailUser = QString::fromLatin1(user);
            edit.SendMail = static_cast<std::int16_t>(sendMail);
            return mailPasswordStep(edit, {server, QStringLiteral("taro"), loaded}, typed);
        };
        using enum StoredPassword;
        QCOMPARE(step(server, " ", 1, No, true), MailPasswordStep::Accept);
        QCOMPARE(step(server, "taro", 0, Yes, true), MailPasswordStep::StoreTyped);
        QCOMPARE(step(server, " taro ", 1, Yes, false), MailPasswordStep::Accept);
        QCOMPARE(step(server, "taro", 7, No, false), MailPasswordStep::Accept); // mail on is exactly 1
        QCOMPARE(step(server, "taro", 1, No, false), MailPasswordStep::AskStore);
        QCOMPARE(step(server, "hanako", 1, Yes, false), MailPasswordStep::AskStore);
        QCOMPARE(step(QStringLiteral("mail.example.jp"), "taro", 1, Yes, false), MailPasswordStep::AskStore);

        const QString enter = QStringLiteral("ﾒｰﾙのﾊﾟｽﾜｰﾄﾞを入力してください");
        QCOMPARE(mailPasswordRefusal(Yes, false, QString()), QString());
        QCOMPARE(mailPasswordRefusal(No, true, QString()), enter);
        QCOMPARE(mailPasswordRefusal(No, false, QString()),
                 QStringLiteral("ﾒｰﾙｻｰﾊﾞｰかﾕｰｻﾞｰ名が変わりました\r\n") + enter);
        QVERIFY(mailPasswordRefusal(NoStore, true, QStringLiteral("no store")).contains(u"\r\nno store\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestSettingsRefusal)
#include "TestSettingsRefusal.moc"
