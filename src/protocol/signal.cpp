#include "protocol/signal.h"

#include "text/conversions.h"

namespace tamlo {

int32_t pollSignal(Line& line) {
    sendCommand(line, "R");
    return low32(parseInteger(readResponse(line.port, "R")));
}

std::optional<int32_t> readSignal(Line& line) {
    sendCommand(line, "R");
    const std::string reply = readResponse(line.port, "R");
    size_t i = 0;
    while (i < reply.size() && (reply[i] == ' ' || reply[i] == '\t')) {
        ++i;
    }
    if (i < reply.size() && (reply[i] == '-' || reply[i] == '+')) {
        ++i;
    }
    if (i == reply.size() || reply[i] < '0' || reply[i] > '9') {
        return std::nullopt;
    }
    return low32(parseInteger(reply));
}

}  // namespace tamlo
