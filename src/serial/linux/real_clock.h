// Wall time for the protocol's pauses on Linux: the monotonic clock, and a sleep to an
// absolute deadline on it, which a signal or a coarse timer can make longer, never shorter.
#pragma once

#include <cstdint>

#include "serial/deadline_clock.h"

namespace tamlo {

class RealClock final : public DeadlineClock {
  public:
    RealClock();

  protected:
    int64_t nowNs() override;
    void sleepUntilNs(int64_t deadlineNs) override;
};

}  // namespace tamlo
