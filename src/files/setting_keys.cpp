#include "files/setting_keys.h"

#include <algorithm>
#include <array>
#include <vector>

#include "protocol/outcome.h"
#include "text/conversions.h"

namespace tamlo {

namespace {

constexpr std::array<SettingKey, 10> kKeys{{
    {"channel1", KeyKind::Channel, 1},
    {"channel2", KeyKind::Channel, 2},
    {"channel3", KeyKind::Channel, 3},
    {"channel4", KeyKind::Channel, 4},
    {"channel5", KeyKind::Channel, 5},
    {"channel6", KeyKind::Channel, 6},
    {"threshold", KeyKind::Threshold},
    {"audio_level", KeyKind::AudioLevel},
    {"diversity", KeyKind::Switch},
    {"lna_supply", KeyKind::Switch},
}};

constexpr int kMaxDecimals = 3;
// More integer digits than this cannot be a channel; it also keeps the sum in range.
constexpr size_t kMaxIntegerDigits = 9;

size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view withoutUnit(std::string_view text) {
    for (const std::string_view unit : {std::string_view(" MHz"), std::string_view("MHz")}) {
        if (text.size() > unit.size() && text.ends_with(unit)) {
            return text.substr(0, text.size() - unit.size());
        }
    }
    return text;
}

// The values that one generation or another takes (an empty range counts for none).
template <typename Field>
IntegerRange unionOfGenerations(Field field) {
    std::optional<IntegerRange> all;
    for (const GenerationTraits& traits : allGenerationTraits()) {
        const IntegerRange own = field(traits);
        if (own.low > own.high) {
            continue;
        }
        all = all ? IntegerRange{std::min(all->low, own.low), std::max(all->high, own.high)} : own;
    }
    return all.value_or(IntegerRange{0, -1});
}

}  // namespace

std::span<const SettingKey> settingKeys() {
    return kKeys;
}

const SettingKey* findSettingKey(std::string_view name) {
    for (const SettingKey& key : kKeys) {
        if (key.name == name) {
            return &key;
        }
    }
    return nullptr;
}

std::optional<std::string_view> nearestName(std::string_view name,
                                            std::span<const std::string_view> known) {
    // Two edits at most, and only one name that near: "chanel" is as near to channel1 as to
    // channel2, and a guess between them would mislead.
    constexpr size_t kMaxEdits = 2;
    std::optional<std::string_view> best;
    size_t bestDistance = kMaxEdits + 1;
    bool tied = false;
    for (const std::string_view candidate : known) {
        const size_t distance = editDistance(name, candidate);
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
            tied = false;
        } else if (distance == bestDistance) {
            tied = true;
        }
    }
    if (!best || tied || bestDistance >= name.size()) {
        return std::nullopt;
    }
    return best;
}

std::optional<std::string_view> nearestSettingKey(std::string_view name) {
    std::array<std::string_view, kKeys.size()> names;
    std::transform(kKeys.begin(), kKeys.end(), names.begin(),
                   [](const SettingKey& key) { return key.name; });
    return nearestName(name, names);
}

std::optional<int32_t> channelCodeOfText(std::string_view text) {
    const std::string_view number = withoutUnit(text);
    size_t i = 0;
    int64_t khz = 0;
    while (i < number.size() && isDigit(number[i])) {
        if (i >= kMaxIntegerDigits) {
            return std::nullopt;
        }
        khz = khz * 10 + (number[i] - '0');
        ++i;
    }
    if (i == 0) {
        return std::nullopt;
    }
    khz *= 1000;
    if (i < number.size() && number[i] == '.') {
        ++i;
        int64_t weight = 100;
        for (int decimals = 0; i < number.size() && isDigit(number[i]); ++decimals, ++i) {
            if (decimals == kMaxDecimals) {
                return std::nullopt;
            }
            khz += (number[i] - '0') * weight;
            weight /= 10;
        }
    }
    if (i != number.size()) {
        return std::nullopt;
    }
    const int64_t code = khz - kChannelBaseKhz;
    if (!kChannelCodes.holds(code)) {
        return std::nullopt;
    }
    return static_cast<int32_t>(code);
}

IntegerRange thresholdRange() {
    return unionOfGenerations([](const GenerationTraits& t) { return t.thresholdReadBack; });
}

IntegerRange audioLevelRange() {
    return unionOfGenerations([](const GenerationTraits& t) { return t.audioLevels; });
}

std::string channelProblem(std::string_view text) {
    if (channelCodeOfText(text)) {
        return {};
    }
    return std::string(outcomeText(Outcome::InvalidFrequency)) + ": expected " +
           channelCodeText(kChannelCodes.low) + " to " + channelCodeText(kChannelCodes.high) +
           " MHz, as digits with at most three decimals (\"138.500\" or \"138.500 MHz\")";
}

std::string thresholdProblem(int64_t value) {
    const IntegerRange range = thresholdRange();
    if (range.holds(value)) {
        return {};
    }
    const IntegerRange& byte = generationTraits(3).thresholdReadBack;
    return std::string(outcomeText(Outcome::InvalidThreshold)) + ": expected " +
           formatInteger(range.low) + " to " + formatInteger(range.high) + " (" +
           formatInteger(byte.low) + " to " + formatInteger(byte.high) +
           " on firmware 2.00 and newer)";
}

std::string audioLevelProblem(int64_t value) {
    const IntegerRange range = audioLevelRange();
    if (range.holds(value)) {
        return {};
    }
    return std::string(outcomeText(Outcome::InvalidAudioLevel)) + ": expected " +
           formatInteger(range.low) + " to " + formatInteger(range.high);
}

std::string_view expectedType(KeyKind kind) {
    switch (kind) {
        case KeyKind::Channel:
            return "a string such as \"138.500\"";
        case KeyKind::Threshold:
        case KeyKind::AudioLevel:
            return "a whole number";
        case KeyKind::Switch:
            return "true or false";
    }
    return "";
}

}  // namespace tamlo
