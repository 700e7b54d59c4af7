// status.json as the program writes it, fed through CycleRecorder's listener, in a test's own folder; and its copy in
// IT's folder, which a share that is down never lets hold a cycle.

#include "output/CycleRecorder.h"
#include "output/StatusFile.h"
#include "output/StatusReport.h"
#include "fakes/TestFiles.h"

#include <QDir>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestStatusFile : public QObject
{
    Q_OBJECT

private:
    // The hanging copy's thread outlives a failed check: these outlive every test.
    QSemaphore m_release;
    QByteArray m_lastCopy;

    static Output::CycleSummary cycle(const QDateTime& time, Output::CycleEnd end, const QString& failure = {})
    {
        return {time, u"棚卸@2.txt"_s,     2,         end == Output::CycleEnd::Acknowledged ? 2 : 0,
                end,  u"/save/棚卸.txt"_s, QString(), failure};
    }

    static StatusRecord readBack(const QString& path)
    {
        return readStatusJson(readTestFile(path)).value_or(StatusRecord{});
    }

private slots:
    void storedCycleThenAnOutage()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QDir(dir.path()).mkdir(u"share"_s));
        const QString path = dir.filePath(u"status.json"_s);
        CycleRecorder recorder(dir.filePath(u"History.csv"_s));
        StatusFile status({u"1.4.0"_s, u"PC01"_s, u"tanaka"_s, QString(), dir.path()}, path, dir.filePath(u"share"_s));
        recorder.addCycleListener([&status](const CycleRecorder::CycleNotice& notice) { status.cycleEnded(notice); });
        status.setPolling(true);

        // Whole seconds, as the file keeps them.
        const QDateTime start = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() - 60);
        (void)recorder.record(cycle(start, Output::CycleEnd::Acknowledged));
        StatusRecord record = readBack(path);
        QCOMPARE(record.state, StatusRecord::State::Polling);
        QCOMPARE(record.pc, u"PC01"_s);
        QCOMPARE(record.lastStored, std::optional(StatusRecord::StoredCycle{
                                        start, u"棚卸@2.txt"_s, 2, QDir::toNativeSeparators(u"/save/棚卸.txt"_s)}));
        QCOMPARE(record.acknowledged, 1);
        QVERIFY(!record.failure);

        const QString reason = u"保存ﾌｫﾙﾀﾞが存在しません : /save  2:No such file or directory"_s;
        for (int i = 1; i <= 3; ++i) {
            (void)recorder.record(cycle(start.addSecs(i), Output::CycleEnd::Failed, reason));
        }
        record = readBack(path);
        QCOMPARE(record.state, StatusRecord::State::Failing);
        QCOMPARE(record.failure, std::optional(StatusRecord::Failure{reason, start.addSecs(1), 3}));
        QCOMPARE(record.lastStored->time, start);
        QCOMPARE(record.cancelled, 3);

        // The copy in IT's folder holds the same, under the PC's and user's name.
        QCOMPARE(status.copyPath(), QDir::toNativeSeparators(dir.filePath(u"share/PC01-tanaka.json"_s)));
        QTRY_VERIFY(!status.copyBusy());
        QCOMPARE(readTestFile(status.copyPath()), readTestFile(path));

        // A policy names another folder while the program runs: the copy goes there at once.
        const QString otherShare = dir.filePath(u"share2"_s);
        QVERIFY(QDir(dir.path()).mkdir(u"share2"_s));
        status.setStatusFolder(otherShare);
        QCOMPARE(status.copyPath(), QDir::toNativeSeparators(otherShare + u"/PC01-tanaka.json"_s));
        QTRY_VERIFY(!status.copyBusy());
        QCOMPARE(readBack(status.copyPath()).statusFolder, QDir::toNativeSeparators(otherShare));
        QCOMPARE(readTestFile(status.copyPath()), readTestFile(path));

        // Rewritten while nothing happens, so that a reader can tell a quiet copy from a gone one.
        status.setRewriteInterval(std::chrono::milliseconds(50));
        status.write();
        QVERIFY(QFile::remove(path));
        QTRY_VERIFY(QFile::exists(path));
    }

    void aShareThatHangsOrFailsIsCountedAndSaidOnce()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(u"status.json"_s);
        const QString share = dir.filePath(u"share"_s);
        StatusFile status({u"1.4.0"_s, u"PC01"_s, u"tanaka"_s, u"1F"_s, dir.path()}, path, share);
        QStringList lines;
        status.setLineListener([&lines](const QString& line) { lines << line; });
        status.setSlowCopyAfter(std::chrono::milliseconds(0));
        status.setCopyWriter([this](const QString&, const QByteArray& bytes) {
            m_release.acquire();
            m_lastCopy = bytes;
            return std::optional<SystemError>();
        });

        // The copy hangs: the file is written all the same, and of the copies meanwhile only the newest waits.
        status.setPolling(true);
        QVERIFY(status.copyBusy());
        for (int i = 0; i < 3; ++i) {
            status.write();
        }
        QCOMPARE(readBack(path).state, StatusRecord::State::Polling);
        QCOMPARE(readBack(path).copiesSkipped, 1); // as the third write found it
        const QString label = u"状態ﾌｧｲﾙを "_s + QDir::toNativeSeparators(share) + u" に書き込めません :"_s;
        QCOMPARE(lines, QStringList{label + u" 前回の書き込みが終わっていません"_s});
        m_release.release(2);
        QTRY_VERIFY(!status.copyBusy());
        QCOMPARE(m_lastCopy, readTestFile(path));

        // Once it has worked again, the next failure is said again: the program's writer, the folder missing.
        status.setCopyWriter(StatusFile::shareWriter());
        for (int i = 0; i < 2; ++i) {
            status.write();
            QTRY_VERIFY(!status.copyBusy());
        }
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[1].startsWith(label + u' ') && lines[1] != lines[0], qPrintable(lines[1]));
        status.write();
        QCOMPARE(readBack(path).copiesFailed, 2);
        QTRY_VERIFY(!status.copyBusy());
    }
};

QTEST_GUILESS_MAIN(TestStatusFile)
#include "TestStatusFile.moc"
