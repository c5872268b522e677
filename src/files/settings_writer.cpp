// Writing a settings file, and what both formats share.
#include <sstream>

#include <nlohmann/json.hpp>

#include "files/setting_keys.h"
#include "files/settings_file.h"
#include "text/conversions.h"
#include "text/latin1.h"

namespace tamlo {

namespace {

// A TOML basic string; bytes outside printable ASCII as escapes of their Latin-1 code, so
// that the file holds only characters every reader takes.
std::string tomlString(std::string_view bytes) {
    std::string out = "\"";
    for (const char ch : bytes) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += ch;
        } else if (byte < 0x20 || byte >= 0x7f) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

std::string_view keyName(int index) {
    return settingKeys()[static_cast<size_t>(index)].name;
}

constexpr int kThresholdIndex = 6;
constexpr int kAudioLevelIndex = 7;
constexpr int kDiversityIndex = 8;
constexpr int kLnaSupplyIndex = 9;

}  // namespace

int SettingsFile::settingCount() const {
    int count = 0;
    for (const auto& channel : channelCodes) {
        count += channel.has_value();
    }
    return count + threshold.has_value() + audioLevel.has_value() + diversity.has_value() +
           lnaSupply.has_value();
}

bool SettingsFile::sameSettings(const SettingsFile& other) const {
    return channelCodes == other.channelCodes && threshold == other.threshold &&
           audioLevel == other.audioLevel && diversity == other.diversity &&
           lnaSupply == other.lnaSupply;
}

std::string FileError::text() const {
    std::string out = file;
    if (line > 0) {
        out += ":" + formatInteger(line) + ":" + formatInteger(column);
    }
    return out + ": " + message;
}

FileFormat formatOfName(std::string_view fileName) {
    return fileName.ends_with(".json") ? FileFormat::Json : FileFormat::Toml;
}

FileParse parseSettings(std::string_view text, const std::string& fileName, FileFormat format) {
    return format == FileFormat::Json ? parseSettingsJson(text, fileName)
                                      : parseSettingsToml(text, fileName);
}

std::string writeSettingsToml(const SettingsFile& file) {
    std::ostringstream out;
    out << "# TamloX receiver settings. `tamlo write` and `tamlo apply` send the [settings]\n"
           "# table; [receiver] only says where and when they were read.\n";
    if (file.receiver) {
        const ReceiverInfo& r = *file.receiver;
        out << "\n[receiver]\n";
        out << "port = " << tomlString(r.port) << "\n";
        out << "firmware = " << tomlString(r.firmware) << "\n";
        out << "generation = " << r.generation << "\n";
        out << "rssi = " << r.rssi << "\n";
        out << "read_at = " << tomlString(r.readAt) << "\n";
    }
    out << "\n[settings]\n";
    for (int n = 0; n < 6; ++n) {
        if (const auto& code = file.channelCodes[static_cast<size_t>(n)]) {
            out << keyName(n) << " = " << tomlString(channelCodeText(*code)) << "  # MHz\n";
        }
    }
    if (file.threshold) {
        out << keyName(kThresholdIndex) << " = " << *file.threshold << "\n";
    }
    if (file.audioLevel) {
        out << keyName(kAudioLevelIndex) << " = " << *file.audioLevel << "  # 0 to 31\n";
    }
    if (file.diversity) {
        out << keyName(kDiversityIndex) << " = " << (*file.diversity ? "true" : "false") << "\n";
    }
    if (file.lnaSupply) {
        out << keyName(kLnaSupplyIndex) << " = " << (*file.lnaSupply ? "true" : "false") << "\n";
    }
    return out.str();
}

std::string writeSettingsJson(const SettingsFile& file) {
    nlohmann::ordered_json root = nlohmann::ordered_json::object();
    if (file.receiver) {
        const ReceiverInfo& r = *file.receiver;
        root["receiver"] = {{"port", latin1ToUtf8(r.port)},
                            {"firmware", latin1ToUtf8(r.firmware)},
                            {"generation", r.generation},
                            {"rssi", r.rssi},
                            {"read_at", r.readAt}};
    }
    nlohmann::ordered_json settings = nlohmann::ordered_json::object();
    for (int n = 0; n < 6; ++n) {
        if (const auto& code = file.channelCodes[static_cast<size_t>(n)]) {
            settings[std::string(keyName(n))] = channelCodeText(*code);
        }
    }
    if (file.threshold) {
        settings[std::string(keyName(kThresholdIndex))] = *file.threshold;
    }
    if (file.audioLevel) {
        settings[std::string(keyName(kAudioLevelIndex))] = *file.audioLevel;
    }
    if (file.diversity) {
        settings[std::string(keyName(kDiversityIndex))] = *file.diversity;
    }
    if (file.lnaSupply) {
        settings[std::string(keyName(kLnaSupplyIndex))] = *file.lnaSupply;
    }
    root["settings"] = settings;
    return root.dump(2) + "\n";
}

std::string writeSettings(const SettingsFile& file, FileFormat format) {
    return format == FileFormat::Json ? writeSettingsJson(file) : writeSettingsToml(file);
}

}  // namespace tamlo
