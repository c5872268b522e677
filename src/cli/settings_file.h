// A receiver's settings as a file: what `tamlo read` writes and `write` and `apply` take.
//
// TOML by default, JSON on request, the same two tables in both:
//   [receiver]  where and when the settings were read (firmware, generation, port, rssi,
//               read_at); informational, never written to a receiver
//   [settings]  channel1..channel6 ("138.500", MHz, as text so no digit is lost to
//               floating point), threshold, audio_level, diversity, lna_supply
// Every key may be left out; what a command needs and lacks is its own error.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/outcome.h"

namespace tamlo::cli {

enum class FileFormat { Toml, Json };

struct ReceiverInfo {
    std::string port;
    std::string firmware;  // the version reply, as the receiver sent it
    int generation = 0;
    int32_t rssi = 0;
    std::string readAt;  // ISO 8601, UTC
};

struct SettingsFile {
    std::array<std::optional<std::string>, 6> channels;
    std::optional<int64_t> threshold;
    std::optional<int64_t> audioLevel;
    std::optional<bool> diversity;
    std::optional<bool> lnaSupply;
    std::optional<ReceiverInfo> receiver;  // ignored by write and apply

    // How many of the settings keys are present.
    int settingCount() const;
};

// The keys of the [settings] table, as a file spells them.
inline constexpr std::string_view kChannelKeys[6] = {"channel1", "channel2", "channel3",
                                                     "channel4", "channel5", "channel6"};
inline constexpr std::string_view kThresholdKey = "threshold";
inline constexpr std::string_view kAudioLevelKey = "audio_level";
inline constexpr std::string_view kDiversityKey = "diversity";
inline constexpr std::string_view kLnaSupplyKey = "lna_supply";

// One thing wrong with a file, worded for the user: "fleet.toml:7:12: settings.channel3 =
// "139.000": Invalid frequency". line and column are 0 where the format gives none.
struct FileError {
    std::string file;
    int64_t line = 0;
    int64_t column = 0;
    std::string message;
    std::string text() const;
};

struct FileParse {
    SettingsFile settings;
    std::vector<FileError> errors;  // empty: the whole file is valid
    bool ok() const { return errors.empty(); }
};

// Reads a file's text; fileName only names it in errors. Every value is checked with the
// window program's own rules and messages ("Invalid frequency", "Invalid Threshold value",
// "Invalid Audio Level") before anything can be sent.
FileParse parseSettingsToml(std::string_view text, const std::string& fileName);
FileParse parseSettingsJson(std::string_view text, const std::string& fileName);
// By the name's extension: ".json" is JSON, anything else TOML.
FileFormat formatOfName(std::string_view fileName);
FileParse parseSettings(std::string_view text, const std::string& fileName, FileFormat format);

// The window program's words for an outcome ("" for Ok), so that a user sees the same
// message from either program.
std::string outcomeText(Outcome outcome);

// The checks of one value alone; empty when it passes, else the window program's message.
std::string checkChannelText(std::string_view text);
std::string checkThreshold(int64_t value);
std::string checkAudioLevel(int64_t value);

std::string writeSettingsToml(const SettingsFile& file);
std::string writeSettingsJson(const SettingsFile& file);

// The receiver's bytes are 8-bit; files are UTF-8, so every byte is taken as Latin-1.
std::string latin1ToUtf8(std::string_view bytes);
std::string utf8ToLatin1(std::string_view text);

}  // namespace tamlo::cli
