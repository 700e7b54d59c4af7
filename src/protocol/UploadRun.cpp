#include "protocol/UploadRun.h"

#include "base/Cp932.h"
#include "base/CrLf.h"
#include "config/TimeAdjust.h"
#include "protocol/Frame.h"
#include "protocol/RunTexts.h"

#include <QDir>

#include <algorithm>
#include <optional>

namespace {

// File request: a bad file-name frame is answered with "NAK" while RetryCount is at most this, then "BEL".
constexpr int FileRequestRetryLimit = 5;
// Record phase: a time-out is answered with "NAK" while RetryCount is below this, then the time-out error.
constexpr int TimeoutRetryLimit = 5;
// Record phase: a bad frame is answered with "NAK" while RetryCount is at most this, then "BEL".
constexpr int BadFrameRetryLimit = 5;
// WaitReply calls of one receive attempt in the record phase.
constexpr int ReceiveAttempts = 5;

constexpr char16_t FileNameTypeChar = u'#';

} // namespace

UploadRun::UploadRun(Link& link, RunHost& host, Clock& clock, Output& output, const Settings& settings)
    : m_host(host), m_clock(clock), m_output(output), m_settings(settings), m_account(host, clock, output),
      m_link(link, host, m_account, settings)
{
}

void UploadRun::RunUpload()
{
    m_link.open();
    m_host.ShowStatus(0, QStringLiteral("UDP通信：送受信待ち"));
    if (!m_startNote.isEmpty()) {
        m_host.ShowStatus(1, m_startNote);
    }
    // A link that failed to open replaces that text with its error and ends the run; the first cycle then fails.
    // With automatic start a local port that another program holds is waited for instead (RunLink).
    // Only a run whose link opened looks back at an unanswered cycle: one that could not bind may share its folder
    // with a copy that is writing it.
    if (m_link.linkOk()) {
        m_account.recoverCycle();
    }
    m_retryCount = 0;
    m_saveFolder = m_settings.SaveFolder;

    Phase phase = Phase::NewCycle;
    while (phase != Phase::RunEnded) {
        switch (phase) {
        case Phase::NewCycle:
            phase = newCycle();
            break;
        case Phase::CycleStart:
            phase = cycleStart();
            break;
        case Phase::ClockSetting:
            phase = clockSetting();
            break;
        case Phase::FileRequest:
            phase = fileRequest();
            break;
        case Phase::Opening:
            phase = opening();
            break;
        case Phase::RecordPhase:
            phase = recordPhase();
            break;
        case Phase::EndOfCycle:
            phase = endOfCycle();
            break;
        default:
            internalError("RunUpload");
            phase = Phase::RunEnded;
            break;
        }
    }
    runEnded();
}

UploadRun::Phase UploadRun::newCycle()
{
    // A restarted cycle behaves like the first: its file request and first log line start from 0.
    m_retryCount = 0;
    m_recordCount = 0;
    m_announcedCount = 0;
    m_link.beginCycle();
    return Phase::CycleStart;
}

UploadRun::Phase UploadRun::cycleStart()
{
    m_host.setBusyCursor(false);
    m_stored = Output::Stored::Failed;
    m_answer = Answer::None;
    m_account.begin();
    if (!m_link.yieldAndCheck()) {
        return Phase::EndOfCycle;
    }
    switch (m_link.takeLocalPort()) {
    case RunLink::LocalPort::Open:
        break;
    case RunLink::LocalPort::OpenedNow:
        m_account.recoverCycle();
        break;
    case RunLink::LocalPort::Held:
        return Phase::EndOfCycle;
    default:
        internalError("cycleStart");
        return Phase::EndOfCycle;
    }
    return isClockAdjustOn(m_settings.TimeAdjust) ? Phase::ClockSetting : Phase::FileRequest;
}

UploadRun::Phase UploadRun::clockSetting()
{
    // No attempt limit: only a stop ends this loop.
    for (;;) {
        if (!m_host.isRunning()) {
            return Phase::EndOfCycle;
        }
        if (!m_link.send(clockCommand(m_clock.localNow()))) {
            return Phase::EndOfCycle;
        }
        QString reply;
        if (!m_link.poll(reply)) {
            return Phase::EndOfCycle;
        }
        if (reply == QStringLiteral("OK")) {
            return Phase::FileRequest;
        }
    }
}

