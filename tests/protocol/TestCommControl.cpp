#include "protocol/CommControl.h"

#include "config/Settings.h"
#include "fakes/FakeLink.h"
#include "fakes/FakeOutput.h"
#include "fakes/FakeRunHost.h"
#include "fakes/FixedClock.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString StopText = QStringLiteral("通信ｽﾄｯﾌﾟﾎﾞﾀﾝが押されました");
const QString SessionEndText = QStringLiteral("ﾛｸﾞｵﾌ/ｼｬｯﾄﾀﾞｳﾝのため通信を停止しました");
const QString ResumedCall = QStringLiteral("status1 ﾛｸﾞｵﾌ/ｼｬｯﾄﾀﾞｳﾝが取り消されたため通信を再開します");

} // namespace

class TestCommControl : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void firstTickStartsOnlyWithAutoStartOne_data();
    void firstTickStartsOnlyWithAutoStartOne();
    void startBeforeFirstTickIsIgnored();
    void stopDuringWaitActsAtOnceAndRunEnds();
    void startWhileStoppingIsDeferredUntilRunReturns();
    void stopCancelsDeferredStart();
    void startOrTickDuringRunChangesNothing();
    void closeDuringRunActsAsStopAndIsCancelled();
    void closeWhileStoppingIsWithdrawnByStart();
    void closeWhenIdleIsAllowed();
    void sessionEndStopsTheRunAndItsCancellationResumesOnce();
    void stopOrTheSessionsEndLeavesNothingToResume();
    void eachRunIsToldOnceAsItStartsAndStopsWithItsCause();

private:
    // One VOL that times out, during which the action runs, then the run's closing "CAN".
    void scriptOneRun(std::function<void()> duringWait);

    QTemporaryDir m_dir;
    Settings m_settings;
    FakeRunHost m_host;
    std::unique_ptr<FakeLink> m_link;
    FixedClock m_clock;
    std::unique_ptr<FakeOutput> m_output;
    std::unique_ptr<CommControl> m_control;
};

void TestCommControl::init()
{
    QVERIFY(m_dir.isValid());
    m_settings = Settings();
    m_settings.SaveFolder = m_dir.path();
    m_settings.TimeAdjust = QStringLiteral("0");
    m_settings.RemoteHost = QStringLiteral("127.0.0.1");
    m_host = FakeRunHost();
    m_host.running = false;
    m_link = std::make_unique<FakeLink>(m_host);
    m_output = std::make_unique<FakeOutput>(m_settings, m_dir.filePath(QStringLiteral("Back.txt")));
    m_control = std::make_unique<CommControl>(m_host, *m_link, m_clock, *m_output, m_settings);
}

void TestCommControl::scriptOneRun(std::function<void()> duringWait)
{
    m_link->expect(QStringLiteral("VOL")).timeout().then(std::move(duringWait)).expect(QStringLiteral("CAN"));
}

void TestCommControl::firstTickStartsOnlyWithAutoStartOne_data()
{
    QTest::addColumn<int>("autoStart");
    QTest::addColumn<bool>("starts");
    QTest::newRow("0") << 0 << false;
    QTest::newRow("1") << 1 << true;
    QTest::newRow("-1 is not exactly 1") << -1 << false;
}

void TestCommControl::firstTickStartsOnlyWithAutoStartOne()
{
    QFETCH(int, autoStart);
    QFETCH(bool, starts);
    m_settings.AutoStart = static_cast<std::int16_t>(autoStart);
    scriptOneRun([this] { m_control->cmdComm_Click(1); });

    m_control->Timer1_Timer();

    QVERIFY(!m_host.running);
    QVERIFY(!m_control->Form_Unload()); // no run left active
    if (starts) {
        QVERIFY2(m_link->ok(), qPrintable(m_link->failures.join(u'\n')));
        QCOMPARE(m_link->openCount, 1);
        QCOMPARE(m_host.runningChanges, (QList<bool>{true, false, false}));
    } else {
        QCOMPARE(m_link->openCount, 0);
        QCOMPARE(m_host.runningChanges, QList<bool>{false});
        QCOMPARE(m_host.commStates, QList<std::int16_t>{0});
    }

    // Later ticks never start anything.
    m_control->Timer1_Timer();
    QCOMPARE(m_link->openCount, starts ? 1 : 0);
}

