#pragma once
// The run engine's Output: the cycle's staging and log files, and the shell that performs CycleTransaction's file
// actions on the upload file, its hold and the cycle journal, which lets a start after a kill recognise a block already
// stored. The file work runs on FileWorker's thread while the caller waits in the event loop; the engine sees calls
// that return when done. Reads the live settings at every call; message boxes go through MessageSink.

#include "base/SystemEvent.h"
#include "output/CycleJournal.h"
#include "output/CycleRecorder.h"
#include "output/CycleTransaction.h"
#include "output/DiskRunFiles.h"
#include "output/FileWorker.h"
#include "output/HeldMessages.h"
#include "output/MailSender.h"
#include "output/UploadFileHold.h"
#include "output/UploadFileWriter.h"
#include "protocol/Output.h"

#include <QDateTime>
#include <QList>
#include <QMutex>
#include <QStringList>

#include <functional>
#include <optional>

class MessageSink;
struct ProgramPaths;
struct Settings;

class UploadOutput : public Output
{
public:
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
    QString recordCycle(const CycleSummary& summary) override;

    // Returns once every file work given so far is done: the session ends and the process may not outlive the call.
    void finishFileWork();
    // The history and the listener of ended cycles.
    CycleRecorder& recorder() { return m_recorder; }

    // Where the mail's password is read when the settings name a mail user.
    void setMailPasswordStore(MailPasswordStore* store) { m_mailer.setPasswordStore(store); }
    // Tests shorten the bounds; the program keeps the defaults.
    void setMailTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds total);
    // Told, on this thread, a line for the status box: the file work has not answered for FileWorker::SlowAfter, naming
    // the save folder; the upload file's lock file cannot be made (once a start, also in the history); another PC
    // holds the lock file on a share.
    void setStatusListener(std::function<void(const QString&)> listener) { m_status = std::move(listener); }
    // Told to the system log: what the start's look back found, a mail the server refused or a sign-in that failed
    // (once until a mail goes through or the failure changes), and the upload file's lock file that cannot be made.
    void setSystemLog(SystemEventWriter writer) { m_systemLog = std::move(writer); }
    // Tests shorten the wait before that line.
    FileWorker& worker() { return m_worker; }
    // Tests that kill the program mid-cycle (on the file work's thread): called with "journal" (written, upload file
    // not yet touched), "answer" (just before the final answer) and "answered" (just after it, journal not yet
    // cleared).
    void setCheckpoint(std::function<void(const char*)> checkpoint) { m_checkpoint = std::move(checkpoint); }

private:
    // The settings the file work reads, taken on this thread when a job is given.
    struct JobSettings
    {
        QString saveFolder;
        UploadFileWriter::FieldFlags fieldSelect{};
        std::int16_t overWrite = 0;
    };
    JobSettings jobSettings() const;
    // Runs job on the file work's thread, waits for it, then shows the boxes it asked for.
    template <typename Job> auto work(Job job);
    // Performs the transaction's actions from step on until its request is decided. File work's thread.
    void drive(CycleTransaction::Step step, const JobSettings& settings);
    CycleTransaction::Result perform(const CycleTransaction::Step& step, const JobSettings& settings);
    // The upload file's hold for Action::HoldUpload: no error when held, or when no lock file can be made at all.
    std::optional<SystemError> takeUploadHold(const QString& uploadPath, bool wait);
    // A status line (and history line, and system log entry) of the file work, said on the caller's thread once its
    // job is done.
    void holdNote(const QString& text, bool inHistory, std::optional<SystemEvent> event = std::nullopt);
    void tellHeldNotes();
    static void removeStaleUploadTemporaries(const QString& saveFolder);
    // A file of the cycle other than the writer's own (the journal, the upload file's hold or a torn write) failed:
    // its box, as the writer's boxes read.
    void reportFileError(const SystemError& error, const QString& path);
    void tellRecovery(const RecoveryReport& report, const JournalEntry& entry);
    void tellMailFailure(const QString& mailError);

    const Settings& m_settings;
    MessageSink& m_messages;
    QString m_title;
    // The boxes of the file work, shown once its job is done.
    HeldMessages m_heldMessages;
    // Its staging side is written on this thread during the record phase, its log side by the file work.
    DiskRunFiles m_files;
    UploadFileWriter m_writer;
    MailSender m_mailer;
    CycleJournal m_journal;
    CycleRecorder m_recorder;
    // An append cycle's upload file, from its length before to the settling of the cycle.
    UploadFileHold m_uploadHold;
    CycleTransaction m_transaction;
    // The lines the last Render read, until they are stored.
    QByteArray m_lines;
    // Declared after the hold: an append still undecided when the program ends is taken back before the hold goes.
    UploadFileWriter::HeldAppend m_heldAppend;
    std::function<void(const char*)> m_checkpoint;
    std::function<void(const QString&)> m_status;
    SystemEventWriter m_systemLog;
    // The mail failure last told to the system log; empty once a mail went through.
    QString m_mailFailureTold;
    // Log lines given on this thread and not yet handed to the file work, which writes them in one go.
    QMutex m_logMutex;
    QStringList m_logLines;
    bool m_logWriteQueued = false;
    struct Note
    {
        QDateTime time;
        QString text;
        bool inHistory = false;
        std::optional<SystemEvent> event;
    };
    QMutex m_notesMutex;
    QList<Note> m_notes;
    // The upload file was written without its hold once this start, and that was said. File work's thread.
    bool m_unheldSaid = false;
    // Declared last: every job queued finishes before the files above close.
    FileWorker m_worker;
};