UploadRun::Phase UploadRun::fileRequest()
{
    if (!m_link.send(QStringLiteral("VOL"))) {
        return Phase::EndOfCycle;
    }
    if (!m_link.poll(m_reply)) {
        return Phase::EndOfCycle;
    }
    if (m_reply.isEmpty()) {
        // A time-out never counts towards the retry limit.
        return Phase::CycleStart;
    }
    ++m_retryCount;
    if (!m_link.yieldAndCheck()) {
        return Phase::EndOfCycle;
    }
    std::int16_t result = CheckFrame(m_reply, FileNameTypeChar, m_settings.CrcType);
    FileNameFrame parsed;
    if (result == FrameValid) {
        parsed = parseFileNameFrame(m_reply);
        // A count beyond 16 bits, or no name to cut out and no fixed name, cannot be used: a format error.
        if (!parsed.countFits || (!parsed.hasAt && m_settings.FixFname.isEmpty())) {
            result = FrameFormatError;
        }
    }
    if (result != FrameValid) {
        const bool retry = rejectFrame(result, QStringLiteral("ENQ送信/ﾌｧｲﾙ名受信"), FileRequestRetryLimit, 1);
        return retry ? Phase::CycleStart : Phase::EndOfCycle;
    }

    // Until the final answer the PC must stay awake: a sleep now would leave the terminal without one.
    m_host.setKeepAwake(true);
    m_account.setTerminalName(parsed.name);
    if (!m_link.send(QStringLiteral("ACK"))) {
        return Phase::EndOfCycle;
    }
    // The terminal's name is read as Windows shows it, so duplicate codes give real characters in the file name.
    const QString name = safeFileName(m_settings.FixFname.isEmpty() ? Cp932::shown(parsed.name) : m_settings.FixFname);
    m_fileNamePart = uploadFileNamePart(name, m_settings.AddDate, m_clock.localNow());
    m_announcedCount = parsed.count;

    // A count of 0 would give the bar no range: it stays hidden.
    m_host.setProgressMax(m_announcedCount);
    m_host.setProgressValue(0);
    m_host.setProgressVisible(m_announcedCount > 0);

    m_saveFolder = trimSaveFolder(m_saveFolder);
    m_uploadPath = joinFolder(m_saveFolder, m_fileNamePart);
    m_host.setFileCaption(m_fileNamePart);
    return Phase::Opening;
}

UploadRun::Phase UploadRun::opening()
{
    m_host.setBusyCursor(true);
    const QString logPath = joinFolder(m_saveFolder, QDir::separator() + QStringLiteral("LOG.TXT"));
    if (const auto failure = m_output.beginCycle(logPath)) {
        m_host.beep();
        switch (failure->file) {
        case Output::CycleFile::SaveFolder:
            m_account.showFailure(1, saveFolderMissingStatusText(m_saveFolder, failure->error));
            break;
        case Output::CycleFile::Staging:
            m_account.showFailure(1, fileErrorText(QStringLiteral("<BackFile> "), failure->error));
            break;
        case Output::CycleFile::Log:
            m_account.showFailure(1, fileErrorText(QStringLiteral("<LogFile> "), failure->error));
            break;
        default:
            internalError("opening");
            break;
        }
        return Phase::EndOfCycle;
    }
    writeLog(m_reply);
    return Phase::RecordPhase;
}

