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
    enum class Adoption
    {
        None,
        // This cycle's block was already in the upload file, from a cycle whose answer was lost.
        Adopted,
        // This cycle wrote its block.
        Written,
    };

    bool isAppend() const;
    // Whether the upload file holds entry's whole block where entry says.
    static bool holdsBlock(const JournalEntry& entry);
    // Takes back a write found cut short at start; the cycle fails while that is not possible.
    bool cutBackTornWrite();
    // Whether what the upload file holds past entry's old length is the beginning of entry's own block, as the
    // staging file still makes it, or zeros where it did not reach the disk: only then is it this program's torn
    // write and not another writer's lines.
    bool tailIsOwnBlock(const JournalEntry& entry, qint64 length);
    void removeStaleUploadTemporaries() const;
    void checkpoint(const char* point) const;
    // The closing line of a failure repeated cycle after cycle, from its latest cycle.
    std::optional<SystemError> closeStreak(const OutageRule::Streak& streak);

    const Settings& m_settings;
    DiskRunFiles m_files;
    UploadFileWriter m_writer;
    MailSender m_mailer;
    CycleJournal m_journal;
    CycleHistory m_history;
    // An append cycle's upload file, from its length before to the settling of the cycle.
    UploadFileHold m_uploadHold;
    std::function<void(const char*)> m_checkpoint;
    OutageRule m_outage;
    // The latest cycle of a repeated failure that got no line: the streak's closing line is written from it.
    std::optional<CycleHistoryEntry> m_lastRepeat;
    CycleListener m_cycleListener;

    bool m_recovered = false;
    // From start: an unanswered cycle's entry whose block the upload file holds whole, until a cycle reaches its end
    // of file; or one whose write was cut short and could not be taken back yet.
    std::optional<JournalEntry> m_pending;
    std::optional<JournalEntry> m_tornWrite;
    // This cycle's entry, from the journal write (or the adoption of m_pending) to the end of the cycle.
    std::optional<JournalEntry> m_current;
    Adoption m_adoption = Adoption::None;
};
