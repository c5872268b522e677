// The pace of the serial line to the receiver: 1200 baud, and 11 bit times per character
// (start bit, 8 data bits, 2 stop bits).
#pragma once

#include <cstdint>
#include <limits>

#include "serial/serial_port.h"

namespace tamlo::sim {

inline constexpr int64_t kNever = std::numeric_limits<int64_t>::max();
inline constexpr int64_t kNsPerMs = 1'000'000;
inline constexpr int64_t kBitsPerCharacter = 11;
inline constexpr int64_t kLineBaud = kBaudRate;  // the port's own setting
// 1200 characters take exactly 11 s; every shorter stretch is rounded down from that.
inline constexpr int64_t kCharactersPerRebase = kLineBaud;
inline constexpr int64_t kRebaseNs = kBitsPerCharacter * 1'000'000'000;

// Time that n back-to-back characters occupy the line, rounded down to whole nanoseconds.
// Computed from the start of the run, never accumulated, so no rounding error builds up.
constexpr int64_t charactersNs(int64_t n) {
    return n * kBitsPerCharacter * 1'000'000'000 / kLineBaud;
}

inline constexpr int64_t kCharacterNs = charactersNs(1);  // 9 166 666 ns

// One direction of the line. Characters are sent in the order given; each starts as soon
// as the line is free and not before its earliest time. Back-to-back characters form a
// run whose k-th character ends exactly charactersNs(k) after the run began.
class LinePacer {
  public:
    // Returns the time at which the character has been fully transmitted.
    int64_t schedule(int64_t earliestNs) {
        if (count_ == 0 || earliestNs > freeAtNs()) {
            runStartNs_ = earliestNs;
            count_ = 0;
        } else if (count_ >= kCharactersPerRebase) {
            // Keeps the product in charactersNs small on an endless stream; 1200 characters
            // are exactly 11 s, so moving the start loses nothing.
            runStartNs_ += kRebaseNs;
            count_ -= kCharactersPerRebase;
        }
        ++count_;
        return freeAtNs();
    }
    // End of the last character scheduled (the start of time when nothing was sent yet).
    int64_t freeAtNs() const { return runStartNs_ + charactersNs(count_); }

  private:
    int64_t runStartNs_ = 0;
    int64_t count_ = 0;
};

}  // namespace tamlo::sim
