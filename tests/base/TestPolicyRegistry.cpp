// IT's policies as Windows keeps them, set with reg add as an administrator or a script would: the user's and the
// machine's key, the machine's value winning, texts unexpanded and DWORDs in decimal, and a policy that wins over the
// user's setting. Windows only (under Wine in the cross-build's tests).

#include "base/Platform.h"
#include "config/SettingsState.h"

#include <QProcess>
#include <QTest>

namespace {

const QString UserKey = QStringLiteral("HKCU\\Software\\Policies\\ZELBO\\ZELBO_UDP");
const QString MachineKey = QStringLiteral("HKLM\\Software\\Policies\\ZELBO\\ZELBO_UDP");

bool reg(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("reg"), arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

class TestPolicyRegistry : public QObject
{
    Q_OBJECT

private slots:
    // Only the values this test writes go again: a PC's real policies are left alone.
    void cleanup()
    {
        for (const QString& name :
             {QStringLiteral("REMOTEPORT"), QStringLiteral("SaveFolder"), QStringLiteral("ADDDATE")}) {
            (void)reg({QStringLiteral("delete"), UserKey, QStringLiteral("/v"), name, QStringLiteral("/f")});
        }
        (void)reg({QStringLiteral("delete"), MachineKey, QStringLiteral("/v"), QStringLiteral("ADDDATE"),
                   QStringLiteral("/f")});
    }

    void policiesSetWithRegAdd()
    {
        QVERIFY(reg({QStringLiteral("add"), UserKey, QStringLiteral("/v"), QStringLiteral("REMOTEPORT"),
                     QStringLiteral("/d"), QStringLiteral("6123"), QStringLiteral("/f")}));
        QVERIFY(reg({QStringLiteral("add"), UserKey, QStringLiteral("/v"), QStringLiteral("SaveFolder"),
                     QStringLiteral("/t"), QStringLiteral("REG_EXPAND_SZ"), QStringLiteral("/d"),
                     QStringLiteral("%DOCUMENTS%\\ZELBO"), QStringLiteral("/f")}));
        QVERIFY(
            reg({QStringLiteral("add"), UserKey, QStringLiteral("/v"), QStringLiteral("ADDDATE"), QStringLiteral("/t"),
                 QStringLiteral("REG_DWORD"), QStringLiteral("/d"), QStringLiteral("1"), QStringLiteral("/f")}));
        // Where the test may write the machine's key (Wine, an administrator): its value wins.
        const bool machine = reg({QStringLiteral("add"), MachineKey, QStringLiteral("/v"), QStringLiteral("ADDDATE"),
                                  QStringLiteral("/t"), QStringLiteral("REG_DWORD"), QStringLiteral("/d"),
                                  QStringLiteral("3"), QStringLiteral("/f")});

        const PolicyReading reading = readPolicyValues(QString());
        QCOMPARE(reading.failure, QString());
        QCOMPARE(reading.values.value(QStringLiteral("REMOTEPORT")), QStringLiteral("6123"));
        QCOMPARE(reading.values.value(QStringLiteral("SAVEFOLDER")), QStringLiteral("%DOCUMENTS%\\ZELBO"));
        QCOMPARE(reading.values.value(QStringLiteral("ADDDATE")), machine ? QStringLiteral("3") : QStringLiteral("1"));

        SettingsState settings;
        settings.setPolicies(reading.values);
        QCOMPARE(settings.effective().RemotePort, QStringLiteral("6123"));
        QCOMPARE(settings.user().RemotePort, QStringLiteral("6001"));
        QVERIFY(settings.isLocked(u"REMOTEPORT"));
        if (!machine) {
            QSKIP("the machine's policy key cannot be written here: its precedence is not tested");
        }
    }
};

QTEST_GUILESS_MAIN(TestPolicyRegistry)
#include "TestPolicyRegistry.moc"
