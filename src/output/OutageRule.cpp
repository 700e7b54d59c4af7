#include "output/OutageRule.h"

#include <utility>

OutageRule::Step OutageRule::next(Outcome outcome, const QString& reason)
{
    Step step;
    if (outcome == Outcome::Failed && m_streak.cycles > 0 && reason == m_streak.reason) {
        step.writeLine = false;
        if (++m_streak.cycles == LastingCycles) {
            step.notice = Notice::Started;
            m_notified = true;
        }
        return step;
    }
    if (m_streak.cycles > 1) {
        step.ended = m_streak;
    }
    m_streak = outcome == Outcome::Failed ? Streak{1, reason} : Streak{};
    // A Stop leaves the notice standing: only storing again ends the outage it told of.
    if (outcome == Outcome::Stored && m_notified) {
        step.notice = Notice::Ended;
        m_notified = false;
    }
    return step;
}

std::optional<OutageRule::Streak> OutageRule::close()
{
    const Streak streak = std::exchange(m_streak, Streak{});
    m_notified = false;
    return streak.cycles > 1 ? std::optional<Streak>(streak) : std::nullopt;
}
