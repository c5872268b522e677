#include "protocol/conversations.h"
#include "text/conversions.h"

namespace tamlo {

void identifyFirmware(Line& line, DeviceSettings& settings, Window& window) {
    flushInput(line.port);
    sendCommand(line, "V");
    const std::string reply = readResponse(line.port, "V");

    // No small addend before truncating: a version whose nearest float lies just below it
    // loses one (1.81 reads as 180, a generation-1 receiver), and the receivers in the
    // field have always been sorted that way.
    const float version = parseDecimal(reply);
    settings[firmwareCode] = low32(truncateToInteger(static_cast<double>(version) * 100.0));

    std::string status = "TamloX, firmware version " + leftPart(reply, 4);
    if (settings[firmwareCode] >= 200) {
        status += "   " + rightPart(reply, 9);
    }
    window.setStatusText(status);
}

}  // namespace tamlo
