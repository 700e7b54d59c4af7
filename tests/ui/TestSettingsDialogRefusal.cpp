// What the settings dialog's OK refuses, and the dialog stays open: missing mail fields, the mail sign-in's password,
// double quotes, and text the settings file cannot hold.

#include "SettingsDialogFixture.h"

#include "base/Cp932.h"
#include "fakes/FakePasswordStore.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QTest>
#include <QTreeWidget>

namespace {

const QString MailMessage = QStringLiteral("宛先ﾒｰﾙｱﾄﾞﾚｽ(To)\r\n差出人ﾒｰﾙｱﾄﾞﾚｽ(From)\r\nﾒｰﾙｻｰﾊﾞｰ\r\n"
                                           "のいずれかが入力されていません！！");

} // namespace

class TestSettingsDialogRefusal : public QObject, private SettingsDialogFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { nameApplication(); }
    void init() { openFixture(); }
    void cleanup() { closeFixture(); }

    void mailCheck_data()
    {
        QTest::addColumn<bool>("sendMail");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("saved");
        const QString to = QStringLiteral("to@example.invalid");
        const QString from = QStringLiteral("from@example.invalid");
        const QString server = QStringLiteral("127.0.0.1");
        QTest::newRow("mail clear, all empty") << false << QString() << QString() << QString() << true;
        QTest::newRow("mail ticked, all filled, no subject") << true << to << from << server << true;
        QTest::newRow("To empty") << true << QString() << from << server << false;
        QTest::newRow("From empty") << true << to << QString() << server << false;
        QTest::newRow("server empty") << true << to << from << QString() << false;
        QTest::newRow("blanks count as filled")
            << true << QStringLiteral(" ") << QStringLiteral("  ") << QStringLiteral("   ") << true;
    }

    void mailCheck()
    {
        QFETCH(bool, sendMail);
        QFETCH(QString, to);
        QFETCH(QString, from);
        QFETCH(QString, server);
        QFETCH(bool, saved);
        openDialog();
        if (sendMail) {
            clickButton(child<QCheckBox>("chkSendMail"));
        }
        typeText(child<QLineEdit>("txtMailAddress"), to);
        typeText(child<QLineEdit>("txtMailSub"), QString());
        typeText(child<QLineEdit>("txtFromMailAddress"), from);
        typeText(child<QLineEdit>("txtMailServer"), server);
        QTest::mouseClick(ok(), Qt::LeftButton);

        if (saved) {
            QTRY_VERIFY(m_dialog.isNull());
            QVERIFY(m_sink.boxes.isEmpty());
            QCOMPARE(m_settings.SendMail, sendMail ? 1 : 0);
            QCOMPARE(m_settings.MailAddress, to);
            QCOMPARE(m_settings.MailServer, server);
            QVERIFY(iniBytes() != m_initialFile); // the subject was cleared in every case
            return;
        }
        QCOMPARE(m_sink.boxes.size(), 1);
        QCOMPARE(m_sink.boxes[0].text, MailMessage);
        QCOMPARE(m_sink.boxes[0].title, QStringLiteral("ZELBO_UDP"));
        QCOMPARE(m_sink.boxes[0].icon, MessageIcon::None);
        QCoreApplication::processEvents();
        QVERIFY(m_dialog && m_dialog->isVisible());
        QVERIFY(!m_main->isEnabled());
        QCOMPARE(iniBytes(), m_initialFile);
        QCOMPARE(m_settings.SendMail, 0);
        QCOMPARE(child<QLineEdit>("txtMailAddress")->text(), to);
        QCOMPARE(child<QLineEdit>("txtMailServer")->text(), server);
        QVERIFY(child<QCheckBox>("chkSendMail")->isChecked());
    }

    // The password goes to the store and never to the file; another server or user asks for it again; without a store
    // nothing is kept; sign-in data in the server text is refused; the test button sends what the dialog shows.
    void mailSignIn()
    {
        FakePasswordStore store;
        QList<Settings> tested;
        std::optional<QString> testedPassword;
        const MailSignIn::Tools tools{
            &store, [&](const Settings& settings, const std::optional<QString>& password, QString& answer) {
                tested << settings;
                testedPassword = password;
                answer = QStringLiteral("250 2.0.0 queued");
                return true;
            }};
        const QString server = QStringLiteral("127.0.0.1:587");
        const QString secret = QStringLiteral("pa\"ss,word");
        const auto password = [this] { return child<QLineEdit>("txtMailPassword"); };
        const auto lastBox = [this] { return m_sink.boxes.isEmpty() ? QString() : m_sink.boxes.last().text; };
        openDialog(tools);
        QVERIFY(!password()->isEnabled());
        clickButton(child<QCheckBox>("chkSendMail"));
        typeText(child<QLineEdit>("txtMailAddress"), QStringLiteral("to@example.invalid"));
        typeText(child<QLineEdit>("txtFromMailAddress"), QStringLiteral("from@example.invalid"));
        typeText(child<QLineEdit>("txtMailServer"), QStringLiteral("smtp://taro:pw@") + server);
        typeText(child<QLineEdit>("txtMailUser"), QStringLiteral("taro"));
        QTest::mouseClick(ok(), Qt::LeftButton);
        QVERIFY2(lastBox().contains(QStringLiteral("ﾕｰｻﾞｰ名やﾊﾟｽﾜｰﾄﾞ")), qPrintable(lastBox()));
        typeText(child<QLineEdit>("txtMailServer"), server);
        QVERIFY(password()->isEnabled());
        QTest::mouseClick(ok(), Qt::LeftButton);
        QVERIFY2(lastBox().endsWith(QStringLiteral("ﾒｰﾙのﾊﾟｽﾜｰﾄﾞを入力してください")), qPrintable(lastBox()));
        QVERIFY(m_dialog && store.passwords.isEmpty());

        typeText(password(), secret);
        QTest::mouseClick(child<QPushButton>("cmdMailTest"), Qt::LeftButton);
        QCOMPARE(tested.size(), 1);
        QCOMPARE(tested[0].MailServer, server);
        QCOMPARE(tested[0].MailUser, QStringLiteral("taro"));
        QCOMPARE(testedPassword, std::optional<QString>(secret));
        QCOMPARE(m_sink.boxes.last().title, QStringLiteral("ﾃｽﾄ送信"));
        QVERIFY(lastBox().endsWith(QStringLiteral("ｻｰﾊﾞｰの応答 : 250 2.0.0 queued")));
        QTest::mouseClick(ok(), Qt::LeftButton);
        QTRY_VERIFY(m_dialog.isNull());
        QCOMPARE(store.passwords.value({server, QStringLiteral("taro")}), secret);
        QCOMPARE(m_settings.MailUser, QStringLiteral("taro"));
        QVERIFY(iniBytes().endsWith(",\"taro\"\r\n"));
        QVERIFY(!iniBytes().contains("ss,word"));

        // Stored: nothing to type for the same server and user, a password again for another.
        openDialog(tools);
        QVERIFY(password()->placeholderText().startsWith(QStringLiteral("保存済み")));
        typeText(child<QLineEdit>("txtMailUser"), QStringLiteral("hanako"));
        QVERIFY(password()->text().isEmpty());
        const qsizetype boxes = m_sink.boxes.size();
        QTest::mouseClick(ok(), Qt::LeftButton);
        QCOMPARE(m_sink.boxes.size(), boxes + 1);
        typeText(child<QLineEdit>("txtMailUser"), QStringLiteral("taro"));
        QTest::mouseClick(ok(), Qt::LeftButton);
        QTRY_VERIFY(m_dialog.isNull());

        // No store on this system: the field says so and OK keeps nothing until the user is cleared.
        store.forced = MailPasswordStore::Outcome::Unavailable;
        openDialog(tools);
        QVERIFY(!password()->isEnabled());
        typeText(child<QLineEdit>("txtMailUser"), QStringLiteral("jiro"));
        QTest::mouseClick(ok(), Qt::LeftButton);
        QVERIFY2(lastBox().contains(QStringLiteral("資格情報ｽﾄｱがありません")), qPrintable(lastBox()));
        QVERIFY(m_dialog);
        typeText(child<QLineEdit>("txtMailUser"), QString());
        QTest::mouseClick(ok(), Qt::LeftButton);
        QTRY_VERIFY(m_dialog.isNull());
        QCOMPARE(store.passwords.size(), 1);
        QVERIFY(m_settings.MailUser.isEmpty());
    }

    void doubleQuoteRefused_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("fieldName");
        QTest::newRow("host") << QStringLiteral("txtRemoteHost") << QStringLiteral("ﾘﾓｰﾄﾎｽﾄ");
        QTest::newRow("file name") << QStringLiteral("txtFixFname") << QStringLiteral("保存ﾌｧｲﾙ名");
        QTest::newRow("subject") << QStringLiteral("txtMailSub") << QStringLiteral("件名");
        QTest::newRow("server") << QStringLiteral("txtMailServer") << QStringLiteral("ﾒｰﾙｻｰﾊﾞｰ");
        QTest::newRow("folder") << QString() << QStringLiteral("保存ﾌｫﾙﾀﾞ");
    }

    void doubleQuoteRefused()
    {
        QFETCH(QString, box);
        QFETCH(QString, fieldName);
        openDialog();
        const QString bad = QStringLiteral("ab\"c");
        if (box.isEmpty()) {
            m_dialog->setFolderText(bad);
        } else {
            typeText(child<QLineEdit>(box), bad);
        }
        QTest::mouseClick(ok(), Qt::LeftButton);
        QCOMPARE(m_sink.boxes.size(), 1);
        QCOMPARE(m_sink.boxes[0].text, fieldName + QStringLiteral("\r\nに \" (ﾀﾞﾌﾞﾙｸｫｰﾃｰｼｮﾝ) は使用できません！！"));
        QCOMPARE(m_sink.boxes[0].title, QStringLiteral("ZELBO_UDP"));
        QCoreApplication::processEvents();
        QVERIFY(m_dialog && m_dialog->isVisible());
        QCOMPARE(iniBytes(), m_initialFile);

        // Mended, the same dialog saves.
        if (box.isEmpty()) {
            m_dialog->setFolderText(QStringLiteral("abc"));
        } else {
            typeText(child<QLineEdit>(box), QStringLiteral("abc"));
        }
        QTest::mouseClick(ok(), Qt::LeftButton);
        QTRY_VERIFY(m_dialog.isNull());
        QCOMPARE(m_sink.boxes.size(), 1);
        QVERIFY(iniBytes().contains("\"abc\""));
    }

    // The picker refuses a folder the settings file would store as another name, and OK refuses such a text in any
    // field; what code page 932 holds passes both and reads back unchanged.
    void textTheFileCannotHoldIsRefused_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("storable");
        QTest::newRow("wave dash") << QStringLiteral("4月\u301C6月") << QStringLiteral("txtFixFname")
                                   << QStringLiteral("保存ﾌｧｲﾙ名") << false;
        QTest::newRow("Chinese") << QStringLiteral("测试") << QStringLiteral("txtMailSub") << QStringLiteral("件名")
                                 << false;
        QTest::newRow("emoji") << QStringLiteral("box\U0001F4E6") << QStringLiteral("txtRemoteHost")
                               << QStringLiteral("ﾘﾓｰﾄﾎｽﾄ") << false;
        QTest::newRow("circled digit") << QStringLiteral("棚卸①") << QStringLiteral("txtFixFname")
                                       << QStringLiteral("保存ﾌｧｲﾙ名") << true;
        QTest::newRow("half-width katakana")
            << QStringLiteral("ｳﾘｱｹﾞ") << QStringLiteral("txtMailSub") << QStringLiteral("件名") << true;
    }

    void textTheFileCannotHoldIsRefused()
    {
        QFETCH(QString, text);
        QFETCH(QString, box);
        QFETCH(QString, caption);
        QFETCH(bool, storable);
        const QString reason = QStringLiteral("\r\nに使用できない文字が含まれています！！");
        QVERIFY(QDir(m_dir->path()).mkpath(text));
        const QString folder = QDir::toNativeSeparators(m_dir->filePath(text));
        openDialog();

        QPointer<frmFolder> picker = openPicker();
        QVERIFY(picker);
        auto* list = picker->findChild<QTreeWidget*>(QStringLiteral("Dir1"));
        const QList<QTreeWidgetItem*> found = list->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        QCOMPARE(found.size(), 1);
        doubleClick(list->viewport(), list->visualItemRect(found[0]).center());
        QCOMPARE(picker->path(), folder);
        QTest::mouseClick(picker->findChild<QPushButton*>(QStringLiteral("cmdOK0")), Qt::LeftButton);
        if (storable) {
            QTRY_VERIFY(picker.isNull());
            QVERIFY(m_sink.boxes.isEmpty());
            QCOMPARE(child<QLabel>("lblFolder")->text(), folder);
        } else {
            QCOMPARE(m_sink.boxes.size(), 1);
            QCOMPARE(m_sink.boxes[0].text, QStringLiteral("保存ﾌｫﾙﾀﾞ") + reason);
            QCOMPARE(m_sink.boxes[0].title, QStringLiteral("ZELBO_UDP"));
            QCOMPARE(m_sink.boxes[0].icon, MessageIcon::None);
            QCoreApplication::processEvents();
            QVERIFY(picker && picker->isVisible());
            QCOMPARE(child<QLabel>("lblFolder")->text(), m_paths.ProgramFolder);
            QTest::mouseClick(picker->findChild<QPushButton*>(QStringLiteral("cmdOK1")), Qt::LeftButton);
            QTRY_VERIFY(picker.isNull());
            // A folder that reached the dialog another way (the start-up fallback) is refused by OK as well.
            m_dialog->setFolderText(folder);
        }

        typeText(child<QLineEdit>(box), text);
        QTest::mouseClick(ok(), Qt::LeftButton);
        if (storable) {
            QTRY_VERIFY(m_dialog.isNull());
            QVERIFY(m_sink.boxes.isEmpty());
            Settings back;
            QCOMPARE(SettingsFile::parse(iniBytes(), back), ReadResult::Ok);
            QVERIFY(back == m_settings);
            QCOMPARE(back.SaveFolder, folder);
            QVERIFY(iniBytes().contains(Cp932::encode(QString(u'"' + text + u'"'))));
            return;
        }
        QCOMPARE(m_sink.boxes.size(), 2);
        QCOMPARE(m_sink.boxes[1].text, QStringLiteral("保存ﾌｫﾙﾀﾞ\r\n") + caption + reason);
        QCOMPARE(m_sink.boxes[1].title, QStringLiteral("ZELBO_UDP"));
        QCoreApplication::processEvents();
        QVERIFY(m_dialog && m_dialog->isVisible());
        QCOMPARE(iniBytes(), m_initialFile);
        QCOMPARE(m_settings.SaveFolder, m_paths.ProgramFolder);
    }
};

QTEST_MAIN(TestSettingsDialogRefusal)
#include "TestSettingsDialogRefusal.moc"