void TestCommControl::startBeforeFirstTickIsIgnored()
{
    m_control->cmdComm_Click(0);
    QCOMPARE(m_link->openCount, 0);
    QVERIFY(!m_host.running);
    QVERIFY(m_host.commStates.isEmpty());

    // The tick then sets the idle state as usual, and Start works from then on.
    m_control->Timer1_Timer();
    QCOMPARE(m_host.commStates, QList<std::int16_t>{0});
    scriptOneRun([this] { m_control->cmdComm_Click(1); });
    m_control->cmdComm_Click(0);
    QCOMPARE(m_link->openCount, 1);
    QVERIFY2(m_link->ok(), qPrintable(m_link->failures.join(u'\n')));
}

void TestCommControl::stopDuringWaitActsAtOnceAndRunEnds()
{
    m_control->Timer1_Timer();
    QString statusAtStop;
    QList<std::int16_t> statesAtStop;
    scriptOneRun([&] {
        m_control->cmdComm_Click(1);
        statusAtStop = m_host.status;
        statesAtStop = m_host.commStates;
    });

    m_control->cmdComm_Click(0);

    QVERIFY2(m_link->ok(), qPrintable(m_link->failures.join(u'\n')));
    // The stop shows at once, before the run has noticed it.
    QCOMPARE(statusAtStop, QStringLiteral("UDP通信：送受信待ち\r\n") + StopText);
    QCOMPARE(statesAtStop, (QList<std::int16_t>{0, 1, 0}));
    QCOMPARE(m_host.statusLines(),
             (QStringList{QStringLiteral("UDP通信：送受信待ち"), StopText, QStringLiteral("異常終了")}));
    QCOMPARE(m_host.commStates, (QList<std::int16_t>{0, 1, 0, 0}));
    QVERIFY(!m_host.running);
    QCOMPARE(m_link->closeCount, 1);
    QVERIFY(!m_control->Form_Unload());
}

void TestCommControl::startWhileStoppingIsDeferredUntilRunReturns()
{
    m_control->Timer1_Timer();
    int opensDuringFirstRun = -1;
    scriptOneRun([&] {
        m_control->cmdComm_Click(1);
        m_control->cmdComm_Click(0);
        opensDuringFirstRun = m_link->openCount;
        QVERIFY(!m_host.running);
    });
    scriptOneRun([this] { m_control->cmdComm_Click(1); });

    m_control->cmdComm_Click(0);

    QVERIFY2(m_link->ok(), qPrintable(m_link->failures.join(u'\n')));
    QCOMPARE(opensDuringFirstRun, 1);
    // The deferred start runs once, and only after the first run has closed: never two at once.
    QCOMPARE(m_link->transcript,
             (QStringList{QStringLiteral("OpenUDP"), QStringLiteral("> VOL"), QStringLiteral("< (time-out)"),
                          QStringLiteral("> CAN"), QStringLiteral("CloseUDP"), QStringLiteral("OpenUDP"),
                          QStringLiteral("> VOL"), QStringLiteral("< (time-out)"), QStringLiteral("> CAN"),
                          QStringLiteral("CloseUDP")}));
    QVERIFY(!m_host.running);
    QVERIFY(!m_control->Form_Unload());
}

void TestCommControl::stopCancelsDeferredStart()
{
    m_control->Timer1_Timer();
    scriptOneRun([this] {
        m_control->cmdComm_Click(1);
        m_control->cmdComm_Click(0);
        m_control->cmdComm_Click(1);
    });

    m_control->cmdComm_Click(0);

    QVERIFY2(m_link->ok(), qPrintable(m_link->failures.join(u'\n')));
    QCOMPARE(m_link->openCount, 1);
    QCOMPARE(m_host.commStates.last(), std::int16_t(0));
}

void TestCommControl::startOrTickDuringRunChangesNothing()
{
    m_control->Timer1_Timer();
    QList<std::int16_t> statesBefore;
    QList<std::int16_t> statesAfter;
    bool runningAfter = false;
    scriptOneRun([&] {
        statesBefore = m_host.commStates;
        m_control->cmdComm_Click(0);
        m_control->Timer1_Timer();
        statesAfter = m_host.commStates;
        runningAfter = m_host.running;
        m_control->cmdComm_Click(1);
    });

    m_control->cmdComm_Click(0);

    QVERIFY2(m_link->ok(), qPrintable(m_link->failures.join(u'\n')));
    QCOMPARE(statesAfter, statesBefore);
    QVERIFY(runningAfter);
    QCOMPARE(m_link->openCount, 1);
}

