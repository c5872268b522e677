// The conversations with the receiver: identification, reading and writing the settings.
#pragma once

#include <cstdint>
#include <string_view>

#include "protocol/settings.h"
#include "serial/exchange.h"
#include "ui/window.h"

namespace tamlo {

// "V": firmwareCode and the status line.
void identifyFirmware(Line& line, DeviceSettings& settings, Window& window);

// "X" and/or "M" by generation; fills the slots and the form, creates the generation's
// controls, sets errorCode 1 on a short reply and traceOffset 60 for generations 2 and 3.
void readSettings(Line& line, DeviceSettings& settings, Window& window, int32_t& errorCode,
                  int16_t& traceOffset);
void parseTextSettings(std::string_view text, DeviceSettings& settings);
void parseHexSettings(std::string_view text, bool withLnaByte, DeviceSettings& settings);

// The STORE conversation: the form's values, checked, one paced command each.
// Stops TraceTimer first; it is not restarted here.
void writeSettings(Line& line, const DeviceSettings& settings, Window& window, int32_t& errorCode);
void checkChannel(int channel, int32_t channelCode, Window& window, int32_t& errorCode);

inline constexpr int32_t kHexBlockWaitMs = 650;
inline constexpr int32_t kTextBlockWaitMs = 1500;
inline constexpr int64_t kHexBlockMinLength = 50;
inline constexpr int64_t kTextBlockMinLength = 100;
inline constexpr int32_t kSlowPaceMs = 250;  // generation 1, per character
inline constexpr int32_t kFastPaceMs = 25;   // generations 2 and 3

}  // namespace tamlo
