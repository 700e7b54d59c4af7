#include "base/SystemEvent.h"

namespace {

struct EventText
{
    SystemEvent event;
    SystemEventLevel level;
    const char16_t* text;
};

constexpr EventText Texts[] = {
#include "base/SystemEventTexts.inc"
};

const EventText* find(SystemEvent event)
{
    for (const EventText& entry : Texts) {
        if (entry.event == event) {
            return &entry;
        }
    }
    return nullptr;
}

} // namespace

QList<SystemEvent> systemEvents()
{
    QList<SystemEvent> events;
    for (const EventText& entry : Texts) {
        events << entry.event;
    }
    return events;
}

SystemEventLevel systemEventLevel(SystemEvent event)
{
    const EventText* entry = find(event);
    return entry != nullptr ? entry->level : SystemEventLevel::Error;
}

QString systemEventText(SystemEvent event, const QStringList& strings)
{
    const EventText* entry = find(event);
    if (entry == nullptr) {
        return strings.join(u' ');
    }
    const QString format = QString::fromUtf16(entry->text);
    QString text;
    // One pass over the text, never over what was put in: the message file holds only %1 to %99 after a '%'.
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] != u'%' || i + 1 >= format.size() || !format[i + 1].isDigit()) {
            text += format[i];
            continue;
        }
        int number = format[++i].digitValue();
        if (i + 1 < format.size() && format[i + 1].isDigit()) {
            number = number * 10 + format[++i].digitValue();
        }
        text += strings.value(number - 1);
    }
    return text;
}

quint32 systemEventMessageId(SystemEvent event)
{
    quint32 severity = 3;
    switch (systemEventLevel(event)) {
    case SystemEventLevel::Information:
        severity = 1;
        break;
    case SystemEventLevel::Warning:
        severity = 2;
        break;
    case SystemEventLevel::Error:
    default:
        break;
    }
    return (severity << 30) | static_cast<quint32>(event);
}
