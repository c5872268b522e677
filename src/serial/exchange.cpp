#include "serial/exchange.h"

#include "text/conversions.h"

namespace tamlo {

void pauseMs(Clock& clock, int32_t ms) {
    clock.pauseMs(ms);
}

void flushInput(SerialPort& port) {
    // Bounded like readResponse: a port that keeps reporting bytes it never delivers must
    // not hold the program forever.
    for (int64_t attempts = 0; attempts < kMaxResponseBytes && port.bytesWaiting() > 0;
         ++attempts) {
        uint8_t scratch = 0;
        // Dropped whether or not the read delivered a byte: the loop ends on the count.
        (void)port.readPort(&scratch, 1);
    }
}

void sendCommand(Line& line, std::string_view command) {
    const std::string first = leftPart(command, 1);
    if (line.tap != nullptr) {
        line.tap->onSend(first);
    }
    if (!first.empty()) {
        const auto byte = static_cast<uint8_t>(first[0]);
        (void)line.port.writePort(&byte, 1);  // nothing is acknowledged; the wait still happens
    }
    pauseMs(line.clock, kCommandPauseMs);
}

void sendPaced(Line& line, std::string_view text, int32_t pause) {
    if (text.empty()) {
        return;
    }
    if (line.tap != nullptr) {
        line.tap->onSend(text);
    }
    for (const char c : text) {
        const auto byte = static_cast<uint8_t>(c);
        (void)line.port.writePort(&byte, 1);
        pauseMs(line.clock, pause);
    }
}

std::string readResponse(SerialPort& port, std::string_view marker) {
    std::string answer;
    bool collecting = false;
    // Every read attempt counts toward the bound, so neither a streaming device nor one
    // that reports bytes it never delivers can keep us here.
    for (int64_t attempts = 0; attempts < kMaxResponseBytes && port.bytesWaiting() >= 1;
         ++attempts) {
        uint8_t byte = 0;
        if (port.readPort(&byte, 1) != 1) {
            continue;
        }
        const std::string one = charText(byte);
        // Appending before testing: the byte that starts collection is not part of the
        // answer, while a later byte equal to the marker is.
        if (collecting) {
            answer += one;
        }
        if (textEquals(one, marker)) {
            collecting = true;
        }
    }
    return answer;
}

}  // namespace tamlo
