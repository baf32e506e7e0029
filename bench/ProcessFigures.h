#pragma once

#include <fstream>
#include <string>
#include <sys/resource.h>

// What the benchmarks read of the process itself: processor time and resident memory.

// Processor time, user and kernel, of who (RUSAGE_SELF or RUSAGE_THREAD), in milliseconds.
inline double CpuMs(int who = RUSAGE_SELF)
{
    rusage r{};
    getrusage(who, &r);
    return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1e3 +
           (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e3;
}

// Of the processor time, what the kernel spent on who's behalf.
inline double SystemMs(int who = RUSAGE_SELF)
{
    rusage r{};
    getrusage(who, &r);
    return r.ru_stime.tv_sec * 1e3 + r.ru_stime.tv_usec / 1e3;
}

// The resident set, in MB.
inline double ResidentMb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}
