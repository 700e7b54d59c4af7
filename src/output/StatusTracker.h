#pragma once
// What the status file tells of a copy's run: polling or not, the last poll, the last stored cycle, the failure that
// has lasted since the last stored cycle, and today's ACK and CAN. Fed one event at a time with its time; no clock,
// files or timers.

#include "output/CycleRecorder.h"
#include "output/StatusReport.h"

#include <QDate>
#include <QDateTime>

#include <optional>

class StatusTracker
{
public:
    void setPolling(bool polling) { m_polling = polling; }
    void cycleEnded(const CycleRecorder::CycleNotice& cycle);
    // The terminal was asked and did not answer: polling goes on and nothing fails now (a network that was away is
    // back), though the terminal may still hold data a failed cycle did not store.
    void idlePoll(const QDateTime& time);

    // The tracker's part of the record, as of now: the day's counts are none once now is another day.
    void fill(StatusRecord& record, const QDateTime& now) const;

private:
    void countFor(const QDate& day);

    bool m_polling = false;
    QDateTime m_lastPoll;
    std::optional<StatusRecord::StoredCycle> m_lastStored;
    std::optional<StatusRecord::Failure> m_failure;
    QDate m_countDay;
    int m_acknowledged = 0;
    int m_cancelled = 0;
};
