// Settings IT's policies hold: greyed in the settings dialog with the policy's value and a tooltip that says why, the
// user's own value kept in the file; "設定" closed by LOCKSETTINGS.

#include "SettingsDialogFixture.h"

#include "config/SettingsTable.h"
#include "ui/MainWindow.h"
#include "ui/SettingControls.h"

#include <QCheckBox>
#include <QRadioButton>

class TestSettingsDialogPolicies : public QObject, private SettingsDialogFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { nameApplication(); }
    void init() { openFixture(); }
    void cleanup() { closeFixture(); }

    void lockedControlsShowThePolicyAndKeepTheUsersValue()
    {
        m_state.setPolicies({{QStringLiteral("REMOTEPORT"), QStringLiteral("6123")},
                             {QStringLiteral("ADDDATE"), QStringLiteral("4")},
                             {QStringLiteral("MAILSERVER"), QStringLiteral("mail.example.invalid")}});
        openDialog();
        const QString locked = QStringLiteral("管理者により設定されています");
        auto* port = child<QLineEdit>("txtRemotePort");
        QVERIFY(!port->isEnabled());
        QCOMPARE(port->toolTip(), locked);
        QCOMPARE(port->text(), QStringLiteral("6123"));
        for (const char* name : {"optAddDate0", "optAddDate4", "txtMailServer"}) {
            QVERIFY2(!child<QWidget>(name)->isEnabled(), name);
            QCOMPARE(child<QWidget>(name)->toolTip(), locked);
        }
        QVERIFY(child<QRadioButton>("optAddDate4")->isChecked());
        auto* host = child<QLineEdit>("txtRemoteHost");
        QVERIFY(host->isEnabled());
        QCOMPARE(host->text(), QStringLiteral("127.0.0.1"));

        // Mail on is judged with the policy's server: the user fills what is left to them.
        typeText(host, QStringLiteral("127.0.0.2"));
        clickButton(child<QCheckBox>("chkSendMail"));
        typeText(child<QLineEdit>("txtMailAddress"), QStringLiteral("to@example.invalid"));
        typeText(child<QLineEdit>("txtFromMailAddress"), QStringLiteral("from@example.invalid"));
        QTest::mouseClick(ok(), Qt::LeftButton);
        QTRY_VERIFY(m_dialog.isNull());
        QCOMPARE(m_sink.boxes.size(), 0);

        Settings mine;
        QCOMPARE(SettingsFile::parse(iniBytes(), mine), ReadResult::Ok);
        QCOMPARE(mine, m_settings);
        QCOMPARE(mine.RemoteHost, QStringLiteral("127.0.0.2"));
        QCOMPARE(mine.RemotePort, QStringLiteral("6001"));
        QCOMPARE(mine.AddDate, 2);
        QVERIFY(mine.MailServer.isEmpty());
        QCOMPARE(m_state.effective().RemotePort, QStringLiteral("6123"));
        QCOMPARE(m_state.effective().SendMail, 1);
    }

    // A setting added to the table needs its controls named, or a policy could not grey them.
    void everySettingNamesControlsOfTheDialog()
    {
        openDialog();
        for (const SettingRow& row : settingsTable()) {
            const std::optional<QStringList> names = settingControlNames(row.name);
            QVERIFY2(names, qPrintable(row.name.toString()));
            for (const QString& name : *names) {
                QVERIFY2(m_dialog->findChild<QWidget*>(name), qPrintable(name));
            }
        }
    }

    void lockSettingsClosesTheSettingButton()
    {
        m_state.setUser(m_settings);
        MainWindow window(m_state, m_paths, *m_file, m_sink);
        QVERIFY(window.Form_Load());
        window.SetCommState(0);
        auto* button = window.findChild<QPushButton*>(QStringLiteral("cmdSetting"));
        QVERIFY(button->isEnabled());

        m_state.setPolicies({{QStringLiteral("LOCKSETTINGS"), QStringLiteral("1")}});
        window.showPolicies();
        QVERIFY(!button->isEnabled());
        QCOMPARE(button->toolTip(), QStringLiteral("管理者により設定されています"));
        // A run's end leaves it closed.
        window.SetCommState(1);
        window.SetCommState(0);
        QVERIFY(!button->isEnabled());

        m_state.setPolicies({});
        window.showPolicies();
        QVERIFY(button->isEnabled());
    }
};

QTEST_MAIN(TestSettingsDialogPolicies)
#include "TestSettingsDialogPolicies.moc"
