#pragma once
// The PC's local time behind the engine's Clock, through Qt Core alone. The UTC offset is looked up once a minute:
// offsets change only on minute boundaries, and a time-zone lookup per record (a file check each time) is a large
// share of a record's cost.

#include "protocol/Clock.h"

class SystemClock : public Clock
{
public:
    QDateTime localNow() const override;

private:
    mutable qint64 m_offsetMinute = -1;
    mutable int m_offsetSeconds = 0;
};
