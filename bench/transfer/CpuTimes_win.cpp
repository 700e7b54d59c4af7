#include "CpuTimes.h"

#include <windows.h>
// windows.h first
#include <psapi.h>

CpuTimes cpuNow()
{
    FILETIME created{};
    FILETIME exited{};
    FILETIME kernel{};
    FILETIME user{};
    CpuTimes times;
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        const auto seconds = [](const FILETIME& t) {
            return double((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
        };
        times.user = seconds(user);
        times.system = seconds(kernel);
    }
    PROCESS_MEMORY_COUNTERS memory{};
    if (GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory))) {
        times.maxRssKb = long(memory.PeakWorkingSetSize / 1024);
    }
    return times;
}
