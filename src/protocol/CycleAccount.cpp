#include "protocol/CycleAccount.h"

#include "protocol/RunTexts.h"

CycleAccount::CycleAccount(RunHost& host, Clock& clock, Output& output)
    : m_host(host), m_clock(clock), m_output(output), m_stopText(userStopStatusText())
{
}

void CycleAccount::recoverCycle()
{
    const Output::RecoveryReport report = m_output.recoverCycle();
    switch (report.recovery) {
    case Output::Recovery::Nothing:
    case Output::Recovery::Pending:
    case Output::Recovery::CutBack:
        break;
    case Output::Recovery::Unreadable:
        m_host.ShowStatus(1, journalUnreadableStatusText());
        break;
    case Output::Recovery::CutBackFailed:
        m_host.ShowStatus(1, fileErrorText(QStringLiteral("<UploadFile> "), report.error));
        break;
    default:
        m_host.ShowStatus(1, QStringLiteral("内部ｴﾗｰ: recoverCycle"));
        break;
    }
}

void CycleAccount::begin()
{
    m_terminalName.clear();
    m_failure.clear();
    m_mailResult.clear();
}

void CycleAccount::showFailure(std::int16_t mode, const QString& text)
{
    m_failure = text;
    m_host.ShowStatus(mode, text);
}

void CycleAccount::writeLog(const QString& reply, int recordCount)
{
    // Formatting the date and time is the dearest part of a line, and they change once a second.
    const QDateTime now = m_clock.localNow();
    const qint64 second = now.toSecsSinceEpoch();
    const int offset = now.offsetFromUtc();
    if (m_logPrefix.isEmpty() || second != m_logSecond || offset != m_logOffset) {
        m_logPrefix = logLinePrefix(now);
        m_logSecond = second;
        m_logOffset = offset;
    }
    m_output.writeLogLine(logLine(m_logPrefix, recordCount, reply));
}

void CycleAccount::record(int announcedCount, int receivedCount, const QString& uploadPath, bool acknowledged)
{
    Output::CycleSummary summary;
    summary.time = m_clock.localNow();
    summary.terminalFile = m_terminalName;
    summary.announcedCount = announcedCount;
    summary.receivedCount = receivedCount;
    summary.uploadPath = m_terminalName.isEmpty() ? QString() : uploadPath;
    summary.mailResult = m_mailResult;
    if (acknowledged) {
        summary.end = Output::CycleEnd::Acknowledged;
    } else if (!m_failure.isEmpty() || m_host.isRunning()) {
        summary.end = Output::CycleEnd::Failed;
        summary.failure = m_failure.isEmpty() ? failedStatusText() : m_failure;
    } else {
        summary.end = Output::CycleEnd::Stopped;
        summary.failure = m_stopText;
    }
    // The output decides which cycles of a lasting failure get a line of their own.
    const QString note = m_output.recordCycle(summary);
    if (!note.isEmpty()) {
        m_host.ShowStatus(1, note);
    }
}
