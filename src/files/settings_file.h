// A receiver's settings as a file: what `tamlo read` writes and `write` and `apply` take.
//
// TOML by default, JSON on request, the same two tables in both:
//   [source]    where and when the settings were read (port, device, by_id, usb_serial,
//               firmware, generation, rssi, read_at); never written to a receiver. Earlier
//               versions called it [receiver], which is still read.
//   [settings]  channel1..channel6 ("138.500", MHz, as text so no digit is lost to
//               floating point), threshold, audio_level, diversity, lna_supply
// Every key may be left out; what a command needs and lacks is its own error. A value is
// taken exactly as written or refused: a typo must never become another frequency.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/setting_keys.h"

namespace tamlo {

enum class FileFormat { Toml, Json };

// Files are small: anything larger is not a settings file, and is refused before it is read
// (a device such as /dev/zero would otherwise be read for ever).
inline constexpr int64_t kMaxSettingsFileBytes = 64 * 1024;

// Where a backup came from, so that it goes back to the same receiver: a USB adapter's
// device name changes from plug to plug, its serial number does not. Empty: not known.
struct SourceInfo {
    std::string port;       // as the port was named: "mast-north", "/dev/ttyUSB0"
    std::string device;     // the device behind the name, where it differs
    std::string byId;       // its /dev/serial/by-id link
    std::string usbSerial;  // the USB adapter's serial number
    std::string firmware;   // the version reply, as the receiver sent it
    int generation = 0;
    std::optional<int64_t> rssi;
    std::string readAt;  // ISO 8601, UTC
};

struct SettingsFile {
    // In 1 kHz steps above 130 MHz, as a STORE writes them: 138.500 MHz is 8500.
    std::array<std::optional<int32_t>, 6> channelCodes;
    std::optional<int64_t> threshold;
    std::optional<int64_t> audioLevel;
    std::optional<bool> diversity;
    std::optional<bool> lnaSupply;
    std::optional<SourceInfo> source;  // never sent to a receiver

    // How many of the settings keys are present.
    int settingCount() const;
    bool sameSettings(const SettingsFile& other) const;
};

// One thing wrong with a file, worded for the user: "fleet.toml:7:12: settings.channel3 =
// "139.000": Invalid frequency ...". line and column are 0 where there are none.
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

// Reads a file's text; fileName only names it in errors. Every value is checked before
// anything can be sent.
FileParse parseSettingsToml(std::string_view text, const std::string& fileName);
FileParse parseSettingsJson(std::string_view text, const std::string& fileName);
// By the name's extension: ".json" is JSON, anything else TOML.
FileFormat formatOfName(std::string_view fileName);
FileParse parseSettings(std::string_view text, const std::string& fileName, FileFormat format);
// KEY=VALUE words ("channel3=136.750", "threshold=-5", "diversity=on"), with the keys and
// the checks of a file; origin names them in errors.
FileParse parseAssignments(const std::vector<std::string>& words, const std::string& origin);

// Each setting a file holds, in the order files hold them, with its value as text:
// "138.500", "45", "true".
struct SettingValue {
    std::string_view key;
    KeyKind kind;
    std::string text;
};
std::vector<SettingValue> settingValues(const SettingsFile& file);

std::string writeSettingsToml(const SettingsFile& file);
std::string writeSettingsJson(const SettingsFile& file);
std::string writeSettings(const SettingsFile& file, FileFormat format);

}  // namespace tamlo
