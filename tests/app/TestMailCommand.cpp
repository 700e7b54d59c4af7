// --store-mail-password stores the password under the server and user the mail will sign in with: a policy's over the
// settings file's.

#include "MailCommand.h"

#include "config/SettingsFile.h"
#include "fakes/FakePasswordStore.h"
#include "fakes/RecordingMessageSink.h"
#include "fakes/TestFiles.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

class TestMailCommand : public QObject
{
    Q_OBJECT

private slots:
    void policyServerAndUserWin()
    {
        const QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const ProgramPaths paths = testProgramPaths(dir.path());
        RecordingMessageSink sink;
        Settings mine = SettingsFile::defaults(dir.path());
        mine.MailServer = QStringLiteral("old.example.invalid");
        mine.MailUser = QStringLiteral("tanaka");
        SettingsFile(paths, sink).WriteSettingsFile(mine);

        QByteArray line = "secret\n";
        QBuffer input(&line);
        QVERIFY(input.open(QIODevice::ReadOnly));
        QString said;
        QTextStream report(&said);
        FakePasswordStore store;
        const PolicyValues policies = {{QStringLiteral("MAILSERVER"), QStringLiteral("smtp.example.invalid")}};
        QCOMPARE(storeMailPassword(paths, policies, store, input, report, false), 0);
        using Key = QPair<QString, QString>;
        QCOMPARE(store.passwords,
                 (QMap<Key, QString>{{Key(QStringLiteral("smtp.example.invalid"), QStringLiteral("tanaka")),
                                      QStringLiteral("secret")}}));
    }
};

QTEST_GUILESS_MAIN(TestMailCommand)
#include "TestMailCommand.moc"
