#pragma once
// The upload run: one call of RunUpload drives cycles of clock setting, file request, record transfer and
// completion until the run ends. It reaches sockets, windows, files and the clock only through its interfaces.

#include "config/Settings.h"
#include "protocol/Clock.h"
#include "protocol/Link.h"
#include "protocol/Output.h"
#include "protocol/RunHost.h"

#include <QString>

#include <cstdint>
#include <optional>

class UploadRun
{
public:
    UploadRun(Link& link, RunHost& host, Clock& clock, Output& output, const Settings& settings);

    // Returns when the run has ended: link closed, Running false, SetCommState(0) called.
    void RunUpload();
    // The session is ending and the process may not outlive this call: the cycle in progress is answered "CAN" and
    // its files settled now rather than when the run gets back from its wait.
    void endNow();
    // A line shown under the run's first status line: why the run began when nobody pressed Start.
    void setStartNote(const QString& note) { m_startNote = note; }

    // Full path of the current cycle's upload file ("" before the first accepted file-name frame).
    QString UploadPath() const { return m_uploadPath; }
    // Reason of the last failed mail.
    QString MailError() const { return m_mailError; }

private:
    enum class Phase
    {
        NewCycle,
        CycleStart,
        ClockSetting,
        FileRequest,
        Opening,
        RecordPhase,
        EndOfCycle,
        RunEnded,
    };

    Phase newCycle();
    Phase cycleStart();
    Phase clockSetting();
    Phase fileRequest();
    Phase opening();
    Phase recordPhase();
    // A record that cannot reach the staging file fails the cycle.
    Phase stagingWriteFailed(const SystemError& error, bool simple);
    Phase endOfCycle();
    void runEnded();

    // One yield to the event loop; false when Running was cleared meanwhile.
    bool yieldAndCheck();
    // Answers a frame CheckFrame refused (result) while RetryCount is at most retryLimit with "NAK" and returns true:
    // the terminal sends again. Beyond it answers "BEL", beeps, shows the reason and the frame with
    // ShowStatus(statusMode) and returns false: the cycle has failed.
    bool rejectFrame(std::int16_t result, const QString& stage, int retryLimit, std::int16_t statusMode);
    // SendText, which yields too; false when Running was cleared meanwhile or the link failed.
    bool send(const QString& text);
    // WaitReply; false when Running was cleared meanwhile or the link failed.
    bool receive(QString& reply);
    // Takes the link's error, if any, and decides: a network that is away for now fails the cycle and polling goes
    // on (AutoStart 1); any other error ends the run with the link error text. False when the cycle cannot go on.
    bool linkOk();
    bool judgeLinkError(const std::optional<LinkError>& error);
    // A cycle's error: shown, and kept for its line in the history.
    void showFailure(std::int16_t mode, const QString& text);
    void recordCycle();
    int restartPauseTicks() const;
    // The final answer: the output settles the cycle's files just before it ("CAN" takes back what was stored).
    void answer(bool acknowledged);
    void showRecovery(const Output::RecoveryReport& report);
    void writeLog(const QString& reply);
    void writeLog(const QString& reply, int recordCount);
    void internalError(const char* where);

    Link& m_link;
    RunHost& m_host;
    Clock& m_clock;
    Output& m_output;
    const Settings& m_settings;
    QString m_startNote;

    QString m_uploadPath;
    QString m_mailError;

    // Run state shared by the cycle phases.
    // SaveFolder as this run uses it: taken at its start, less a trailing separator at each accepted file name. The
    // settings record itself is left as the user set it.
    QString m_saveFolder;
    int m_retryCount = 0;
    bool m_cycleResult = false;
    bool m_alreadyStored = false;
    // The cycle's final answer has gone out (or was tried).
    bool m_answered = false;
    bool m_acknowledged = false;
    // For the history: the terminal's name as its frame had it, the mail's line and the cycle's error.
    QString m_terminalName;
    QString m_mailResult;
    QString m_failure;
    // This cycle met a link error; later ones of the same cycle are its echo.
    bool m_linkFailed = false;
    // Cycles in a row that failed for a network away for now.
    int m_networkFailures = 0;
    QString m_reply;
    QString m_fileNamePart;
    int m_announcedCount = 0;
    // The start of the log lines of the current second (see writeLog).
    QString m_logPrefix;
    qint64 m_logSecond = 0;
    int m_logOffset = 0;
    int m_recordCount = 0;
    char16_t m_seqChar = u'0';
};
