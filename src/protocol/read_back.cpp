#include "protocol/read_back.h"

#include "text/conversions.h"

namespace tamlo {

namespace {

// The text block's threshold field is six characters wide.
constexpr int64_t kTextThresholdWidth = 6;

int64_t floorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// How many characters of the hex block the read accepted; 0 when none was.
int64_t acceptedHexLength(const SettingsRead& read) {
    return read.hex && read.hex->accepted() ? read.hex->length : 0;
}

}  // namespace

SentSettings sentByStore(const GenerationTraits& traits, const StoreRequest& request) {
    SentSettings sent;
    sent.channelCodes = request.channelCodes;
    sent.threshold = request.threshold;
    // The switches go only inside the audio command.
    if (traits.audioCommand && request.audioLevel) {
        sent.audioLevel = request.audioLevel;
        sent.diversity = request.diversity;
        if (traits.lnaCommand) {
            sent.lnaSupply = request.lnaSupply;
        }
    }
    return sent;
}

bool channelReadsBackAs(int32_t channelCode, int32_t channelFreq) {
    const int64_t below = floorDiv(channelCode, 10);
    const int64_t above = below + (channelCode - below * 10 != 0 ? 1 : 0);
    return channelFreq == below || channelFreq == above;
}

int32_t thresholdReadBack(const GenerationTraits& traits, int32_t sent) {
    if (traits.textBlock) {
        // Generation 2 reads both blocks; the text block's threshold is the one kept.
        return low32(parseInteger(leftPart(formatInteger(sent), kTextThresholdWidth)));
    }
    return static_cast<int32_t>(static_cast<uint32_t>(sent) & 0xFFu);
}

int32_t thresholdAsWritten(const GenerationTraits& traits, int32_t reported) {
    if (!traits.textBlock && reported > 127 && reported <= 255) {
        return reported - 256;
    }
    return reported;
}

std::vector<SettingField> readBackDifferences(const GenerationTraits& traits,
                                              const SentSettings& sent,
                                              const DeviceSettings& readBack,
                                              const SettingsRead& read) {
    std::vector<SettingField> differing;
    for (int n = 1; n <= 6; ++n) {
        const std::optional<int32_t>& code = sent.channelCodes[static_cast<size_t>(n - 1)];
        if (code && !channelReadsBackAs(*code, readBack.channel(n))) {
            differing.push_back(channelField(n));
        }
    }
    if (sent.threshold && thresholdReadBack(traits, *sent.threshold) != readBack[threshold]) {
        differing.push_back(SettingField::Threshold);
    }
    // The one-byte fields of the hex block count only where the accepted block reached them:
    // a block of 50 characters ends with the diversity byte and holds no LNA byte.
    const int64_t hexLength = acceptedHexLength(read);
    const auto reached = [&](int byte) { return hexLength >= hexByteEnd(byte); };
    if (traits.audioCommand && sent.audioLevel && reached(kHexAudioLevelByte) &&
        *sent.audioLevel != readBack[audioLevel]) {
        differing.push_back(SettingField::AudioLevel);
    }
    if (traits.audioCommand && sent.diversity && reached(kHexDiversityByte) &&
        *sent.diversity != (readBack[diversity] != 0)) {
        differing.push_back(SettingField::Diversity);
    }
    if (traits.lnaCommand && sent.lnaSupply && reached(kHexLnaByte) &&
        *sent.lnaSupply != lnaSupplyOn(readBack[lnaSupply])) {
        differing.push_back(SettingField::LnaSupply);
    }
    return differing;
}

}  // namespace tamlo
