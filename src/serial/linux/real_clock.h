// Wall time for the protocol's pauses. Linux sleeps to an absolute deadline on the
// monotonic clock, so a signal or a coarse timer can make a pause longer, never shorter.
#pragma once

#include <cstdint>
#include <functional>

#include "serial/clock.h"
#include "serial/pause_service.h"

namespace tamlo {

class RealClock final : public Clock {
  public:
    RealClock();
    void pauseMs(int32_t ms) override;

    // Called at the start of every pause and every few milliseconds of it, while the
    // handler waits on the receiver: the desktop program lets its window paint and answer
    // the desktop there. It must return quickly; the pause still ends at its deadline.
    void setPauseService(std::function<void()> service) { service_.set(std::move(service)); }

  private:
    PauseService service_;
};

}  // namespace tamlo
