#include "link/TimerArm.h"

namespace {

constexpr qint64 NsPerMs = 1000 * 1000;
// A coarse timer may fire up to 5% of its interval late, on Windows a system tick (15.6 ms) later still.
constexpr qint64 CoarseLateMs = 16;
// The shortest remainder for which a coarse timer is armed: from 37 ms down its interval would be 20 ms or less,
// which Qt arms precisely anyway.
constexpr qint64 CoarseFromMs = 40;
// Qt makes a coarse timer of 20 s or more a very coarse one, which may fire whole seconds late; a longer wait takes
// several coarse timers.
constexpr qint64 CoarseLongestMs = 19999;

} // namespace

TimerArm timerToArm(qint64 leftNs, TimerRule rule)
{
    const qint64 dueMs = qMax<qint64>((leftNs + NsPerMs - 1) / NsPerMs, 1);
    if (rule != TimerRule::CoarseThenPrecise || dueMs < CoarseFromMs) {
        return {Qt::PreciseTimer, static_cast<int>(dueMs), dueMs};
    }
    // At its latest a coarse timer fires after interval * 21 / 20 + CoarseLateMs: still by the due time.
    return {Qt::CoarseTimer, static_cast<int>(qMin((dueMs - CoarseLateMs) * 20 / 21, CoarseLongestMs)), dueMs};
}
