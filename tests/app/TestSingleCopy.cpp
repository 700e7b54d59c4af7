#include "SingleCopy.h"

#include "base/Platform.h"
#include "fakes/TestFiles.h"

#include <QEventLoop>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

class TestSingleCopy : public QObject
{
    Q_OBJECT

private slots:
    // A first copy answers a later start from its own event loop; one whose thread is busy (this one's) does not.
    void laterStartsHandOverOrFindNoAnswer()
    {
        QTemporaryDir dir;
        std::atomic<int> shown{0};
        QSemaphore claimed;
        const std::unique_ptr<QThread> first(QThread::create([&] {
            SingleCopy copy(dir.path());
            copy.setShowRequested([&] { ++shown; });
            if (copy.claim() == SingleCopy::Claim::First) {
                claimed.release();
                QEventLoop().exec(); // until quit()
            }
        }));
        first->start();
        QVERIFY(claimed.tryAcquire(1, 10000));
        // A start in the background asks nothing.
        QCOMPARE(SingleCopy(dir.path()).claimInBackground(), SingleCopy::Claim::HeldElsewhere);
        QCOMPARE(SingleCopy(dir.path()).claim(), SingleCopy::Claim::HandedOver);
        QCOMPARE(shown.load(), 1);
        // The same user in another logon session is not answered (POSIX takes the session from the environment).
        const QByteArray session = qgetenv("XDG_SESSION_ID");
        qputenv("XDG_SESSION_ID", session + "-other");
        if (currentSessionId() == QString::fromUtf8(session + "-other")) {
            QCOMPARE(SingleCopy(dir.path()).claim(std::chrono::milliseconds(300)), SingleCopy::Claim::NoAnswer);
            QCOMPARE(shown.load(), 1);
        }
        qputenv("XDG_SESSION_ID", session);
        first->quit();
        QVERIFY(first->wait(10000));
        SingleCopy holder(dir.path());
        QCOMPARE(holder.claim(), SingleCopy::Claim::First); // the lock went with the first copy
        QCOMPARE(SingleCopy(dir.path()).claim(std::chrono::milliseconds(300)), SingleCopy::Claim::NoAnswer);
    }

    // A data folder that is a file: no lock file can be made in it, whoever runs the test.
    void aLockFileThatCannotBeMadeIsSaid()
    {
        QTemporaryDir dir;
        const QString file = writeTestFile(QDir(dir.path()), QStringLiteral("data"), "kept");
        SingleCopy copy(file);
        QCOMPARE(copy.claim(), SingleCopy::Claim::Unlocked);
        const QString start = QStringLiteral("ﾛｯｸﾌｧｲﾙを作成できないため二重起動を防げません : ") +
                              QDir::toNativeSeparators(file + QStringLiteral("/zelbo_udp.lock "));
        const QString note = copy.unlockedNote();
        const QString error = note.mid(start.size()); // the system's number and text
        QVERIFY2(note.startsWith(start) && error.section(u':', 0, 0).toInt() > 0 && !error.section(u':', 1).isEmpty(),
                 qPrintable(note));
        QCOMPARE(readTestFile(file), QByteArray("kept"));
    }
};

QTEST_GUILESS_MAIN(TestSingleCopy)
#include "TestSingleCopy.moc"
