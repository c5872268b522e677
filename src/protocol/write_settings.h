// The STORE conversation: values in, paced commands out, the checks that failed back.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/generation.h"
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

// The channels every generation takes: 134.000 to 138.990 MHz, in 1 kHz steps above
// 130 MHz. The threshold and the audio level are the generation's own (its traits).
inline constexpr IntegerRange kChannelCodes{4000, 8990};

// One channel text: it must begin with "13" and give a code of 4000..8990.
bool channelPasses(std::string_view channelText, int32_t channelCode);

// One transmission of a STORE: a command letter followed by its 200 ms, or a text paced
// character by character.
struct StoreStep {
    bool paced = false;
    std::string text;
    int32_t pauseMs = 0;  // after each character of a paced text
    // What the receiver holds once the step is through: "channel 3", "the threshold";
    // empty for the first letter of a pair, which means nothing alone.
    std::string what;
};

// The conversation for given values, decided before anything is sent: the transmissions in
// order and the checks that failed on the way.
struct StoreScript {
    std::vector<StoreStep> steps;
    StoreResult result;
    // The waits it takes: 200 ms a command letter, the pace after every paced character.
    int32_t nominalMs() const;
    int64_t bytes() const;
    // The last step whose every byte lies within the first sent bytes and that means
    // something alone; empty when there is none.
    std::string lastWholeStep(int64_t sent) const;
};

StoreScript planStore(int32_t firmwareCode, const StoreValues& values);
// Sends the script's steps. Reads nothing from the line.
void runStore(Line& line, const StoreScript& script);
// The checks alone, in order, sending nothing.
StoreResult checkStore(int32_t firmwareCode, const StoreValues& values);
// The whole conversation for the generation of firmwareCode. Reads nothing from the line.
StoreResult writeSettings(Line& line, int32_t firmwareCode, const StoreValues& values);

}  // namespace tamlo
