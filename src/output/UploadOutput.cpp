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

bool sameBlock(const JournalEntry& entry, bool append, const UploadFileWriter::Block& block)
{
    return entry.append == append && entry.blockLength == block.lines.size() && entry.digest == block.digest;
}

} // namespace

UploadOutput::UploadOutput(const Settings& settings, const ProgramPaths& paths, MessageSink& messages,
                           const QString& title)
    : m_settings(settings), m_messages(messages), m_title(title), m_files(paths.BackFilePath),
      m_writer(messages, title), m_journal(paths.journalPath), m_history(paths.historyPath)
{
}

Output::RecoveryReport UploadOutput::recoverCycle()
{
    if (m_cycle.stage != Stage::NotRecovered) {
        return {};
    }
    m_cycle.stage = Stage::Idle;
    removeStaleUploadTemporaries();
    const CycleJournal::Reading reading = m_journal.read();
    if (reading.state == CycleJournal::State::Absent) {
        return {};
    }
    if (reading.state == CycleJournal::State::Unreadable) {
        (void)m_journal.clear();
        return {Recovery::Unreadable, {}};
    }
    const JournalEntry& entry = reading.entry;
    SafeFile::removeStaleTemporaries(entry.uploadPath);
    if (CycleJournal::holdsBlock(entry)) {
        // The answer may or may not have gone out: only the terminal's next block can tell.
        m_cycle.stage = Stage::Pending;
        m_cycle.entry = entry;
        return {Recovery::Pending, {}};
    }
    if (entry.append) {
        const qint64 length = lengthOf(entry.uploadPath);
        const qint64 base = std::max<qint64>(entry.oldLength, 0);
        // Longer than before but short of the whole block: the write was cut short, so no "ACK" can have gone out.
        // A file the write created and never filled is taken back too. Anything else is not this write's doing.
        const bool torn = (length > base && length <= base + entry.blockLength) || (entry.oldLength < 0 && length == 0);
        // Held while it is looked at, so that no other writer appends meanwhile; lines another writer appended after
        // the kill are not this write's, and stay.
        UploadFileHold hold;
        if (torn && !hold.take(entry.uploadPath, std::chrono::milliseconds(0)) &&
            CycleJournal::tailIsOwnBlock(
                entry, length, UploadFileWriter::renderQuietly(m_files.stagingPath(), m_settings.FieldSelect))) {
            m_cycle.stage = Stage::TornWrite;
            m_cycle.entry = entry;
            if (const auto error = SafeFile::restoreLength(entry.uploadPath, entry.oldLength)) {
                // The journal stays, so a later start or the next store still knows what to take back.
                return {Recovery::CutBackFailed, *error};
            }
            m_cycle.stage = Stage::Idle;
        }
    }
    (void)m_journal.clear();
    return {};
}

std::optional<Output::OpenFailure> UploadOutput::beginCycle(const QString& logPath)
{
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
}

std::optional<SystemError> UploadOutput::writeRecord(const QString& line)
{
    return m_files.writeStagingLine(line);
}

std::optional<SystemError> UploadOutput::closeRecords()
{
    return m_files.flushStaging();
}

void UploadOutput::writeLogLine(const QString& line)
{
    m_files.writeLogLine(line);
}

