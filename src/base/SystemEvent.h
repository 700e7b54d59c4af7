#pragma once
// The system log's events: each one's ID, level and Japanese text, from the one list in SystemEvents.mc, which also
// gives the exe its message table. Writing one is writeSystemEvent's (Platform.h). Qt Core only.

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>

// IT filters on these IDs: 1000s information, 2000s warning, 3000s error.
enum class SystemEvent : quint16
{
#include "base/SystemEventIds.inc"
};

enum class SystemEventLevel
{
    Information,
    Warning,
    Error,
};

// Every event of the list, in its order.
QList<SystemEvent> systemEvents();
SystemEventLevel systemEventLevel(SystemEvent event);
// The event's Japanese text with strings[0] in place of %1, strings[1] of %2 and so on, as Event Viewer fills in the
// message table's text: each string goes in once as it stands, so a "%2" inside one stays. A number past the strings
// becomes nothing.
QString systemEventText(SystemEvent event, const QStringList& strings);
// The ID as ReportEventW takes it and the message table holds it: the level's severity in the top two bits, as windmc
// lays them out (no customer bit, facility 0). Event Viewer shows the low 16 bits, the event's own number.
quint32 systemEventMessageId(SystemEvent event);

// How an object tells the system log of an event: writeSystemEvent in the program, a record in tests; an empty one
// tells nobody, so objects made without one (tests, tools) never write to the system's log.
using SystemEventWriter = std::function<void(SystemEvent event, const QStringList& strings)>;
