// Wall time for the protocol's pauses on Windows: the performance counter, and Sleep in
// whole milliseconds until the counter agrees the deadline has passed. The default timer
// tick is 10 to 16 ms, so a 25 ms pause could last twice as long: the resolution is raised
// to 1 ms for the length of every sleep.
#pragma once

#include <cstdint>

#include "serial/deadline_clock.h"

namespace tamlo {

class Win32Clock final : public DeadlineClock {
  protected:
    int64_t nowNs() override;
    void sleepUntilNs(int64_t deadlineNs) override;
};

}  // namespace tamlo