Output::Stored UploadOutput::WriteUploadFile(const QString& uploadPath)
{
    m_files.closeAll();
    switch (m_cycle.stage) {
    case Stage::NotRecovered:
    case Stage::Idle:
    case Stage::Pending:
        break;
    case Stage::TornWrite:
        if (const auto error = SafeFile::restoreLength(m_cycle.entry.uploadPath, m_cycle.entry.oldLength)) {
            reportFileError(*error, m_cycle.entry.uploadPath);
            return Stored::Failed;
        }
        m_cycle.stage = Stage::Idle;
        break;
    // A cycle that was never ended: what it left undecided is taken back, and only a pending block stays.
    case Stage::Journaled:
    case Stage::Adopted:
    case Stage::Written:
        m_cycle.heldAppend.reset();
        m_cycle.stage = Stage::Idle;
        break;
    case Stage::TakeBackFailed:
        m_cycle.stage = Stage::Pending;
        break;
    default:
        internalError("WriteUploadFile");
        return Stored::Failed;
    }
    // Read once: the journal records the length and digest of exactly the bytes then stored.
    const auto block = m_writer.render(m_files.stagingPath(), uploadPath, m_settings.FieldSelect);
    if (!block) {
        return Stored::Failed;
    }
    const bool append = isAppend();
    // No other copy appends from the length measured below until this cycle is settled.
    if (append) {
        if (const auto error = m_uploadHold.take(uploadPath)) {
            reportFileError(*error, uploadPath);
            return Stored::Failed;
        }
    }
    const bool pending = m_cycle.stage == Stage::Pending;
    const bool repeat = pending && sameBlock(m_cycle.entry, append, *block) && CycleJournal::holdsBlock(m_cycle.entry);
    // Appended, or under another name (a date in it): storing the repeat would make a second copy.
    if (repeat && (append || m_cycle.entry.uploadPath != uploadPath)) {
        m_cycle.stage = Stage::Adopted;
        return Stored::AlreadyStored;
    }

    // A different block means the lost answer was "ACK": what the file holds stays as it is.
    m_cycle.stage = Stage::Idle;
    JournalEntry entry;
    entry.uploadPath = uploadPath;
    entry.append = append;
    entry.oldLength = append ? lengthOf(uploadPath) : -1;
    entry.blockLength = block->lines.size();
    entry.digest = block->digest;
    // Rewritten in place with the same bytes; its mail went out before.
    entry.mailAccepted = repeat && m_cycle.entry.mailAccepted;
    if (const auto error = m_journal.write(entry)) {
        reportFileError(*error, m_journal.path());
        return Stored::Failed;
    }
    m_cycle.stage = Stage::Journaled;
    m_cycle.entry = entry;
    checkpoint("journal");
    if (append) {
        m_cycle.heldAppend = m_writer.holdAppend(block->lines, uploadPath);
        if (!m_cycle.heldAppend) {
            return Stored::Failed;
        }
    } else if (!m_writer.store(block->lines, uploadPath, m_settings.OverWrite)) {
        return Stored::Failed;
    }
    m_cycle.stage = Stage::Written;
    return repeat ? Stored::AlreadyStored : Stored::Written;
}

Output::Mail UploadOutput::SendByMail(QString& mailError)
{
    if (m_settings.SendMail != 1 || !hasCycleEntry()) {
        return Mail::NotMailed;
    }
    if (m_cycle.entry.mailAccepted) {
        return Mail::AlreadySent;
    }
    // The message body is always empty.
    const MailSender::Mail mail{m_settings.MailAddress,   m_settings.FromMailAddress, m_settings.MailSub,  QString(),
                                m_cycle.entry.uploadPath, m_settings.MailServer,      m_settings.MailUser, {}};
    if (!m_mailer.send(mail, mailError)) {
        return Mail::Failed;
    }
    // The send pumps events: the end of the session may have answered and closed the cycle meanwhile.
    if (!hasCycleEntry()) {
        return Mail::Failed;
    }
    m_cycle.entry.mailAccepted = true;
    // Best effort: without it a kill before the answer only costs a second mail.
    (void)m_journal.write(m_cycle.entry);
    return Mail::Sent;
}

std::optional<SystemError> UploadOutput::settleCycle(bool acknowledged)
{
    std::optional<SystemError> error;
    switch (m_cycle.stage) {
    case Stage::NotRecovered:
    case Stage::Idle:
    case Stage::Pending:
    case Stage::TornWrite:
    case Stage::Journaled:
    case Stage::TakeBackFailed:
        // No cycle reached its end of file, or nothing of this one is left to keep or take back.
        break;
    case Stage::Adopted:
        if (!acknowledged && m_cycle.entry.append) {
            // No "ACK" went out for it (its mail had not been accepted): the terminal sends it again.
            error = SafeFile::restoreLength(m_cycle.entry.uploadPath, m_cycle.entry.oldLength);
        }
        m_cycle.stage = settledStage(error);
        break;
    case Stage::Written:
        if (const auto held = std::move(m_cycle.heldAppend)) {
            if (acknowledged) {
                // Already on disk: closing cannot fail in a way that loses it.
                (void)held->commit();
            } else {
                error = held->rollback();
            }
        }
        m_cycle.stage = settledStage(error);
        break;
    default:
        internalError("settleCycle");
        break;
    }
    m_uploadHold.release();
    checkpoint("answer");
    return error;
}

void UploadOutput::endCycle(bool answerSent)
{
    m_files.closeAll();
    m_uploadHold.release();
    switch (m_cycle.stage) {
    case Stage::NotRecovered:
    case Stage::Idle:
    case Stage::Pending:
    case Stage::TornWrite:
        break;
    case Stage::Journaled:
    case Stage::Adopted:
    case Stage::Written:
        // An append never settled is taken back, as when the program ends.
        m_cycle.heldAppend.reset();
        // Unanswered, the terminal sends the block again: recognised while the file holds it whole.
        m_cycle.stage = !answerSent && CycleJournal::holdsBlock(m_cycle.entry) ? Stage::Pending : Stage::Idle;
        checkpoint("answered");
        if (m_cycle.stage == Stage::Idle) {
            (void)m_journal.clear();
        }
        break;
    case Stage::TakeBackFailed:
        m_cycle.stage = Stage::Pending;
        checkpoint("answered");
        break;
    default:
        internalError("endCycle");
        break;
    }
}

