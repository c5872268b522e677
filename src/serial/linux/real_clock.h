// Wall time for the protocol's pauses. Linux sleeps to an absolute deadline on the
// monotonic clock, so a signal or a coarse timer can make a pause longer, never shorter.
#pragma once

#include <cstdint>

#include "serial/clock.h"

namespace tamlo {

class RealClock final : public Clock {
  public:
    RealClock();
    void pauseMs(int32_t ms) override;
};

}  // namespace tamlo
