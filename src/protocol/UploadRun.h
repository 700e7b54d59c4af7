#pragma once
// The upload run: one call of RunUpload drives cycles of clock setting, file request, record transfer and
// completion until the run ends. It reaches sockets, windows, files and the clock only through its interfaces; its
// sends and waits go through RunLink, what a cycle leaves behind through CycleAccount.

#include "config/Settings.h"
#include "protocol/Clock.h"
#include "protocol/CycleAccount.h"
#include "protocol/Link.h"
#include "protocol/Output.h"
#include "protocol/RunHost.h"
#include "protocol/RunLink.h"

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
    // Why the run was stopped, for the history of the cycle it ends: the user's Stop unless set.
    void setStopText(const QString& text) { m_account.setStopText(text); }
    // A line shown under the run's first status line: why the run began when nobody pressed Start.
    void setStartNote(const QString& note) { m_startNote = note; }

    // Full path of the current cycle's upload file ("" before the first accepted file-name frame).
    QString UploadPath() const { return m_uploadPath; }
    // Reason of the last failed mail.
    QString MailError() const { return m_mailError; }
    // The status text of the link error that ended the run, when one did (a person must fix it); else empty.
    const QString& runError() const { return m_link.runError(); }

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
    // "END": the records go to the upload file.
    Phase endOfFile(bool simple);
    // A record reply that passed as one: stored and acknowledged, or nothing when the cycle goes on; else where the
    // cycle goes next.
    std::optional<Phase> acceptRecord(bool simple);
    // A record that cannot reach the staging file fails the cycle.
    Phase stagingWriteFailed(const SystemError& error, bool simple);
    Phase endOfCycle();
    void runEnded();

    // Answers a frame CheckFrame refused (result) while RetryCount is at most retryLimit with "NAK" and returns true:
    // the terminal sends again. Beyond it answers "BEL", beeps, shows the reason and the frame with
    // ShowStatus(statusMode) and returns false: the cycle has failed.
    bool rejectFrame(std::int16_t result, const QString& stage, int retryLimit, std::int16_t statusMode);
    // The final answer: the output settles the cycle's files just before it ("CAN" takes back what was stored).
    void answer(bool acknowledged);
    // A log line with the current record count.
    void writeLog(const QString& reply);
    void internalError(const char* where);

    RunHost& m_host;
    Clock& m_clock;
    Output& m_output;
    const Settings& m_settings;
    CycleAccount m_account;
    RunLink m_link;
    QString m_startNote;

    QString m_uploadPath;
    QString m_mailError;

    // Run state shared by the cycle phases.
    // SaveFolder as this run uses it: taken at its start, less a trailing separator at each accepted file name. The
    // settings record itself is left as the user set it.
    QString m_saveFolder;
    int m_retryCount = 0;
    // What "END" left in the upload file; Failed also before any "END".
    Output::Stored m_stored = Output::Stored::Failed;
    // The cycle's final answer, once it has gone out (or was tried).
    enum class Answer
    {
        None,
        Acknowledged,
        Cancelled,
    };
    Answer m_answer = Answer::None;
    QString m_reply;
    QString m_fileNamePart;
    int m_announcedCount = 0;
    int m_recordCount = 0;
    char16_t m_seqChar = u'0';
};
