// The STORE conversation: values in, paced commands out, the checks that failed back.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/outcome.h"
#include "serial/exchange.h"

namespace tamlo {

inline constexpr int32_t kSlowPaceMs = 250;  // generation 1, per character
inline constexpr int32_t kFastPaceMs = 25;   // generations 2 and 3

// The values to write, as the user typed them: read from the form in one go, or from a
// settings file. Nothing here has been checked yet.
struct StoreValues {
    std::array<std::string, 6> channels;  // "138.500 MHz", "135.1", ...
    std::string threshold;
    // Absent: no audio-level command at all (the user was shown no level and no switches).
    std::optional<std::string> audioLevel;
    int32_t diversity = 0;  // 1 on, 0 off
    int32_t lnaSupply = 0;  // generation 3 only
};

struct StoreFailure {
    Outcome outcome = Outcome::Ok;
    int channel = 0;  // 1..6 for InvalidFrequency, else 0
    friend bool operator==(const StoreFailure&, const StoreFailure&) = default;
};

// The checks that failed, in the order the conversation makes them; the last one is the
// one a single message reports.
struct StoreResult {
    std::vector<StoreFailure> failures;
    Outcome last() const { return failures.empty() ? Outcome::Ok : failures.back().outcome; }
};

// The values the receiver takes: a threshold of 99 or less (it has no lower bound) and an
// audio level of 0 to 31.
inline bool thresholdInRange(int64_t value) {
    return value <= 99;
}
inline bool audioLevelInRange(int64_t value) {
    return value >= 0 && value <= 31;
}

// One channel text: it must begin with "13" and give a code of 4000..8990.
bool channelPasses(std::string_view channelText, int32_t channelCode);

// The checks alone, in order, sending nothing.
StoreResult checkStore(int32_t firmwareCode, const StoreValues& values);
// The whole conversation for the generation of firmwareCode. Reads nothing from the line.
StoreResult writeSettings(Line& line, int32_t firmwareCode, const StoreValues& values);

}  // namespace tamlo
