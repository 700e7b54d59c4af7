#pragma once
// Start, Stop, the automatic start on the first Timer1 tick, the close request during a run and the end of the
// session. Owns no widgets, timers or sockets: the main window forwards its handlers here and supplies the RunHost
// side.

#include <QString>

#include <cstdint>
#include <functional>

class Clock;
class Link;
class Output;
class RunHost;
class UploadRun;
struct Settings;

class CommControl
{
public:
    static constexpr int StartIndex = 0;
    static constexpr int StopIndex = 1;

    CommControl(RunHost& host, Link& link, Clock& clock, Output& output, const Settings& settings);

    // 0 Start, 1 Stop. A Start returns only when its run (and any Start deferred during it) has ended.
    void cmdComm_Click(int index);
    // The run part of the first Timer1 tick; later ticks are ignored.
    void Timer1_Timer();
    // True when the close must be cancelled: during a run it acts as Stop; idle, the window may close. While a
    // stopped run is still returning the close is kept until it has returned, then closeWindow is called.
    bool Form_Unload();
    void setCloseWindow(std::function<void()> closeWindow) { m_closeWindow = std::move(closeWindow); }
    // The session is about to end (logoff, shutdown, an installer): a run stops as by Stop, without waiting for it.
    void sessionEnding();
    // The application is told to quit as the session ends: a run stops as by Stop. True while a run is still on the
    // stack: closeWindow is called once it has returned, and no Start is taken meanwhile. False: nothing holds the
    // program.
    bool quitRequested();
    // Lines the next run shows under its first status line, which replaces the box's text: why it began by itself.
    void setStartNote(const QString& note) { m_startNote = note; }
    // The end of the session was cancelled: polling that the end stopped starts again by itself, with a status line.
    void sessionEndCancelled();

    // Who or what started or stopped polling, for the system log.
    enum class PollingCause
    {
        Person,              // Start, Stop, or the window's close during a run
        AutoStart,           // the first tick with automatic start
        SessionEnd,          // logoff, shutdown, an installer's restart
        SessionEndCancelled, // polling that the session's end stopped starts again
        RunEnded,            // the run ended by itself: its one cycle without automatic start
        Error,               // the run ended on a link error a person must fix
    };
    struct PollingChange
    {
        bool polling = false;
        PollingCause cause = PollingCause::Person;
        QString error; // the link error's status text, for PollingCause::Error
    };
    // Told as each run starts, and once as it stops or ends, however Stop, Start and the run's return interleave.
    void setPollingListener(std::function<void(const PollingChange&)> listener)
    {
        m_pollingListener = std::move(listener);
    }

private:
    // Every state but the first three has RunUpload on the stack. Running (the host's, which the run reads) tells in
    // InRun a run that goes on from one that returns, stopped by Stop or by itself; whenever it is set, run or not, a
    // close or the session's end acts as Stop.
    enum class RunState
    {
        BeforeFirstTick, // Start waits: the first tick decides on the automatic start
        Idle,
        SessionEndStopped, // idle since the session's end stopped polling; a cancelled end starts it again
        InRun,
        StartAfterRun,      // stopped; a Start waits for the run to return, which still holds the link and files
        CloseAfterRun,      // stopped; the window closes once the run has returned
        QuitAfterRun,       // the session ends: the window closes once the run has returned; no Start is taken
        SessionEndStopping, // the session's end stopped the run; a cancelled end starts polling again
    };

    // statusText: why, for the status box.
    void stop(const QString& statusText);
    // The listener hears of a run's start, or of its stop once after that start.
    void tellPolling(bool polling, PollingCause cause, const QString& error = QString());
    // After the session's end stopped polling: a cancelled end starts it again.
    void resumeOnCancel();
    // Stopped but still returning: the new run waits for the old one, so the two never hold the link at once.
    void startAfterRun(PollingCause cause);
    void runUntilNoStartWaits(PollingCause cause);
    void runReturned();
    void internalError(const char* where);

    RunHost& m_host;
    Link& m_link;
    Clock& m_clock;
    Output& m_output;
    const Settings& m_settings;

    RunState m_state = RunState::BeforeFirstTick;
    // Shown by the next run under its first status line.
    QString m_startNote;
    // The run on the stack, for the end of the session.
    UploadRun* m_activeRun = nullptr;
    std::function<void()> m_closeWindow;
    std::function<void(const PollingChange&)> m_pollingListener;
    // The start of the run on the stack has been told, and its stop not yet.
    bool m_pollingTold = false;
    // Why the next run of runUntilNoStartWaits starts.
    PollingCause m_startCause = PollingCause::Person;
};
