#pragma once
// When a failure lasts: the same reason cycle after cycle is one history line when it starts and one when it ends,
// and one notice once it has lasted, with one more when a cycle stores again. Fed one cycle's outcome at a time; no
// clock, no files, no windows.

#include <QString>

#include <optional>

class OutageRule
{
public:
    // Three cycles with one reason (about 10 s at the usual pause) are no passing blip.
    static constexpr int LastingCycles = 3;

    enum class Outcome
    {
        Stored,
        Failed,
        // Stopped by the user (someone is at the window) or by the session's end: nobody's outage.
        Stopped,
    };

    enum class Notice
    {
        None,
        // This cycle is the LastingCycles-th in a row with the same reason.
        Started,
        // The first stored cycle after a notice.
        Ended,
    };

    struct Streak
    {
        int cycles = 0;
        QString reason;
    };

    struct Step
    {
        // Failures in a row with one reason that this cycle ended: their closing line comes before this cycle's own.
        // Only for two cycles or more; a single failure's line says all.
        std::optional<Streak> ended;
        // This cycle's own line; false for a repeat of the failure before.
        bool writeLine = true;
        Notice notice = Notice::None;
    };

    Step next(Outcome outcome, const QString& reason);
    // The program ends: the failures in a row so far, when they need a closing line; the rule starts afresh.
    std::optional<Streak> close();

private:
    Streak m_streak;
    // A notice has gone out and no cycle has stored since.
    bool m_notified = false;
};
