// "X" and "M": the receiver's stored settings, in its two encodings.
#pragma once

#include <optional>
#include <string_view>

#include "protocol/generation.h"
#include "protocol/settings.h"
#include "serial/exchange.h"

namespace tamlo {

enum class BlockOutcome { Accepted, TooShort };

inline constexpr int32_t kHexBlockWaitMs = 650;  // after the command's own 200 ms
inline constexpr int32_t kTextBlockWaitMs = 1500;
inline constexpr int64_t kHexBlockMinLength = 50;
inline constexpr int64_t kTextBlockMinLength = 100;

// Sends "X", waits, collects; an accepted reply is parsed into settings (with the LNA byte
// when the generation has it). A short one leaves settings as they were.
BlockOutcome requestHexBlock(Line& line, const GenerationTraits& traits, DeviceSettings& settings);
// Sends "M", waits, collects; an accepted reply is parsed into settings.
BlockOutcome requestTextBlock(Line& line, DeviceSettings& settings);

// A whole read for a front end without a form: flushInput, then the blocks of the
// generation of settings[firmwareCode] in their order. Absent: not asked for.
struct SettingsRead {
    std::optional<BlockOutcome> hex;
    std::optional<BlockOutcome> text;
    bool accepted() const {
        return hex != BlockOutcome::TooShort && text != BlockOutcome::TooShort;
    }
};
SettingsRead readSettings(Line& line, DeviceSettings& settings);

// The parsers write only the slots they find.
void parseTextSettings(std::string_view text, DeviceSettings& settings);
void parseHexSettings(std::string_view text, bool withLnaByte, DeviceSettings& settings);

}  // namespace tamlo
