#include "output/FileWorker.h"

#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <atomic>

using namespace std::chrono_literals;

class TestFileWorker : public QObject
{
    Q_OBJECT

private slots:
    // An 8 s job (a sync on a share whose server went quiet): the event loop turns at least every 100 ms meanwhile, the
    // slow notice comes once, and a job asked for from an event during the wait runs after the first one.
    void eventLoopTurnsDuringASlowJob()
    {
        FileWorker worker;
        worker.setSlowAfter(500ms);
        QList<int> order;
        worker.post([&order] { order << 1; });

        QElapsedTimer sinceTick;
        qint64 longestGap = 0;
        QTimer ticker;
        ticker.setInterval(10);
        QObject::connect(&ticker, &QTimer::timeout, [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
        int nestedResult = 0;
        QTimer::singleShot(1000, [&] { nestedResult = worker.run([&order] { return order << 3, 7; }); });
        int slowNotices = 0;
        std::atomic_bool onWorkerThread = false;
        const QThread* const caller = QThread::currentThread();

        QElapsedTimer took;
        took.start();
        sinceTick.start();
        ticker.start();
        const int result = worker.run(
            [&] {
                onWorkerThread = QThread::currentThread() != caller;
                QThread::sleep(8);
                order << 2;
                return 42;
            },
            [&slowNotices] { ++slowNotices; });
        ticker.stop();

        QCOMPARE(result, 42);
        QVERIFY(took.elapsed() >= 8000);
        QVERIFY(onWorkerThread);
        QVERIFY2(longestGap < 100, qPrintable(QString::number(longestGap)));
        QCOMPARE(slowNotices, 1);
        QCOMPARE(nestedResult, 7);
        QCOMPARE(order, (QList<int>{1, 2, 3}));
    }
};

QTEST_GUILESS_MAIN(TestFileWorker)
#include "TestFileWorker.moc"
