// IT's policies read again while the program runs: a change waits for the end of a run, a reading that fails drops no
// policy, each note is told once, and a policy removed gives the user's value back.

#include "PolicyWatch.h"

#include <QSignalSpy>
#include <QTest>

class TestPolicyWatch : public QObject
{
    Q_OBJECT

private slots:
    void changesWaitForTheRunAndNotesAreToldOnce()
    {
        SettingsState settings;
        PolicyReading next{{{QStringLiteral("REMOTEPORT"), QStringLiteral("6123")}}, {}};
        PolicyWatch watch(settings, [&next] { return next; });
        QSignalSpy changed(&watch, &PolicyWatch::changed);
        watch.start();
        QCOMPARE(settings.effective().RemotePort, QStringLiteral("6123"));
        QCOMPARE(watch.untoldNotes(), QStringList());

        watch.commStateChanged(1);
        next.values = {{QStringLiteral("REMOTEPORT"), QStringLiteral("6124")},
                       {QStringLiteral("ADDDATE"), QStringLiteral("9")}};
        watch.readAgain();
        QCOMPARE(settings.effective().RemotePort, QStringLiteral("6123"));
        QCOMPARE(watch.untoldNotes(),
                 QStringList{QStringLiteral("管理者の設定が変更されました : 次回の通信ｽﾀｰﾄから反映します")});
        watch.readAgain();
        QCOMPARE(watch.untoldNotes(), QStringList());
        watch.commStateChanged(0);
        QCOMPARE(settings.effective().RemotePort, QStringLiteral("6124"));
        QCOMPARE(watch.untoldNotes(),
                 QStringList{QStringLiteral("管理者の設定 ADDDATE は使用できないためﾕｰｻﾞｰの設定値にしました : 値 9")});

        // A reading that fails keeps what was read last and says where, once.
        next = {{}, QStringLiteral("HKLM\\SOFTWARE\\Policies\\ZELBO\\ZELBO_UDP : denied")};
        watch.readAgain();
        watch.readAgain();
        QCOMPARE(settings.effective().RemotePort, QStringLiteral("6124"));
        QCOMPARE(watch.untoldNotes(),
                 QStringList{QStringLiteral(
                     "管理者の設定を読み込めません : HKLM\\SOFTWARE\\Policies\\ZELBO\\ZELBO_UDP : denied")});

        next = {};
        watch.readAgain();
        QCOMPARE(settings.effective().RemotePort, QStringLiteral("6001"));
        QCOMPARE(watch.untoldNotes(), QStringList());
        QCOMPARE(changed.count(), 4);
    }
};

QTEST_GUILESS_MAIN(TestPolicyWatch)
#include "TestPolicyWatch.moc"
