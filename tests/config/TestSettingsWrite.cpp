#include "config/SettingsCheck.h"
#include "config/SettingsFile.h"
#include "fakes/FileFaults.h"
#include "fakes/RecordingMessageSink.h"
#include "fakes/TestFiles.h"

#include "SettingsLines.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>
#include <optional>

#include <sys/stat.h>

// Writing the settings file, from the dialog and at a reset: whole or not at all, and the boxes that say why not.
class TestSettingsWrite : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    ProgramPaths m_paths;
    QString m_startDir;

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

    void dialogWriteFailureStillAppliesTheSettings()
    {
        blockIniPath(m_dir, m_paths, QStringLiteral("blocker2"));

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
        writeIni(m_paths, QByteArray(4096, 'x'));
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
        writeIni(m_paths, old);
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
        writeIni(m_paths, QByteArray(4096, 'x'));
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
        writeIni(m_paths, old);
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

QTEST_GUILESS_MAIN(TestSettingsWrite)
#include "TestSettingsWrite.moc"
