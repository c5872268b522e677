#include "protocol/identify.h"

namespace tamlo {

FirmwareIdentity identifyFirmware(Line& line) {
    flushInput(line.port);
    sendCommand(line, "V");
    FirmwareIdentity identity;
    identity.reply = readResponse(line.port, "V");
    identity.firmwareCode = firmwareCodeOf(identity.reply);
    return identity;
}

}  // namespace tamlo
