#include "config/Presets.h"

#include "base/Cp932.h"
#include "config/SettingsCheck.h"
#include "config/SettingsFile.h"
#include "fakes/RecordingMessageSink.h"
#include "fakes/TestFiles.h"
#include "config/SettingsOrPresets.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

class TestPresets : public QObject
{
    Q_OBJECT

private slots:
    // What an installer or IT writes: taken where the dialog would accept it, the rest left at the default and named.
    void presetsAreCheckedOneByOne()
    {
        qputenv("ZELBO_TEST_HOME", "/home/tanaka");
        const QByteArray file = "\xEF\xBB\xBF[ZELBO_UDP]\r\n"
                                "; set by the logon script\r\n"
                                "remotehost = 127.0.0.1\r\n"
                                "REMOTEPORT=6101\n"
                                "SAVEFOLDER=%ZELBO_TEST_HOME%/受信\n"
                                "AUTOSTART=1\n"
                                "FIELDSELECT=10100000000000000000\n"
                                "ADDDATE=9\n"
                                "OVERWRITE=x\n"
                                "MAILSUB=say \"hi\"\n"
                                "SENDMAIL=1\n"
                                "COLOUR=blue\n";
        const Settings base = SettingsFile::defaults(QStringLiteral("/docs"));
        const PresetReading reading = applyPresets(file, base);

        Settings expected = base;
        expected.RemoteHost = QStringLiteral("127.0.0.1");
        expected.RemotePort = QStringLiteral("6101");
        expected.SaveFolder = QStringLiteral("/home/tanaka/受信");
        expected.AutoStart = 1;
        expected.FieldSelect.fill(0);
        expected.FieldSelect[0] = 1;
        expected.FieldSelect[2] = 1;
        QCOMPARE(reading.settings, expected);
        QCOMPARE(reading.applied, 5);
        QCOMPARE(reading.notes.size(), 5);
        const QString refused = QStringLiteral("初期設定 %1 は使用できないため既定値にしました : ");
        QCOMPARE(reading.notes[0], refused.arg(QStringLiteral("OVERWRITE")) + QStringLiteral("値 x"));
        QCOMPARE(reading.notes[1], refused.arg(QStringLiteral("MAILSUB")) +
                                       QStringLiteral("件名 に \" (ﾀﾞﾌﾞﾙｸｫｰﾃｰｼｮﾝ) は使用できません！！"));
        QCOMPARE(reading.notes[2], refused.arg(QStringLiteral("ADDDATE")) + QStringLiteral("値 9"));
        // Mail on without a recipient, sender and server is refused as the dialog refuses it.
        QVERIFY(reading.notes[3].startsWith(refused.arg(QStringLiteral("SENDMAIL")) + QStringLiteral("宛先")));
        QCOMPARE(reading.notes[4], refused.arg(QStringLiteral("COLOUR")) + QStringLiteral("不明な項目"));
    }

