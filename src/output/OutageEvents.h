#pragma once
// The system log's view of lasting failures: an outage is two entries whatever its length, one when it has lasted
// (OutageRule's notice, with the reason) and one when a cycle stores again (with how long it lasted, from the cycles'
// own times). Fed every ended cycle; writes nothing without a writer.

#include "base/SystemEvent.h"
#include "output/CycleRecorder.h"

#include <QDateTime>
#include <QString>

#include <utility>

class OutageEvents
{
public:
    explicit OutageEvents(SystemEventWriter writer) : m_writer(std::move(writer)) {}

    void cycleEnded(const CycleRecorder::CycleNotice& cycle);

    // How long an outage lasted, as the entry says it: "45秒", "12分5秒", "3時間0分", "2日4時間30分".
    static QString lengthText(qint64 seconds);

private:
    SystemEventWriter m_writer;
    // From the first notice to the cycle that stores again; a new reason within it is told too, and does not restart
    // the length.
    QDateTime m_since;
    QString m_reason;
};
