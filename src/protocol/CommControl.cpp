#include "protocol/CommControl.h"

#include "config/Settings.h"
#include "protocol/RunHost.h"
#include "protocol/RunTexts.h"
#include "protocol/UploadRun.h"

#include <QString>

#include <utility>

namespace {

bool isAutoStart(const Settings& settings)
{
    return settings.AutoStart == 1;
}

} // namespace

CommControl::CommControl(RunHost& host, Link& link, Clock& clock, Output& output, const Settings& settings)
    : m_host(host), m_link(link), m_clock(clock), m_output(output), m_settings(settings)
{
}

void CommControl::cmdComm_Click(int index)
{
    if (index == StopIndex) {
        tellPolling(false, PollingCause::Person);
        stop(userStopStatusText());
        return;
    }
    if (index != StartIndex) {
        return;
    }
    switch (m_state) {
    case RunState::BeforeFirstTick: // a click now would be overtaken by the tick
    case RunState::QuitAfterRun:    // the run that is still returning is the last
        break;
    case RunState::Idle:
    case RunState::SessionEndStopped: // a Start by hand takes the place of the resume
        runUntilNoStartWaits(PollingCause::Person);
        break;
    case RunState::InRun:
        if (!m_host.isRunning()) {
            startAfterRun(PollingCause::Person);
        }
        break;
    case RunState::StartAfterRun:
    case RunState::CloseAfterRun: // starting again withdraws a close asked for while stopping
    case RunState::SessionEndStopping:
        startAfterRun(PollingCause::Person);
        break;
    default:
        internalError("cmdComm_Click");
        break;
    }
}

void CommControl::Timer1_Timer()
{
    if (m_state != RunState::BeforeFirstTick) {
        return;
    }
    if (isAutoStart(m_settings)) {
        runUntilNoStartWaits(PollingCause::AutoStart);
    } else {
        m_state = RunState::Idle;
        m_host.setRunning(false);
        m_host.SetCommState(0);
    }
}

bool CommControl::Form_Unload()
{
    if (m_host.isRunning()) {
        tellPolling(false, PollingCause::Person);
        stop(userStopStatusText());
        return true;
    }
    switch (m_state) {
    case RunState::BeforeFirstTick:
    case RunState::Idle:
    case RunState::SessionEndStopped:
        return false;
    case RunState::InRun:
        // Stopping: the run is still on the stack and uses the window, so the close waits until it has returned.
        m_state = RunState::CloseAfterRun;
        return true;
    case RunState::StartAfterRun: // a Start that waits counts as a run: the close stops it, as during a run
        stop(userStopStatusText());
        return true;
    case RunState::SessionEndStopping: // the user's close outlasts a cancelled end of the session
        m_state = RunState::CloseAfterRun;
        return true;
    case RunState::CloseAfterRun:
    case RunState::QuitAfterRun:
        return true;
    default:
        internalError("Form_Unload");
        return m_activeRun != nullptr;
    }
}

void CommControl::sessionEnding()
{
    const bool running = m_host.isRunning();
    if (running || m_state == RunState::StartAfterRun) {
        tellPolling(false, PollingCause::SessionEnd);
        stop(sessionEndStopStatusText());
        resumeOnCancel();
    }
    // Windows ends the process as soon as the session's end has been answered, before the run gets back from its
    // wait: the cycle's "CAN" and its files cannot wait for that.
    if (m_activeRun != nullptr) {
        // A run the user had stopped already keeps that reason.
        if (running) {
            m_activeRun->setStopText(sessionEndStopStatusText());
        }
        m_activeRun->endNow();
    }
}

bool CommControl::quitRequested()
{
    sessionEnding();
    if (m_activeRun == nullptr) {
        return false;
    }
    m_state = RunState::QuitAfterRun;
    return true;
}