UploadRun::Phase UploadRun::recordPhase()
{
    m_retryCount = 0;
    m_seqChar = u'0';
    m_recordCount = 0;
    const bool simple = m_settings.Protocol == 1;

    for (;;) {
        if (!m_link.yieldAndCheck()) {
            return Phase::EndOfCycle;
        }
        m_reply.clear();
        for (int attempt = 0; attempt < ReceiveAttempts && m_reply.isEmpty(); ++attempt) {
            if (!m_link.receive(m_reply)) {
                return Phase::EndOfCycle;
            }
        }
        // Time-outs and bad frames count together; only an accepted or repeated record resets the count.
        ++m_retryCount;
        const RecordReply reply = classifyRecordReply(m_reply, simple, m_seqChar, m_retryCount < TimeoutRetryLimit);
        // A record that may be stored is logged right after its "ACK": the terminal waits for nothing else.
        if (reply != RecordReply::Record) {
            writeLog(m_reply);
        }
        switch (reply) {
        case RecordReply::TimeOut:
            m_link.send(QStringLiteral("NAK"));
            break;
        case RecordReply::Repeat:
            // Its "ACK" was lost: acknowledged again, not stored.
            m_link.send(QStringLiteral("ACK"));
            m_retryCount = 0;
            break;
        case RecordReply::TimedOut:
            m_host.beep();
            m_account.showFailure(1, QStringLiteral("ﾚｺｰﾄﾞ受信 : ﾀｲﾑｱｳﾄ ｴﾗｰ"));
            return Phase::EndOfCycle;
        case RecordReply::End:
            return endOfFile(simple);
        case RecordReply::Record:
            if (const auto next = acceptRecord(simple)) {
                return *next;
            }
            break;
        default:
            internalError("recordPhase");
            return Phase::EndOfCycle;
        }
    }
}

UploadRun::Phase UploadRun::endOfFile(bool simple)
{
    // "END" ends the file whenever it comes, whatever the announced count.
    if (const auto error = m_output.closeRecords()) {
        return stagingWriteFailed(*error, simple);
    }
    m_stored = m_output.WriteUploadFile(m_uploadPath);
    if (m_stored == Output::Stored::Failed) {
        // Its box has said why; the history keeps what failed.
        m_account.setFailure(QStringLiteral("ｱｯﾌﾟﾛｰﾄﾞﾌｧｲﾙに書き込めません"));
    }
    m_host.setProgressValue(m_announcedCount);
    // The write waited in the event loop: a Stop (or the session's end) meanwhile let it finish, and the terminal is
    // told "CAN".
    if (!m_link.yieldAndCheck()) {
        m_stored = Output::Stored::Failed;
    }
    return Phase::EndOfCycle;
}

std::optional<UploadRun::Phase> UploadRun::acceptRecord(bool simple)
{
    if (!simple) {
        if (!m_link.yieldAndCheck()) {
            writeLog(m_reply);
            return Phase::EndOfCycle;
        }
        const std::int16_t result = CheckFrame(m_reply, m_seqChar, m_settings.CrcType);
        if (result != FrameValid) {
            writeLog(m_reply);
            if (rejectFrame(result, QStringLiteral("ﾚｺｰﾄﾞ受信"), BadFrameRetryLimit, 0)) {
                return std::nullopt;
            }
            return Phase::EndOfCycle;
        }
    }
    // The simple protocol stores the reply as it came; the framed one stores the frame's data.
    if (const auto error = m_output.writeRecord(simple ? m_reply : frameData(m_reply))) {
        writeLog(m_reply);
        return stagingWriteFailed(*error, simple);
    }
    if (!simple) {
        m_seqChar = nextSeqChar(m_seqChar);
    }

    // Beyond the announced count the status keeps counting while the bar stays full. Both are set before the send,
    // whose event pass may bring a Stop and its status line.
    ++m_recordCount;
    m_host.ShowStatus(0, recordStatusText(m_recordCount, m_announcedCount));
    m_host.setProgressValue(std::min(m_recordCount, m_announcedCount));
    m_link.send(QStringLiteral("ACK"));
    m_retryCount = 0;
    // The log line carries the count before this record.
    m_account.writeLog(m_reply, m_recordCount - 1);
    return std::nullopt;
}

UploadRun::Phase UploadRun::stagingWriteFailed(const SystemError& error, bool simple)
{
    m_host.beep();
    m_account.showFailure(1, fileErrorText(QStringLiteral("<BackFile#1WR> "), error));
    if (simple) {
        // Intended: the simple protocol's status then holds only the error itself.
        m_host.setStatusText(fileErrorNumberText(error));
    }
    return Phase::EndOfCycle;
}

