#include "output/StatusReport.h"
#include "output/StatusTracker.h"

#include <QStringList>
#include <QTest>
#include <QTimeZone>

using namespace Qt::StringLiterals;

class TestStatusReport : public QObject
{
    Q_OBJECT

private slots:
    // What scripts read back: every field, times with their offset, and what is no status file at all.
    void jsonBothWays()
    {
        const QTimeZone tokyo(9 * 3600);
        const QDateTime at(QDate(2026, 12, 7), QTime(9, 30, 5), tokyo);
        StatusRecord full;
        full.version = u"1.4.0"_s;
        full.pc = u"PC01"_s;
        full.user = u"tanaka"_s;
        full.profile = u"1F"_s;
        full.dataFolder = u"C:\\Users\\tanaka\\AppData\\Local\\ZELBO_UDP"_s;
        full.state = StatusRecord::State::Failing;
        full.written = at.addSecs(60);
        full.lastPoll = at.addSecs(50);
        full.lastStored = StatusRecord::StoredCycle{at, u"棚卸@1.txt"_s, 120, u"D:\\受信\\棚卸.txt"_s};
        full.failure = StatusRecord::Failure{u"保存ﾌｫﾙﾀﾞが存在しません : D:\\受信"_s, at.addSecs(30), 4};
        full.today = at.date();
        full.acknowledged = 2;
        full.cancelled = 4;
        full.statusFolder = u"\\\\srv\\zelbo"_s;
        full.copiesFailed = 1;
        full.copiesSkipped = 3;
        const QByteArray json = statusJson(full);
        QCOMPARE(readStatusJson(json), std::optional<StatusRecord>(full));
        QVERIFY(json.contains(R"("state": "failing")"));
        QVERIFY(json.contains(R"("since": "2026-12-07T09:30:35+09:00")"));

        StatusRecord bare;
        bare.pc = u"PC02"_s;
        QCOMPARE(readStatusJson(statusJson(bare)), std::optional<StatusRecord>(bare));
        QVERIFY(statusJson(bare).contains(R"("lastStored": null)"));

        for (const QByteArray& notStatus :
             {QByteArray("{\"pc\": \"PC01\", \"state\": \"asleep\"}"), QByteArray("{\"state\": \"polling\"}"),
              QByteArray("[1, 2]"), json.left(json.size() / 2)}) {
            QVERIFY2(!readStatusJson(notStatus), notStatus.constData());
        }
    }

    void copyName_data()
    {
        QTest::addColumn<QString>("pc");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("name");
        QTest::newRow("no profile") << u"PC01"_s << u"tanaka"_s << QString() << u"PC01-tanaka.json"_s;
        QTest::newRow("profile") << u"PC01"_s << u"tanaka"_s << u"1F"_s << u"PC01-tanaka-1F.json"_s;
        QTest::newRow("what a file name cannot hold")
            << u"PC:01"_s << u"a/b\\c"_s << u"x*?"_s << u"PC_01-a_b_c-x__.json"_s;
    }
    void copyName()
    {
        QFETCH(QString, pc);
        QFETCH(QString, user);
        QFETCH(QString, profile);
        QFETCH(QString, name);
        QCOMPARE(statusCopyName(pc, user, profile), name);
    }

    // A day and the next morning, each "time event>state ACK CAN failure-since/cycles last-stored": "+" stored, "stop",
    // "idle" (the terminal did not answer), "on"/"off" the run's state, "check" a write with no event; else a
    // failure's reason.
    void trackerTranscript()
    {
        const QStringList day = {
            u"08:00 on>polling 0 0 - -"_s,
            u"08:10 +>polling 1 0 - 08:10"_s,
            // A failure lasts from its first cycle to the next stored one, whatever its reason became meanwhile.
            u"08:20 A>failing 1 1 08:20/1 08:10"_s,
            u"08:21 A>failing 1 2 08:20/2 08:10"_s,
            u"08:22 B>failing 1 3 08:20/3 08:10"_s,
            // A Stop answers "CAN" and says nothing of the failure; stopped shows over it.
            u"08:23 stop>failing 1 4 08:20/3 08:10"_s,
            u"08:24 off>stopped 1 4 08:20/3 08:10"_s,
            u"08:30 on>failing 1 4 08:20/3 08:10"_s,
            u"08:31 +>polling 2 4 - 08:31"_s,
            // A network away, then back with the terminal quiet: nothing fails any more.
            u"09:00 net>failing 2 5 09:00/1 08:31"_s,
            u"09:01 idle>polling 2 5 - 08:31"_s,
            // Local midnight starts the counts afresh, with or without a cycle.
            u"+1 00:05 check>polling 0 0 - 08:31"_s,
            u"+1 07:00 +>polling 1 0 - 07:00"_s,
        };
        const QDate first(2026, 12, 7);
        StatusTracker tracker;
        QStringList actual;
        for (const QString& step : day) {
            const QString when = step.section(u'>', 0, 0);
            const bool nextDay = when.startsWith(u"+1 "_s);
            const QStringList parts = when.mid(nextDay ? 3 : 0).split(u' ');
            const QDateTime time(first.addDays(nextDay ? 1 : 0), QTime::fromString(parts[0], u"HH:mm"_s));
            const QString event = parts[1];
            if (event == u"on"_s || event == u"off"_s) {
                tracker.setPolling(event == u"on"_s);
            } else if (event == u"idle"_s) {
                tracker.idlePoll(time);
            } else if (event != u"check"_s) {
                CycleRecorder::CycleNotice cycle;
                cycle.time = time;
                cycle.outcome = event == u"+"_s      ? OutageRule::Outcome::Stored
                                : event == u"stop"_s ? OutageRule::Outcome::Stopped
                                                     : OutageRule::Outcome::Failed;
                cycle.failure = cycle.outcome == OutageRule::Outcome::Failed ? event : QString();
                cycle.terminalFile = u"T.txt"_s;
                cycle.records = 3;
                tracker.cycleEnded(cycle);
            }
            StatusRecord record;
            tracker.fill(record, time);
            const QString states[] = {u"polling"_s, u"stopped"_s, u"failing"_s};
            const QString failure = record.failure ? record.failure->since.toString(u"HH:mm"_s) + u'/' +
                                                         QString::number(record.failure->cycles)
                                                   : u"-"_s;
            const QString stored = record.lastStored ? record.lastStored->time.toString(u"HH:mm"_s) : u"-"_s;
            actual << when + u'>' + states[int(record.state)] + u' ' + QString::number(record.acknowledged) + u' ' +
                          QString::number(record.cancelled) + u' ' + failure + u' ' + stored;
            if (record.lastStored) {
                QCOMPARE(record.lastStored->terminalFile, u"T.txt"_s);
                QCOMPARE(record.lastStored->records, 3);
            }
        }
        QCOMPARE(actual, day);
    }
};

QTEST_GUILESS_MAIN(TestStatusReport)
#include "TestStatusReport.moc"