void TestCommControl::closeDuringRunActsAsStopAndIsCancelled()
{
    m_control->Timer1_Timer();
    int closes = 0;
    m_control->setCloseWindow([&] {
        ++closes;
        // The window closes only after the run has let go of everything.
        QVERIFY(!m_control->Form_Unload());
        QCOMPARE(m_link->closeCount, 1);
    });
    bool cancelRunning = false;
    bool cancelStopping = false;
    int closesDuringRun = -1;
    QString statusAfterClose;
    scriptOneRun([&] {
        cancelRunning = m_control->Form_Unload();
        statusAfterClose = m_host.status;
        closesDuringRun = closes;
    });
    m_link->then([&] {
        // Closed again while the stopped run is still returning: kept for now, nothing said twice.
        cancelStopping = m_control->Form_Unload();
        closesDuringRun += closes;
    });

    m_control->cmdComm_Click(0);

    QVERIFY2(m_link->ok(), qPrintable(m_link->failures.join(u'\n')));
    QVERIFY(cancelRunning);
    QVERIFY(cancelStopping);
    QCOMPARE(closesDuringRun, 0);
    QCOMPARE(statusAfterClose, QStringLiteral("UDP通信：送受信待ち\r\n") + StopText);
    QCOMPARE(m_host.statusLines().count(StopText), 1);
    QVERIFY(!m_host.running);
    // The second close was not lost: it is carried out once the run has returned.
    QCOMPARE(closes, 1);
    QVERIFY(!m_control->Form_Unload());
}

void TestCommControl::closeWhileStoppingIsWithdrawnByStart()
{
    m_control->Timer1_Timer();
    int closes = 0;
    m_control->setCloseWindow([&closes] { ++closes; });
    scriptOneRun([this] {
        m_control->cmdComm_Click(1);
        QVERIFY(m_control->Form_Unload());
        m_control->cmdComm_Click(0);
    });
    scriptOneRun([this] { m_control->cmdComm_Click(1); });

    m_control->cmdComm_Click(0);

    QVERIFY2(m_link->ok(), qPrintable(m_link->failures.join(u'\n')));
    QCOMPARE(m_link->openCount, 2);
    QCOMPARE(closes, 0);
}

void TestCommControl::closeWhenIdleIsAllowed()
{
    QVERIFY(!m_control->Form_Unload());
    m_control->Timer1_Timer();
    QVERIFY(!m_control->Form_Unload());
    QVERIFY(m_host.status.isEmpty());
}

void TestCommControl::sessionEndStopsTheRunAndItsCancellationResumesOnce()
{
    m_control->Timer1_Timer();
    // Cancelled once the stopped run has returned: polling starts again at once, saying why.
    bool runningAfterEnd = true;
    scriptOneRun([&] {
        m_control->sessionEnding();
        runningAfterEnd = m_host.running;
    });
    m_control->cmdComm_Click(0);
    QVERIFY(!runningAfterEnd);
    // Nobody pressed Stop: neither the status box nor the history may send an admin looking for them.
    QCOMPARE(m_host.statusLines().count(SessionEndText), 1);
    QCOMPARE(m_host.statusLines().count(StopText), 0);
    QCOMPARE(m_output->cycles.size(), 1);
    QCOMPARE(m_output->cycles.last().end, Output::CycleEnd::Stopped);
    QCOMPARE(m_output->cycles.last().failure, SessionEndText);
    scriptOneRun([this] { m_control->cmdComm_Click(1); });
    m_control->sessionEndCancelled();
    QCOMPARE(m_link->openCount, 2);
    QCOMPARE(m_host.statusCalls.count(ResumedCall), 1);
    m_control->sessionEndCancelled();
    QCOMPARE(m_link->openCount, 2);

    // Cancelled while the stopped run still returns: the resumed run waits for it, then shows why it began.
    int opensAtCancel = -1;
    scriptOneRun([&] {
        m_control->sessionEnding();
        m_control->sessionEndCancelled();
        opensAtCancel = m_link->openCount;
    });
    scriptOneRun([this] { m_control->cmdComm_Click(1); });
    m_control->cmdComm_Click(0);
    QVERIFY2(m_link->ok(), qPrintable(m_link->failures.join(u'\n')));
    QCOMPARE(opensAtCancel, 3);
    QCOMPARE(m_link->openCount, 4);
    QCOMPARE(m_link->transcript.mid(m_link->transcript.size() - 6, 2),
             (QStringList{QStringLiteral("CloseUDP"), QStringLiteral("OpenUDP")}));
    QCOMPARE(m_host.statusCalls.count(ResumedCall), 2);
    QVERIFY(!m_control->Form_Unload());
}

