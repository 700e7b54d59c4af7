#include "base/Cp932.h"
#include "config/RefusalRules.h"
#include "config/SettingsCheck.h"
#include "config/SettingsFile.h"
#include "fakes/FileFaults.h"
#include "fakes/RecordingMessageSink.h"
#include "fakes/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>
#include <optional>

#include <sys/stat.h>

namespace {

const QByteArray DefaultTail =
    R"("6000","192.168.0.111","6001",0,"",0,0,0,0,0,0,"","",1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,"","","1","")";

QByteArray defaultLine(const QString& folder)
{
    return "\"" + Cp932::encode(folder) + "\"," + DefaultTail + "\r\n";
}

// One line of 38 values with the given item replaced (1-based position), for reading-rule cases.
QByteArray lineWithItem(int position, const QByteArray& item)
{
    QList<QByteArray> items = defaultLine(QStringLiteral("C:\\Data")).trimmed().split(',');
    items[position - 1] = item;
    return items.join(',') + "\r\n";
}

} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    ProgramPaths m_paths;
    QString m_startDir;

    void writeIni(const QByteArray& bytes)
    {
        QFile file(m_paths.IniPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }
    // Points the settings file below a regular file, where nothing can be created, even as root.
    void blockIniPath(const QString& blocker)
    {
        QFile file(m_dir.filePath(blocker));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        m_paths.IniPath = m_dir.filePath(blocker + QStringLiteral("/zelbo_udp.ini"));
    }
    QStringList files() const { return QDir(m_dir.path()).entryList(QDir::Files | QDir::System); }

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
        QDir::setCurrent(m_startDir);
    }

    void formatMatchesTheDocumentedDefaultLine()
    {
        const QByteArray expected = R"("C:\Users\op\Documents","6000","192.168.0.111","6001",0,"",0,0,0,0,0,0,"","",)"
                                    R"(1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,"","","1","")"
                                    "\r\n";
        QCOMPARE(SettingsFile::formatFile(SettingsFile::defaults(QStringLiteral("C:\\Users\\op\\Documents"))),
                 expected);
    }

    void roundTripOfEveryValue()
    {
        Settings s;
        s.SaveFolder = QStringLiteral("D:\\受信データ");
        s.LocalPort = QStringLiteral("7000");
        s.RemoteHost = QStringLiteral("127.0.0.1");
        s.RemotePort = QStringLiteral("7001");
        s.AddDate = 4;
        s.FixFname = QStringLiteral("ﾃﾞｰﾀ");
        s.CrcType = 1;
        s.OverWrite = 1;
        s.StartUpSize = 1;
        s.AutoStart = 1;
        s.Protocol = 1;
        s.SendMail = 7;
        s.MailAddress = QStringLiteral("to@example.com");
        s.MailSub = QStringLiteral("売上, 本日分");
        for (int i = 0; i < Settings::FieldCount; ++i) {
            s.FieldSelect[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i % 2);
        }
        s.FieldSelect[19] = -32768;
        s.FromMailAddress = QStringLiteral("from@example.com");
        s.MailServer = QStringLiteral("smtp://user:pw@127.0.0.1:2525");
        s.TimeAdjust = QStringLiteral("0");
        s.MailUser = QStringLiteral("taro@example.jp");

        Settings back;
        QCOMPARE(SettingsFile::parse(SettingsFile::formatFile(s), back), ReadResult::Ok);
        QVERIFY(back == s);
    }

    // Every value differs from every other (each integer is its own position), so writing or reading any two
    // positions swapped changes the line or the record.
    void everyValueInItsOwnPosition()
    {
        Settings s;
        s.SaveFolder = QStringLiteral("D:\\受信\\1");
        s.LocalPort = QStringLiteral("7002");
        s.RemoteHost = QStringLiteral("127.0.0.3");
        s.RemotePort = QStringLiteral("7004");
        s.AddDate = 5;
        s.FixFname = QStringLiteral("ﾃﾞｰﾀ6");
        s.CrcType = 7;
        s.OverWrite = 8;
        s.StartUpSize = 9;
        s.AutoStart = 10;
        s.Protocol = 11;
        s.SendMail = 12;
        s.MailAddress = QStringLiteral("to13@example.invalid");
        s.MailSub = QStringLiteral("売上, 14");
        s.FieldSelect = {15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34};
        s.FromMailAddress = QStringLiteral("from35@example.invalid");
        s.MailServer = QStringLiteral("smtp36.example.invalid");
        s.TimeAdjust = QStringLiteral("0.37");
        s.MailUser = QStringLiteral("user38");

        const QByteArray line = Cp932::encode(
            QStringLiteral(R"("D:\受信\1","7002","127.0.0.3","7004",5,"ﾃﾞｰﾀ6",7,8,9,10,11,12,"to13@example.invalid",)"
                           R"("売上, 14",15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31,32,33,34,)"
                           R"("from35@example.invalid","smtp36.example.invalid","0.37","user38")"
                           "\r\n"));
        QCOMPARE(SettingsFile::formatFile(s), line);
        Settings back;
        QCOMPARE(SettingsFile::parse(line, back), ReadResult::Ok);
        QVERIFY(back == s);
    }

    void readingRules_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("mailSub");
        QTest::addColumn<int>("addDate");

        const QByteArray line = defaultLine(QStringLiteral("C:\\Data"));
        const int ok = int(ReadResult::Ok);
        const int invalid = int(ReadResult::Invalid);
        QTest::newRow("as written") << line << ok << QString() << 0;
        QByteArray multiLine = line;
        multiLine.replace(",", ",\r\n");
        QTest::newRow("one value per line") << multiLine << ok << QString() << 0;
        QByteArray lineEnds = line;
        lineEnds.replace("\"6000\",", "\"6000\"\r\n");
        QTest::newRow("line end instead of comma") << lineEnds << ok << QString() << 0;
        QByteArray spaced = line;
        spaced.replace(",", ",  ");
        QTest::newRow("spaces before items") << spaced << ok << QString() << 0;
        QTest::newRow("comma inside quotes") << lineWithItem(14, "\"a,b\"") << ok << QStringLiteral("a,b") << 0;
        QTest::newRow("junk after closing quote") << lineWithItem(14, "\"x\"yz") << ok << QStringLiteral("x") << 0;
        QTest::newRow("empty integer reads 0") << lineWithItem(5, "") << ok << QString() << 0;
        QTest::newRow("integer 4") << lineWithItem(5, "4") << ok << QString() << 4;
        QTest::newRow("extra values ignored") << QByteArray(line.trimmed() + ",9\r\n") << ok << QString() << 0;
        // Older files end at the 37th value: no mail user.
        QTest::newRow("37 values") << line.left(line.lastIndexOf(',')) << ok << QString() << 0;
        QTest::newRow("no final line end") << line.trimmed() << ok << QString() << 0;
        QTest::newRow("70000") << lineWithItem(7, "70000") << invalid << QString() << 0;
        QTest::newRow("-40000") << lineWithItem(20, "-40000") << invalid << QString() << 0;
        QTest::newRow("not a number") << lineWithItem(8, "abc") << invalid << QString() << 0;
        QTest::newRow("fraction") << lineWithItem(8, "1.5") << invalid << QString() << 0;
        QTest::newRow("empty file") << QByteArray() << invalid << QString() << 0;
        QTest::newRow("truncated") << line.left(line.size() / 2) << invalid << QString() << 0;
        QByteArray values36 = line.left(line.lastIndexOf(','));
        QTest::newRow("36 values") << values36.left(values36.lastIndexOf(',')) << invalid << QString() << 0;
        QTest::newRow("binary garbage") << QByteArray("\x00\xFF\x81\x10,\x9F\xFE\r\n", 8) << invalid << QString() << 0;
    }
    void readingRules()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, result);
        QFETCH(QString, mailSub);
        QFETCH(int, addDate);
        Settings s;
        s.MailUser = QStringLiteral("left from before");
        QCOMPARE(int(SettingsFile::parse(bytes, s)), result);
        if (result == int(ReadResult::Ok)) {
            QCOMPARE(s.MailUser, QString());
            QCOMPARE(s.SaveFolder, QStringLiteral("C:\\Data"));
            QCOMPARE(s.MailSub, mailSub);
            QCOMPARE(int(s.AddDate), addDate);
            QCOMPARE(s.TimeAdjust, QStringLiteral("1"));
        }
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
            writeIni(QByteArray(file).replace("@SAVE@", Cp932::encode(saveFolder)));
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
        writeIni(SettingsFile::formatFile(written));
        RecordingMessageSink sink;
        SettingsFile settingsFile(m_paths, sink);
        Settings settings;
        const CheckResult result = CheckSettings(settings, settingsFile, sink);
        QCOMPARE(result.notes, QStringList{mailServerCredentialsNote()});
        QVERIFY(sink.boxes.isEmpty());
        QCOMPARE(settings.MailServer, written.MailServer);
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
        blockIniPath(QStringLiteral("blocker"));

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

    void dialogWriteFailureStillAppliesTheSettings()
    {
        blockIniPath(QStringLiteral("blocker2"));

        RecordingMessageSink sink;
        SettingsFile settingsFile(m_paths, sink);
        Settings live;
        Settings edited;
        edited.SaveFolder = QStringLiteral("/new/folder");
        edited.AutoStart = 1;
        settingsFile.WriteSettingsFile(edited);
        QCOMPARE(sink.boxes.size(), 2);
        QCOMPARE(sink.boxes[0].title, QStringLiteral("File Open Error"));
        QCOMPARE(sink.boxes[1].title, QStringLiteral("File Write Error"));
        QVERIFY(sink.boxes[1].text.startsWith(QStringLiteral("INIﾌｧｲﾙ書き込みｴﾗｰ : ")));
        // The live record is the caller's: the write leaves it alone.
        QVERIFY(live == Settings());
    }

    void dialogWriteReplacesTheWholeFile()
    {
        writeIni(QByteArray(4096, 'x'));
        RecordingMessageSink sink;
        SettingsFile settingsFile(m_paths, sink);
        Settings edited;
        edited.SaveFolder = QStringLiteral("C:\\Data");
        settingsFile.WriteSettingsFile(edited);
        QVERIFY(sink.boxes.isEmpty());
        QCOMPARE(readTestFile(m_paths.IniPath), defaultLine(QStringLiteral("C:\\Data")));
        Settings reread;
        QCOMPARE(settingsFile.ReadSettingsFile(reread), ReadResult::Ok);
        QVERIFY(reread == edited);
    }