QString UploadOutput::recordCycle(const CycleSummary& summary)
{
    CycleHistoryEntry entry;
    entry.time = summary.time;
    entry.terminalFile = summary.terminalFile;
    entry.announcedCount = summary.announcedCount;
    entry.receivedCount = summary.receivedCount;
    entry.answer = summary.end == CycleEnd::Acknowledged ? QStringLiteral("ACK") : QStringLiteral("CAN");
    entry.uploadFile = QDir::toNativeSeparators(summary.uploadPath);
    entry.mailResult = summary.mailResult;
    entry.failure = summary.failure;

    const OutageRule::Outcome outcome = summary.end == CycleEnd::Acknowledged ? OutageRule::Outcome::Stored
                                        : summary.end == CycleEnd::Stopped    ? OutageRule::Outcome::Stopped
                                                                              : OutageRule::Outcome::Failed;
    const OutageRule::Step step = m_outage.next(outcome, summary.failure);
    const CycleHistory::State before = m_history.state();
    std::optional<SystemError> error;
    if (step.ended) {
        error = closeStreak(*step.ended);
    }
    if (step.writeLine) {
        if (auto lineError = m_history.append(entry)) {
            error = lineError;
        }
    } else {
        m_lastRepeat = entry;
    }
    if (m_cycleListener) {
        m_cycleListener({summary.time, outcome, summary.failure, step.notice});
    }
    // Held lines are written later and need no word; losing some is said once, when it begins.
    if (error && before != CycleHistory::State::Dropping && m_history.state() == CycleHistory::State::Dropping) {
        return QStringLiteral("<History> 履歴ﾌｧｲﾙに書き込めないため、%1件を超えた分の履歴を記録しません")
                   .arg(CycleHistory::MaxHeldLines) +
               fileErrorNumberText(*error);
    }
    return QString();
}

void UploadOutput::flushHistory()
{
    if (const auto streak = m_outage.close()) {
        (void)closeStreak(*streak);
    }
    m_history.flush();
}

std::optional<SystemError> UploadOutput::closeStreak(const OutageRule::Streak& streak)
{
    if (!m_lastRepeat) {
        return std::nullopt;
    }
    CycleHistoryEntry closing = *std::exchange(m_lastRepeat, std::nullopt);
    // The line of the streak's first cycle is above it; this one is its last, with how many there were.
    closing.failure = streak.reason + QStringLiteral(" (%1回連続の最後)").arg(streak.cycles);
    return m_history.append(closing);
}

void UploadOutput::setMailTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds total)
{
    m_mailer.setTimeouts(connect, total);
}

bool UploadOutput::isAppend() const
{
    return m_settings.OverWrite != 1;
}

bool UploadOutput::hasCycleEntry() const
{
    switch (m_cycle.stage) {
    case Stage::NotRecovered:
    case Stage::Idle:
    case Stage::Pending:
    case Stage::TornWrite:
        return false;
    case Stage::Journaled:
    case Stage::Adopted:
    case Stage::Written:
    case Stage::TakeBackFailed:
        return true;
    default:
        internalError("hasCycleEntry");
        return false;
    }
}

UploadOutput::Stage UploadOutput::settledStage(const std::optional<SystemError>& error) const
{
    return error && CycleJournal::holdsBlock(m_cycle.entry) ? Stage::TakeBackFailed : Stage::Journaled;
}

void UploadOutput::removeStaleUploadTemporaries() const
{
    // Every upload file name ends in ".txt"; its temporaries are "<name>.<hex>.tmp" beside it.
    static const QRegularExpression temporary(QStringLiteral("^(.+\\.txt)\\.[0-9a-f]{1,8}\\.tmp$"));
    const QDir folder(m_settings.SaveFolder);
    const QStringList names = folder.entryList({QStringLiteral("*.tmp")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        const QRegularExpressionMatch match = temporary.match(name);
        if (match.hasMatch()) {
            SafeFile::removeStaleTemporaries(folder.filePath(match.captured(1)));
        }
    }
}

void UploadOutput::checkpoint(const char* point) const
{
    if (m_checkpoint) {
        m_checkpoint(point);
    }
}

void UploadOutput::reportFileError(const SystemError& error, const QString& path)
{
    m_messages.showMessageNoWait(UploadFileWriter::failureText(error.description, path), m_title, MessageIcon::None);
}

void UploadOutput::internalError(const char* where) const
{
    m_messages.showMessageNoWait(QStringLiteral("内部ｴﾗｰ: ") + QString::fromLatin1(where), m_title, MessageIcon::None);
}
