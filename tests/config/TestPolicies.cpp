// IT's policies over the user's settings file, read from a policy file as a POSIX system keeps it: a value taken wins
// and locks, a refused one leaves the user's value and is named, the file never takes a policy's value, and a policy
// removed gives the user's own value back.

#include "base/Platform.h"
#include "config/SettingsCheck.h"
#include "config/SettingsFile.h"
#include "config/SettingsState.h"
#include "fakes/RecordingMessageSink.h"
#include "fakes/TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestPolicies : public QObject
{
    Q_OBJECT

private slots:
    void policiesWinOverTheSettingsFile()
    {
        const QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const ProgramPaths paths = testProgramPaths(dir.path());
        RecordingMessageSink sink;
        const SettingsFile file(paths, sink);
        Settings mine = SettingsFile::defaults(dir.path());
        mine.RemotePort = QStringLiteral("6001");
        mine.FixFname = QStringLiteral("ORDERS");
        // An old file's sign-in data in the server text: the dialog refuses it, yet it must not refuse every policy.
        mine.MailServer = QStringLiteral("taro@mail.example");
        file.WriteSettingsFile(mine);
        const QByteArray fileBefore = readTestFile(paths.IniPath);

        const QString policyFile = writeTestFile(QDir(dir.path()), QStringLiteral("policy.ini"),
                                                 "[ZELBO_UDP]\n"
                                                 "REMOTEPORT=6123\n"
                                                 "remotehost = 127.0.0.2\n"
                                                 "FIXFNAME=a/b\n"
                                                 "SENDMAIL=1\n"
                                                 "ADDDATE=7\n"
                                                 "LOCKSETTINGS=1\n"
                                                 "COLOUR=blue\n");
        QVERIFY(!policyFile.isEmpty());
        const PolicyReading reading = readPolicyValues(policyFile);
        QCOMPARE(reading.failure, QString());

        SettingsState state;
        state.setPolicies(reading.values);
        QVERIFY(CheckSettings(state, file, sink).settingsWritable);

        QCOMPARE(state.user(), mine);
        Settings expected = mine;
        expected.RemotePort = QStringLiteral("6123");
        expected.RemoteHost = QStringLiteral("127.0.0.2");
        QCOMPARE(state.effective(), expected);
        QVERIFY(state.isLocked(u"REMOTEPORT"));
        QVERIFY(state.isLocked(u"REMOTEHOST"));
        QVERIFY(!state.isLocked(u"FIXFNAME"));
        QVERIFY(state.dialogLocked());
        const QString refused = QStringLiteral("管理者の設定 %1 は使用できないためﾕｰｻﾞｰの設定値にしました : ");
        QCOMPARE(state.policyNotes(),
                 QStringList({refused.arg(QStringLiteral("ADDDATE")) + QStringLiteral("値 7"),
                              refused.arg(QStringLiteral("FIXFNAME")) +
                                  QStringLiteral("保存ﾌｧｲﾙ名 に \\ / : * ? < > | と .. 、末尾の . と空白、 CON PRN AUX "
                                                 "NUL COM1～COM9 LPT1～LPT9 という名前は使用できません！！"),
                              refused.arg(QStringLiteral("SENDMAIL")) +
                                  QStringLiteral("宛先ﾒｰﾙｱﾄﾞﾚｽ(To) 差出人ﾒｰﾙｱﾄﾞﾚｽ(From) ﾒｰﾙｻｰﾊﾞｰ "
                                                 "のいずれかが入力されていません！！"),
                              refused.arg(QStringLiteral("COLOUR")) + QStringLiteral("不明な項目")}));
        // The dialog judges what it shows: the user's edits with the locked values over them.
        Settings edit = mine;
        edit.RemotePort = QStringLiteral("1");
        QCOMPARE(state.withLockedValues(edit).RemotePort, QStringLiteral("6123"));

        // Policies removed: the user's own settings again; the file never held a policy's value.
        state.setPolicies({});
        QCOMPARE(state.effective(), mine);
        QVERIFY(!state.dialogLocked());
        QCOMPARE(readTestFile(paths.IniPath), fileBefore);
        QVERIFY(sink.boxes.isEmpty());
    }

    // A policy file that is missing is no policy; one that cannot be read as a file says where, without blocking.
    void policyFileThatCannotBeRead()
    {
        const QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const PolicyReading missing = readPolicyValues(dir.filePath(QStringLiteral("policy.ini")));
        QVERIFY(missing.values.isEmpty());
        QCOMPARE(missing.failure, QString());

        const PolicyReading folder = readPolicyValues(dir.path());
        QVERIFY(folder.values.isEmpty());
        QVERIFY2(folder.failure.startsWith(dir.path() + QStringLiteral(" : ")), qPrintable(folder.failure));
    }
};

QTEST_GUILESS_MAIN(TestPolicies)
#include "TestPolicies.moc"
