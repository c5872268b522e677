// What a read can show of the values a STORE sent. Nothing acknowledges a write, so a read
// afterwards is the only proof that it arrived; but each generation reports its settings in
// its own narrow fields, and a value sent is judged against what those fields can hold:
//   channels   in 10 kHz steps; a receiver may truncate or round the odd kilohertz
//   threshold  generation 3: one hex byte (-5 comes back as 251); generations 1 and 2: the
//              first six characters of the text block's field (-100000 comes back as -10000)
//   audio level, diversity, LNA supply: only where the accepted hex block reached them
// The window's STORE check, `tamlo write`'s verification and `apply`'s comparison all ask
// this one rule.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "protocol/generation.h"
#include "protocol/read_settings.h"
#include "protocol/settings.h"
#include "protocol/write_settings.h"

namespace tamlo {

// The values a STORE sends, as numbers; absent: not sent, so not compared.
struct SentSettings {
    std::array<std::optional<int32_t>, 6> channelCodes;  // 1 kHz steps above 130 MHz
    std::optional<int32_t> threshold;
    std::optional<int32_t> audioLevel;
    std::optional<bool> diversity;
    std::optional<bool> lnaSupply;
};

enum class SettingField {
    Channel1,
    Channel2,
    Channel3,
    Channel4,
    Channel5,
    Channel6,
    Threshold,
    AudioLevel,
    Diversity,
    LnaSupply,
};
inline SettingField channelField(int n) {
    return static_cast<SettingField>(n - 1);
}

// What a STORE of this request sends to this generation: the one answer to "what was sent"
// for the window's check, `tamlo write`'s verification and `apply`'s comparison.
SentSettings sentByStore(const GenerationTraits& traits, const StoreRequest& request);

// Whether a channel sent as channelCode may read back as channelFreq: the 10 kHz step at or
// below it, or the one at or above it.
bool channelReadsBackAs(int32_t channelCode, int32_t channelFreq);
// The threshold as the generation's block reports a threshold that was sent.
int32_t thresholdReadBack(const GenerationTraits& traits, int32_t sent);
// The threshold that a reported value stands for, as it would be written again: a
// generation-3 byte above 127 is the negative value it holds (251 is -5).
int32_t thresholdAsWritten(const GenerationTraits& traits, int32_t reported);

// The fields whose value read does not match the value sent, in the order above. read is
// the read that produced readBack: the hex block's length decides which of its one-byte
// fields can be compared.
std::vector<SettingField> readBackDifferences(const GenerationTraits& traits,
                                              const SentSettings& sent,
                                              const DeviceSettings& readBack,
                                              const SettingsRead& read);

}  // namespace tamlo
