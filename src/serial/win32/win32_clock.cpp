#include "serial/win32/win32_clock.h"

#include <windows.h>
// After windows.h, whose types it uses.
#include <mmsystem.h>

namespace tamlo {

void Win32Clock::pauseMs(int32_t ms) {
    // Sleep takes an unsigned count: a negative pause would otherwise last for weeks.
    if (ms <= 0) {
        return;
    }
    timeBeginPeriod(1);
    Sleep(static_cast<DWORD>(ms));
    timeEndPeriod(1);
}

}  // namespace tamlo
