#include "serial/win32/win32_clock.h"

#include <windows.h>
// After windows.h, whose types it uses.
#include <mmsystem.h>

#include <algorithm>

namespace tamlo {

namespace {

int64_t nowUs() {
    static const int64_t frequency = [] {
        LARGE_INTEGER f{};
        QueryPerformanceFrequency(&f);
        return static_cast<int64_t>(f.QuadPart);
    }();
    LARGE_INTEGER count{};
    QueryPerformanceCounter(&count);
    const int64_t ticks = count.QuadPart;
    return ticks / frequency * 1'000'000 + ticks % frequency * 1'000'000 / frequency;
}

// Sleep counts whole milliseconds on the system's tick: round up, and sleep again until
// the performance counter agrees the time has passed.
void sleepUntil(int64_t deadlineUs) {
    for (int64_t leftUs = deadlineUs - nowUs(); leftUs > 0; leftUs = deadlineUs - nowUs()) {
        Sleep(static_cast<DWORD>((leftUs + 999) / 1000));
    }
}

}  // namespace

void Win32Clock::pauseMs(int32_t ms) {
    // Sleep takes an unsigned count: a negative pause would otherwise last for weeks.
    if (ms <= 0) {
        return;
    }
    timeBeginPeriod(1);
    if (!service_.active()) {
        Sleep(static_cast<DWORD>(ms));
    } else {
        const int64_t deadlineUs = nowUs() + int64_t{ms} * 1000;
        // Between services Sleep takes whole milliseconds, rounded down: the margin before
        // the deadline absorbs the tick.
        service_.serveUntil(
            deadlineUs * 1000, [] { return nowUs() * 1000; },
            [](int64_t untilNs) {
                const int64_t leftUs = untilNs / 1000 - nowUs();
                Sleep(static_cast<DWORD>(std::max<int64_t>(leftUs, 0) / 1000));
            });
        sleepUntil(deadlineUs);
    }
    timeEndPeriod(1);
}

}  // namespace tamlo
