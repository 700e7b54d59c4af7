#include "base/Platform.h"

#include "base/SystemEvent.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <vector>

namespace {

// The source's handle on the Application log: registered at the first event, let go when the process ends. Windows
// takes a source nobody registered as well; Event Viewer then shows only the insertion strings.
class EventSource
{
public:
    EventSource() : m_handle(RegisterEventSourceW(nullptr, L"ZELBO_UDP")) {}
    ~EventSource()
    {
        if (m_handle != nullptr) {
            DeregisterEventSource(m_handle);
        }
    }
    EventSource(const EventSource&) = delete;
    EventSource& operator=(const EventSource&) = delete;

    HANDLE handle() const { return m_handle; }

private:
    HANDLE m_handle;
};

WORD eventType(SystemEventLevel level)
{
    switch (level) {
    case SystemEventLevel::Information:
        return EVENTLOG_INFORMATION_TYPE;
    case SystemEventLevel::Warning:
        return EVENTLOG_WARNING_TYPE;
    case SystemEventLevel::Error:
    default:
        return EVENTLOG_ERROR_TYPE;
    }
}

} // namespace

void writeSystemEvent(SystemEvent event, const QStringList& strings)
{
    static const EventSource source;
    if (source.handle() == nullptr) {
        return;
    }
    std::vector<LPCWSTR> pointers;
    pointers.reserve(std::size_t(strings.size()));
    for (const QString& string : strings) {
        pointers.push_back(reinterpret_cast<LPCWSTR>(string.utf16()));
    }
    (void)ReportEventW(source.handle(), eventType(systemEventLevel(event)), 0, DWORD(systemEventMessageId(event)),
                       nullptr, WORD(pointers.size()), 0, pointers.empty() ? nullptr : pointers.data(), nullptr);
}
