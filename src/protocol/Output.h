#pragma once
// The files of one cycle as one transaction, owned by output/: the staging and log files, the upload file and its
// mail, kept or taken back by the final answer the terminal is given. The run says what happened; the
// implementation decides what that means for the files. Tests use a recording fake.

#include "base/SystemError.h"

#include <QDateTime>
#include <QString>

#include <optional>

class Output
{
public:
    enum class CycleFile
    {
        // The save folder itself is missing (a mapped drive not yet back, a USB drive taken out).
        SaveFolder,
        Staging,
        Log,
    };
    struct OpenFailure
    {
        CycleFile file;
        SystemError error;
    };

    // What a start found of a cycle that was stored but never answered (a kill, a power cut).
    enum class Recovery
    {
        Nothing,
        // The upload file holds that cycle's whole block: a repeat of it is answered without storing it again.
        Pending,
        // That cycle's write was cut short: the upload file is back at its length before it.
        CutBack,
        // The journal could not be read: it is ignored.
        Unreadable,
        // That cycle's write was cut short and could not be taken back (error set); the next store tries again.
        CutBackFailed,
    };
    struct RecoveryReport
    {
        Recovery recovery = Recovery::Nothing;
        SystemError error;
    };

    enum class Stored
    {
        Failed,
        Written,
        // Identical to the block of a cycle that was stored but never answered: not stored a second time.
        AlreadyStored,
    };

    enum class Mail
    {
        // Mailing is off.
        NotMailed,
        Sent,
        // The server accepted this block before the answer was lost: not sent again.
        AlreadySent,
        Failed,
    };

    enum class CycleEnd
    {
        Acknowledged,
        Failed,
        // Stopped by the user or by the session's end.
        Stopped,
    };

    // One cycle's line in the day's history.
    struct CycleSummary
    {
        QDateTime time;
        QString terminalFile; // as its frame had it; empty when no file was announced
        int announcedCount = 0;
        int receivedCount = 0;
        CycleEnd end = CycleEnd::Failed;
        QString uploadPath;
        QString mailResult;
        QString failure;
    };

    virtual ~Output() = default;

    // Once before the first cycle of a run; later calls find nothing new.
    virtual RecoveryReport recoverCycle() = 0;
    // Checks that the save folder (logPath's folder) is there, empties the staging file, then replaces the log file at
    // logPath; the first failure is returned.
    virtual std::optional<OpenFailure> beginCycle(const QString& logPath) = 0;
    // One accepted record, byte for byte in code page 932; it may be held until closeRecords().
    virtual std::optional<SystemError> writeRecord(const QString& line) = 0;
    // "END": every record of the cycle is in the staging file.
    virtual std::optional<SystemError> closeRecords() = 0;
    // Best effort: a failing log never stops a transfer. Each line reaches the file when written.
    virtual void writeLogLine(const QString& line) = 0;
    // "END": closes the cycle's files and builds the upload file at uploadPath from the staging file. Failed after an
    // error it has already shown.
    virtual Stored WriteUploadFile(const QString& uploadPath) = 0;
    // After a stored upload file; mailError holds "number description+source" when Failed.
    virtual Mail SendByMail(QString& mailError) = 0;
    // Just before the final answer. "CAN" takes back what this cycle stored (the terminal keeps its data and sends it
    // again); "ACK" keeps it. Returns why a take-back failed.
    virtual std::optional<SystemError> settleCycle(bool acknowledged) = 0;
    // Right after the final answer: closes the cycle's files. Once the answer is out nothing of the cycle is pending
    // any more; an answer that could not be sent leaves a stored block to be recognised when the terminal repeats it.
    virtual void endCycle(bool answerSent) = 0;
    // Every cycle that ended, stored or not. Best effort: a history that cannot be written never fails a cycle.
    // Returns a line for the status box when the history begins to lose lines, else nothing.
    virtual QString recordCycle(const CycleSummary& summary) = 0;
};
