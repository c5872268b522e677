#include "nominal_waits.h"

#include <chrono>

#include "protocol/generation.h"
#include "protocol/read_settings.h"
#include "serial/exchange.h"

namespace tamlo::bench {

namespace {

// The settings blocks of a read: one command each.
int blockCount(const GenerationTraits& traits) {
    return (traits.hexBlock ? 1 : 0) + (traits.textBlock ? 1 : 0);
}

}  // namespace

ConversationWaits loadWaits(const GenerationTraits& traits) {
    return {2 * kCommandPauseMs + readNominalMs(traits), 2 + blockCount(traits), 0};
}

ConversationWaits storeWaits(int32_t firmwareCode, const StoreRequest& request) {
    const GenerationTraits& traits = firmwareTraits(firmwareCode);
    const StoreScript script = planStore(traits, request);
    int commands = blockCount(traits);
    int paced = 0;
    for (const StoreStep& step : script.steps) {
        (step.paced ? paced : commands) += step.paced ? static_cast<int>(step.text.size()) : 1;
    }
    return {int64_t{script.nominalMs()} + readNominalMs(traits), commands, paced};
}

void RecordingClock::pauseMs(int32_t ms) {
    const auto start = std::chrono::steady_clock::now();
    inner_.pauseMs(ms);
    sleptNs_ += std::chrono::duration_cast<std::chrono::nanoseconds>(
                    std::chrono::steady_clock::now() - start)
                    .count();
    if (ms > 0) {
        requestedMs_ += ms;
    }
    ++pauses_;
}

void RecordingClock::reset() {
    requestedMs_ = 0;
    pauses_ = 0;
    sleptNs_ = 0;
}

}  // namespace tamlo::bench
