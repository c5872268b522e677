// The keys of a settings file and the rules for their values, the same for TOML and JSON.
// A value is taken exactly as written or refused with the accepted form and range: a typo
// ("138,500") must never reach a receiver as another frequency.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "protocol/generation.h"
#include "protocol/settings.h"
#include "protocol/write_settings.h"

namespace tamlo {

inline constexpr std::string_view kSettingsTable = "settings";
inline constexpr std::string_view kSourceTable = "source";
// What earlier versions called [source].
inline constexpr std::string_view kReceiverTable = "receiver";

enum class KeyKind { Channel, Threshold, AudioLevel, Switch };

struct SettingKey {
    std::string_view name;  // "channel1", "threshold", ...
    KeyKind kind;
    int channel = 0;  // 1..6 for a channel
};

// The [settings] keys in the order files hold them.
std::span<const SettingKey> settingKeys();
const SettingKey* findSettingKey(std::string_view name);
// The known name nearest to a misspelt one, when it is near enough to be meant:
// "chanel2" gives "channel2"; "colour" gives nothing.
std::optional<std::string_view> nearestName(std::string_view name,
                                            std::span<const std::string_view> known);
std::optional<std::string_view> nearestSettingKey(std::string_view name);

// A channel as a file writes it: digits, an optional point with at most three decimals, and
// optionally "MHz" (one blank before it or none): "138.5", "138.500", "138.500 MHz". The
// code, or nothing when the text is not of that form or out of range.
std::optional<int32_t> channelCodeOfText(std::string_view text);

// The thresholds some generation reads back as written, and the audio levels some takes.
IntegerRange thresholdRange();
IntegerRange audioLevelRange();

// What is wrong with a value, worded for the user with the window's message first and then
// the accepted form and range; empty when it passes.
std::string channelProblem(std::string_view text);
std::string thresholdProblem(int64_t value);
std::string audioLevelProblem(int64_t value);
// What the key expects, for a value of the wrong type: "a string such as \"138.500\"".
std::string_view expectedType(KeyKind kind);

}  // namespace tamlo
