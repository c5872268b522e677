#include "protocol/signal.h"

#include "text/conversions.h"

namespace tamlo {

int32_t pollSignal(Line& line) {
    sendCommand(line, "R");
    return low32(parseInteger(readResponse(line.port, "R")));
}

}  // namespace tamlo
