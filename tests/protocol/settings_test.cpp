#include "protocol/settings.h"
#include "protocol/generation.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>

namespace tamlo {
namespace {

TEST(DeviceSettings, StartsZeroAndMapsChannelsToSlots) {
    DeviceSettings settings;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        EXPECT_EQ(settings[slot], 0) << slot;
    }
    for (int n = 1; n <= 6; ++n) {
        settings.channel(n) = 400 + n;
    }
    EXPECT_EQ(settings[firmwareCode], 0);
    EXPECT_EQ(settings[channelFreq1], 401);
    EXPECT_EQ(settings[channelFreq6], 406);
    EXPECT_EQ(settings[threshold], 0);
}

// The one rule for the program, the command line and the simulated receiver: the version
// times 100, truncated with no addend, so a version whose nearest float lies just below it
// loses one (1.80 is 179, 1.81 is 180: generation 1); then the generation by its bounds.
TEST(FirmwareCode, VersionTimesHundredTruncatedThenTheGenerationsBounds) {
    struct Case {
        const char* version;
        int32_t code;
        int generation;
    };
    const Case cases[] = {
        {"", 0, 1},
        {"abc", 0, 1},
        {"1.75", 175, 1},
        {"1.80", 179, 1},
        {"1.81", 180, 1},
        {"1.82", 182, 2},
        {"1.85", 185, 2},
        {"1.90", 189, 2},
        {"1.95", 195, 2},
        {"1.99", 199, 2},
        {"2.00", 200, 3},
        {"2.01", 200, 3},
        {"2.05", 204, 3},
        {"2.10", 209, 3},
        {" 1.85 x", 185, 2},
        {"1.81 rest", 180, 1},
        {"2.05 05-Nov-24", 204, 3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(firmwareCodeOf(c.version), c.code) << c.version;
        EXPECT_EQ(firmwareGeneration(firmwareCodeOf(c.version)), c.generation) << c.version;
    }
    // The bounds themselves, and codes no version gives.
    const std::pair<int32_t, int> bounds[] = {{INT32_MIN, 1}, {180, 1}, {181, 2},
                                              {199, 2},       {200, 3}, {INT32_MAX, 3}};
    for (const auto& [code, generation] : bounds) {
        EXPECT_EQ(firmwareGeneration(code), generation) << code;
    }
}

TEST(FormatChannelText, FiveCharactersOfTheLiftedQuotient) {
    struct Case {
        int32_t value;
        const char* text;
    };
    const Case cases[] = {
        {850, "138.500 MHz"},       {400, "134.000 MHz"},  {899, "138.990 MHz"},
        {0, "130.000 MHz"},         {407, "134.070 MHz"},  // the single nearest 4.07 lies below it
        {999, "139.990 MHz"},       {1000, "1310.00 MHz"}, {9999, "1399.99 MHz"},
        {100000, "131000. MHz"},    {-5, "13-0.04 MHz"},   {INT32_MAX, "1321474 MHz"},
        {INT32_MIN, "13-2147 MHz"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(formatChannelText(c.value), c.text) << c.value;
    }
}

TEST(ChannelEncodings, FormTextGivesTenTimesTheValueOnStore) {
    for (int32_t value = 0; value <= 999; ++value) {
        EXPECT_EQ(storeChannelCode(formatChannelText(value)), value * 10) << value;
    }
}

TEST(ChannelEncodings, TwoDecimalTextBlockValuesReadExactly) {
    for (int32_t hundredths = 0; hundredths < 3200; ++hundredths) {
        std::string text = std::to_string(hundredths / 100) + ".";
        text += static_cast<char>('0' + hundredths % 100 / 10);
        text += static_cast<char>('0' + hundredths % 10);
        EXPECT_EQ(textBlockFrequency(text), hundredths) << text;
    }
}

TEST(ChannelEncodings, TextBlockDropsTheThirdDecimal) {
    struct Case {
        const char* text;
        int32_t value;
    };
    const Case cases[] = {
        {"8.500", 850}, {"8.5", 850}, {"4.07", 407}, {"8.495", 849}, {"8.499", 849},
        {"8,50", 800},  {"", 0},      {"x8.5", 0},   {"-1.00", -99},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(textBlockFrequency(c.text), c.value) << c.text;
    }
}

TEST(ChannelEncodings, StoreCodeFromTheSixCharactersAfter13) {
    struct Case {
        const char* field;
        int32_t code;
    };
    const Case cases[] = {
        {"138.500 MHz", 8500},
        {"134.070 MHz", 4070},
        {"138.990 MHz", 8990},
        {"138.5", 8500},
        {"134.0698", 4069},
        {"1310.00 MHz", 10000},
        {"13", 0},
        {"", 0},
        {"13abc", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(storeChannelCode(c.field), c.code) << c.field;
    }
}

TEST(DecodeHexWord, WeightedCharacterCodesWithoutRejection) {
    struct Case {
        std::string text;
        int32_t value;
    };
    const Case cases[] = {
        {"0384", 900},        {"00FF", 255},   {"FFFF", 65535},
        {"0000", 0},          {"00ff", 799},    // lower-case letters count 42 to 47
        {" 000", -16 * 4096},                   // a blank counts -16
        {"038", 896 - 48},                      // a missing character counts -48
        {"", -48 * 4369},     {"0384FF", 900},  // only four characters are read
        {"000\xFF", 200},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(decodeHexWord(c.text), c.value) << c.text;
    }
}

TEST(HexBlock, WordsAndBytes) {
    EXPECT_EQ(hexWordFrequency("03", "84"), 850);
    EXPECT_EQ(hexWordFrequency("03", "85"), 850);  // the odd 5 kHz step is dropped
    EXPECT_EQ(hexWordFrequency("00", "00"), 400);
    EXPECT_EQ(hexWordFrequency("00", " 1"), 400 - 127);  // -255 / 2 truncates toward zero
    EXPECT_EQ(hexWordFrequency("", ""), 400 - 24 * 4369);

    struct Case {
        const char* chars;
        int32_t hex;
        int32_t decimal;
    };
    const Case bytes[] = {
        {"FF", 255, 0},  {"1E", 30, 1}, {"0A", 10, 0}, {"01", 1, 1},
        {"64", 100, 64}, {"1F", 31, 1}, {"00", 0, 0},  {"", -48 * 17, 0},
    };
    for (const Case& c : bytes) {
        EXPECT_EQ(hexByte(c.chars), c.hex) << c.chars;
        EXPECT_EQ(decimalByte(c.chars), c.decimal) << c.chars;
    }
}

}  // namespace
}  // namespace tamlo
