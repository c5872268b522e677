// How far the real clock's pauses run past their nominal length, and the table row for it:
// one measurement shared by the plain pauses and the pauses that serve the window.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "serial/clock.h"

namespace tamlo::bench {

// count pauses of ms each; before(i) runs ahead of pause i, outside the timing. Prints a row
// named figure, with extra appended to what was measured.
void printPauseOvershoot(Clock& clock, int32_t ms, int count, const std::string& figure,
                         const std::function<void(int)>& before = {},
                         const std::function<std::string()>& extra = {});

}  // namespace tamlo::bench
