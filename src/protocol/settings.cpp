#include "protocol/settings.h"

#include "text/conversions.h"

namespace tamlo {

std::string channelCodeText(int32_t channelCode) {
    const int64_t khz = kChannelBaseKhz + channelCode;
    const int64_t magnitude = khz < 0 ? -khz : khz;
    std::string fraction = formatInteger(magnitude % 1000);
    fraction.insert(0, 3 - fraction.size(), '0');
    return (khz < 0 ? "-" : "") + formatInteger(magnitude / 1000) + "." + fraction;
}

namespace {

// The single nearest to 0.00001, widened. It lifts a quotient such as 4.07, whose nearest
// single lies just below, over the digit boundary before the text is cut.
constexpr double kFormatLift = static_cast<double>(0.00001f);

// Added before truncating so that a value read as 8.4999998 still counts as 8.50.
constexpr double kReadLift = 0.0001;

}  // namespace

std::string formatChannelText(int32_t channelFreq) {
    // |quotient| stays below 2.2e7, well inside the single range, so the narrowing is defined.
    const double quotient = static_cast<double>(channelFreq) / 100.0;
    const float rounded = static_cast<float>(quotient + kFormatLift);
    return "13" + leftPart(formatDecimal(rounded), 5) + " MHz";
}

int32_t decodeHexWord(std::string_view text) {
    double total = 0.0;
    for (int i = 1; i <= 4; ++i) {
        int32_t digit = charCode(middlePart(text, i, 1)) - 48;
        if (digit > 9) {
            digit -= 7;
        }
        const float weight = power(16.0f, static_cast<float>(4 - i));
        // Every term is an integer well inside the double's exact range.
        total += static_cast<double>(digit) * static_cast<double>(weight);
    }
    return low32(truncateToInteger(total));
}

int32_t textBlockFrequency(std::string_view text) {
    const double value = static_cast<double>(parseDecimal(text));
    return low32(truncateToInteger(value * 100.0 + kReadLift));
}

int32_t hexWordFrequency(std::string_view highByte, std::string_view lowByte) {
    std::string word(highByte);
    word += lowByte;
    // The word counts 5 kHz steps above 134 MHz; the slot counts 10 kHz steps above 130.
    const int64_t steps = decodeHexWord(word);
    return low32(steps / 2 + 400);
}

int32_t hexByte(std::string_view twoChars) {
    std::string word = "00";
    word += twoChars;
    return decodeHexWord(word);
}

int32_t decimalByte(std::string_view twoChars) {
    return low32(parseInteger(twoChars));
}

int32_t storeChannelCode(std::string_view channelFieldText) {
    const double value = static_cast<double>(parseDecimal(middlePart(channelFieldText, 3, 6)));
    return low32(truncateToInteger((value + kReadLift) * 1000.0));
}

}  // namespace tamlo
