// Real pauses on Windows. The default timer tick is 10 to 16 ms, so a 25 ms pause could
// last twice as long; the resolution is raised to 1 ms for the length of each pause.
#pragma once

#include "serial/clock.h"

namespace tamlo {

class Win32Clock final : public Clock {
  public:
    void pauseMs(int32_t ms) override;
};

}  // namespace tamlo
