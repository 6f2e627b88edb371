#pragma once
// Keeps a benchmark and the programs it starts on one processor.
//
// Under Wine every window, clipboard and synchronisation call is a request to
// the wineserver process. Whether the server and the caller share a processor
// decides how long each request takes (in a virtual machine a wake-up across
// processors costs tens of microseconds), and the scheduler changes its choice
// every few seconds: the same round trip then measures 22 or 90 us from one
// second to the next. With the callers held on one processor the choice stops
// changing within a run. Programs started afterwards inherit the mask.
#include <windows.h>

#include <cstdio>

namespace bench {

// The processor used, or -1 when the mask could not be set.
inline int KeepOnOneProcessor() {
    DWORD_PTR process = 0, system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system) || !process) return -1;
    for (int cpu = 0; cpu < static_cast<int>(8 * sizeof process); ++cpu) {
        const DWORD_PTR bit = DWORD_PTR{1} << cpu;
        if (process & bit) return SetProcessAffinityMask(GetCurrentProcess(), bit) ? cpu : -1;
    }
    return -1;
}

inline void PrintProcessorNote(int cpu) {
    if (cpu >= 0)
        printf("(this benchmark and its programs run on processor %d only; the wineserver runs\n"
               " where the system puts it)\n", cpu);
    else
        printf("(processor mask not set: figures may jump between two levels)\n");
}

}  // namespace bench
