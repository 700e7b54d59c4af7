#include "config/RefusalRules.h"
#include "config/SettingsCheck.h"
#include "config/SettingsFile.h"
#include "fakes/RecordingMessageSink.h"
#include "fakes/TestFiles.h"

#include "SettingsLines.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>

// The start-up check of the settings file: the boxes each branch shows, when the file is reset, the save folder.
class TestSettingsCheck : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    ProgramPaths m_paths;
    QString m_startDir;

private slots:
    void initTestCase()
    {
        // Expected error descriptions are the C locale's.
        std::setlocale(LC_ALL, "C");
        m_startDir = QDir::currentPath();
    }

    void init()
    {
        QVERIFY(m_dir.isValid());
        m_paths = testProgramPaths(m_dir.path());
        QFile::remove(m_paths.IniPath);
        QFile::remove(m_paths.presetPath);
        QDir::setCurrent(m_startDir);
    }

    // Each start-up branch: the boxes it shows, whether the file is rewritten, and the save-folder outcome.
    void startUpBranches_data()
    {
        QTest::addColumn<QByteArray>("file"); // "-" for no file
        QTest::addColumn<QString>("reason");  // expected "File Read" reason, empty for none
        QTest::addColumn<bool>("folderErrorBox");

        const QByteArray good = defaultLine(QStringLiteral("@SAVE@"));
        QTest::newRow("valid") << good << QString() << false;
        QTest::newRow("missing: no folder test") << QByteArray("-") << QStringLiteral("ﾌｧｲﾙなし") << false;
        QTest::newRow("invalid: folder test on default")
            << QByteArray("\"x\",1\r\n") << QStringLiteral("ﾌｧｲﾙ不正") << true;
        QByteArray addDate5 = good;
        addDate5.replace("\"6001\",0,", "\"6001\",5,");
        QTest::newRow("AddDate 5") << addDate5 << QStringLiteral("ﾊﾟﾗﾒｰﾀ不正") << true;
        QByteArray time2 = good;
        time2.replace(",\"1\",\"\"\r\n", ",\"2\",\"\"\r\n");
        QTest::newRow("TimeAdjust 2") << time2 << QStringLiteral("ﾊﾟﾗﾒｰﾀ不正") << true;
        QByteArray timeHalf = good;
        timeHalf.replace(",\"1\",\"\"\r\n", ",\"0.5\",\"\"\r\n");
        QTest::newRow("TimeAdjust 0.5 passes") << timeHalf << QString() << false;
        QByteArray timeAbc = good;
        timeAbc.replace(",\"1\",\"\"\r\n", ",\"abc\",\"\"\r\n");
        QTest::newRow("TimeAdjust abc") << timeAbc << QStringLiteral("ﾊﾟﾗﾒｰﾀ不正") << true;
        QByteArray fields = good;
        fields.replace("\"\",\"\",1,1,1,", "\"\",\"\",1,1,2,");
        fields.replace(",1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,\"\"", ",1,1,1,5,1,1,1,1,1,1,1,1,1,1,1,1,1,\"\"");
        QTest::newRow("F3 2 and F7 5: one box") << fields << QStringLiteral("ﾊﾟﾗﾒｰﾀ不正(ﾌｨｰﾙﾄﾞ)") << true;
        QByteArray addDateAndField = addDate5;
        addDateAndField.replace("\"\",\"\",1,1,1,", "\"\",\"\",1,1,2,");
        QTest::newRow("AddDate 5 and F3 2: range test first")
            << addDateAndField << QStringLiteral("ﾊﾟﾗﾒｰﾀ不正") << true;
        QByteArray sendMail7 = good;
        sendMail7.replace(",0,0,0,0,0,0,\"\"", ",0,0,0,0,0,7,\"\"");
        QTest::newRow("SendMail 7 passes") << sendMail7 << QString() << false;
        QByteArray gone = good;
        gone.replace("@SAVE@", "@SAVE@/deleted");
        QTest::newRow("deleted save folder") << gone << QString() << true;
    }
    void startUpBranches()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, reason);
        QFETCH(bool, folderErrorBox);

        const QString saveFolder = QDir::toNativeSeparators(m_dir.filePath(QStringLiteral("save")));
        QDir().mkpath(saveFolder);
        if (file != "-") {
            writeIni(m_paths, QByteArray(file).replace("@SAVE@", Cp932::encode(saveFolder)));
        }
        const QByteArray before = readTestFile(m_paths.IniPath);

        RecordingMessageSink sink;
        SettingsFile settingsFile(m_paths, sink);
        Settings settings;
        const CheckResult result = CheckSettings(settings, settingsFile, sink);
        QVERIFY(result.settingsWritable);

        int box = 0;
        if (!reason.isEmpty()) {
            QVERIFY(sink.boxes.size() > box);
            QCOMPARE(sink.boxes[box].title, QStringLiteral("File Read"));
            QCOMPARE(sink.boxes[box].icon, MessageIcon::None);
            QCOMPARE(sink.boxes[box].text, QStringLiteral("INIﾌｧｲﾙ読み込みｴﾗｰ : ") + reason +
                                               QStringLiteral("\r\nINIﾌｧｲﾙを初期化します\r\n保存ﾌｫﾙﾀﾞの初期値は ") +
                                               m_paths.ProgramFolder +
                                               QStringLiteral(" です\r\n運用に適したﾌｫﾙﾀﾞを再設定してください"));
            ++box;
            QCOMPARE(readTestFile(m_paths.IniPath), defaultLine(m_paths.ProgramFolder));
        } else {
            QCOMPARE(readTestFile(m_paths.IniPath), before);
        }
        if (folderErrorBox && reason.isEmpty()) {
            QVERIFY(sink.boxes.size() > box);
            QCOMPARE(sink.boxes[box].title, QStringLiteral("エラー！！"));
            QCOMPARE(sink.boxes[box].icon, MessageIcon::Critical);
            QCOMPARE(sink.boxes[box].text, QStringLiteral("保存ﾌｫﾙﾀﾞが存在しません\r\n再設定を行ってください！！"));
            QCOMPARE(result.statusText, sink.boxes[box].text);
            // Kept, in memory and in the file: the day's data is never stored anywhere else.
            QCOMPARE(readTestFile(m_paths.IniPath), before);
            QVERIFY(settings.SaveFolder.endsWith(QStringLiteral("deleted")));
            ++box;
        } else if (!reason.isEmpty()) {
            // The default folder (the program's folder here) exists, so no folder box follows a reset.
            QCOMPARE(settings.SaveFolder, m_paths.ProgramFolder);
        } else {
            QVERIFY(result.statusText.isEmpty());
            QCOMPARE(QDir::toNativeSeparators(QDir::currentPath()), saveFolder);
        }
        QCOMPARE(sink.boxes.size(), box);
    }

    // A file from before with sign-in data in the server text loads as it is, with a status line that it is not used.
    void signInDataInTheServerTextIsNoted()
    {
        Settings written = SettingsFile::defaults(QDir::toNativeSeparators(m_dir.path()));
        written.MailServer = QStringLiteral("smtp://u:p@127.0.0.1:587");
        writeIni(m_paths, SettingsFile::formatFile(written));
        RecordingMessageSink sink;
        SettingsFile settingsFile(m_paths, sink);
        Settings settings;
        const CheckResult result = CheckSettings(settings, settingsFile, sink);
        QCOMPARE(result.notes, QStringList{mailServerCredentialsNote()});
        QVERIFY(sink.boxes.isEmpty());
        QCOMPARE(settings.MailServer, written.MailServer);
    }

    // A first start with the user's earlier settings file takes it as it is, without a box and over the presets,
    // and says once what the install found; one that would be reset gives way to the presets.
    void firstStartTakesEarlierSettings()
    {
        const QString saveFolder = QDir::toNativeSeparators(m_dir.filePath(QStringLiteral("save")));
        QVERIFY(QDir().mkpath(saveFolder));
        Settings earlier = SettingsFile::defaults(saveFolder);
        earlier.RemoteHost = QStringLiteral("127.0.0.9");
        const QByteArray bytes = SettingsFile::formatFile(earlier);
        const QDir dir(m_dir.path());
        m_paths.earlierSettingsPath = QDir::toNativeSeparators(writeTestFile(dir, QStringLiteral("old.ini"), bytes));
        QVERIFY(!writeTestFile(dir, QStringLiteral("zelbo_udp.defaults.ini"), "REMOTEHOST=127.0.0.2\r\n").isEmpty());
        m_paths.programFolderOnNetwork = true;
        m_paths.perUserInstall = QStringLiteral("C:\\P\\ZELBO_UDP");
        m_paths.perUserStartup = QStringLiteral("C:\\S\\ZELBO_UDP.lnk");
        RecordingMessageSink sink;
        SettingsFile settingsFile(m_paths, sink);
        Settings settings;
        CheckResult result = CheckSettings(settings, settingsFile, sink, QStringLiteral("D:\\data"));
        QCOMPARE(readTestFile(m_paths.IniPath), bytes);
        QCOMPARE(settings.RemoteHost, QStringLiteral("127.0.0.9"));
        const QStringList install = {
            QStringLiteral("ﾌﾟﾛｸﾞﾗﾑのﾌｫﾙﾀﾞがﾈｯﾄﾜｰｸ上にあるため設定・受信記録はこのPCに置きます : ") +
                m_paths.ProgramFolder,
            QStringLiteral("ﾕｰｻﾞｰごとのｲﾝｽﾄｰﾙが残っています。ｱﾝｲﾝｽﾄｰﾙしてください : C:\\P\\ZELBO_UDP"),
            QStringLiteral("ﾕｰｻﾞｰごとのｲﾝｽﾄｰﾙもﾛｸﾞｵﾝ時に起動します : C:\\S\\ZELBO_UDP.lnk")};
        QCOMPARE(result.installNotes, install);
        QCOMPARE(result.notes,
                 QStringList{QStringLiteral("設定ﾌｧｲﾙを引き継ぎました : ") + m_paths.earlierSettingsPath} + install +
                     QStringList{QStringLiteral("設定・受信記録ﾌｫﾙﾀﾞ : D:\\data")});
        // Said once: the next start reads its own file.
        QVERIFY(CheckSettings(settings, settingsFile, sink, QStringLiteral("D:\\data")).notes.isEmpty());

        QVERIFY(QFile::remove(m_paths.IniPath));
        QVERIFY(!writeTestFile(dir, QStringLiteral("old.ini"), "\"x\",1\r\n").isEmpty());
        result = CheckSettings(settings, settingsFile, sink);
        QVERIFY(sink.boxes.isEmpty());
        QCOMPARE(settings.RemoteHost, QStringLiteral("127.0.0.2"));
        QCOMPARE(readTestFile(m_paths.earlierSettingsPath), QByteArray("\"x\",1\r\n"));
    }

    void missingFileSkipsTheFolderTestEvenForAMissingDefault()
    {
        m_paths.ProgramFolder = QDir::toNativeSeparators(m_dir.filePath(QStringLiteral("no-such-folder")));
        RecordingMessageSink sink;
        SettingsFile settingsFile(m_paths, sink);
        Settings settings;
        const CheckResult result = CheckSettings(settings, settingsFile, sink);
        QVERIFY(result.settingsWritable);
        QCOMPARE(sink.boxes.size(), 1);
        QVERIFY(result.statusText.isEmpty());
        QCOMPARE(settings.SaveFolder, m_paths.ProgramFolder);
    }

    void documentsFolderLineWhenTheFlagIsSet()
    {
        m_paths.IsVersion6OrLater = true;
        RecordingMessageSink sink;
        SettingsFile settingsFile(m_paths, sink);
        Settings settings;
        QVERIFY(settingsFile.ResetSettingsFile(settings, QStringLiteral("ﾌｧｲﾙなし")));
        QCOMPARE(sink.boxes.size(), 1);
        QCOMPARE(sink.boxes[0].text.split(QStringLiteral("\r\n")).at(2),
                 QStringLiteral("保存ﾌｫﾙﾀﾞの初期値はﾏｲﾄﾞｷｭﾒﾝﾄﾌｫﾙﾀﾞです"));
    }

    void unwritableFileEndsTheProgramAfterOneErrorBox()
    {
        blockIniPath(m_dir, m_paths, QStringLiteral("blocker"));

        RecordingMessageSink sink;
        SettingsFile settingsFile(m_paths, sink);
        Settings settings;
        const CheckResult result = CheckSettings(settings, settingsFile, sink);
        QVERIFY(!result.settingsWritable);
        QCOMPARE(sink.boxes.size(), 2);
        QCOMPARE(sink.boxes[1].title, QStringLiteral("File Open Error"));
        QVERIFY(sink.boxes[1].text.startsWith(QStringLiteral("INIﾌｧｲﾙ書き込みｵｰﾌﾟﾝｴﾗｰ : ")));
        QVERIFY(sink.boxes[1].text.size() > QStringLiteral("INIﾌｧｲﾙ書き込みｵｰﾌﾟﾝｴﾗｰ : ").size());
    }
};

QTEST_GUILESS_MAIN(TestSettingsCheck)
#include "TestSettingsCheck.moc"
