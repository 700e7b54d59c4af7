#include "output/UploadOutput.h"

#include "base/MessageSink.h"
#include "base/Platform.h"
#include "base/ProgramPaths.h"
#include "base/SafeFile.h"
#include "config/Settings.h"
#include "protocol/RunTexts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QRegularExpression>

#include <algorithm>
#include <utility>

namespace {

// -1 when the file does not exist.
qint64 lengthOf(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() ? info.size() : -1;
}

} // namespace

UploadOutput::UploadOutput(const Settings& settings, const ProgramPaths& paths, MessageSink& messages,
                           const QString& title)
    : m_settings(settings), m_messages(messages), m_title(title), m_files(paths.BackFilePath),
      m_writer(m_heldMessages, title), m_journal(paths.journalPath), m_recorder(paths.historyPath)
{
}

UploadOutput::JobSettings UploadOutput::jobSettings() const
{
    return {m_settings.SaveFolder, m_settings.FieldSelect, m_settings.OverWrite};
}

template <typename Job> auto UploadOutput::work(Job job)
{
    const QString folder = m_settings.SaveFolder;
    const auto slow = [this, folder] {
        if (m_status) {
            m_status(QStringLiteral("保存ﾌｫﾙﾀﾞの応答を待っています : ") + QDir::toNativeSeparators(folder));
        }
    };
    if constexpr (std::is_void_v<std::invoke_result_t<Job>>) {
        m_worker.run(job, slow);
        m_heldMessages.showHeld(m_messages);
        tellHeldNotes();
    } else {
        auto result = m_worker.run(job, slow);
        m_heldMessages.showHeld(m_messages);
        tellHeldNotes();
        return result;
    }
}

Output::RecoveryReport UploadOutput::recoverCycle()
{
    const auto [report, entry] = work([this, settings = jobSettings()] {
        drive(m_transaction.recover(), settings);
        return std::pair(m_transaction.outcome().recovery, m_transaction.entry());
    });
    tellRecovery(report, entry);
    return report;
}

std::optional<Output::OpenFailure> UploadOutput::beginCycle(const QString& logPath)
{
    return work([this, logPath]() -> std::optional<OpenFailure> {
        m_files.closeAll();
        // Never another folder in its place: the terminal is told "CAN" until this one is back.
        if (auto error = checkFolder(QFileInfo(logPath).path())) {
            return OpenFailure{CycleFile::SaveFolder, *error};
        }
        if (auto error = m_files.openStaging()) {
            return OpenFailure{CycleFile::Staging, *error};
        }
        if (auto error = m_files.openLog(logPath)) {
            return OpenFailure{CycleFile::Log, *error};
        }
        return std::nullopt;
    });
}

std::optional<SystemError> UploadOutput::writeRecord(const QString& line)
{
    return m_files.writeStagingLine(line);
}

std::optional<SystemError> UploadOutput::closeRecords()
{
    return work([this] { return m_files.flushStaging(); });
}

void UploadOutput::writeLogLine(const QString& line)
{
    // Nothing waits for a log line: a slow share holds the lines back, not the transfer. Lines that come while a write
    // is queued go with it, so a fast transfer wakes the file work once a batch rather than once a record.
    {
        const QMutexLocker lock(&m_logMutex);
        m_logLines.append(line);
        if (m_logWriteQueued) {
            return;
        }
        m_logWriteQueued = true;
    }
    m_worker.post([this] {
        QStringList lines;
        {
            const QMutexLocker lock(&m_logMutex);
            lines.swap(m_logLines);
            m_logWriteQueued = false;
        }
        m_files.writeLogLines(lines);
    });
}

Output::Stored UploadOutput::WriteUploadFile(const QString& uploadPath)
{
    return work([this, uploadPath, settings = jobSettings()] {
        m_files.closeAll();
        drive(m_transaction.endOfFile(uploadPath, settings.overWrite != 1), settings);
        return m_transaction.outcome().stored;
    });
}

Output::Mail UploadOutput::SendByMail(QString& mailError)
{
    switch (m_transaction.mail(m_settings.SendMail == 1)) {
    case CycleTransaction::MailDecision::NotMailed:
        return Mail::NotMailed;
    case CycleTransaction::MailDecision::AlreadySent:
        return Mail::AlreadySent;
    case CycleTransaction::MailDecision::Send:
        break;
    }
    // The message body is always empty.
    const MailSender::Mail mail{
        m_settings.MailAddress,           m_settings.FromMailAddress, m_settings.MailSub,  QString(),
        m_transaction.entry().uploadPath, m_settings.MailServer,      m_settings.MailUser, {}};
    if (!m_mailer.send(mail, mailError)) {
        tellMailFailure(mailError);
        return Mail::Failed;
    }
    m_mailFailureTold.clear();
    return work([this, settings = jobSettings()] {
        drive(m_transaction.mailAccepted(), settings);
        return m_transaction.outcome().mail;
    });
}

