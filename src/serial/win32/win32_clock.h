// Real pauses on Windows. The default timer tick is 10 to 16 ms, so a 25 ms pause could
// last twice as long; the resolution is raised to 1 ms for the length of each pause.
#pragma once

#include <cstdint>
#include <functional>

#include "serial/clock.h"
#include "serial/pause_service.h"

namespace tamlo {

class Win32Clock final : public Clock {
  public:
    void pauseMs(int32_t ms) override;

    // Called at the start of every pause and every few milliseconds of it, while the
    // handler waits on the receiver: the program lets its window paint and answer the
    // system there. It must return quickly; the pause still ends at its deadline.
    void setPauseService(std::function<void()> service) { service_.set(std::move(service)); }

  private:
    PauseService service_;
};

}  // namespace tamlo
