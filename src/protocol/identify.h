// "V": which firmware the receiver runs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/generation.h"
#include "serial/exchange.h"

namespace tamlo {

struct FirmwareIdentity {
    std::string reply;         // everything after the echoed "V" (may be empty)
    std::string unechoed;      // what came when no "V" was echoed: another device, no echo
    int32_t firmwareCode = 0;  // 0 when the reply holds no number
};

// Flushes, sends "V", collects the reply 200 ms later.
FirmwareIdentity identifyFirmware(Line& line);

// Whether a reply to "V" begins with a whole version: digits, a point, two digits ("2.05").
// A reply cut short ("1.") would otherwise be taken for generation 1, and a write would go
// out in another generation's conversation.
enum class VersionReply { Whole, Cut, NotAVersion, Empty };
VersionReply judgeVersionReply(std::string_view reply);
// A version as a user gives it for the simulated receiver ("1.90", "2"): digits with at
// most one point, not at the end; at most eight characters.
bool validFirmwareVersion(std::string_view text);
// The version the simulated receiver reports when the user names none.
inline constexpr std::string_view kDefaultSimulatedVersion = "2.05";
// Why a version given for the simulated receiver is refused; empty when it is valid.
std::string firmwareVersionProblem(std::string_view text);

}  // namespace tamlo
