// The time a conversation with the receiver must take at the least: the sum of the waits
// the protocol prescribes for what was actually sent. A handler can never be faster than
// this; everything above it is the program's own cost.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/generation.h"
#include "protocol/write_settings.h"
#include "serial/clock.h"

namespace tamlo::bench {

// What a conversation prescribes, taken from the conversation itself: the commands with
// their pauses and collection waits, and the paced characters at the generation's pace.
struct ConversationWaits {
    int64_t totalMs = 0;
    int commands = 0;
    int pacedCharacters = 0;
};

// LOAD: "V", the generation's settings blocks, "R".
ConversationWaits loadWaits(const GenerationTraits& traits);
// STORE of this request, then the read-back that follows it.
ConversationWaits storeWaits(int32_t firmwareCode, const StoreRequest& request);

// Passes every pause on to the real clock and adds up what was asked of it, so that the
// waits the code requests can be checked against the nominal sum, and the time spent
// sleeping can be told apart from the work around it.
class RecordingClock final : public Clock {
  public:
    explicit RecordingClock(Clock& inner) : inner_(inner) {}
    void pauseMs(int32_t ms) override;
    void reset();

    int64_t requestedMs() const { return requestedMs_; }
    int pauses() const { return pauses_; }
    // Wall time spent inside the inner clock's pauses.
    int64_t sleptNs() const { return sleptNs_; }

  private:
    Clock& inner_;
    int64_t requestedMs_ = 0;
    int pauses_ = 0;
    int64_t sleptNs_ = 0;
};

}  // namespace tamlo::bench
