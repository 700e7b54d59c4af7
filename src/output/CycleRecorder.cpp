#include "output/CycleRecorder.h"

#include "protocol/RunTexts.h"

#include <QDir>

#include <utility>

CycleRecorder::CycleRecorder(const QString& historyPath) : m_history(historyPath) {}

QString CycleRecorder::record(const Output::CycleSummary& summary)
{
    CycleHistoryEntry entry;
    entry.time = summary.time;
    entry.terminalFile = summary.terminalFile;
    entry.announcedCount = summary.announcedCount;
    entry.receivedCount = summary.receivedCount;
    entry.answer = summary.end == Output::CycleEnd::Acknowledged ? QStringLiteral("ACK") : QStringLiteral("CAN");
    entry.uploadFile = QDir::toNativeSeparators(summary.uploadPath);
    entry.mailResult = summary.mailResult;
    entry.failure = summary.failure;

    const OutageRule::Outcome outcome = summary.end == Output::CycleEnd::Acknowledged ? OutageRule::Outcome::Stored
                                        : summary.end == Output::CycleEnd::Stopped    ? OutageRule::Outcome::Stopped
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
    const CycleNotice notice{summary.time,        outcome,         summary.failure, step.notice, entry.terminalFile,
                             entry.receivedCount, entry.uploadFile};
    for (const CycleListener& listener : m_listeners) {
        listener(notice);
    }
    // Held lines are written later and need no word; losing some is said once, when it begins.
    if (error && before != CycleHistory::State::Dropping && m_history.state() == CycleHistory::State::Dropping) {
        return QStringLiteral("<History> 履歴ﾌｧｲﾙに書き込めないため、%1件を超えた分の履歴を記録しません")
                   .arg(CycleHistory::MaxHeldLines) +
               fileErrorNumberText(*error);
    }
    return QString();
}

void CycleRecorder::recordNote(const QDateTime& time, const QString& note)
{
    CycleHistoryEntry entry;
    entry.time = time;
    entry.failure = note;
    // A line the file cannot take waits with the others.
    (void)m_history.append(entry);
}

void CycleRecorder::flush()
{
    if (const auto streak = m_outage.close()) {
        (void)closeStreak(*streak);
    }
    m_history.flush();
}

std::optional<SystemError> CycleRecorder::closeStreak(const OutageRule::Streak& streak)
{
    if (!m_lastRepeat) {
        return std::nullopt;
    }
    CycleHistoryEntry closing = *std::exchange(m_lastRepeat, std::nullopt);
    // The line of the streak's first cycle is above it; this one is its last, with how many there were.
    closing.failure = streak.reason + QStringLiteral(" (%1回連続の最後)").arg(streak.cycles);
    return m_history.append(closing);
}