UploadRun::Phase UploadRun::endOfCycle()
{
    m_host.setProgressVisible(false);
    if (m_stored != Output::Stored::Failed) {
        if (m_stored == Output::Stored::AlreadyStored) {
            m_host.ShowStatus(1, alreadyStoredStatusText());
        }
        switch (m_output.SendByMail(m_mailError)) {
        case Output::Mail::Sent:
            m_account.setMailResult(m_settings.MailAddress + QStringLiteral("宛 ﾒｰﾙ登録完了"));
            m_host.ShowStatus(1, m_account.mailResult());
            m_host.beep();
            answer(true);
            m_host.ShowStatus(1, completedStatusText(m_announcedCount));
            break;
        case Output::Mail::AlreadySent:
            m_account.setMailResult(alreadyStoredStatusText());
            [[fallthrough]];
        case Output::Mail::NotMailed:
            answer(true);
            m_host.ShowStatus(1, completedStatusText(m_announcedCount));
            break;
        case Output::Mail::Failed:
            m_account.showFailure(1, m_settings.MailAddress + QStringLiteral("宛 ﾒｰﾙ登録失敗:") + m_mailError);
            m_account.setMailResult(m_account.failure());
            answer(false);
            m_host.ShowStatus(1, failedStatusText());
            break;
        default:
            internalError("endOfCycle");
            answer(false);
            break;
        }
    } else {
        answer(false);
        // An outage that goes on fails cycle after cycle: its first one is reported, the rest quietly.
        if (!m_link.outageGoesOn()) {
            m_host.ShowStatus(1, failedStatusText());
        }
    }
    m_link.endCycle();
    m_account.record(m_announcedCount, m_recordCount, m_uploadPath, m_answer == Answer::Acknowledged);

    if (m_settings.AutoStart == 1 && m_host.isRunning()) {
        // A stop during the pause is noticed at the next cycle start, which then fails at once.
        m_link.pauseBeforeNextCycle();
        return Phase::NewCycle;
    }
    return Phase::RunEnded;
}

void UploadRun::endNow()
{
    answer(false);
}

void UploadRun::runEnded()
{
    m_host.setBusyCursor(false);
    m_host.setKeepAwake(false);
    m_host.setRunning(false);
    m_link.close();
    m_host.SetCommState(0);
}

bool UploadRun::rejectFrame(std::int16_t result, const QString& stage, int retryLimit, std::int16_t statusMode)
{
    if (m_retryCount <= retryLimit) {
        m_link.send(QStringLiteral("NAK"));
        return true;
    }
    m_link.send(QStringLiteral("BEL"));
    m_host.beep();
    m_account.setFailure(frameErrorStatusText(stage, result));
    m_host.ShowStatus(statusMode, m_account.failure() + CrLf + Cp932::shown(m_reply));
    return false;
}

void UploadRun::answer(bool acknowledged)
{
    // A session that ended mid-cycle has had its "CAN" already.
    if (m_answer != Answer::None) {
        return;
    }
    m_answer = acknowledged ? Answer::Acknowledged : Answer::Cancelled;
    // After "CAN" the terminal sends the same records again; left in the upload file, they would be stored twice.
    if (const auto error = m_output.settleCycle(acknowledged)) {
        m_host.ShowStatus(1, fileErrorText(QStringLiteral("<UploadFile> "), *error));
    }
    const std::optional<LinkError> error =
        m_link.sendAnswer(acknowledged ? QStringLiteral("ACK") : QStringLiteral("CAN"));
    // Unanswered, the terminal sends its file again; a block already stored is then recognised.
    m_output.endCycle(!error);
    m_host.setKeepAwake(false);
    m_link.judgeLinkError(error);
}

void UploadRun::writeLog(const QString& reply)
{
    m_account.writeLog(reply, m_recordCount);
}

void UploadRun::internalError(const char* where)
{
    m_host.ShowStatus(1, QStringLiteral("内部ｴﾗｰ: ") + QString::fromLatin1(where));
}
