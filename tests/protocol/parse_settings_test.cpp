// The settings parsers on replies as a worn line or an odd firmware delivers them.
#include <gtest/gtest.h>

#include <string>

#include "protocol/read_settings.h"

namespace tamlo {
namespace {

// A hex block laid out byte by byte: two hex digits and a blank each.
std::string hexBlock(std::initializer_list<const char*> bytes) {
    std::string text;
    for (const char* b : bytes) {
        text += b;
        text += ' ';
    }
    return text;
}

std::string standardHexBlock() {
    // 138.500 (word 900 = 0x0384), 134.000, 136.500 (word 500 = 0x01F4), ...
    return hexBlock({"84", "03", "00", "00", "F4", "01", "E8", "03", "20", "03", "0A", "00", "03",
                     "1E", "00", "07", "01", "64"});
}

TEST(ParseHexSettings, ReadsEveryFieldAtItsPlace) {
    DeviceSettings s;
    parseHexSettings(standardHexBlock(), true, s);
    EXPECT_EQ(s[channelFreq1], 850);
    EXPECT_EQ(s[channelFreq2], 400);
    EXPECT_EQ(s[channelFreq3], 650);
    EXPECT_EQ(s[channelFreq4], 900);  // word 1000: not range-checked when read
    EXPECT_EQ(s[channelFreq5], 800);
    EXPECT_EQ(s[channelFreq6], 405);
    EXPECT_EQ(s[currentChannel], 3);
    EXPECT_EQ(s[threshold], 30);
    EXPECT_EQ(s[audioLevel], 7);
    EXPECT_EQ(s[diversity], 1);
    EXPECT_EQ(s[lnaSupply], 64);
}

TEST(ParseHexSettings, WithoutLnaByteKeepsTheSlot) {
    DeviceSettings s;
    s[lnaSupply] = 99;
    parseHexSettings(standardHexBlock(), false, s);
    EXPECT_EQ(s[lnaSupply], 99);
}

TEST(ParseHexSettings, HostileCharactersGiveWhatTheRulesGive) {
    struct Case {
        const char* name;
        std::string reply;
        int slot;
        int32_t expected;
    };
    std::string lowerCase = standardHexBlock();
    lowerCase.replace(0, 2, "ff");  // low byte of channel 1: 'f' counts 54 - 7 = 47
    std::string blankInWord = standardHexBlock();
    blankInWord[3] = ' ';  // high byte " 3": a blank counts -16
    const Case cases[] = {
        {"lower-case hex", lowerCase, channelFreq1, (0x0300 + 47 * 16 + 47) / 2 + 400},
        {"blank in word", blankInWord, channelFreq1, (-16 * 4096 + 3 * 256 + 0x84) / 2 + 400},
        {"letter in decimal byte",
         hexBlock({"00", "00", "00", "00", "00", "00", "00", "00", "00", "00", "00", "00", "A3",
                   "00", "00", "00", "0A", "FF"}),
         currentChannel, 0},
    };
    for (const Case& c : cases) {
        DeviceSettings s;
        parseHexSettings(c.reply, true, s);
        EXPECT_EQ(s[c.slot], c.expected) << c.name;
    }
}

TEST(ParseHexSettings, CutOffReplyReadsMissingCharactersAsNothing) {
    DeviceSettings s;
    s[lnaSupply] = 77;
    // 50 characters: everything up to the diversity byte, no LNA byte.
    const std::string reply = standardHexBlock().substr(0, 50);
    parseHexSettings(reply, true, s);
    EXPECT_EQ(s[diversity], 1);
    EXPECT_EQ(s[lnaSupply], 0);
}

TEST(ParseTextSettings, FindsTagsAnywhereAndTheLastOneWins) {
    DeviceSettings s;
    parseTextSettings("xxCH1:138.500 CH2:134.250 thr: 25 CH2:135.070\r\n CH:4 tail", s);
    EXPECT_EQ(s[channelFreq1], 850);
    EXPECT_EQ(s[channelFreq2], 507);
    EXPECT_EQ(s[threshold], 25);
    EXPECT_EQ(s[currentChannel], 4);
}

TEST(ParseTextSettings, HostileTexts) {
    struct Case {
        const char* name;
        std::string reply;
        int slot;
        int32_t expected;  // the slot starts at -1
    };
    const Case cases[] = {
        {"tag at the very end", "abc CH3:", channelFreq3, 0},
        {"value cut short", "CH3:138.2", channelFreq3, 820},
        {"third decimal dropped", "CH4:138.495", channelFreq4, 849},
        {"tag without blank before CH", "xCH:5", currentChannel, -1},
        {"lower-case tag", "ch1:138.500", channelFreq1, -1},
        {"threshold field is six wide", "thr:1234567", threshold, 123456},
        {"negative threshold", "thr:-5", threshold, -5},
        {"threshold starting with a letter", "thr:x5", threshold, 0},
        {"comma ends the number", "CH6:136,500", channelFreq6, 600},
    };
    for (const Case& c : cases) {
        DeviceSettings s;
        s.slots.fill(-1);
        parseTextSettings(c.reply, s);
        EXPECT_EQ(s[c.slot], c.expected) << c.name;
    }
}

}  // namespace
}  // namespace tamlo
