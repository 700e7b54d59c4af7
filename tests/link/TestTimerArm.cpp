#include "link/TimerArm.h"

#include <QTest>

Q_DECLARE_METATYPE(TimerRule)

class TestTimerArm : public QObject
{
    Q_OBJECT

private slots:
    void armsForTheTimeLeft_data();
    void armsForTheTimeLeft();
};

void TestTimerArm::armsForTheTimeLeft_data()
{
    QTest::addColumn<qint64>("leftNs");
    QTest::addColumn<TimerRule>("rule");
    QTest::addColumn<bool>("coarse");
    QTest::addColumn<int>("intervalMs");
    QTest::addColumn<qint64>("latestMs");

    constexpr qint64 ms = 1000 * 1000;
    const TimerRule precise = TimerRule::Precise;
    const TimerRule windows = TimerRule::CoarseThenPrecise;

    QTest::newRow("precise: a reply time-out") << 1000 * ms << precise << false << 1000 << qint64(1000);
    QTest::newRow("precise: a part of a ms rounds up") << 10 * ms + 1 << precise << false << 11 << qint64(11);
    QTest::newRow("precise: nothing left is 1 ms, not 0") << qint64(0) << precise << false << 1 << qint64(1);
    QTest::newRow("precise: past the end") << -3 * ms << precise << false << 1 << qint64(1);
    QTest::newRow("precise: the longest wait") << 327670 * ms << precise << false << 327670 << qint64(327670);

    // A coarse timer fires up to 5% and a system tick late: it is armed short, and the rest is armed when it fires.
    QTest::newRow("windows: a reply time-out") << 1000 * ms << windows << true << 937 << qint64(1000);
    QTest::newRow("windows: a 3 s pause") << 3000 * ms << windows << true << 2841 << qint64(3000);
    QTest::newRow("windows: 40 ms, the shortest coarse") << 40 * ms << windows << true << 22 << qint64(40);
    QTest::newRow("windows: 39.5 ms rounds up to 40") << 39 * ms + ms / 2 << windows << true << 22 << qint64(40);
    QTest::newRow("windows: 39 ms is precise") << 39 * ms << windows << false << 39 << qint64(39);
    QTest::newRow("windows: nothing left") << qint64(0) << windows << false << 1 << qint64(1);
    // From 20 s Qt makes it a very coarse timer, whole seconds late.
    QTest::newRow("windows: 30 s, never very coarse") << 30000 * ms << windows << true << 19999 << qint64(30000);
    QTest::newRow("windows: the longest wait") << 327670 * ms << windows << true << 19999 << qint64(327670);
}

void TestTimerArm::armsForTheTimeLeft()
{
    QFETCH(qint64, leftNs);
    QFETCH(TimerRule, rule);
    QFETCH(bool, coarse);
    QFETCH(int, intervalMs);
    QFETCH(qint64, latestMs);

    const TimerArm arm = timerToArm(leftNs, rule);
    QCOMPARE(arm.type, coarse ? Qt::CoarseTimer : Qt::PreciseTimer);
    QCOMPARE(arm.intervalMs, intervalMs);
    QCOMPARE(arm.latestMs, latestMs);
    // Even at its latest the timer has not carried the wait past its end.
    const qint64 lateMs = coarse ? arm.intervalMs / 20 + 1 + 16 : 0;
    QVERIFY2(arm.intervalMs + lateMs <= arm.latestMs, qPrintable(QString::number(arm.intervalMs + lateMs)));
}

QTEST_GUILESS_MAIN(TestTimerArm)
#include "TestTimerArm.moc"
