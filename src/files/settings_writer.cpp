// Writing a settings file, and what both formats share.
#include <optional>
#include <sstream>
#include <vector>

#include <nlohmann/json.hpp>

#include "files/setting_keys.h"
#include "files/settings_file.h"
#include "text/conversions.h"
#include "text/latin1.h"

namespace tamlo {

namespace {

// A TOML basic string: UTF-8 characters as they are (TOML files are UTF-8), control
// characters and every byte that is not part of a UTF-8 character as escapes of their
// Latin-1 code, so that the file holds only characters every reader takes.
std::string tomlString(std::string_view bytes) {
    std::string out = "\"";
    for (size_t i = 0; i < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        const size_t length = utf8CharacterLength(bytes, i);
        // U+0080 to U+009F are controls too.
        const bool c1Control =
            length == 2 && byte == 0xC2 && static_cast<unsigned char>(bytes[i + 1]) < 0xA0;
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += bytes[i];
        } else if (byte < 0x20 || byte == 0x7f || length == 0 || c1Control) {
            const auto code = c1Control ? static_cast<unsigned char>(bytes[i + 1]) : byte;
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\u00";
            out += kHex[code >> 4];
            out += kHex[code & 15];
            i += c1Control ? 2 : 1;
            continue;
        } else {
            out.append(bytes.substr(i, length));
            i += length;
            continue;
        }
        ++i;
    }
    return out + "\"";
}

// The [source] record in the order files hold it; what is not known is left out.
struct SourceEntry {
    std::string_view key;
    std::string text;
    std::optional<int64_t> number;
};

std::vector<SourceEntry> sourceEntries(const SourceInfo& r) {
    std::vector<SourceEntry> entries;
    for (const auto& [key, text] : {std::pair<std::string_view, const std::string&>{"port", r.port},
                                    {"device", r.device},
                                    {"by_id", r.byId},
                                    {"usb_serial", r.usbSerial},
                                    {"firmware", r.firmware}}) {
        if (!text.empty()) {
            entries.push_back({key, text, std::nullopt});
        }
    }
    if (r.generation != 0) {
        entries.push_back({"generation", {}, r.generation});
    }
    if (r.rssi) {
        entries.push_back({"rssi", {}, *r.rssi});
    }
    if (!r.readAt.empty()) {
        entries.push_back({"read_at", r.readAt, std::nullopt});
    }
    return entries;
}

}  // namespace

std::vector<SettingValue> settingValues(const SettingsFile& file) {
    std::vector<SettingValue> values;
    for (const SettingKey& key : settingKeys()) {
        std::string text;
        switch (key.kind) {
            case KeyKind::Channel:
                if (const auto& code = file.channelCodes[static_cast<size_t>(key.channel - 1)]) {
                    text = channelCodeText(*code);
                }
                break;
            case KeyKind::Threshold:
            case KeyKind::AudioLevel:
                if (const auto& n =
                        key.kind == KeyKind::Threshold ? file.threshold : file.audioLevel) {
                    text = formatInteger(*n);
                }
                break;
            case KeyKind::Switch:
                if (const auto& on = key.name == "diversity" ? file.diversity : file.lnaSupply) {
                    text = *on ? "true" : "false";
                }
                break;
        }
        if (!text.empty()) {
            values.push_back({key.name, key.kind, std::move(text)});
        }
    }
    return values;
}

static nlohmann::ordered_json settingsJson(const SettingsFile& file) {
    nlohmann::ordered_json settings = nlohmann::ordered_json::object();
    for (const SettingValue& value : settingValues(file)) {
        const std::string key(value.key);
        if (value.kind == KeyKind::Channel) {
            settings[key] = value.text;
        } else if (value.kind == KeyKind::Switch) {
            settings[key] = value.text == "true";
        } else {
            settings[key] = parseInteger(value.text);
        }
    }
    return settings;
}

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
           "# table; [source] only says where and when they were read.\n";
    if (file.source) {
        out << "\n[" << kSourceTable << "]\n";
        for (const SourceEntry& entry : sourceEntries(*file.source)) {
            out << entry.key << " = "
                << (entry.number ? std::to_string(*entry.number) : tomlString(entry.text)) << "\n";
        }
    }
    out << "\n[settings]\n";
    for (const SettingValue& value : settingValues(file)) {
        out << value.key << " = "
            << (value.kind == KeyKind::Channel ? tomlString(value.text) : value.text)
            << (value.kind == KeyKind::Channel      ? "  # MHz"
                : value.kind == KeyKind::AudioLevel ? "  # 0 to 31"
                                                    : "")
            << "\n";
    }
    return out.str();
}

std::string writeSettingsJson(const SettingsFile& file) {
    nlohmann::ordered_json root = nlohmann::ordered_json::object();
    if (file.source) {
        nlohmann::ordered_json source = nlohmann::ordered_json::object();
        for (const SourceEntry& entry : sourceEntries(*file.source)) {
            source[std::string(entry.key)] = entry.number
                                                 ? nlohmann::ordered_json(*entry.number)
                                                 : nlohmann::ordered_json(bytesAsUtf8(entry.text));
        }
        root[std::string(kSourceTable)] = source;
    }
    root["settings"] = settingsJson(file);
    return root.dump(2) + "\n";
}

std::string writeSettings(const SettingsFile& file, FileFormat format) {
    return format == FileFormat::Json ? writeSettingsJson(file) : writeSettingsToml(file);
}

}  // namespace tamlo