std::optional<SystemError> UploadOutput::settleCycle(bool acknowledged)
{
    return work([this, acknowledged, settings = jobSettings()] {
        drive(m_transaction.settle(acknowledged), settings);
        return m_transaction.outcome().settleError;
    });
}

void UploadOutput::endCycle(bool answerSent)
{
    // The answer is out and nothing waits for this: the next cycle's file work queues behind it.
    m_worker.post([this, answerSent, settings = jobSettings()] {
        m_files.closeAll();
        drive(m_transaction.end(answerSent), settings);
    });
}

void UploadOutput::finishFileWork()
{
    work([] {});
}

QString UploadOutput::recordCycle(const CycleSummary& summary)
{
    return m_recorder.record(summary);
}

void UploadOutput::setMailTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds total)
{
    m_mailer.setTimeouts(connect, total);
}

void UploadOutput::drive(CycleTransaction::Step step, const JobSettings& settings)
{
    while (step.action != CycleTransaction::Action::None) {
        step = m_transaction.resume(perform(step, settings));
    }
}

CycleTransaction::Result UploadOutput::perform(const CycleTransaction::Step& step, const JobSettings& settings)
{
    using Action = CycleTransaction::Action;
    using Result = CycleTransaction::Result;
    const JournalEntry& entry = m_transaction.entry();
    switch (step.action) {
    case Action::None:
        break;
    case Action::RemoveTemporaries:
        removeStaleUploadTemporaries(settings.saveFolder);
        break;
    case Action::ReadJournal:
        return Result::journal(m_journal.read());
    case Action::RemoveEntryTemporaries:
        SafeFile::removeStaleTemporaries(step.path);
        break;
    case Action::CheckBlock:
        return Result::fact(CycleJournal::holdsBlock(entry));
    case Action::MeasureUpload:
        return Result::measured(lengthOf(step.path));
    case Action::HoldUpload:
        return Result::failure(takeUploadHold(step.path, step.wait));
    case Action::ReleaseHold:
        m_uploadHold.release();
        break;
    case Action::CompareTail:
        return Result::fact(CycleJournal::tailIsOwnBlock(
            entry, step.length, UploadFileWriter::renderQuietly(m_files.stagingPath(), settings.fieldSelect)));
    case Action::CutBack:
        return Result::failure(SafeFile::restoreLength(entry.uploadPath, entry.oldLength));
    case Action::ReportError:
        reportFileError(step.error, step.path.isEmpty() ? m_journal.path() : step.path);
        break;
    case Action::Render: {
        auto block = m_writer.render(m_files.stagingPath(), step.path, settings.fieldSelect);
        if (!block) {
            return Result::rendered(std::nullopt);
        }
        m_lines = std::move(block->lines);
        return Result::rendered(CycleTransaction::Block{m_lines.size(), block->digest});
    }
    case Action::WriteJournal:
        return Result::failure(m_journal.write(entry));
    case Action::ClearJournal:
        (void)m_journal.clear();
        break;
    case Action::Store: {
        const bool stored = m_writer.store(m_lines, step.path, settings.overWrite);
        m_lines.clear();
        return Result::fact(stored);
    }
    case Action::AppendHeld:
        m_heldAppend = m_writer.holdAppend(m_lines, step.path);
        m_lines.clear();
        return Result::fact(m_heldAppend != nullptr);
    case Action::Commit:
        if (m_heldAppend) {
            (void)m_heldAppend->commit();
        }
        m_heldAppend.reset();
        break;
    case Action::Rollback: {
        const auto held = std::move(m_heldAppend);
        return Result::failure(held ? held->rollback() : std::nullopt);
    }
    case Action::DropHeldAppend:
        m_heldAppend.reset();
        break;
    case Action::Checkpoint:
        if (m_checkpoint) {
            m_checkpoint(step.name);
        }
        break;
    case Action::InternalError:
        m_heldMessages.showMessage(QStringLiteral("内部ｴﾗｰ: ") + QString::fromLatin1(step.name), m_title,
                                   MessageIcon::None);
        break;
    }
    return Result::done();
}

