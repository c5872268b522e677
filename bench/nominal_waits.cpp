#include "nominal_waits.h"

#include <chrono>

#include "protocol/generation.h"
#include "protocol/read_settings.h"

namespace tamlo::bench {

int32_t pacedWriteMs(int generation) {
    return generationTraits(generation).paceMs;
}

void NominalWaits::onSend(std::string_view characters) {
    sends_.emplace_back(characters);
    if (characters.size() <= 1) {
        ++commands_;
        totalMs_ += kCommandPauseMs;
        if (characters == "X") {
            totalMs_ += kHexBlockWaitMs;
        } else if (characters == "M") {
            totalMs_ += kTextBlockWaitMs;
        }
        return;
    }
    const auto count = static_cast<int32_t>(characters.size());
    pacedCharacters_ += count;
    totalMs_ += int64_t{count} * pacedWriteMs(generation_);
}

void NominalWaits::reset() {
    totalMs_ = 0;
    commands_ = 0;
    pacedCharacters_ = 0;
    sends_.clear();
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
