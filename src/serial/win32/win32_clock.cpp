#include "serial/win32/win32_clock.h"

#include <windows.h>
// After windows.h, whose types it uses.
#include <mmsystem.h>

#include <algorithm>

namespace tamlo {

namespace {

// The service runs at most this long apart, and never this close to the deadline.
constexpr int64_t kServiceIntervalUs = 10'000;
constexpr int64_t kServiceMarginUs = 2'000;

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
    if (service_ && !serving_) {
        servedPause(ms);
    } else {
        Sleep(static_cast<DWORD>(ms));
    }
    timeEndPeriod(1);
}

void Win32Clock::servedPause(int32_t ms) {
    const int64_t deadlineUs = nowUs() + int64_t{ms} * 1000;
    serving_ = true;
    for (;;) {
        if (deadlineUs - nowUs() <= kServiceMarginUs) {
            break;
        }
        service_();
        const int64_t leftUs = deadlineUs - nowUs();
        if (leftUs <= kServiceMarginUs) {
            break;
        }
        Sleep(static_cast<DWORD>(std::min(leftUs - kServiceMarginUs, kServiceIntervalUs) / 1000));
    }
    serving_ = false;
    sleepUntil(deadlineUs);
}

}  // namespace tamlo