std::optional<SystemError> UploadOutput::takeUploadHold(const QString& uploadPath, bool wait)
{
    const UploadFileHold::Taken taken =
        m_uploadHold.take(uploadPath, wait ? UploadFileHold::Patience : std::chrono::milliseconds(0));
    const QString lockPath = QDir::toNativeSeparators(UploadFileHold::lockPath(uploadPath));
    switch (taken.outcome) {
    case UploadFileHold::Outcome::Held:
        return std::nullopt;
    case UploadFileHold::Outcome::Unheld:
        // Appending worked there before the hold existed; it still does, without keeping other writers off.
        if (!std::exchange(m_unheldSaid, true)) {
            holdNote(QStringLiteral("ﾛｯｸﾌｧｲﾙを作成できないため、他のPCからの同時書き込みを防げません : ") + lockPath +
                         fileErrorNumberText(taken.error),
                     true, SystemEvent::LockNotMade);
        }
        return std::nullopt;
    case UploadFileHold::Outcome::HeldElsewhere:
        // A share keeps the open files of a PC that crashed until it gives up on the PC.
        if (wait && isNetworkPath(uploadPath)) {
            holdNote(QStringLiteral("ﾛｯｸﾌｧｲﾙを他のPCが使用しています。異常終了したPCのﾛｯｸは共有ﾌｫﾙﾀﾞに数分間"
                                    "残ることがあります : ") +
                         lockPath,
                     false);
        }
        return taken.error;
    case UploadFileHold::Outcome::Failed:
    default:
        return taken.error;
    }
}

void UploadOutput::holdNote(const QString& text, bool inHistory, std::optional<SystemEvent> event)
{
    const QMutexLocker lock(&m_notesMutex);
    m_notes.append({QDateTime::currentDateTime(), text, inHistory, event});
}

void UploadOutput::tellHeldNotes()
{
    QList<Note> notes;
    {
        const QMutexLocker lock(&m_notesMutex);
        notes.swap(m_notes);
    }
    for (const Note& note : notes) {
        if (m_status) {
            m_status(note.text);
        }
        if (note.inHistory) {
            m_recorder.recordNote(note.time, note.text);
        }
        if (note.event && m_systemLog) {
            m_systemLog(*note.event, {note.text});
        }
    }
}

void UploadOutput::removeStaleUploadTemporaries(const QString& saveFolder)
{
    // Every upload file name ends in ".txt"; its temporaries are "<name>.<hex>.tmp" beside it.
    static const QRegularExpression temporary(QStringLiteral("^(.+\\.txt)\\.[0-9a-f]{1,8}\\.tmp$"));
    const QDir folder(saveFolder);
    const QStringList names = folder.entryList({QStringLiteral("*.tmp")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        const QRegularExpressionMatch match = temporary.match(name);
        if (match.hasMatch()) {
            SafeFile::removeStaleTemporaries(folder.filePath(match.captured(1)));
        }
    }
}

void UploadOutput::reportFileError(const SystemError& error, const QString& path)
{
    m_heldMessages.showMessage(UploadFileWriter::failureText(error.description, path), m_title, MessageIcon::None);
}

void UploadOutput::tellRecovery(const RecoveryReport& report, const JournalEntry& entry)
{
    if (!m_systemLog) {
        return;
    }
    const QString upload = QDir::toNativeSeparators(entry.uploadPath);
    switch (report.recovery) {
    case Recovery::Pending:
        m_systemLog(SystemEvent::CycleAdopted, {upload});
        break;
    case Recovery::CutBack:
        m_systemLog(SystemEvent::CycleCutBack, {upload, QString::number(std::max<qint64>(entry.oldLength, 0))});
        break;
    case Recovery::CutBackFailed:
        m_systemLog(SystemEvent::CutBackFailed, {upload, fileErrorNumberText(report.error)});
        break;
    case Recovery::Unreadable:
        m_systemLog(SystemEvent::JournalUnreadable, {QDir::toNativeSeparators(m_journal.path())});
        break;
    case Recovery::Nothing:
    default:
        break;
    }
}

void UploadOutput::tellMailFailure(const QString& mailError)
{
    const MailSender::Failure failure = MailSender::failureOf(mailError);
    if (!m_systemLog || failure == MailSender::Failure::Other || mailError == m_mailFailureTold) {
        return;
    }
    m_mailFailureTold = mailError;
    if (failure == MailSender::Failure::SignIn) {
        m_systemLog(SystemEvent::MailSignInFailed, {m_settings.MailServer, m_settings.MailUser.trimmed(), mailError});
    } else {
        m_systemLog(SystemEvent::MailRefused, {m_settings.MailAddress, mailError});
    }
}
