#include "output/OutageEvents.h"

#include <algorithm>
#include <utility>

void OutageEvents::cycleEnded(const CycleRecorder::CycleNotice& cycle)
{
    if (!m_writer) {
        return;
    }
    if (cycle.notice == OutageRule::Notice::Started) {
        if (!m_since.isValid()) {
            m_since = cycle.time;
        }
        m_reason = cycle.failure;
        m_writer(SystemEvent::OutageBegan, {cycle.failure});
    } else if (cycle.notice == OutageRule::Notice::Ended && m_since.isValid()) {
        const QDateTime since = std::exchange(m_since, QDateTime());
        m_writer(SystemEvent::OutageEnded, {lengthText(std::max<qint64>(since.secsTo(cycle.time), 0)), m_reason});
    }
}

QString OutageEvents::lengthText(qint64 seconds)
{
    const qint64 days = seconds / 86400;
    const qint64 hours = seconds / 3600 % 24;
    const qint64 minutes = seconds / 60 % 60;
    if (days > 0) {
        return QStringLiteral("%1日%2時間%3分").arg(days).arg(hours).arg(minutes);
    }
    if (hours > 0) {
        return QStringLiteral("%1時間%2分").arg(hours).arg(minutes);
    }
    if (minutes > 0) {
        return QStringLiteral("%1分%2秒").arg(minutes).arg(seconds % 60);
    }
    return QStringLiteral("%1秒").arg(seconds);
}
