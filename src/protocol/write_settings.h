// The STORE conversation: a request of values in, paced commands out, the checks that failed
// back.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/generation.h"
#include "protocol/outcome.h"

namespace tamlo {

inline constexpr int32_t kSlowPaceMs = 250;  // generation 1, per character
inline constexpr int32_t kFastPaceMs = 25;   // generations 2 and 3

// What a STORE is to leave in the receiver, as values. What is absent is not sent, and the
// receiver keeps its own.
struct StoreRequest {
    // In 1 kHz steps above 130 MHz: 138.500 MHz is 8500.
    std::array<std::optional<int32_t>, 6> channelCodes;
    std::optional<int32_t> threshold;
    // Absent: no audio command, so the switches are not sent either.
    std::optional<int32_t> audioLevel;
    bool diversity = false;
    bool lnaSupply = false;  // generation 3 only
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

// What the receiver takes, value by value: the checks of every STORE.
bool takesChannelCode(int32_t channelCode);
// At most the generation's highest; there is no lower bound (T-5 goes out).
bool takesThreshold(const GenerationTraits& traits, int32_t threshold);
bool takesAudioLevel(const GenerationTraits& traits, int32_t level);

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

// The conversation for a request, decided before anything is sent: the checks that failed
// and, when none did, the transmissions in order.
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

// A request with a value the receiver does not take is refused whole: no steps. The audio
// command goes only where the generation has one.
StoreScript planStore(const GenerationTraits& traits, const StoreRequest& request);

}  // namespace tamlo
