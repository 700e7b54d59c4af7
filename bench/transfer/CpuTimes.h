#pragma once
// CPU time and peak memory of this process, for the benchmark's figures. One source file per OS, chosen by CMake.

struct CpuTimes
{
    double user = 0;
    double system = 0;
    long maxRssKb = 0;
};

CpuTimes cpuNow();
