#include "serial/win32/win32_clock.h"

#include <windows.h>
// After windows.h, whose types it uses.
#include <mmsystem.h>

namespace tamlo {

int64_t Win32Clock::nowNs() {
    static const int64_t frequency = [] {
        LARGE_INTEGER f{};
        QueryPerformanceFrequency(&f);
        return static_cast<int64_t>(f.QuadPart);
    }();
    LARGE_INTEGER count{};
    QueryPerformanceCounter(&count);
    const int64_t ticks = count.QuadPart;
    return ticks / frequency * 1'000'000'000 + ticks % frequency * 1'000'000'000 / frequency;
}

void Win32Clock::sleepUntilNs(int64_t deadlineNs) {
    timeBeginPeriod(1);
    // Sleep counts whole milliseconds on the system's tick: round up, and sleep again until
    // the performance counter agrees the time has passed.
    for (int64_t leftNs = deadlineNs - nowNs(); leftNs > 0; leftNs = deadlineNs - nowNs()) {
        Sleep(static_cast<DWORD>((leftNs + 999'999) / 1'000'000));
    }
    timeEndPeriod(1);
}

}  // namespace tamlo
