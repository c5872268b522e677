// Time as the protocol needs it: the receiver is timed, not framed, so every wait is a
// pause of at least its nominal length. Real on each platform; virtual in tests.
#pragma once

#include <cstdint>

namespace tamlo {

class Clock {
  public:
    virtual ~Clock() = default;
    // Suspends the thread for at least ms milliseconds (nothing for ms <= 0).
    virtual void pauseMs(int32_t ms) = 0;
};

}  // namespace tamlo
