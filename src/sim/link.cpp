#include "sim/link.h"

#include <algorithm>
#include <utility>

namespace tamlo::sim {

Link::Link(ReceiverSettings settings) : receiver_(std::move(settings)) {}

void Link::send(uint8_t byte, int64_t atNs) {
    toReceiver_.push_back({toReceiverPacer_.schedule(atNs), byte});
}

void Link::inject(std::string_view bytes, int64_t atNs) {
    collectReplies();  // whatever the receiver already sent goes first
    for (const char c : bytes) {
        toProgram_.push_back({toProgramPacer_.schedule(atNs), static_cast<uint8_t>(c)});
    }
}

void Link::collectReplies() {
    for (const Receiver::Transmit& transmit : receiver_.takeOutput()) {
        toProgram_.push_back({toProgramPacer_.schedule(transmit.earliestNs), transmit.byte});
    }
}

int64_t Link::nextEventNs() {
    collectReplies();
    int64_t next = receiver_.deadlineNs();
    if (!toReceiver_.empty()) {
        next = std::min(next, toReceiver_.front().arrivalNs);
    }
    if (!toProgram_.empty()) {
        next = std::min(next, toProgram_.front().arrivalNs);
    }
    return next;
}

void Link::runUntil(int64_t nowNs, const Arrival& arrive) {
    for (;;) {
        const int64_t next = nextEventNs();
        if (next > nowNs) {
            break;
        }
        // Bytes for the program first: what the receiver does at the same instant cannot
        // change a byte that has already arrived.
        if (!toProgram_.empty() && toProgram_.front().arrivalNs == next) {
            const InFlight arrived = toProgram_.front();
            toProgram_.pop_front();
            if (arrive) {
                arrive(arrived.byte, arrived.arrivalNs);
            }
        } else if (!toReceiver_.empty() && toReceiver_.front().arrivalNs == next) {
            const InFlight arrived = toReceiver_.front();
            toReceiver_.pop_front();
            receiver_.receive(arrived.byte, arrived.arrivalNs);
        } else {
            receiver_.advance(next);
        }
    }
    receiver_.advance(nowNs);
    collectReplies();
}

}  // namespace tamlo::sim
