// "V": which firmware the receiver runs.
#pragma once

#include <cstdint>
#include <string>

#include "protocol/generation.h"
#include "serial/exchange.h"

namespace tamlo {

struct FirmwareIdentity {
    std::string reply;         // everything after the echoed "V" (may be empty)
    int32_t firmwareCode = 0;  // 0 when the reply holds no number
};

// Flushes, sends "V", collects the reply 200 ms later.
FirmwareIdentity identifyFirmware(Line& line);

}  // namespace tamlo
