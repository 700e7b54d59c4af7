#pragma once
// The PC's local clock, behind an interface so that runs can be replayed at a fixed time.

#include <QDateTime>

class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime localNow() const = 0;
};
