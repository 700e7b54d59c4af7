#pragma once
// A clock that stands still (or moves only when a test moves it).

#include "protocol/Clock.h"

#include <QDateTime>

class FixedClock : public Clock
{
public:
    FixedClock() = default;
    explicit FixedClock(const QDateTime& when) : now(when) {}

    QDateTime localNow() const override { return now; }

    QDateTime now = QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7));
};
