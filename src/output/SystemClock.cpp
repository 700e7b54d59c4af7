#include "output/SystemClock.h"

namespace {
constexpr qint64 MsPerMinute = 60 * 1000;
}

QDateTime SystemClock::localNow() const
{
    const qint64 utcMs = QDateTime::currentMSecsSinceEpoch();
    const qint64 minute = utcMs / MsPerMinute;
    if (minute != m_offsetMinute) {
        m_offsetSeconds = QDateTime::fromMSecsSinceEpoch(utcMs).offsetFromUtc();
        m_offsetMinute = minute;
    }
    return QDateTime::fromMSecsSinceEpoch(utcMs, Qt::OffsetFromUTC, m_offsetSeconds);
}
