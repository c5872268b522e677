#include "cli/settings_file.h"

#include <gtest/gtest.h>

namespace tamlo::cli {
namespace {

SettingsFile sampleFile() {
    SettingsFile file;
    file.channels = {"134.000", "135.250", "136.500", "137.120", "138.000", "138.990"};
    file.threshold = 45;
    file.audioLevel = 7;
    file.diversity = false;
    file.lnaSupply = true;
    file.receiver = ReceiverInfo{"COM3", "2.05 05-Nov-24", 3, 40, "2026-12-07T12:00:00.000Z"};
    return file;
}

void expectSameSettings(const SettingsFile& a, const SettingsFile& b) {
    EXPECT_EQ(a.channels, b.channels);
    EXPECT_EQ(a.threshold, b.threshold);
    EXPECT_EQ(a.audioLevel, b.audioLevel);
    EXPECT_EQ(a.diversity, b.diversity);
    EXPECT_EQ(a.lnaSupply, b.lnaSupply);
}

TEST(SettingsFile, WrittenFilesReadBackUnchanged) {
    const SettingsFile file = sampleFile();
    const FileParse toml = parseSettingsToml(writeSettingsToml(file), "a.toml");
    ASSERT_TRUE(toml.ok()) << toml.errors.front().text();
    expectSameSettings(toml.settings, file);
    const FileParse json = parseSettingsJson(writeSettingsJson(file), "a.json");
    ASSERT_TRUE(json.ok()) << json.errors.front().text();
    expectSameSettings(json.settings, file);
}

TEST(SettingsFile, TomlLayoutIsStable) {
    SettingsFile file = sampleFile();
    file.receiver->firmware = "2.05 \"x\"\x01\xe9";
    EXPECT_EQ(writeSettingsToml(file),
              "# TamloX receiver settings. `tamlo write` and `tamlo apply` send the [settings]\n"
              "# table; [receiver] only says where and when they were read.\n"
              "\n[receiver]\n"
              "port = \"COM3\"\n"
              "firmware = \"2.05 \\\"x\\\"\\u0001\\u00E9\"\n"
              "generation = 3\n"
              "rssi = 40\n"
              "read_at = \"2026-12-07T12:00:00.000Z\"\n"
              "\n[settings]\n"
              "channel1 = \"134.000\"  # MHz\n"
              "channel2 = \"135.250\"  # MHz\n"
              "channel3 = \"136.500\"  # MHz\n"
              "channel4 = \"137.120\"  # MHz\n"
              "channel5 = \"138.000\"  # MHz\n"
              "channel6 = \"138.990\"  # MHz\n"
              "threshold = 45\n"
              "audio_level = 7  # 0 to 31\n"
              "diversity = false\n"
              "lna_supply = true\n");
    // The escaped bytes read back as the receiver's own.
    const FileParse parsed = parseSettingsToml(writeSettingsToml(file), "a.toml");
    ASSERT_TRUE(parsed.ok());
}

TEST(SettingsFile, PartialFilesKeepOnlyWhatTheySay) {
    const FileParse parsed = parseSettingsToml("[settings]\nchannel3 = \"136.750\"\n", "f.toml");
    ASSERT_TRUE(parsed.ok());
    EXPECT_EQ(parsed.settings.settingCount(), 1);
    EXPECT_EQ(parsed.settings.channels[2], "136.750");
    EXPECT_FALSE(parsed.settings.threshold.has_value());
}

struct ErrorCase {
    const char* name;
    const char* text;
    std::vector<std::string> errors;
};

class TomlErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(TomlErrors, NameTheFileThePlaceAndTheWindowsMessage) {
    const FileParse parsed = parseSettingsToml(GetParam().text, "fleet.toml");
    std::vector<std::string> texts;
    for (const FileError& e : parsed.errors) {
        texts.push_back(e.text());
    }
    EXPECT_EQ(texts, GetParam().errors);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TomlErrors,
    ::testing::Values(
        ErrorCase{"syntax",
                  "[settings]\nchannel1 = \"134.000\nthreshold = 4\n",
                  {"fleet.toml:2:20: syntax error: Error while parsing string: unescaped control "
                   "characters other than TAB (U+0009) are explicitly prohibited"}},
        // The TOML library of Debian 12 misreads most characters from U+00A1 on; they are
        // refused before it sees them (here a raw e with acute accent, U+00E9, in a comment).
        ErrorCase{"character_the_library_cannot_take",
                  "[settings]\nthreshold = 4 # r\xC3\xA9glage\n",
                  {"fleet.toml:2:18: the character U+00E9 is not accepted here; inside a string "
                   "write it as \\u00E9"}},
        ErrorCase{"unknown_key",
                  "[settings]\nthreshold = 4\nchanel1 = \"134.000\"\n",
                  {"fleet.toml:3:1: unknown key 'settings.chanel1'"}},
        ErrorCase{"unknown_table",
                  "[setings]\nthreshold = 4\n",
                  {"fleet.toml:1:2: unknown key 'setings'"}},
        ErrorCase{"not_a_table",
                  "settings = 4\n",
                  {"fleet.toml:1:1: settings: wrong type: expected a table, found an integer"}},
        ErrorCase{"channel_as_number",
                  "[settings]\nchannel2 = 135.25\n",
                  {"fleet.toml:2:12: settings.channel2: wrong type: expected a string such as "
                   "\"138.500\", found a floating-point number"}},
        ErrorCase{"threshold_as_text",
                  "[settings]\nthreshold = \"45\"\n",
                  {"fleet.toml:2:13: settings.threshold: wrong type: expected an integer, found "
                   "a string"}},
        ErrorCase{"switch_as_number",
                  "[settings]\ndiversity = 1\n",
                  {"fleet.toml:2:13: settings.diversity: wrong type: expected true or false, "
                   "found an integer"}},
        // The window's own checks and messages.
        ErrorCase{"frequency_high",
                  "[settings]\nchannel3 = \"138.991\"\n",
                  {"fleet.toml:2:12: settings.channel3 = \"138.991\": Invalid frequency"}},
        ErrorCase{"frequency_low",
                  "[settings]\nchannel1 = \"133.999\"\n",
                  {"fleet.toml:2:12: settings.channel1 = \"133.999\": Invalid frequency"}},
        ErrorCase{"frequency_blank",
                  "[settings]\nchannel1 = \" 134.000\"\n",
                  {"fleet.toml:2:12: settings.channel1 = \" 134.000\": Invalid frequency"}},
        ErrorCase{"frequency_not_13",
                  "[settings]\nchannel6 = \"1345\"\n",
                  {"fleet.toml:2:12: settings.channel6 = \"1345\": Invalid frequency"}},
        ErrorCase{"threshold_100",
                  "[settings]\nthreshold = 100\n",
                  {"fleet.toml:2:13: settings.threshold = 100: Invalid Threshold value"}},
        ErrorCase{"threshold_beyond_32_bits",
                  "[settings]\nthreshold = -3000000000\n",
                  {"fleet.toml:2:13: settings.threshold = -3000000000: Invalid Threshold value"}},
        ErrorCase{"audio_32",
                  "[settings]\naudio_level = 32\n",
                  {"fleet.toml:2:15: settings.audio_level = 32: Invalid Audio Level"}},
        ErrorCase{"audio_negative",
                  "[settings]\naudio_level = -1\n",
                  {"fleet.toml:2:15: settings.audio_level = -1: Invalid Audio Level"}},
        // Every error is named, not only the first.
        ErrorCase{"several",
                  "[settings]\nchannel1 = \"139.000\"\nthreshold = 100\naudio_level = 40\n",
                  {"fleet.toml:2:12: settings.channel1 = \"139.000\": Invalid frequency",
                   "fleet.toml:3:13: settings.threshold = 100: Invalid Threshold value",
                   "fleet.toml:4:15: settings.audio_level = 40: Invalid Audio Level"}}),
    [](const ::testing::TestParamInfo<ErrorCase>& info) { return info.param.name; });

TEST(SettingsFile, ValuesTheWindowAcceptsPass) {
    // What the window sends for these texts, it sends from a file too.
    for (const char* text :
         {"134.000", "138.990", "135.1", "134", "135,25", "134.0009", "138.500 MHz"}) {
        EXPECT_EQ(checkChannelText(text), "") << text;
    }
    EXPECT_EQ(checkThreshold(-5), "");
    EXPECT_EQ(checkThreshold(99), "");
    EXPECT_EQ(checkAudioLevel(0), "");
    EXPECT_EQ(checkAudioLevel(31), "");
}

class JsonErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(JsonErrors, NameTheFileAndTheKey) {
    const FileParse parsed = parseSettingsJson(GetParam().text, "fleet.json");
    std::vector<std::string> texts;
    for (const FileError& e : parsed.errors) {
        texts.push_back(e.text());
    }
    EXPECT_EQ(texts, GetParam().errors);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JsonErrors,
    ::testing::Values(
        ErrorCase{"syntax",
                  "{\"settings\": {\n  \"threshold\": 4,\n}}\n",
                  {"fleet.json:3:1: syntax error while parsing object key - unexpected '}'; "
                   "expected string literal"}},
        ErrorCase{"unknown_key",
                  "{\"settings\": {\"threshhold\": 4}}",
                  {"fleet.json: unknown key 'settings.threshhold'"}},
        ErrorCase{"wrong_type",
                  "{\"settings\": {\"lna_supply\": \"yes\"}}",
                  {"fleet.json: settings.lna_supply: wrong type: expected true or false, found "
                   "a string"}},
        ErrorCase{"number_beyond_a_double",
                  "{\"settings\": {\"threshold\": 1e999}}",
                  {"fleet.json: number overflow parsing '1e999'"}},
        ErrorCase{"not_an_object",
                  "[1, 2]",
                  {"fleet.json: wrong type: expected an object, found an array"}},
        ErrorCase{"frequency",
                  "{\"settings\": {\"channel4\": \"140.000\"}}",
                  {"fleet.json: settings.channel4 = \"140.000\": Invalid frequency"}}),
    [](const ::testing::TestParamInfo<ErrorCase>& info) { return info.param.name; });

TEST(SettingsFile, Latin1RoundTrip) {
    std::string all;
    for (int byte = 1; byte < 256; ++byte) {
        all += static_cast<char>(byte);
    }
    EXPECT_EQ(utf8ToLatin1(latin1ToUtf8(all)), all);
    EXPECT_EQ(utf8ToLatin1("\xe2\x82\xac"), "?");  // the euro sign is no receiver byte
}

TEST(SettingsFile, FormatFollowsTheName) {
    EXPECT_EQ(formatOfName("fleet.json"), FileFormat::Json);
    EXPECT_EQ(formatOfName("fleet.toml"), FileFormat::Toml);
    EXPECT_EQ(formatOfName("json"), FileFormat::Toml);
}

}  // namespace
}  // namespace tamlo::cli
