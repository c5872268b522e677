// The cable between the program and the simulated receiver: both directions paced at the
// line's rate, with the receiver at the far end. Time is in nanoseconds on whatever base
// the driver uses (virtual time, or a monotonic clock since the server started).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string_view>

#include "sim/line_timing.h"
#include "sim/receiver.h"

namespace tamlo::sim {

class Link {
  public:
    // Told of every byte that reaches the program's end of the line, with its time.
    using Arrival = std::function<void(uint8_t byte, int64_t atNs)>;

    explicit Link(ReceiverSettings settings = {});

    Receiver& receiver() { return receiver_; }
    const Receiver& receiver() const { return receiver_; }

    // A byte the program put on the line at atNs; it reaches the receiver once it has
    // been transmitted, behind any bytes still going out.
    void send(uint8_t byte, int64_t atNs);
    // Bytes put on the line from the receiver's end at atNs, as if it had sent them; lets
    // a test present the program with any reply at all.
    void inject(std::string_view bytes, int64_t atNs);
    // Whether the line takes more bytes from the program now. A real port's sender waits
    // while 1200 baud carries what it wrote; a pseudo-terminal would let a program write
    // megabytes at once, so its server reads on only while this few are still in flight.
    bool takesMore() const { return toReceiver_.size() < static_cast<size_t>(kQueueSize); }
    // When something next happens: a byte reaches either end, or the receiver's silence
    // deadline passes. kNever when the line is quiet.
    int64_t nextEventNs();
    // Carries out, in time order, everything due up to and including nowNs.
    void runUntil(int64_t nowNs, const Arrival& arrive);

  private:
    struct InFlight {
        int64_t arrivalNs;
        uint8_t byte;
    };

    void collectReplies();

    Receiver receiver_;
    LinePacer toReceiverPacer_;
    LinePacer toProgramPacer_;
    std::deque<InFlight> toReceiver_;
    std::deque<InFlight> toProgram_;
};

}  // namespace tamlo::sim
