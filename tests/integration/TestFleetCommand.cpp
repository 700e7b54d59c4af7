// The real program's --fleet-report over a folder of status files, as a scheduled check runs it: its lines, its CSV,
// its exit code, and the folder it takes from IT's presets when none is named.

#include "base/Cp932.h"
#include "fakes/TestFiles.h"
#include "output/StatusReport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestFleetCommand : public QObject
{
    Q_OBJECT

private:
    struct Run
    {
        int exitCode = -1;
        QByteArray output;
    };

    static Run fleetReport(const QStringList& arguments, const QString& exe = QStringLiteral(ZELBO_UDP_PATH))
    {
        QProcess program;
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(exe, QStringList{u"--fleet-report"_s} + arguments);
        if (!program.waitForStarted(10000) || !program.waitForFinished(30000)) {
            program.kill();
            return {};
        }
        return {program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1,
                program.readAllStandardOutput()};
    }

    // UTF-8 on Linux; on Windows the console's code page, 932 unless it is UTF-8.
    static QStringList lines(const Run& run)
    {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = utf8.decode(run.output);
        if (utf8.hasError()) {
            text = Cp932::decodeShown(run.output);
        }
        return text.remove(u'\r').split(u'\n', Qt::SkipEmptyParts);
    }

    static QString writeStatus(const QDir& folder, const QString& pc, StatusRecord::State state)
    {
        StatusRecord record;
        record.pc = pc;
        record.user = u"tanaka"_s;
        record.state = state;
        if (state == StatusRecord::State::Failing) {
            record.failure = StatusRecord::Failure{u"保存ﾌｫﾙﾀﾞが存在しません : D:\\受信"_s,
                                                   QDateTime::currentDateTime().addSecs(-600), 40};
        }
        return writeTestFile(folder, statusCopyName(pc, record.user, QString()), statusJson(record));
    }

private slots:
    void reportsEveryCopyAndExitsForAScheduledCheck()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QDir folder(dir.path());
        QVERIFY(!writeStatus(folder, u"PC01"_s, StatusRecord::State::Polling).isEmpty());
        const QString failing = writeStatus(folder, u"PC02"_s, StatusRecord::State::Failing);
        const QString silent = writeStatus(folder, u"PC03"_s, StatusRecord::State::Polling);
        QFile old(silent);
        QVERIFY(old.open(QIODevice::ReadWrite));
        QVERIFY(old.setFileTime(QDateTime::currentDateTime().addSecs(-20 * 60), QFileDevice::FileModificationTime));
        old.close();

        Run run = fleetReport({dir.path()});
        QCOMPARE(run.exitCode, 1);
        QStringList report = lines(run);
        QCOMPARE(report.size(), 4);
        QVERIFY2(report[0].startsWith(u"PC "_s) && report[0].contains(u"状態"_s), qPrintable(report[0]));
        QVERIFY2(report[1].startsWith(u"PC01 "_s) && report[1].contains(u"  通信中"_s), qPrintable(report[1]));
        QVERIFY2(report[2].startsWith(u"PC02 "_s) && report[2].contains(u"  異常  "_s), qPrintable(report[2]));
        QVERIFY(report[2].endsWith(u"保存ﾌｫﾙﾀﾞが存在しません : D:\\受信"_s));
        QVERIFY2(report[3].startsWith(u"PC03 "_s) && report[3].contains(u"  応答なし"_s), qPrintable(report[3]));

        // All fresh and polling: 0. The CSV is code page 932 with CR LF, for Excel.
        QVERIFY(QFile::remove(failing) && QFile::remove(silent));
        run = fleetReport({dir.path()});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(lines(run).size(), 2);
        run = fleetReport({dir.path(), u"--csv"_s});
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.output.startsWith(Cp932::encode(u"PC,ﾕｰｻﾞｰ,ﾌﾟﾛﾌｧｲﾙ,状態,"_s)));
        QCOMPARE(run.output.count("\r\n"), 2);
        QVERIFY(run.output.contains("\r\nPC01,tanaka,,"));

        // A folder that is not there, or an argument it does not take: 2.
        QCOMPARE(fleetReport({dir.filePath(u"gone"_s)}).exitCode, 2);
        QCOMPARE(fleetReport({dir.path(), u"--cvs"_s}).exitCode, 2);

        // Without a folder named: STATUSFOLDER of IT's presets beside a copy of the program.
        QTemporaryDir program;
        QVERIFY(program.isValid());
        const QString exe = program.filePath(QFileInfo(QStringLiteral(ZELBO_UDP_PATH)).fileName());
        QVERIFY(QFile::copy(QStringLiteral(ZELBO_UDP_PATH), exe));
        QCOMPARE(fleetReport({}, exe).exitCode, 2);
        QVERIFY(!writeTestFile(QDir(program.path()), u"zelbo_udp.defaults.ini"_s,
                               (u"STATUSFOLDER="_s + dir.path() + u"\r\n"_s).toUtf8())
                     .isEmpty());
        run = fleetReport({}, exe);
        QCOMPARE(run.exitCode, 0);
        QVERIFY(lines(run).value(1).startsWith(u"PC01 "_s));
    }
};

QTEST_GUILESS_MAIN(TestFleetCommand)
#include "TestFleetCommand.moc"
