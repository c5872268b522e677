// The time a conversation with the receiver must take at the least: the sum of the waits
// the protocol prescribes for what was actually sent. A handler can never be faster than
// this; everything above it is the program's own cost.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "serial/clock.h"
#include "serial/exchange.h"

namespace tamlo::bench {

// Fed by the wire tap with every send. A single character is a command (the pause after
// it, plus the collection wait of "X" and "M"); anything longer is a paced write, one
// pause per character at the generation's pace. The write conversation never sends a
// paced text of one character, so the two cannot be confused.
class NominalWaits final : public WireTap {
  public:
    explicit NominalWaits(int generation) : generation_(generation) {}

    void onSend(std::string_view characters) override;
    void reset();

    int64_t totalMs() const { return totalMs_; }
    int commands() const { return commands_; }
    int pacedCharacters() const { return pacedCharacters_; }
    // Every send, in order: the wire log of the last conversation.
    const std::vector<std::string>& sends() const { return sends_; }

  private:
    int generation_;
    int64_t totalMs_ = 0;
    int commands_ = 0;
    int pacedCharacters_ = 0;
    std::vector<std::string> sends_;
};

// The pace of paced writes for a firmware generation.
int32_t pacedWriteMs(int generation);

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
