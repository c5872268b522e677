#include "cli/settings_file.h"

#include <algorithm>
#include <limits>
#include <sstream>

// Parse failures come back as values, not exceptions.
#define TOML_EXCEPTIONS 0
#include <toml++/toml.h>

#include "cli/toml_guard.h"

#include <nlohmann/json.hpp>

#include "protocol/settings.h"
#include "protocol/write_settings.h"
#include "text/conversions.h"

namespace tamlo::cli {

namespace {

constexpr std::string_view kSettingsTable = "settings";
constexpr std::string_view kReceiverTable = "receiver";

// What every parse collects, whatever the format.
struct Collector {
    std::string file;
    FileParse result;

    void error(int64_t line, int64_t column, std::string message) {
        result.errors.push_back({file, line, column, std::move(message)});
    }
};

std::string inQuotes(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

std::string wrongType(std::string_view key, std::string_view expected, std::string_view found) {
    return "settings." + std::string(key) + ": wrong type: expected " + std::string(expected) +
           ", found " + std::string(found);
}

int channelIndexOf(std::string_view key) {
    for (int n = 0; n < 6; ++n) {
        if (key == kChannelKeys[n]) {
            return n;
        }
    }
    return -1;
}

// The [settings] keys and their checks, shared by both formats. Each setter gets the key, a
// value already of the right type, and where it stood.
void setChannel(Collector& c, int n, std::string text, int64_t line, int64_t column) {
    const std::string bytes = utf8ToLatin1(text);
    const std::string message = checkChannelText(bytes);
    if (!message.empty()) {
        c.error(
            line, column,
            "settings." + std::string(kChannelKeys[n]) + " = " + inQuotes(text) + ": " + message);
    }
    c.result.settings.channels[static_cast<size_t>(n)] = bytes;
}

void setInteger(Collector& c, std::string_view key, int64_t value, int64_t line, int64_t column) {
    const bool threshold = key == kThresholdKey;
    const std::string message = threshold ? checkThreshold(value) : checkAudioLevel(value);
    if (!message.empty()) {
        c.error(line, column,
                "settings." + std::string(key) + " = " + formatInteger(value) + ": " + message);
    }
    (threshold ? c.result.settings.threshold : c.result.settings.audioLevel) = value;
}

void setSwitch(Collector& c, std::string_view key, bool value) {
    (key == kDiversityKey ? c.result.settings.diversity : c.result.settings.lnaSupply) = value;
}

enum class KeyKind { Channel, Integer, Switch, Unknown };

KeyKind kindOf(std::string_view key) {
    if (channelIndexOf(key) >= 0) {
        return KeyKind::Channel;
    }
    if (key == kThresholdKey || key == kAudioLevelKey) {
        return KeyKind::Integer;
    }
    if (key == kDiversityKey || key == kLnaSupplyKey) {
        return KeyKind::Switch;
    }
    return KeyKind::Unknown;
}

std::string_view expectedOf(KeyKind kind) {
    switch (kind) {
        case KeyKind::Channel:
            return "a string such as \"138.500\"";
        case KeyKind::Integer:
            return "an integer";
        case KeyKind::Switch:
            return "true or false";
        case KeyKind::Unknown:
            break;
    }
    return "";
}

// ---- TOML ----

std::string_view tomlTypeName(toml::node_type type) {
    switch (type) {
        case toml::node_type::table:
            return "a table";
        case toml::node_type::array:
            return "an array";
        case toml::node_type::string:
            return "a string";
        case toml::node_type::integer:
            return "an integer";
        case toml::node_type::floating_point:
            return "a floating-point number";
        case toml::node_type::boolean:
            return "a boolean";
        default:
            return "a date or time";
    }
}

void readTomlSettings(Collector& c, const toml::table& table) {
    for (auto&& [key, node] : table) {
        const std::string_view name = key.str();
        const int64_t line = node.source().begin.line;
        const int64_t column = node.source().begin.column;
        const KeyKind kind = kindOf(name);
        if (kind == KeyKind::Unknown) {
            c.error(key.source().begin.line, key.source().begin.column,
                    "unknown key 'settings." + std::string(name) + "'");
            continue;
        }
        if (kind == KeyKind::Channel && node.is_string()) {
            setChannel(c, channelIndexOf(name), node.as_string()->get(), line, column);
        } else if (kind == KeyKind::Integer && node.is_integer()) {
            setInteger(c, name, node.as_integer()->get(), line, column);
        } else if (kind == KeyKind::Switch && node.is_boolean()) {
            setSwitch(c, name, node.as_boolean()->get());
        } else {
            c.error(line, column, wrongType(name, expectedOf(kind), tomlTypeName(node.type())));
        }
    }
}

// ---- JSON ----

using Json = nlohmann::json;

std::string_view jsonTypeName(const Json& value) {
    if (value.is_object()) {
        return "an object";
    }
    if (value.is_array()) {
        return "an array";
    }
    if (value.is_string()) {
        return "a string";
    }
    if (value.is_number_integer()) {
        return "an integer";
    }
    if (value.is_number()) {
        return "a floating-point number";
    }
    if (value.is_boolean()) {
        return "a boolean";
    }
    return "null";
}

// Line and column (from 1) of a byte offset, for a syntax error.
std::pair<int64_t, int64_t> lineAndColumn(std::string_view text, size_t offset) {
    int64_t line = 1;
    int64_t column = 1;
    for (size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return {line, column};
}

int64_t jsonInteger(const Json& value) {
    if (value.is_number_unsigned()) {
        const uint64_t u = value.get<uint64_t>();
        return u > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())
                   ? std::numeric_limits<int64_t>::max()
                   : static_cast<int64_t>(u);
    }
    return value.get<int64_t>();
}

void readJsonSettings(Collector& c, const Json& object) {
    for (auto it = object.begin(); it != object.end(); ++it) {
        const std::string& name = it.key();
        const Json& value = it.value();
        const KeyKind kind = kindOf(name);
        if (kind == KeyKind::Unknown) {
            c.error(0, 0, "unknown key 'settings." + name + "'");
        } else if (kind == KeyKind::Channel && value.is_string()) {
            setChannel(c, channelIndexOf(name), value.get<std::string>(), 0, 0);
        } else if (kind == KeyKind::Integer && value.is_number_integer()) {
            setInteger(c, name, jsonInteger(value), 0, 0);
        } else if (kind == KeyKind::Switch && value.is_boolean()) {
            setSwitch(c, name, value.get<bool>());
        } else {
            c.error(0, 0, wrongType(name, expectedOf(kind), jsonTypeName(value)));
        }
    }
}

// ---- writing ----

// A TOML basic string; bytes outside printable ASCII as escapes of their Latin-1 code.
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

}  // namespace

int SettingsFile::settingCount() const {
    int count = 0;
    for (const auto& channel : channels) {
        count += channel.has_value();
    }
    return count + threshold.has_value() + audioLevel.has_value() + diversity.has_value() +
           lnaSupply.has_value();
}

std::string FileError::text() const {
    std::string out = file;
    if (line > 0) {
        out += ":" + formatInteger(line) + ":" + formatInteger(column);
    }
    return out + ": " + message;
}

std::string outcomeText(Outcome outcome) {
    switch (outcome) {
        case Outcome::Ok:
            return "";
        case Outcome::ShortReply:
            return "Communication Error";
        case Outcome::InvalidFrequency:
            return "Invalid frequency";
        case Outcome::InvalidThreshold:
            return "Invalid Threshold value";
        case Outcome::InvalidAudioLevel:
            return "Invalid Audio Level";
    }
    return "";
}

std::string checkChannelText(std::string_view text) {
    return channelPasses(text, storeChannelCode(text)) ? std::string()
                                                       : outcomeText(Outcome::InvalidFrequency);
}

std::string checkThreshold(int64_t value) {
    // The window has no lower bound (T-5 goes out); a value its 32-bit field cannot hold is
    // refused rather than cut to its low bits.
    return !thresholdInRange(value) || value < std::numeric_limits<int32_t>::min()
               ? outcomeText(Outcome::InvalidThreshold)
               : std::string();
}

std::string checkAudioLevel(int64_t value) {
    return audioLevelInRange(value) ? std::string() : outcomeText(Outcome::InvalidAudioLevel);
}

FileParse parseSettingsToml(std::string_view text, const std::string& fileName) {
    Collector c{fileName, {}};
    if (const auto unsafe = firstUnsafeTomlCharacter(text)) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        std::string code;
        for (int shift = unsafe->codePoint > 0xFFFF ? 20 : 12; shift >= 0; shift -= 4) {
            code += kHex[(unsafe->codePoint >> shift) & 0xF];
        }
        c.error(unsafe->line, unsafe->column,
                "the character U+" + code +
                    " is not accepted here; inside a string write it as \\u" + code);
        return std::move(c.result);
    }
    toml::parse_result parsed = toml::parse(text, fileName);
    if (!parsed) {
        const toml::parse_error& error = parsed.error();
        c.error(error.source().begin.line, error.source().begin.column,
                "syntax error: " + std::string(error.description()));
        return std::move(c.result);
    }
    const toml::table& root = parsed.table();
    for (auto&& [key, node] : root) {
        const std::string_view name = key.str();
        const int64_t line = key.source().begin.line;
        const int64_t column = key.source().begin.column;
        if (name != kSettingsTable && name != kReceiverTable) {
            c.error(line, column, "unknown key '" + std::string(name) + "'");
        } else if (!node.is_table()) {
            c.error(line, column,
                    std::string(name) + ": wrong type: expected a table, found " +
                        std::string(tomlTypeName(node.type())));
        } else if (name == kSettingsTable) {
            readTomlSettings(c, *node.as_table());
        }
    }
    // The library keeps a table's keys sorted by name; errors go in the file's order.
    std::stable_sort(c.result.errors.begin(), c.result.errors.end(),
                     [](const FileError& a, const FileError& b) {
                         return std::pair(a.line, a.column) < std::pair(b.line, b.column);
                     });
    return std::move(c.result);
}

FileParse parseSettingsJson(std::string_view text, const std::string& fileName) {
    Collector c{fileName, {}};
    Json root;
    try {
        root = Json::parse(text.begin(), text.end());
    } catch (const Json::parse_error& error) {
        // The library counts the offending byte from 1.
        const auto [line, column] = lineAndColumn(text, error.byte > 0 ? error.byte - 1 : 0);
        std::string what = error.what();
        const size_t colon = what.find("syntax error");
        c.error(line, column, colon == std::string::npos ? what : what.substr(colon));
        return std::move(c.result);
    } catch (const Json::exception& error) {
        // Not a syntax error but still no document: a number beyond a double's range
        // ("1e999") and the like. Uncaught, it would end the program.
        const std::string what = error.what();
        const size_t bracket = what.find("] ");
        c.error(0, 0, bracket == std::string::npos ? what : what.substr(bracket + 2));
        return std::move(c.result);
    }
    if (!root.is_object()) {
        c.error(0, 0, "wrong type: expected an object, found " + std::string(jsonTypeName(root)));
        return std::move(c.result);
    }
    for (auto it = root.begin(); it != root.end(); ++it) {
        const std::string& name = it.key();
        if (name != kSettingsTable && name != kReceiverTable) {
            c.error(0, 0, "unknown key '" + name + "'");
        } else if (!it.value().is_object()) {
            c.error(0, 0,
                    name + ": wrong type: expected an object, found " +
                        std::string(jsonTypeName(it.value())));
        } else if (name == kSettingsTable) {
            readJsonSettings(c, it.value());
        }
    }
    return std::move(c.result);
}

FileFormat formatOfName(std::string_view fileName) {
    constexpr std::string_view kJson = ".json";
    return fileName.size() >= kJson.size() &&
                   fileName.substr(fileName.size() - kJson.size()) == kJson
               ? FileFormat::Json
               : FileFormat::Toml;
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
    for (size_t n = 0; n < 6; ++n) {
        if (file.channels[n]) {
            out << kChannelKeys[n] << " = " << tomlString(*file.channels[n]) << "  # MHz\n";
        }
    }
    if (file.threshold) {
        out << kThresholdKey << " = " << *file.threshold << "\n";
    }
    if (file.audioLevel) {
        out << kAudioLevelKey << " = " << *file.audioLevel << "  # 0 to 31\n";
    }
    if (file.diversity) {
        out << kDiversityKey << " = " << (*file.diversity ? "true" : "false") << "\n";
    }
    if (file.lnaSupply) {
        out << kLnaSupplyKey << " = " << (*file.lnaSupply ? "true" : "false") << "\n";
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
    for (size_t n = 0; n < 6; ++n) {
        if (file.channels[n]) {
            settings[std::string(kChannelKeys[n])] = latin1ToUtf8(*file.channels[n]);
        }
    }
    if (file.threshold) {
        settings[std::string(kThresholdKey)] = *file.threshold;
    }
    if (file.audioLevel) {
        settings[std::string(kAudioLevelKey)] = *file.audioLevel;
    }
    if (file.diversity) {
        settings[std::string(kDiversityKey)] = *file.diversity;
    }
    if (file.lnaSupply) {
        settings[std::string(kLnaSupplyKey)] = *file.lnaSupply;
    }
    root["settings"] = settings;
    return root.dump(2) + "\n";
}

std::string latin1ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

std::string utf8ToLatin1(std::string_view text) {
    // Two-byte sequences up to U+00FF become their byte; anything wider cannot be a
    // receiver's byte and becomes '?', which no check lets through.
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            out += text[i];
        } else if ((byte == 0xC2 || byte == 0xC3) && i + 1 < text.size()) {
            out += static_cast<char>(((byte & 0x03) << 6) |
                                     (static_cast<unsigned char>(text[i + 1]) & 0x3F));
            ++i;
        } else {
            out += '?';
            while (i + 1 < text.size() &&
                   (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
                ++i;
            }
        }
    }
    return out;
}

}  // namespace tamlo::cli
