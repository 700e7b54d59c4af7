#include "CommObjects.h"

#include "base/ProgramPaths.h"
#include "output/OutageEvents.h"
#include "output/StatusFile.h"
#include "ui/MainWindow.h"
#include "ui/TrayIcon.h"

#include <memory>

namespace {

QString pollingCauseText(CommControl::PollingCause cause)
{
    switch (cause) {
    case CommControl::PollingCause::Person:
        return QStringLiteral("利用者の操作");
    case CommControl::PollingCause::AutoStart:
        return QStringLiteral("自動開始");
    case CommControl::PollingCause::SessionEnd:
        return QStringLiteral("ﾛｸﾞｵﾌ/ｼｬｯﾄﾀﾞｳﾝ");
    case CommControl::PollingCause::SessionEndCancelled:
        return QStringLiteral("ﾛｸﾞｵﾌ/ｼｬｯﾄﾀﾞｳﾝの取り消し");
    case CommControl::PollingCause::RunEnded:
        return QStringLiteral("1回の受信が終了 (自動開始なし)");
    case CommControl::PollingCause::Error:
    default:
        return QStringLiteral("ｴﾗｰ");
    }
}

} // namespace

CommObjects::CommObjects(RunHost& host, const Settings& settings, const ProgramPaths& paths, MessageSink& messages,
                         const QString& title)
    : m_link(host, settings), m_output(settings, paths, messages, title),
      m_control(host, m_link, m_clock, m_output, settings)
{
    m_output.setStatusListener([&host](const QString& line) { host.ShowStatus(1, line); });
}

void CommObjects::connectWindow(MainWindow& window)
{
    window.setCommHandlers({
        [this](int index) { m_control.cmdComm_Click(index); },
        [this] { m_control.Timer1_Timer(); },
        [this] { return m_control.Form_Unload(); },
    });
    m_control.setCloseWindow([&window] { window.close(); });
}

void CommObjects::connectTray(TrayIcon& tray, MainWindow& window)
{
    m_output.recorder().addCycleListener([&tray](const CycleRecorder::CycleNotice& cycle) {
        // A Stop changes nothing of what the last cycles told; the run's state shows it.
        if (cycle.outcome == OutageRule::Outcome::Stored) {
            tray.cycleStored(cycle.time);
        } else if (cycle.outcome == OutageRule::Outcome::Failed) {
            tray.cycleFailed(cycle.failure);
        }
        if (cycle.notice == OutageRule::Notice::Started) {
            tray.outageStarted(cycle.failure);
        } else if (cycle.notice == OutageRule::Notice::Ended) {
            tray.outageEnded();
        }
    });
    QObject::connect(&window, &MainWindow::commStateChanged, &tray,
                     [&tray](std::int16_t mode) { tray.setPolling(mode == 1); });
}

void CommObjects::connectStatus(StatusFile& status, MainWindow& window)
{
    m_output.recorder().addCycleListener(
        [&status](const CycleRecorder::CycleNotice& cycle) { status.cycleEnded(cycle); });
    QObject::connect(&window, &MainWindow::commStateChanged, &window,
                     [&status](std::int16_t mode) { status.setPolling(mode == 1); });
    QObject::connect(&window, &MainWindow::idlePolled, &window,
                     [&status] { status.idlePoll(QDateTime::currentDateTime()); });
    status.setLineListener([&window](const QString& line) { window.ShowStatus(1, line); });
}

void CommObjects::connectSystemLog(const SystemEventWriter& log)
{
    m_output.setSystemLog(log);
    auto outages = std::make_shared<OutageEvents>(log);
    m_output.recorder().addCycleListener(
        [outages](const CycleRecorder::CycleNotice& cycle) { outages->cycleEnded(cycle); });
    m_control.setPollingListener([log](const CommControl::PollingChange& change) {
        if (change.cause == CommControl::PollingCause::Error) {
            log(SystemEvent::RunEndedByError, {change.error});
        } else {
            log(change.polling ? SystemEvent::PollingStarted : SystemEvent::PollingStopped,
                {pollingCauseText(change.cause)});
        }
    });
}
