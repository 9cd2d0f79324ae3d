#pragma once
// Wall-clock time of a stretch of code, read from the performance counter.

#include <windows.h>

class Stopwatch {
public:
    Stopwatch() { QueryPerformanceCounter(&start_); }

    double Seconds() const
    {
        LARGE_INTEGER now;
        LARGE_INTEGER frequency;
        QueryPerformanceCounter(&now);
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(now.QuadPart - start_.QuadPart) / static_cast<double>(frequency.QuadPart);
    }

private:
    LARGE_INTEGER start_;
};
