// Settings given as KEY=VALUE words on a command line (`tamlo set`): the keys and checks of a
// settings file, and each value taken exactly or refused, as a file's would be.
#include <charconv>

#include "files/settings_builder.h"
#include "files/settings_file.h"

namespace tamlo {

namespace {

std::optional<int64_t> wholeNumber(std::string_view text) {
    int64_t value = 0;
    const char* begin = text.data() + (text.starts_with('+') ? 1 : 0);
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (begin == end || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

std::optional<bool> switchValue(std::string_view text) {
    if (text == "true" || text == "on") {
        return true;
    }
    if (text == "false" || text == "off") {
        return false;
    }
    return std::nullopt;
}

}  // namespace

FileParse parseAssignments(const std::vector<std::string>& words, const std::string& origin) {
    SettingsBuilder builder(origin);
    for (const std::string& word : words) {
        const size_t equals = word.find('=');
        if (equals == std::string::npos || equals == 0) {
            builder.error({}, "'" + word + "': give KEY=VALUE, such as threshold=50");
            continue;
        }
        const SettingKey* key = builder.settingsKey(word.substr(0, equals), {});
        if (key == nullptr) {
            continue;
        }
        const std::string value = word.substr(equals + 1);
        const std::string found = "'" + value + "'";
        switch (key->kind) {
            case KeyKind::Channel:
                builder.text(*key, value, {});
                break;
            case KeyKind::Threshold:
            case KeyKind::AudioLevel:
                if (const auto number = wholeNumber(value)) {
                    builder.integer(*key, *number, {});
                } else {
                    builder.wrongType(*key, found, {});
                }
                break;
            case KeyKind::Switch:
                if (const auto on = switchValue(value)) {
                    builder.boolean(*key, *on, {});
                } else {
                    builder.wrongType(*key, found + " (on and off are taken too)", {});
                }
                break;
        }
    }
    return builder.finish();
}

}  // namespace tamlo
