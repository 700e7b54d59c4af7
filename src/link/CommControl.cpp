#include "link/CommControl.h"

#include "config/Settings.h"
#include "protocol/RunHost.h"
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
        stop();
        return;
    }
    if (index != StartIndex) {
        return;
    }
    // Before the first tick the tick itself decides; a click then would be overtaken by it. Once the session ends,
    // the run that is still returning is the last.
    if (!m_firstTickDone || m_quitPending) {
        return;
    }
    if (m_runActive) {
        // Stopping: the old run still holds the socket and the files, so the new one waits for it to return.
        if (!m_host.isRunning()) {
            // Starting again withdraws a close asked for while stopping.
            m_closePending = false;
            m_startDeferred = true;
            m_host.SetCommState(1);
        }
        return;
    }
    runUntilNoStartIsPending();
}

void CommControl::Timer1_Timer()
{
    if (m_firstTickDone) {
        return;
    }
    m_firstTickDone = true;
    if (m_runActive) {
        return;
    }
    if (isAutoStart(m_settings)) {
        runUntilNoStartIsPending();
    } else {
        m_host.setRunning(false);
        m_host.SetCommState(0);
    }
}

bool CommControl::Form_Unload()
{
    if (m_host.isRunning()) {
        stop();
        return true;
    }
    if (m_runActive) {
        // A deferred start counts as a run: the close stops it, as during a run.
        if (m_startDeferred) {
            stop();
            return true;
        }
        // Stopping: the run is still on the stack and uses the window, so the close waits until it has returned.
        m_closePending = true;
        return true;
    }
    return false;
}

void CommControl::sessionEnding()
{
    if (m_host.isRunning() || m_startDeferred) {
        stop();
        m_resumeAfterSessionEnd = true;
    }
    // Windows ends the process as soon as the session's end has been answered, before the run gets back from its
    // wait: the cycle's "CAN" and its files cannot wait for that.
    if (m_activeRun != nullptr) {
        m_activeRun->endNow();
    }
}

bool CommControl::quitRequested()
{
    sessionEnding();
    if (!m_runActive) {
        return false;
    }
    m_quitPending = true;
    m_closePending = true;
    return true;
}

void CommControl::sessionEndCancelled()
{
    if (!m_resumeAfterSessionEnd || m_quitPending) {
        return;
    }
    m_resumeAfterSessionEnd = false;
    setStartNote(QStringLiteral("ﾛｸﾞｵﾌ/ｼｬｯﾄﾀﾞｳﾝが取り消されたため通信を再開します"));
    cmdComm_Click(StartIndex);
}

void CommControl::stop()
{
    m_startDeferred = false;
    m_resumeAfterSessionEnd = false;
    m_startNote.clear();
    m_host.setRunning(false);
    m_host.SetCommState(0);
    m_host.ShowStatus(1, QStringLiteral("通信ｽﾄｯﾌﾟﾎﾞﾀﾝが押されました"));
}

void CommControl::runUntilNoStartIsPending()
{
    m_runActive = true;
    do {
        m_startDeferred = false;
        m_host.setRunning(true);
        m_host.SetCommState(1);
        UploadRun run(m_link, m_host, m_clock, m_output, m_settings);
        run.setStartNote(std::exchange(m_startNote, QString()));
        m_activeRun = &run;
        run.RunUpload();
        m_activeRun = nullptr;
    } while (m_startDeferred);
    m_runActive = false;
    if (m_closePending) {
        m_closePending = false;
        m_quitPending = false;
        if (m_closeWindow) {
            m_closeWindow();
        }
    }
}
