#pragma once
// The run engine's Output: the cycle's staging and log files, the upload file and its mail as one transaction kept
// or taken back by the terminal's final answer, with the cycle journal that lets a start after a kill recognise a
// block already stored. Reads the live settings at every call; message boxes go through MessageSink.

#include "output/CycleHistory.h"
#include "output/CycleJournal.h"
#include "output/DiskRunFiles.h"
#include "output/MailSender.h"
#include "output/OutageRule.h"
#include "output/UploadFileHold.h"
#include "output/UploadFileWriter.h"
#include "protocol/Output.h"

#include <functional>

class MessageSink;
struct ProgramPaths;
struct Settings;

class UploadOutput : public Output
{
public:
    // What one ended cycle means for whoever watches the program from outside its window.
    struct CycleNotice
    {
        QDateTime time;
        OutageRule::Outcome outcome = OutageRule::Outcome::Stored;
        QString failure; // empty when stored
        // Started: this cycle's failure has lasted OutageRule::LastingCycles cycles. Ended: stored again after that.
        OutageRule::Notice notice = OutageRule::Notice::None;
    };
    using CycleListener = std::function<void(const CycleNotice&)>;

    // The staging file, the journal and the history lie beside the program (paths).
    UploadOutput(const Settings& settings, const ProgramPaths& paths, MessageSink& messages, const QString& title);

    RecoveryReport recoverCycle() override;
    std::optional<OpenFailure> beginCycle(const QString& logPath) override;
    std::optional<SystemError> writeRecord(const QString& line) override;
    std::optional<SystemError> closeRecords() override;
    void writeLogLine(const QString& line) override;
    Stored WriteUploadFile(const QString& uploadPath) override;
    Mail SendByMail(QString& mailError) override;
    std::optional<SystemError> settleCycle(bool acknowledged) override;
    void endCycle(bool answerSent) override;
    // One history line per cycle, except that a failure repeated cycle after cycle has one when it starts and one
    // when it ends (OutageRule); then tells the listener.
    QString recordCycle(const CycleSummary& summary) override;

    void setCycleListener(CycleListener listener) { m_cycleListener = std::move(listener); }
    // The session ends and the process may not outlive the call: a failure still repeating gets its closing line,
    // and lines waiting for the history file one last try.
    void flushHistory();

    // Where the mail's password is read when the settings name a mail user.
    void setMailPasswordStore(MailPasswordStore* store) { m_mailer.setPasswordStore(store); }
    // Tests shorten the bounds; the program keeps the defaults.
    void setMailTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds total);
    // Tests that kill the program mid-cycle: called with "journal" (written, upload file not yet touched), "answer"
    // (just before the final answer) and "answered" (just after it, journal not yet cleared).
    void setCheckpoint(std::function<void(const char*)> checkpoint) { m_checkpoint = std::move(checkpoint); }

private:
    // Where the cycle's transaction stands. Pending and TornWrite outlast cycles that end before their end of file;
    // the others but NotRecovered and Idle last from WriteUploadFile to endCycle.
    enum class Stage
    {
        // recoverCycle() has not looked back yet.
        NotRecovered,
        // No unanswered cycle waits and none is under way.
        Idle,
        // From start: an unanswered cycle whose block the upload file holds whole, until a cycle reaches its end of
        // file.
        Pending,
        // From start: an unanswered cycle whose write was cut short and could not be taken back yet.
        TornWrite,
        // This cycle's entry is in the journal and nothing of it is left to keep or take back: its write failed, or the
        // cycle is settled.
        Journaled,
        // This cycle's block was already in the upload file, from a cycle whose answer was lost.
        Adopted,
        // This cycle wrote its block; an append stays undecided until the cycle is settled.
        Written,
        // Taking the block back failed and it is still whole in the file: the repeat that follows "CAN" is recognised
        // instead of stored twice.
        TakeBackFailed,
    };
    struct Transaction
    {
        Stage stage = Stage::NotRecovered;
        // The unanswered cycle's (Pending, TornWrite) or this cycle's; nothing in NotRecovered and Idle.
        JournalEntry entry;
        // Written in append mode: the appended lines, until the cycle is settled.
        UploadFileWriter::HeldAppend heldAppend;
    };

    bool isAppend() const;
    // Whether the cycle has an entry of its own, from its journal (or the adoption of a pending one) to its end.
    bool hasCycleEntry() const;
    // After settling: Journaled, or TakeBackFailed when error says the take-back failed and the file still holds the
    // whole block.
    Stage settledStage(const std::optional<SystemError>& error) const;
    void removeStaleUploadTemporaries() const;
    void checkpoint(const char* point) const;
    // A file of the cycle other than the writer's own (the journal, the upload file's hold or a torn write) failed:
    // its box, as the writer's boxes read.
    void reportFileError(const SystemError& error, const QString& path);
    void internalError(const char* where) const;
    // The closing line of a failure repeated cycle after cycle, from its latest cycle.
    std::optional<SystemError> closeStreak(const OutageRule::Streak& streak);

    const Settings& m_settings;
    MessageSink& m_messages;
    QString m_title;
    DiskRunFiles m_files;
    UploadFileWriter m_writer;
    MailSender m_mailer;
    CycleJournal m_journal;
    CycleHistory m_history;
    // An append cycle's upload file, from its length before to the settling of the cycle.
    UploadFileHold m_uploadHold;
    // Declared after the hold: an append still undecided when the program ends is taken back before the hold goes.
    Transaction m_cycle;
    std::function<void(const char*)> m_checkpoint;
    OutageRule m_outage;
    // The latest cycle of a repeated failure that got no line: the streak's closing line is written from it.
    std::optional<CycleHistoryEntry> m_lastRepeat;
    CycleListener m_cycleListener;
};
