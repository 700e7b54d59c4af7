// The system's credential store for real (a private Secret Service on Linux, the Credential Manager on Windows), and
// the real program's --store-mail-password, which keeps the password there and nowhere else.

#include "base/Cp932.h"
#include "base/Platform.h"
#include "config/SettingsFile.h"
#include "fakes/TestFiles.h"
#include "output/MailHeaders.h"
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
    int storeWithProgram(const QTemporaryDir& folder, const QByteArray& input, const QStringList& more = {})
    {
        const QString exe = folder.filePath(QFileInfo(QStringLiteral(ZELBO_UDP_PATH)).fileName());
        if (!QFileInfo::exists(exe) && !QFile::copy(QStringLiteral(ZELBO_UDP_PATH), exe)) {
            return -1;
        }
        QProcess program;
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(exe, QStringList{QStringLiteral("--store-mail-password")} + more);
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

        // The blank "echo n3w > file" leaves is refused, and the stored password stays, unless it belongs.
        QCOMPARE(storeWithProgram(folder, "n3w \r\n"), 2);
        QCOMPARE(m_store.read(m_server, QStringLiteral("jiro")).password, QStringLiteral("s3cret"));
        QCOMPARE(storeWithProgram(folder, "n3w \r\n", {QStringLiteral("--keep-blanks")}), 0);
        QCOMPARE(m_store.read(m_server, QStringLiteral("jiro")).password, QStringLiteral("n3w "));
    }

    // The Credential Manager as cmdkey /generic and the control panel's editor keep a password (UTF-16LE without a
    // terminator), and as versions before kept it (UTF-8).
    void credentialManagerReadsCmdkeysAndEarlierEntries()
    {
        const QString user = QStringLiteral("saburo");
        const QString target = QStringLiteral("ZELBO_UDP/") + MailHeaders::passwordKey(m_server, user);
        const QString cmdkeys = QStringLiteral("ひみつ pass1");
        const QByteArray utf16(reinterpret_cast<const char*>(cmdkeys.utf16()), cmdkeys.size() * 2);
        const StoredCredential written = writeCredential(target, user, utf16);
        if (written.outcome == StoredCredential::Outcome::Unavailable) {
            QSKIP("no Credential Manager: the Secret Service's entries are QtKeychain's");
        }
        QCOMPARE(written.outcome, StoredCredential::Outcome::Done);
        QCOMPARE(m_store.read(m_server, user).password, cmdkeys);
        // The UTF-8 of versions before, though its bytes would also pass as UTF-16LE (of CJK).
        QCOMPARE(writeCredential(target, user, "Pa55w0rd").outcome, StoredCredential::Outcome::Done);
        QCOMPARE(m_store.read(m_server, user).password, QStringLiteral("Pa55w0rd"));
        // What the program writes is what cmdkey writes.
        QCOMPARE(m_store.write(m_server, user, cmdkeys).outcome, MailPasswordStore::Outcome::Done);
        QCOMPARE(readCredential(target).secret, utf16);
    }
};

QTEST_GUILESS_MAIN(TestMailPassword)
#include "TestMailPassword.moc"
