#include "output/SystemClock.h"

#include <QTest>

class TestSystemClock : public QObject
{
    Q_OBJECT

private slots:
    // The cached offset must give the same wall-clock fields as a fresh local-time lookup, in any time zone.
    void matchesTheLocalClock_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::newRow("process zone") << QByteArray();
        QTest::newRow("Tokyo") << QByteArray("Asia/Tokyo");
        QTest::newRow("New York") << QByteArray("America/New_York");
        QTest::newRow("half-hour offset") << QByteArray("Asia/Kolkata");
    }
    void matchesTheLocalClock()
    {
        QFETCH(QByteArray, zone);
        const QByteArray saved = qgetenv("TZ");
        if (!zone.isEmpty()) {
            qputenv("TZ", zone);
        }
        const SystemClock clock;
        const QDateTime cached = clock.localNow();
        const QDateTime fresh = QDateTime::currentDateTime();
        // Local-time fields are computed lazily, so read them all before the zone is restored.
        const int cachedOffset = cached.offsetFromUtc();
        const int freshOffset = fresh.offsetFromUtc();
        const QString cachedText = cached.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
        const QString freshText = fresh.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
        if (!zone.isEmpty()) {
            qputenv("TZ", saved);
        }
        QCOMPARE(cachedOffset, freshOffset);
        // Equal up to the minute, unless the two reads straddle a minute boundary.
        if (cachedText.left(16) != freshText.left(16)) {
            QVERIFY(freshText.endsWith(QStringLiteral(":00")));
        }
    }
};

QTEST_GUILESS_MAIN(TestSystemClock)
#include "TestSystemClock.moc"
