#include "CpuTimes.h"

#include <sys/resource.h>

CpuTimes cpuNow()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    CpuTimes times;
    times.user = double(usage.ru_utime.tv_sec) + double(usage.ru_utime.tv_usec) / 1e6;
    times.system = double(usage.ru_stime.tv_sec) + double(usage.ru_stime.tv_usec) / 1e6;
    times.maxRssKb = usage.ru_maxrss;
    return times;
}