    // What Windows PowerShell 5.1 writes (Out-File, >): UTF-16LE after FF FE, CRLF. %DOCUMENTS% is the user's
    // Documents as the system reports it, not an environment variable of that name.
    void powerShellFileAndTheUsersDocuments()
    {
        const QTemporaryDir home;
        QVERIFY(home.isValid());
        // Where Linux looks without a user-dirs file; Windows asks its known folder.
        qputenv("HOME", QFile::encodeName(home.path()));
        qunsetenv("XDG_CONFIG_HOME");
        QVERIFY(QDir(home.path()).mkpath(QStringLiteral("Documents")));
        qputenv("DOCUMENTS", "/elsewhere");
        const QString documents =
            QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));

        QStringEncoder utf16(QStringEncoder::Utf16LE);
        const QByteArray file =
            "\xFF\xFE" + QByteArray(utf16.encode(QStringLiteral("[ZELBO_UDP]\r\n"
                                                                "MAILSUB=棚卸データ\r\n"
                                                                "SAVEFOLDER=%DOCUMENTS%\\ZELBO\r\n")));
        const PresetReading reading = applyPresets(file, SettingsFile::defaults(QStringLiteral("/d")));
        QCOMPARE(reading.notes, QStringList());
        QCOMPARE(reading.settings.MailSub, QStringLiteral("棚卸データ"));
        QCOMPARE(reading.settings.SaveFolder, documents + QStringLiteral("\\ZELBO"));
    }

    // An installer's INI writer on Japanese Windows leaves code page 932, which is not UTF-8.
    void codePage932File()
    {
        const PresetReading reading = applyPresets(Cp932::encode(QStringLiteral("FIXFNAME=ﾃﾞｰﾀ\r\n")),
                                                   SettingsFile::defaults(QStringLiteral("/d")));
        QCOMPARE(reading.settings.FixFname, QStringLiteral("ﾃﾞｰﾀ"));
        QVERIFY(reading.notes.isEmpty());
    }

    // STATUSFOLDER, which has no place in the settings line: the settings file stays byte for byte as without it, the
    // extra file keeps it across a reset, and an upgrade's presets bring it to users who started before, once.
    void statusFolderKeptBesideTheSettingsFile()
    {
        QTemporaryDir withFolder;
        QTemporaryDir without;
        QVERIFY(withFolder.isValid() && without.isValid());
        const QByteArray presets = "SAVEFOLDER=/data\r\nREMOTEPORT=6101\r\n";
        const auto start = [](const QTemporaryDir& dir, const QByteArray& given) {
            const ProgramPaths paths = ProgramPaths::inDataFolder(dir.path());
            writeTestFile(QDir(dir.path()), QStringLiteral("zelbo_udp.defaults.ini"), given);
            RecordingMessageSink sink;
            Settings settings;
            const CheckResult result = CheckSettings(settings, SettingsFile(paths, sink), sink);
            return std::pair(settings, result.notes);
        };
        const QString share = QStringLiteral("\\\\srv\\状態");
        const auto [taken, notes] = start(withFolder, presets + "STATUSFOLDER=" + share.toUtf8() + "\r\n");
        QCOMPARE(taken.StatusFolder, share);
        QCOMPARE(notes, QStringList{QStringLiteral("設定ﾌｧｲﾙを初期設定から作成しました")});
        (void)start(without, presets);
        const QString extra = withFolder.filePath(QStringLiteral("zelbo_udp.extra.ini"));
        QCOMPARE(readTestFile(withFolder.filePath(QStringLiteral("zelbo_udp.ini"))),
                 readTestFile(without.filePath(QStringLiteral("zelbo_udp.ini"))));
        QCOMPARE(readTestFile(extra), "STATUSFOLDER=" + share.toUtf8() + "\r\n");

        // A damaged settings file is reset to the defaults; the extra file's value stays, over a changed preset.
        writeTestFile(QDir(withFolder.path()), QStringLiteral("zelbo_udp.ini"), "\"x\",1\r\n");
        QCOMPARE(start(withFolder, "STATUSFOLDER=/other\r\n").first.StatusFolder, share);

        // A user from before: a later version's names in the extra file stay when the upgrade's preset is added.
        QVERIFY(QFile::exists(without.filePath(QStringLiteral("zelbo_udp.ini"))));
        writeTestFile(QDir(without.path()), QStringLiteral("zelbo_udp.extra.ini"), "LATER=1\n");
        QCOMPARE(start(without, "STATUSFOLDER=/status\r\n").first.StatusFolder, QStringLiteral("/status"));
        QCOMPARE(readTestFile(without.filePath(QStringLiteral("zelbo_udp.extra.ini"))),
                 "LATER=1\r\nSTATUSFOLDER=/status\r\n");
    }

    // A command run before the first start acts on what the presets will make of the settings; a damaged file is
    // left to the next start, presets or not.
    void settingsOrPresetsForACommand()
    {
        Settings fromFile;
        fromFile.MailUser = QStringLiteral("taro");
        const QByteArray jiro = "MAILUSER=jiro\r\n";
        QCOMPARE(settingsOrPresets(ReadResult::Ok, fromFile, jiro), std::optional<Settings>(fromFile));
        QCOMPARE(settingsOrPresets(ReadResult::Missing, fromFile, jiro).value_or(fromFile).MailUser,
                 QStringLiteral("jiro"));
        QCOMPARE(settingsOrPresets(ReadResult::Missing, fromFile, QByteArray()),
                 std::optional<Settings>(SettingsFile::defaults(QString())));
        QVERIFY(!settingsOrPresets(ReadResult::Missing, fromFile, std::nullopt));
        QVERIFY(!settingsOrPresets(ReadResult::Invalid, fromFile, jiro));
    }
};

QTEST_GUILESS_MAIN(TestPresets)
#include "TestPresets.moc"