void TestCommControl::stopOrTheSessionsEndLeavesNothingToResume()
{
    m_control->Timer1_Timer();
    int closes = 0;
    m_control->setCloseWindow([&closes] { ++closes; });
    // Stop withdraws the resume, whether the stopped run still returns or has returned.
    scriptOneRun([this] {
        m_control->sessionEnding();
        m_control->cmdComm_Click(1);
        m_control->sessionEndCancelled();
    });
    m_control->cmdComm_Click(0);
    scriptOneRun([this] { m_control->sessionEnding(); });
    m_control->cmdComm_Click(0);
    m_control->cmdComm_Click(1);
    m_control->sessionEndCancelled();
    // A run stopped by hand before the session's end is not the end's to resume, and keeps its reason.
    scriptOneRun([this] {
        m_control->cmdComm_Click(1);
        m_control->sessionEnding();
    });
    m_control->cmdComm_Click(0);
    m_control->sessionEndCancelled();
    QCOMPARE(m_link->openCount, 3);
    QCOMPARE(m_output->cycles.last().failure, StopText);

    // The session ends during a run: kept until the run has returned, then closed once; no Start, no resume.
    bool keptDuringRun = false;
    scriptOneRun([&] {
        keptDuringRun = m_control->quitRequested();
        m_control->cmdComm_Click(0);
        m_control->sessionEndCancelled();
    });
    m_control->cmdComm_Click(0);
    QVERIFY2(m_link->ok(), qPrintable(m_link->failures.join(u'\n')));
    QVERIFY(keptDuringRun);
    QCOMPARE(m_link->openCount, 4);
    QCOMPARE(closes, 1);
    QVERIFY(!m_control->quitRequested());
    QCOMPARE(m_host.statusCalls.count(ResumedCall), 0);
}

void TestCommControl::eachRunIsToldOnceAsItStartsAndStopsWithItsCause()
{
    QStringList told;
    m_control->setPollingListener([&told](const CommControl::PollingChange& change) {
        const char* const causes[] = {"person", "auto", "session end", "end cancelled", "ended", "error"};
        told << (change.polling ? QStringLiteral("on ") : QStringLiteral("off ")) +
                    QString::fromLatin1(causes[static_cast<int>(change.cause)]) +
                    (change.error.isEmpty() ? QString() : QStringLiteral(": ") + change.error);
    });
    m_settings.AutoStart = 1;
    // The session's end, cancelled while the run still returns; then Stop, and a Start while the run still returns.
    scriptOneRun([this] {
        m_control->sessionEnding();
        m_control->sessionEndCancelled();
    });
    scriptOneRun([this] {
        m_control->cmdComm_Click(1);
        m_control->cmdComm_Click(0);
        m_control->cmdComm_Click(1); // stopped already: nothing more to tell
    });
    m_control->Timer1_Timer();
    QCOMPARE(told, (QStringList{QStringLiteral("on auto"), QStringLiteral("off session end"),
                                QStringLiteral("on end cancelled"), QStringLiteral("off person")}));

    // A run that ends by itself: on a link error nothing passes by, or after its one cycle without automatic start.
    told.clear();
    m_link->expect(QStringLiteral("VOL")).failWith(LinkError({10049, QStringLiteral("bad address")}));
    m_link->expect(QStringLiteral("CAN"));
    m_control->cmdComm_Click(0);
    m_settings.AutoStart = 0;
    for (int retry = 0; retry < 5; ++retry) {
        m_link->expect(QStringLiteral("VOL")).reply(QStringLiteral("x")).expect(QStringLiteral("NAK"));
    }
    m_link->expect(QStringLiteral("VOL")).reply(QStringLiteral("x")).expect(QStringLiteral("BEL"));
    m_link->expect(QStringLiteral("CAN"));
    m_control->cmdComm_Click(0);
    QVERIFY2(m_link->ok(), qPrintable(m_link->failures.join(u'\n')));
    QCOMPARE(told, (QStringList{QStringLiteral("on person"),
                                QStringLiteral("off error: 10049 UDP設定に問題がないか確認してください。 bad address"),
                                QStringLiteral("on person"), QStringLiteral("off ended")}));
}

QTEST_GUILESS_MAIN(TestCommControl)
#include "TestCommControl.moc"
