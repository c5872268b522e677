// "X" and "M": the receiver's stored settings, in its two encodings.
#pragma once

#include <optional>
#include <string_view>

#include "protocol/generation.h"
#include "protocol/settings.h"
#include "serial/exchange.h"

namespace tamlo {

enum class BlockOutcome { Accepted, TooShort };

// One settings block as collected: whether it was long enough to be read, and how many
// characters came (what a read-back can be held to depends on how far the block reached).
struct BlockReply {
    BlockOutcome outcome = BlockOutcome::TooShort;
    int64_t length = 0;
    bool accepted() const { return outcome == BlockOutcome::Accepted; }
};

inline constexpr int32_t kHexBlockWaitMs = 650;  // after the command's own 200 ms
inline constexpr int32_t kTextBlockWaitMs = 1500;
inline constexpr int64_t kHexBlockMinLength = 50;
inline constexpr int64_t kTextBlockMinLength = 100;

// The hex block's one-byte fields: byte k stands at positions 3k + 1 and 3k + 2.
inline constexpr int kHexCurrentChannelByte = 12;
inline constexpr int kHexThresholdByte = 13;
inline constexpr int kHexAudioLevelByte = 15;
inline constexpr int kHexDiversityByte = 16;
inline constexpr int kHexLnaByte = 17;  // beyond the accepted length: read from what came
// The position of byte k's last character: a reply of this length holds the whole byte.
constexpr int64_t hexByteEnd(int k) {
    return 3 * int64_t{k} + 2;
}

// The waits of a read of the generation's blocks: each command's 200 ms and its block's wait.
int32_t readNominalMs(const GenerationTraits& traits);

// What a whole read did: the blocks of the generation in their order. Absent: not asked for.
struct SettingsRead {
    std::optional<BlockReply> hex;
    std::optional<BlockReply> text;
    bool accepted() const { return (!hex || hex->accepted()) && (!text || text->accepted()); }
};

// Whether the read's accepted hex block reached byte k of its one-byte fields: a block of
// 50 to 52 characters is accepted but holds no LNA byte, and a value it does not hold was
// never read.
inline bool hexBlockHolds(const SettingsRead& read, int k) {
    return read.hex && read.hex->accepted() && read.hex->length >= hexByteEnd(k);
}

enum class SettingsBlock { Hex, Text };

// Told what a read does as it does it, so that a front end with a form can make its
// controls around the requests (the window makes the audio frame and label before "X" goes
// out, the field and check boxes once a block was accepted) without running the requests
// itself.
class SettingsReadObserver {
  public:
    virtual ~SettingsReadObserver() = default;
    // The block's command is about to go out.
    virtual void blockRequested(SettingsBlock) {}
    // Its reply was judged; an accepted one has been parsed into the settings.
    virtual void blockAnswered(SettingsBlock, const BlockReply&, const DeviceSettings&) {}
};

// The one read: flushInput, then the blocks of the generation of settings[firmwareCode].
SettingsRead readSettings(Line& line, DeviceSettings& settings,
                          SettingsReadObserver* observer = nullptr);

// The parsers write only the slots they find.
void parseTextSettings(std::string_view text, DeviceSettings& settings);
void parseHexSettings(std::string_view text, bool withLnaByte, DeviceSettings& settings);

}  // namespace tamlo
