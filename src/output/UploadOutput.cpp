#include "output/UploadOutput.h"

#include "base/Platform.h"
#include "base/ProgramPaths.h"
#include "base/SafeFile.h"
#include "config/Settings.h"
#include "protocol/RunTexts.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <utility>

namespace {

struct Tail
{
    qint64 length = 0;
    QByteArray digest;
};

// Length and SHA-256 of path's bytes from offset to its end; nothing when it cannot be read that far.
std::optional<Tail> tailOf(const QString& path, qint64 offset)
{
    QFile file;
    if (SafeFile::openRegular(file, path, QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const qint64 size = file.size();
    if (size < offset || !file.seek(offset)) {
        return std::nullopt;
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file)) {
        return std::nullopt;
    }
    return Tail{size - offset, hash.result()};
}

// -1 when the file does not exist.
qint64 lengthOf(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() ? info.size() : -1;
}

bool sameBlock(const JournalEntry& entry, bool append, const UploadFileWriter::Block& block)
{
    return entry.append == append && entry.blockLength == block.length && entry.digest == block.digest;
}

} // namespace

UploadOutput::UploadOutput(const Settings& settings, const ProgramPaths& paths, MessageSink& messages,
                           const QString& title)
    : m_settings(settings), m_files(paths.BackFilePath), m_writer(messages, title), m_journal(paths.journalPath),
      m_history(paths.historyPath)
{
}

Output::RecoveryReport UploadOutput::recoverCycle()
{
    if (m_recovered) {
        return {};
    }
    m_recovered = true;
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
    if (holdsBlock(entry)) {
        // The answer may or may not have gone out: only the terminal's next block can tell.
        m_pending = entry;
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
        if (torn && !hold.take(entry.uploadPath, std::chrono::milliseconds(0)) && tailIsOwnBlock(entry, length)) {
            m_tornWrite = entry;
            const auto error = SafeFile::restoreLength(entry.uploadPath, entry.oldLength);
            if (error) {
                // The journal stays, so a later start or the next store still knows what to take back.
                return {Recovery::CutBackFailed, *error};
            }
            m_tornWrite.reset();
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
    m_current.reset();
    m_adoption = Adoption::None;
    if (m_tornWrite) {
        if (const auto error = SafeFile::restoreLength(m_tornWrite->uploadPath, m_tornWrite->oldLength)) {
            m_writer.fail(error->description, m_tornWrite->uploadPath);
            return Stored::Failed;
        }
        m_tornWrite.reset();
    }
    const auto block = m_writer.measure(m_files.stagingPath(), m_settings.FieldSelect);
    if (!block) {
        return Stored::Failed;
    }
    const bool append = isAppend();
    // No other copy appends from the length measured below until this cycle is settled.
    if (append) {
        if (const auto error = m_uploadHold.take(uploadPath)) {
            m_writer.fail(error->description, uploadPath);
            return Stored::Failed;
        }
    }
    const bool repeat = m_pending && sameBlock(*m_pending, append, *block) && holdsBlock(*m_pending);
    // A different block means the lost answer was "ACK": what the file holds stays as it is.
    std::optional<JournalEntry> pending = std::exchange(m_pending, std::nullopt);
    // Appended, or under another name (a date in it): storing the repeat would make a second copy.
    if (repeat && (append || pending->uploadPath != uploadPath)) {
        m_current = *pending;
        m_adoption = Adoption::Adopted;
        return Stored::AlreadyStored;
    }

    JournalEntry entry;
    entry.uploadPath = uploadPath;
    entry.append = append;
    entry.oldLength = append ? lengthOf(uploadPath) : -1;
    entry.blockLength = block->length;
    entry.digest = block->digest;
    // Rewritten in place with the same bytes; its mail went out before.
    entry.mailAccepted = repeat && pending->mailAccepted;
    if (const auto error = m_journal.write(entry)) {
        m_writer.fail(error->description, m_journal.path());
        return Stored::Failed;
    }
    m_current = entry;
    checkpoint("journal");
    if (!m_writer.write(m_files.stagingPath(), uploadPath, m_settings.OverWrite, m_settings.FieldSelect, true)) {
        return Stored::Failed;
    }
    m_adoption = Adoption::Written;
    return repeat ? Stored::AlreadyStored : Stored::Written;
}

Output::Mail UploadOutput::SendByMail(QString& mailError)
{
    if (m_settings.SendMail != 1 || !m_current) {
        return Mail::NotMailed;
    }
    if (m_current->mailAccepted) {
        return Mail::AlreadySent;
    }
    // The message body is always empty.
    const MailSender::Mail mail{m_settings.MailAddress, m_settings.FromMailAddress, m_settings.MailSub, QString(),
                                m_current->uploadPath,  m_settings.MailServer,      m_settings.MailUser, {}};
    if (!m_mailer.send(mail, mailError)) {
        return Mail::Failed;
    }
    // The send pumps events: the end of the session may have answered and closed the cycle meanwhile.
    if (!m_current) {
        return Mail::Failed;
    }
    m_current->mailAccepted = true;
    // Best effort: without it a kill before the answer only costs a second mail.
    (void)m_journal.write(*m_current);
    return Mail::Sent;
}

std::optional<SystemError> UploadOutput::settleCycle(bool acknowledged)
{
    std::optional<SystemError> error;
    if (acknowledged) {
        m_writer.keepAppend();
    } else if (m_adoption == Adoption::Written) {
        error = m_writer.undoAppend();
    } else if (m_adoption == Adoption::Adopted && m_current->append) {
        // No "ACK" went out for it (its mail had not been accepted): the terminal sends it again.
        error = SafeFile::restoreLength(m_current->uploadPath, m_current->oldLength);
    }
    if (error && m_current && holdsBlock(*m_current)) {
        // Still whole in the file: the repeat that follows "CAN" is recognised instead of stored twice.
        m_pending = m_current;
    }
    m_uploadHold.release();
    checkpoint("answer");
    return error;
}

void UploadOutput::endCycle(bool answerSent)
{
    m_files.closeAll();
    m_uploadHold.release();
    if (m_current && !answerSent && !m_pending && holdsBlock(*m_current)) {
        m_pending = m_current;
    }
    if (m_current) {
        checkpoint("answered");
        if (!m_pending) {
            (void)m_journal.clear();
        }
        m_current.reset();
    }
    m_adoption = Adoption::None;
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

bool UploadOutput::holdsBlock(const JournalEntry& entry)
{
    const auto tail = tailOf(entry.uploadPath, entry.append ? std::max<qint64>(entry.oldLength, 0) : 0);
    return tail && tail->length == entry.blockLength && tail->digest == entry.digest;
}

bool UploadOutput::tailIsOwnBlock(const JournalEntry& entry, qint64 length)
{
    const qint64 base = std::max<qint64>(entry.oldLength, 0);
    const auto block = UploadFileWriter::render(m_files.stagingPath(), m_settings.FieldSelect);
    if (!block || block->size() != entry.blockLength ||
        QCryptographicHash::hash(*block, QCryptographicHash::Sha256) != entry.digest) {
        // The staging file no longer makes that block: nothing tells whose the bytes are, so they stay.
        return length == base;
    }
    QFile upload;
    if (SafeFile::openRegular(upload, entry.uploadPath, QIODevice::ReadOnly) || !upload.seek(base)) {
        return false;
    }
    const QByteArray tail = upload.read(length - base);
    if (tail.size() != length - base) {
        return false;
    }
    // A power cut can leave the file longer than what reached the disk, the rest read as zeros.
    for (qsizetype i = 0; i < tail.size(); ++i) {
        if (tail[i] != block->at(i) && tail[i] != '\0') {
            return false;
        }
    }
    return true;
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