void CommControl::sessionEndCancelled()
{
    const QString note = QStringLiteral("ﾛｸﾞｵﾌ/ｼｬｯﾄﾀﾞｳﾝが取り消されたため通信を再開します");
    switch (m_state) {
    case RunState::SessionEndStopped:
        setStartNote(note);
        runUntilNoStartWaits(PollingCause::SessionEndCancelled);
        break;
    case RunState::SessionEndStopping:
        setStartNote(note);
        startAfterRun(PollingCause::SessionEndCancelled);
        break;
    case RunState::BeforeFirstTick:
    case RunState::Idle:
    case RunState::InRun:
    case RunState::StartAfterRun:
    case RunState::CloseAfterRun:
    case RunState::QuitAfterRun: // the end went ahead after all
        break;
    default:
        internalError("sessionEndCancelled");
        break;
    }
}

void CommControl::stop(const QString& statusText)
{
    switch (m_state) {
    case RunState::StartAfterRun:
    case RunState::SessionEndStopping:
        m_state = RunState::InRun;
        break;
    case RunState::SessionEndStopped:
        m_state = RunState::Idle;
        break;
    case RunState::BeforeFirstTick:
    case RunState::Idle:
    case RunState::InRun:
    case RunState::CloseAfterRun: // a close asked for while stopping still waits for the run
    case RunState::QuitAfterRun:
        break;
    default:
        internalError("stop");
        break;
    }
    m_startNote.clear();
    m_host.setRunning(false);
    m_host.SetCommState(0);
    m_host.ShowStatus(1, statusText);
}

void CommControl::resumeOnCancel()
{
    switch (m_state) {
    case RunState::InRun:
        m_state = RunState::SessionEndStopping;
        break;
    case RunState::Idle:
        m_state = RunState::SessionEndStopped;
        break;
    case RunState::BeforeFirstTick: // the first tick decides
    case RunState::CloseAfterRun:   // the close stands
    case RunState::QuitAfterRun:
        break;
    default:
        internalError("resumeOnCancel");
        break;
    }
}

void CommControl::tellPolling(bool polling, PollingCause cause, const QString& error)
{
    if (polling == m_pollingTold) {
        return;
    }
    m_pollingTold = polling;
    if (m_pollingListener) {
        m_pollingListener({polling, cause, error});
    }
}

void CommControl::startAfterRun(PollingCause cause)
{
    m_startCause = cause;
    m_state = RunState::StartAfterRun;
    m_host.SetCommState(1);
}

void CommControl::runUntilNoStartWaits(PollingCause cause)
{
    m_startCause = cause;
    do {
        m_state = RunState::InRun;
        m_host.setRunning(true);
        m_host.SetCommState(1);
        UploadRun run(m_link, m_host, m_clock, m_output, m_settings);
        run.setStartNote(std::exchange(m_startNote, QString()));
        m_activeRun = &run;
        tellPolling(true, m_startCause);
        run.RunUpload();
        m_activeRun = nullptr;
        // Nobody stopped it: it ended by itself.
        tellPolling(false, run.runError().isEmpty() ? PollingCause::RunEnded : PollingCause::Error, run.runError());
    } while (m_state == RunState::StartAfterRun);
    runReturned();
}

void CommControl::runReturned()
{
    switch (m_state) {
    case RunState::InRun:
        m_state = RunState::Idle;
        break;
    case RunState::SessionEndStopping:
        m_state = RunState::SessionEndStopped;
        break;
    case RunState::CloseAfterRun:
    case RunState::QuitAfterRun:
        // Idle first: the close asks Form_Unload again, which must let the window go now.
        m_state = RunState::Idle;
        if (m_closeWindow) {
            m_closeWindow();
        }
        break;
    default:
        internalError("runReturned");
        m_state = RunState::Idle;
        break;
    }
}

void CommControl::internalError(const char* where)
{
    m_host.ShowStatus(1, QStringLiteral("内部ｴﾗｰ: ") + QString::fromLatin1(where));
}
