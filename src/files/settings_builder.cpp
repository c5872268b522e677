#include "files/settings_builder.h"

#include <algorithm>
#include <array>

#include "text/conversions.h"
#include "text/latin1.h"

namespace tamlo {

namespace {

std::string quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

std::string didYouMean(std::optional<std::string_view> nearest) {
    return nearest ? " (did you mean " + std::string(*nearest) + "?)" : "";
}

std::string settingName(std::string_view key) {
    return std::string(kSettingsTable) + "." + std::string(key);
}

}  // namespace

Place placeOf(std::string_view text, size_t offset) {
    Place place{1, 1};
    for (size_t i = 0; i < offset && i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\n') {
            ++place.line;
            place.column = 1;
        } else if ((byte & 0xC0) != 0x80) {
            ++place.column;
        }
    }
    return place;
}

void SettingsBuilder::error(Place place, std::string message) {
    result_.errors.push_back({file_, place.line, place.column, std::move(message)});
}

SettingsBuilder::Table SettingsBuilder::topKey(std::string_view name, Place place) {
    if (name == kSettingsTable) {
        return Table::Settings;
    }
    if (name == kSourceTable || name == kReceiverTable) {
        sourceTable_ = name == kSourceTable ? kSourceTable : kReceiverTable;
        if (!result_.settings.source) {
            result_.settings.source.emplace();
        }
        return Table::Source;
    }
    if (findSettingKey(name) != nullptr) {
        error(place, "'" + std::string(name) + "' is a setting: it belongs in the [" +
                         std::string(kSettingsTable) + "] table");
        return Table::None;
    }
    static constexpr std::array<std::string_view, 2> kTables{kSettingsTable, kSourceTable};
    error(place,
          "unknown key '" + std::string(name) + "'" + didYouMean(nearestName(name, kTables)));
    return Table::None;
}

void SettingsBuilder::notATable(std::string_view name, std::string_view found, Place place) {
    error(place, std::string(name) + ": wrong type: expected a table, found " + std::string(found));
}

void SettingsBuilder::sourceKey(std::string_view name, Place place) {
    // [source] only records where a file came from; a setting there would silently not be
    // written.
    if (findSettingKey(name) != nullptr) {
        error(place, "'" + std::string(name) + "' is a setting: it belongs in the [" +
                         std::string(kSettingsTable) + "] table, not [" +
                         std::string(sourceTable_) + "]");
    }
}

void SettingsBuilder::sourceText(std::string_view name, std::string_view value) {
    SourceInfo& source = *result_.settings.source;
    std::string* field = name == "port"         ? &source.port
                         : name == "device"     ? &source.device
                         : name == "by_id"      ? &source.byId
                         : name == "usb_serial" ? &source.usbSerial
                         : name == "firmware"   ? &source.firmware
                         : name == "read_at"    ? &source.readAt
                                                : nullptr;
    if (field != nullptr) {
        *field = std::string(value);  // names and paths: the system's own bytes
    }
}

void SettingsBuilder::sourceInteger(std::string_view name, int64_t value) {
    SourceInfo& source = *result_.settings.source;
    if (name == "generation" && value >= 1 && value <= 3) {
        source.generation = static_cast<int>(value);
    } else if (name == "rssi") {
        source.rssi = value;
    }
}

const SettingKey* SettingsBuilder::settingsKey(std::string_view name, Place place) {
    const SettingKey* key = findSettingKey(name);
    if (key == nullptr) {
        error(place,
              "unknown key '" + settingName(name) + "'" + didYouMean(nearestSettingKey(name)));
    }
    return key;
}

void SettingsBuilder::text(const SettingKey& key, std::string_view value, Place place) {
    if (key.kind != KeyKind::Channel) {
        wrongType(key, "a string", place);
        return;
    }
    // The text as the user wrote it goes into the message; the receiver never sees it.
    const std::string problem = channelProblem(utf8ToLatin1(value));
    if (!problem.empty()) {
        error(place, settingName(key.name) + " = " + quoted(value) + ": " + problem);
        return;
    }
    result_.settings.channelCodes[static_cast<size_t>(key.channel - 1)] =
        channelCodeOfText(utf8ToLatin1(value));
}

void SettingsBuilder::integer(const SettingKey& key, int64_t value, Place place) {
    std::string problem;
    if (key.kind == KeyKind::Threshold) {
        problem = thresholdProblem(value);
        if (problem.empty()) {
            result_.settings.threshold = value;
        }
    } else if (key.kind == KeyKind::AudioLevel) {
        problem = audioLevelProblem(value);
        if (problem.empty()) {
            result_.settings.audioLevel = value;
        }
    } else {
        wrongType(key, "an integer", place);
        return;
    }
    if (!problem.empty()) {
        error(place, settingName(key.name) + " = " + formatInteger(value) + ": " + problem);
    }
}

void SettingsBuilder::boolean(const SettingKey& key, bool value, Place place) {
    if (key.kind != KeyKind::Switch) {
        wrongType(key, "a boolean", place);
        return;
    }
    (key.name == "diversity" ? result_.settings.diversity : result_.settings.lnaSupply) = value;
}

void SettingsBuilder::wrongType(const SettingKey& key, std::string_view found, Place place) {
    error(place, settingName(key.name) + ": wrong type: expected " +
                     std::string(expectedType(key.kind)) + ", found " + std::string(found));
}

FileParse SettingsBuilder::finish() {
    // A reader may meet keys out of the file's order (the TOML library keeps a table's keys
    // sorted by name); errors go in the file's order.
    std::stable_sort(result_.errors.begin(), result_.errors.end(),
                     [](const FileError& a, const FileError& b) {
                         return std::pair(a.line, a.column) < std::pair(b.line, b.column);
                     });
    return std::move(result_);
}

bool refuseNulBytes(std::string_view text, SettingsBuilder& builder) {
    const size_t nul = text.find('\0');
    if (nul == std::string_view::npos) {
        return false;
    }
    builder.error(placeOf(text, nul), "a NUL byte: a settings file is text");
    return true;
}

}  // namespace tamlo