#ifndef Q_OS_WIN // POSIX file-system faults (size limit, FIFOs, devices, permission bits)
    // A disk that fills up while the file is written (a file-size limit stands in for it), from the dialog and at
    // start-up, beside the file or in place: the old file stays byte for byte and a box names the failure.
    void failedWriteLeavesTheOldFile_data()
    {
        QTest::addColumn<bool>("reset");
        QTest::addColumn<bool>("lockedFolder");
        QTest::newRow("dialog") << false << false;
        QTest::newRow("dialog, in place") << false << true;
        QTest::newRow("start-up reset") << true << false;
        QTest::newRow("start-up reset, in place") << true << true;
    }
    void failedWriteLeavesTheOldFile()
    {
        QFETCH(bool, reset);
        QFETCH(bool, lockedFolder);
        // Shorter than both new files: the folder below is longer than "C:" and the edited subject is long.
        const QByteArray old = defaultLine(QStringLiteral("C:"));
        writeIni(old);
        std::optional<LockedFolder> lock;
        if (lockedFolder) {
            lock.emplace(m_dir.path());
            if (!lock->locked()) {
                QSKIP("no way to keep this user from creating files in a folder here");
            }
            QVERIFY(!QFile(m_dir.filePath(QStringLiteral("probe"))).open(QIODevice::WriteOnly));
        }
        const QStringList before = files();

        RecordingMessageSink sink;
        SettingsFile settingsFile(m_paths, sink);
        Settings live;
        Settings edited;
        edited.MailSub = QString(300, u'x');
        bool written = true;
        {
            const FileSizeLimit limit(rlim_t(old.size() + 4));
            QVERIFY(limit.active());
            if (reset) {
                written = settingsFile.ResetSettingsFile(live, QStringLiteral("ﾌｧｲﾙ不正"));
            } else {
                settingsFile.WriteSettingsFile(edited);
            }
        }
        QCOMPARE(readTestFile(m_paths.IniPath), old);
        QCOMPARE(files(), before);
        QCOMPARE(written, !reset);
        QCOMPARE(sink.boxes.size(), reset ? 2 : 1);
        QCOMPARE(sink.boxes.last().title, QStringLiteral("File Write Error"));
        QCOMPARE(sink.boxes.last().text, QStringLiteral("INIﾌｧｲﾙ書き込みｴﾗｰ : File too large"));
    }

    // Users may write the settings file but not create files beside it: start-up reset and dialog write in place.
    void writesInPlaceWhereTheFolderForbidsNewFiles()
    {
        writeIni(QByteArray(4096, 'x'));
        LockedFolder lock(m_dir.path());
        if (!lock.locked()) {
            QSKIP("no way to keep this user from creating files in a folder here");
        }
        QVERIFY(!QFile(m_dir.filePath(QStringLiteral("probe"))).open(QIODevice::WriteOnly));
        const QStringList before = files();

        RecordingMessageSink sink;
        SettingsFile settingsFile(m_paths, sink);
        Settings settings;
        QVERIFY(CheckSettings(settings, settingsFile, sink).settingsWritable);
        QCOMPARE(sink.boxes.size(), 1);
        QCOMPARE(readTestFile(m_paths.IniPath), defaultLine(m_paths.ProgramFolder));

        Settings edited = settings;
        edited.MailSub = QStringLiteral("売上");
        settingsFile.WriteSettingsFile(edited);
        QCOMPARE(sink.boxes.size(), 1);
        QCOMPARE(readTestFile(m_paths.IniPath), SettingsFile::formatFile(edited));
        QCOMPARE(files(), before);
    }

    // Neither a read-only file nor a FIFO in the settings file's place is replaced, and the FIFO blocks nothing.
    void readOnlyOrSpecialFileIsNotReplaced()
    {
        const QByteArray old = defaultLine(QStringLiteral("C:\\Old"));
        writeIni(old);
        const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
        QVERIFY(QFile::setPermissions(m_paths.IniPath, readOnly));
        RecordingMessageSink sink;
        SettingsFile settingsFile(m_paths, sink);
        Settings edited;
        edited.AutoStart = 1;
        settingsFile.WriteSettingsFile(edited);
        QCOMPARE(sink.boxes.size(), 2);
        QCOMPARE(sink.boxes[0].title, QStringLiteral("File Open Error"));
        QCOMPARE(sink.boxes[0].text, QStringLiteral("INIﾌｧｲﾙ書き込みｵｰﾌﾟﾝｴﾗｰ : Permission denied"));
        QCOMPARE(sink.boxes[1].text, QStringLiteral("INIﾌｧｲﾙ書き込みｴﾗｰ : Permission denied"));
        QCOMPARE(readTestFile(m_paths.IniPath), old);
        const auto anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
        QVERIFY(!(QFile::permissions(m_paths.IniPath) & anyWrite));
        QVERIFY(QFile::setPermissions(m_paths.IniPath, readOnly | QFileDevice::WriteOwner));
        QVERIFY(QFile::remove(m_paths.IniPath));

        // At start-up a FIFO reads as a missing file; the reset cannot write it, so the program ends.
        const QByteArray fifo = QFile::encodeName(m_paths.IniPath);
        QCOMPARE(::mkfifo(fifo.constData(), 0644), 0);
        sink.boxes.clear();
        Settings settings;
        QVERIFY(!CheckSettings(settings, settingsFile, sink).settingsWritable);
        QCOMPARE(sink.boxes.size(), 2);
        QVERIFY(sink.boxes[0].text.startsWith(QStringLiteral("INIﾌｧｲﾙ読み込みｴﾗｰ : ﾌｧｲﾙなし\r\n")));
        QCOMPARE(sink.boxes[1].title, QStringLiteral("File Open Error"));
        QCOMPARE(sink.boxes[1].text, QStringLiteral("INIﾌｧｲﾙ書き込みｵｰﾌﾟﾝｴﾗｰ : No such device or address"));
        struct stat info = {};
        QVERIFY(::stat(fifo.constData(), &info) == 0 && S_ISFIFO(info.st_mode));
    }
#endif
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "TestSettingsFile.moc"
