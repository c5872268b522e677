#include "protocol/signal.h"

#include "text/conversions.h"

namespace tamlo {

int32_t pollSignal(Line& line) {
    sendCommand(line, "R");
    return low32(parseInteger(readResponse(line.port, "R")));
}

SignalReading readSignal(Line& line) {
    sendCommand(line, "R");
    SignalReading reading;
    reading.reply = readResponse(line.port, "R");
    reading.lineFailure = line.port.writeFailure();
    if (!reading.lineFailure.empty()) {
        reading.missing = SignalReading::Missing::LineFailed;
        return reading;
    }
    const std::string& reply = reading.reply;
    size_t i = 0;
    while (i < reply.size() && (reply[i] == ' ' || reply[i] == '\t')) {
        ++i;
    }
    if (i < reply.size() && (reply[i] == '-' || reply[i] == '+')) {
        ++i;
    }
    if (i == reply.size() || reply[i] < '0' || reply[i] > '9') {
        reading.missing =
            reply.empty() ? SignalReading::Missing::NoReply : SignalReading::Missing::NotANumber;
        return reading;
    }
    reading.missing = SignalReading::Missing::None;
    reading.value = low32(parseInteger(reply));
    return reading;
}

}  // namespace tamlo
