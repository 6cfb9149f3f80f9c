// The benchmarks' clock: seconds from the high-resolution counter.
#ifndef BENCH_BENCH_CLOCK_H
#define BENCH_BENCH_CLOCK_H

#include <windows.h>

inline double Now()
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart / frequency.QuadPart;
}

#endif
