#include "serial/exchange.h"

#include "text/conversions.h"

namespace tamlo {

void pauseMs(Clock& clock, int32_t ms) {
    clock.pauseMs(ms);
}

void flushInput(SerialPort& port) {
    // Bounded, like readResponse: neither a streaming device nor one that reports bytes it
    // never delivers may hold the program forever.
    int64_t dropped = 0;
    int64_t emptyReads = 0;
    while (dropped < kMaxFlushBytes && emptyReads < kMaxEmptyReads && port.bytesWaiting() > 0) {
        uint8_t scratch = 0;
        if (port.readPort(&scratch, 1) == 1) {
            ++dropped;
            emptyReads = 0;
        } else {
            ++emptyReads;
        }
    }
}

void sendCommand(Line& line, std::string_view command) {
    const std::string first = leftPart(command, 1);
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
    for (const char c : text) {
        const auto byte = static_cast<uint8_t>(c);
        (void)line.port.writePort(&byte, 1);
        pauseMs(line.clock, pause);
    }
}

std::string readResponse(SerialPort& port, std::string_view marker, std::string* unmarked) {
    std::string answer;
    bool collecting = false;
    // Neither a streaming device nor one that reports bytes it never delivers may keep us
    // here: at most kMaxResponseBytes bytes are taken, and a few empty reads in a row end it.
    int64_t taken = 0;
    int64_t emptyReads = 0;
    while (taken < kMaxResponseBytes && emptyReads < kMaxEmptyReads && port.bytesWaiting() >= 1) {
        uint8_t byte = 0;
        if (port.readPort(&byte, 1) != 1) {
            ++emptyReads;
            continue;
        }
        ++taken;
        emptyReads = 0;
        const std::string one = charText(byte);
        // Appending before testing: the byte that starts collection is not part of the
        // answer, while a later byte equal to the marker is.
        if (collecting) {
            answer += one;
        }
        if (textEquals(one, marker)) {
            collecting = true;
        }
        if (unmarked != nullptr && !collecting) {
            *unmarked += one;  // what came while no marker had: a reply without its echo
        }
    }
    return answer;
}

}  // namespace tamlo
