#pragma once
// The timer a wait arms for the time it has left, by the platform's timer rule. Pure arithmetic with no clock read,
// so it is tested with a table rather than against the wall clock; UdpLink arms only what it returns. Qt Core only.

#include <QtGlobal>
#include <qnamespace.h>

enum class TimerRule
{
    // One precise timer for the whole wait: elsewhere a precise timer is only the time-out of the loop's poll.
    Precise,
    // Windows, where a precise timer raises the system's timer resolution while it runs: a coarse timer for most of a
    // wait, a precise one only for its last few tens of milliseconds.
    CoarseThenPrecise,
};

struct TimerArm
{
    Qt::TimerType type = Qt::PreciseTimer;
    int intervalMs = 0;
    // The timer has fired by then at the latest, counted from arming: never after the wait's end, rounded up to the
    // millisecond. A wait whose timer fires before its end arms the rest.
    qint64 latestMs = 0;
};

// leftNs: the time left until the wait's end, at most a 16-bit count of 10 ms ticks. Never a 0 ms timer, which would
// fire at once and again.
TimerArm timerToArm(qint64 leftNs, TimerRule rule);
