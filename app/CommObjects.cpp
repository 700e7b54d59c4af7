#include "CommObjects.h"

#include "base/ProgramPaths.h"
#include "output/StatusFile.h"
#include "ui/MainWindow.h"
#include "ui/TrayIcon.h"

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
