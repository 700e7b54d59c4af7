// The system's credential store for real (a private Secret Service on Linux, the Credential Manager on Windows), and
// the real program's --store-mail-password, which keeps the password there and nowhere else.

#include "base/Cp932.h"
#include "config/SettingsFile.h"
#include "fakes/TestFiles.h"
#include "output/SystemPasswordStore.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

using namespace std::chrono_literals;

class TestMailPassword : public QObject
{
    Q_OBJECT

private:
    SystemPasswordStore m_store{10s};
    // Each run its own server name, so that entries of earlier runs in a persistent store change nothing.
    const QString m_server =
        QStringLiteral("smtp://") + QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral(".invalid:587");

    // Runs the real program with --store-mail-password in folder, password on its standard input.
    int storeWithProgram(const QTemporaryDir& folder, const QByteArray& input)
    {
        const QString exe = folder.filePath(QFileInfo(QStringLiteral(ZELBO_UDP_PATH)).fileName());
        if (!QFileInfo::exists(exe) && !QFile::copy(QStringLiteral(ZELBO_UDP_PATH), exe)) {
            return -1;
        }
        QProcess program;
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(exe, {QStringLiteral("--store-mail-password")});
        if (!program.waitForStarted(10000)) {
            return -1;
        }
        program.write(input);
        program.closeWriteChannel();
        if (!program.waitForFinished(30000)) {
            program.kill();
            return -1;
        }
        return program.exitCode();
    }

private slots:
    void initTestCase()
    {
#ifndef Q_OS_WIN
        if (!qEnvironmentVariableIsSet("ZELBO_PRIVATE_KEYRING")) {
            QSKIP("no private Secret Service: dbus-run-session or gnome-keyring-daemon is missing");
        }
#endif
    }

    void storeKeepsOnePasswordPerServerAndUser()
    {
        const QString password = QStringLiteral("ひみつ pass,\"1\"");
        QCOMPARE(m_store.read(m_server, QStringLiteral("taro")).outcome, MailPasswordStore::Outcome::NotFound);
        const MailPasswordStore::Result written = m_store.write(m_server, QStringLiteral("taro"), password);
        QVERIFY2(written.outcome == MailPasswordStore::Outcome::Done, qPrintable(written.error));
        const MailPasswordStore::Result read = m_store.read(m_server, QStringLiteral("taro"));
        QCOMPARE(read.outcome, MailPasswordStore::Outcome::Done);
        QCOMPARE(read.password, password);
        QCOMPARE(m_store.read(m_server, QStringLiteral("hanako")).outcome, MailPasswordStore::Outcome::NotFound);
        QCOMPARE(m_store.read(m_server + QStringLiteral("0"), QStringLiteral("taro")).outcome,
                 MailPasswordStore::Outcome::NotFound);
    }

    // IT's script: the password for the user and server of the settings file, from standard input, into the store.
    void programStoresThePasswordForItsSettings()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        Settings settings = SettingsFile::defaults(folder.path());
        settings.MailServer = m_server;
        QVERIFY(
            writeTestFile(folder.path(), QStringLiteral("zelbo_udp.ini"), SettingsFile::formatFile(settings)).size() >
            0);
        QCOMPARE(storeWithProgram(folder, "unused\n"), 2); // no user in the settings

        settings.MailUser = QStringLiteral("jiro");
        const QByteArray ini = SettingsFile::formatFile(settings);
        writeTestFile(folder.path(), QStringLiteral("zelbo_udp.ini"), ini);
        const QStringList before = QDir(folder.path()).entryList(QDir::Files | QDir::NoDotAndDotDot);
        QCOMPARE(storeWithProgram(folder, "s3cret\r\n"), 0);
        const MailPasswordStore::Result read = m_store.read(m_server, QStringLiteral("jiro"));
        QCOMPARE(read.outcome, MailPasswordStore::Outcome::Done);
        QCOMPARE(read.password, QStringLiteral("s3cret"));
        // Nothing of ours holds it: the settings file is as it was and no file was added.
        QCOMPARE(readTestFile(folder.filePath(QStringLiteral("zelbo_udp.ini"))), ini);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), before);
    }
};

QTEST_GUILESS_MAIN(TestMailPassword)
#include "TestMailPassword.moc"
