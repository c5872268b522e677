// One sample of a receiver's signal strength in the service's history: when it was taken
// (Unix time, ms) and the value, or none when the receiver did not answer.
#pragma once

#include <cstdint>
#include <optional>

namespace tamlo::serve {

struct RssiPoint {
    int64_t atMs = 0;
    std::optional<int32_t> rssi;
};

}  // namespace tamlo::serve
