#include "output/StatusTracker.h"

void StatusTracker::cycleEnded(const CycleRecorder::CycleNotice& cycle)
{
    m_lastPoll = cycle.time;
    countFor(cycle.time.date());
    switch (cycle.outcome) {
    case OutageRule::Outcome::Stored:
        ++m_acknowledged;
        m_lastStored = StatusRecord::StoredCycle{cycle.time, cycle.terminalFile, cycle.records, cycle.uploadFile};
        m_failure.reset();
        break;
    case OutageRule::Outcome::Failed:
        ++m_cancelled;
        if (!m_failure) {
            m_failure = StatusRecord::Failure{QString(), cycle.time, 0};
        }
        m_failure->reason = cycle.failure;
        ++m_failure->cycles;
        break;
    case OutageRule::Outcome::Stopped:
    default:
        // Answered "CAN" as the history has it; a Stop tells nothing of a failure.
        ++m_cancelled;
        break;
    }
}

void StatusTracker::idlePoll(const QDateTime& time)
{
    m_lastPoll = time;
    m_failure.reset();
}

void StatusTracker::fill(StatusRecord& record, const QDateTime& now) const
{
    record.state = !m_polling  ? StatusRecord::State::Stopped
                   : m_failure ? StatusRecord::State::Failing
                               : StatusRecord::State::Polling;
    record.lastPoll = m_lastPoll;
    record.lastStored = m_lastStored;
    record.failure = m_failure;
    record.today = now.date();
    const bool counted = m_countDay == record.today;
    record.acknowledged = counted ? m_acknowledged : 0;
    record.cancelled = counted ? m_cancelled : 0;
}

void StatusTracker::countFor(const QDate& day)
{
    // Local midnight starts the count afresh.
    if (day != m_countDay) {
        m_countDay = day;
        m_acknowledged = 0;
        m_cancelled = 0;
    }
}
