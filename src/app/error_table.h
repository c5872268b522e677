// The messages that the one pending error code selects.
#pragma once

#include <cstdint>
#include <string_view>

#include "protocol/outcome.h"

namespace tamlo {

namespace errors {
inline constexpr int32_t CommunicationError = 1;
inline constexpr int32_t InvalidFrequency = 3;
inline constexpr int32_t SelectComPort = 5;
inline constexpr int32_t InvalidThreshold = 6;
inline constexpr int32_t PortNotAvailable = 7;
inline constexpr int32_t InvalidAudioLevel = 8;
}  // namespace errors

// The code under which the window program reports a conversation's outcome (0 for Ok).
int32_t errorCodeOf(Outcome outcome);

// "" for 0 and for codes without a message (2, 4 and anything outside 1 to 8).
std::string_view errorMessage(int32_t errorCode);

}  // namespace tamlo
