#include "files/settings_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "../sample_values.h"
#include "files/file_names.h"
#include "files/setting_keys.h"
#include "protocol/settings.h"
#include "test_files.h"
#include "text/latin1.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tamlo {
namespace {

SettingsFile sampleFile() {
    SettingsFile file = sampleValues<SettingsFile>();
    file.source = SourceInfo{"mast-north",
                             "/dev/ttyUSB0",
                             "/dev/serial/by-id/usb-FTDI-A10K3QXZ",
                             "A10K3QXZ",
                             "2.05 05-Nov-24",
                             3,
                             40,
                             "2026-12-07T12:00:00.000Z"};
    return file;
}

void expectSameSettings(const SettingsFile& a, const SettingsFile& b) {
    EXPECT_TRUE(a.sameSettings(b));
}

TEST(SettingsFile, WrittenFilesReadBackUnchanged) {
    const SettingsFile file = sampleFile();
    const FileParse toml = parseSettingsToml(writeSettingsToml(file), "a.toml");
    ASSERT_TRUE(toml.ok()) << toml.errors.front().text();
    expectSameSettings(toml.settings, file);
    const FileParse json = parseSettingsJson(writeSettingsJson(file), "a.json");
    ASSERT_TRUE(json.ok()) << json.errors.front().text();
    expectSameSettings(json.settings, file);
    for (const FileParse* parsed : {&toml, &json}) {
        EXPECT_EQ(parsed->settings.source->usbSerial, "A10K3QXZ");
        EXPECT_EQ(parsed->settings.source->generation, 3);
    }
    // Backups of the previous version said [receiver].
    const FileParse old = parseSettingsToml("[receiver]\ngeneration = 2\n[settings]\n", "o.toml");
    ASSERT_TRUE(old.ok());
    EXPECT_EQ(old.settings.source->generation, 2);
}

TEST(SettingsFile, TomlLayoutIsStable) {
    SettingsFile file = sampleFile();
    file.source->firmware = "2.05 \"x\"\x01\xe9\xc2\x85";
    file.source->device = "/dev/m\xc3\xa2t-\xe2\x80\x93";  // UTF-8 as the system has it
    EXPECT_EQ(writeSettingsToml(file),
              "# TamloX receiver settings. `tamlo write` and `tamlo apply` send the [settings]\n"
              "# table; [source] only says where and when they were read.\n"
              "\n[source]\n"
              "port = \"mast-north\"\n"
              "device = \"/dev/m\xc3\xa2t-\xe2\x80\x93\"\n"
              "by_id = \"/dev/serial/by-id/usb-FTDI-A10K3QXZ\"\n"
              "usb_serial = \"A10K3QXZ\"\n"
              "firmware = \"2.05 \\\"x\\\"\\u0001\\u00E9\\u0085\"\n"
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
    // The escaped bytes read back as the receiver's own, a path as the system's.
    const FileParse parsed = parseSettingsToml(writeSettingsToml(file), "a.toml");
    ASSERT_TRUE(parsed.ok());
    EXPECT_EQ(parsed.settings.source->device, file.source->device);
    // Any character inside a string, after a line-ending backslash too.
    const FileParse multiLine = parseSettingsToml(
        "[source]\nport = \"\"\"m\\\n  \xC3\xA2t \xEF\xBB\xBF\xE2\xB1\xB0\"\"\"\n", "m.toml");
    ASSERT_TRUE(multiLine.ok()) << multiLine.errors.front().text();
    EXPECT_EQ(multiLine.settings.source->port, "m\xC3\xA2t \xEF\xBB\xBF\xE2\xB1\xB0");
}

TEST(SettingsFile, PartialFilesKeepOnlyWhatTheySay) {
    const FileParse parsed = parseSettingsToml("[settings]\nchannel3 = \"136.750\"\n", "f.toml");
    ASSERT_TRUE(parsed.ok());
    EXPECT_EQ(parsed.settings.settingCount(), 1);
    EXPECT_EQ(parsed.settings.channelCodes[2], 6750);
    EXPECT_FALSE(parsed.settings.threshold.has_value());
}

struct ErrorCase {
    const char* name;
    std::string text;
    std::vector<std::string> errors;
};

const std::string kChannelRule =
    "Invalid frequency: expected 134.000 to 138.990 MHz, as digits with at most three "
    "decimals (\"138.500\" or \"138.500 MHz\")";
const std::string kThresholdRule =
    "Invalid Threshold value: expected -99999 to 99 (-128 to 99 on firmware 2.00 and newer)";

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
                  "[settings\nthreshold = 4\n",
                  {"fleet.toml:1:10: syntax error: Error while parsing table header: expected "
                   "']', saw '\\n'"}},
        ErrorCase{"character_outside_strings_and_comments",
                  "# R\xC3\xA9glages du site \xE2\x80\x93 m\xC3\xA2t nord\n[settings]\n"
                  "threshold = 4 # r\xC3\xA9glage\nchannel1 = \"134.000\" \xC3\xA9\n",
                  {"fleet.toml:4:22: the character U+00E9 is not accepted here: outside a "
                   "quoted string or a comment, a file holds only ASCII"}},
        // The library scans a bare value's quote as its own: its message quotes the
        // characters as they stand in the file.
        ErrorCase{"quote_inside_a_bare_value",
                  "[settings]\nthreshold = -x'\xC3\xA9\xE2\x80\x93'\n",
                  {"fleet.toml:2:13: syntax error: Error while parsing value: could not determine "
                   "value type"}},
        ErrorCase{"character_kept_for_stand_ins",
                  "# \xEE\x80\x80\n",
                  {"fleet.toml:1:3: the character U+E000 is not accepted: characters U+E000 to "
                   "U+EBFF are kept for this tool's own use"}},
        ErrorCase{"unknown_key",
                  "[settings]\nthreshold = 4\nchanel1 = \"134.000\"\n",
                  {"fleet.toml:3:1: unknown key 'settings.chanel1' (did you mean channel1?)"}},
        ErrorCase{"unknown_table",
                  "[setings]\nthreshold = 4\n",
                  {"fleet.toml:1:2: unknown key 'setings' (did you mean settings?)"}},
        ErrorCase{"not_a_table",
                  "settings = 4\n",
                  {"fleet.toml:1:1: settings: wrong type: expected a table, found an integer"}},
        ErrorCase{"channel_as_number",
                  "[settings]\nchannel2 = 135.25\n",
                  {"fleet.toml:2:12: settings.channel2: wrong type: expected a string such as "
                   "\"138.500\", found a floating-point number"}},
        ErrorCase{"threshold_as_text",
                  "[settings]\nthreshold = \"45\"\n",
                  {"fleet.toml:2:13: settings.threshold: wrong type: expected a whole number, "
                   "found a string"}},
        ErrorCase{"switch_as_number",
                  "[settings]\ndiversity = 1\n",
                  {"fleet.toml:2:13: settings.diversity: wrong type: expected true or false, "
                   "found an integer"}},
        // A value is taken exactly or refused, with the window's message, the accepted form
        // and the range: a typo must not become another frequency.
        ErrorCase{"frequency_high",
                  "[settings]\nchannel3 = \"138.991\"\n",
                  {"fleet.toml:2:12: settings.channel3 = \"138.991\": " + kChannelRule}},
        ErrorCase{"frequency_low",
                  "[settings]\nchannel1 = \"133.999\"\n",
                  {"fleet.toml:2:12: settings.channel1 = \"133.999\": " + kChannelRule}},
        ErrorCase{"frequency_comma",
                  "[settings]\nchannel1 = \"138,500\"\n",
                  {"fleet.toml:2:12: settings.channel1 = \"138,500\": " + kChannelRule}},
        ErrorCase{"frequency_letters",
                  "[settings]\nchannel1 = \"137.2abc\"\n",
                  {"fleet.toml:2:12: settings.channel1 = \"137.2abc\": " + kChannelRule}},
        ErrorCase{"frequency_two_points",
                  "[settings]\nchannel1 = \"135.25.7\"\n",
                  {"fleet.toml:2:12: settings.channel1 = \"135.25.7\": " + kChannelRule}},
        ErrorCase{"frequency_blank",
                  "[settings]\nchannel1 = \" 138.000\"\n",
                  {"fleet.toml:2:12: settings.channel1 = \" 138.000\": " + kChannelRule}},
        ErrorCase{"frequency_exponent",
                  "[settings]\nchannel1 = \"1.385e2\"\n",
                  {"fleet.toml:2:12: settings.channel1 = \"1.385e2\": " + kChannelRule}},
        ErrorCase{"frequency_four_decimals",
                  "[settings]\nchannel1 = \"134.0009\"\n",
                  {"fleet.toml:2:12: settings.channel1 = \"134.0009\": " + kChannelRule}},
        ErrorCase{"threshold_100",
                  "[settings]\nthreshold = 100\n",
                  {"fleet.toml:2:13: settings.threshold = 100: " + kThresholdRule}},
        ErrorCase{"threshold_beyond_six_characters",
                  "[settings]\nthreshold = -100000\n",
                  {"fleet.toml:2:13: settings.threshold = -100000: " + kThresholdRule}},
        ErrorCase{"audio_32",
                  "[settings]\naudio_level = 32\n",
                  {"fleet.toml:2:15: settings.audio_level = 32: Invalid Audio Level: expected 0 to "
                   "31"}},
        // Messages that say how to mend the file.
        ErrorCase{"misspelt_key",
                  "[settings]\nchanel2 = \"134.000\"\n",
                  {"fleet.toml:2:1: unknown key 'settings.chanel2' (did you mean channel2?)"}},
        ErrorCase{"setting_outside_its_table",
                  "threshold = 45\n[settings]\n",
                  {"fleet.toml:1:1: 'threshold' is a setting: it belongs in the [settings] "
                   "table"}},
        ErrorCase{"setting_in_the_receiver_table",
                  "[receiver]\nthreshold = 45\n",
                  {"fleet.toml:2:1: 'threshold' is a setting: it belongs in the [settings] "
                   "table, not [receiver]"}},
        ErrorCase{"string_left_open",
                  "[settings]\nchannel1 = \"134.000\nthreshold = 4\n",
                  {"fleet.toml:2:12: this string is not closed on its line (a closing quote is "
                   "missing)"}},
        ErrorCase{"nul_byte",
                  std::string("[settings]\nthreshold = 4\0\n", 26),
                  {"fleet.toml:2:14: a NUL byte: a settings file is text"}},
        // Every error is named, not only the first.
        ErrorCase{"several",
                  "[settings]\nchannel1 = \"139.000\"\nthreshold = 100\naudio_level = 40\n",
                  {"fleet.toml:2:12: settings.channel1 = \"139.000\": " + kChannelRule,
                   "fleet.toml:3:13: settings.threshold = 100: " + kThresholdRule,
                   "fleet.toml:4:15: settings.audio_level = 40: Invalid Audio Level: expected 0 "
                   "to 31"}}),
    [](const ::testing::TestParamInfo<ErrorCase>& info) { return info.param.name; });

TEST(SettingsFile, EveryChannelIsTakenExactlyAndSentAsWritten) {
    for (const char* text : {"138.5", "138.500", "138.500 MHz", "138.500MHz", "0138.50"}) {
        EXPECT_EQ(channelCodeOfText(text), 8500) << text;
    }
    EXPECT_EQ(channelCodeOfText("134"), 4000);
    EXPECT_EQ(channelCodeOfText("138.990"), 8990);
    // Every channel the receiver takes: the file's text gives its code, and STORE sends
    // exactly that code for it.
    for (int32_t code = kChannelCodes.low; code <= kChannelCodes.high; ++code) {
        const std::string text = channelCodeText(code);
        ASSERT_EQ(channelCodeOfText(text), code) << text;
        ASSERT_EQ(storeChannelCode(text), code) << text;
    }
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
                  {"fleet.json:1:15: unknown key 'settings.threshhold' (did you mean "
                   "threshold?)"}},
        ErrorCase{"wrong_type",
                  "{\"settings\": {\"lna_supply\": \"yes\"}}",
                  {"fleet.json:1:29: settings.lna_supply: wrong type: expected true or false, "
                   "found a string"}},
        ErrorCase{"number_beyond_a_double",
                  "{\"settings\": {\"threshold\": 1e999}}",
                  {"fleet.json:1:32: number overflow parsing '1e999'"}},
        ErrorCase{"not_an_object",
                  "[1, 2]",
                  {"fleet.json:1:1: wrong type: expected an object, found an array"}},
        ErrorCase{"value_error_with_its_place",
                  "{\"settings\": {\n  \"channel4\": \"140.000\"}}",
                  {"fleet.json:2:15: settings.channel4 = \"140.000\": " + kChannelRule}},
        ErrorCase{"key_named_twice",
                  "{\"settings\": {\"threshold\": 4,\n \"threshold\": 5}}",
                  {"fleet.json:2:2: the key 'settings.threshold' is named twice (first at "
                   "1:15)"}},
        ErrorCase{"nul_byte",
                  std::string("{\"settings\": {}}\0{}", 19),
                  {"fleet.json:1:17: a NUL byte: a settings file is text"}}),
    [](const ::testing::TestParamInfo<ErrorCase>& info) { return info.param.name; });

TEST(SettingsFile, Latin1RoundTrip) {
    std::string all;
    for (int byte = 1; byte < 256; ++byte) {
        all += static_cast<char>(byte);
    }
    EXPECT_EQ(utf8ToLatin1(latin1ToUtf8(all)), all);
    EXPECT_EQ(utf8ToLatin1("\xe2\x82\xac"), "?");  // the euro sign is no receiver byte
    // A system's bytes: UTF-8 characters pass, any other byte is taken as Latin-1 (a lone
    // byte, an overlong form, a surrogate, a character cut short).
    for (const auto& [bytes, text] : std::initializer_list<std::pair<std::string, std::string>>{
             {"m\xc3\xa2t \xe2\x80\x93 \xf0\x9f\x93\xa1",
              "m\xc3\xa2t \xe2\x80\x93 \xf0\x9f\x93\xa1"},
             {"\xe9", "\xc3\xa9"},
             {"\xc0\xaf", "\xc3\x80\xc2\xaf"},
             {"\xed\xa0\x80", "\xc3\xad\xc2\xa0\xc2\x80"},
             {"\xe2\x80", "\xc3\xa2\xc2\x80"}}) {
        EXPECT_EQ(bytesAsUtf8(bytes), text);
    }
}

TEST(SettingsFile, FormatFollowsTheName) {
    EXPECT_EQ(formatOfName("fleet.json"), FileFormat::Json);
    EXPECT_EQ(formatOfName("fleet.toml"), FileFormat::Toml);
    EXPECT_EQ(formatOfName("json"), FileFormat::Toml);
    // The names a backup folder gets are kept alike on every system.
    const std::pair<const char*, const char*> names[] = {
        {"COM7.toml", "COM7_.toml"},     {"nul .toml", "nul _.toml"},
        {"Lpt1.x.json", "Lpt1_.x.json"}, {"COM\xb9.toml", "COM\xb9_.toml"},
        {"lpt\xc2\xb3", "lpt\xc2\xb3_"}, {"rx. ", "rx__"},
        {"COM10.toml", "COM10.toml"}};
    for (const auto& [name, kept] : names) {
        EXPECT_EQ(portableFileName(name), kept);
    }
}

#ifndef _WIN32
// Traps another user could set for root, and files that are fine: a trap is refused with its
// reason before anything is written, and leaves the file it aims at (victim) as it was; a file
// that is written keeps its mode only within the umask. User 1234 plays the other user, so
// those rows run only as root; shared/ has mode 1777 and open/ 0777.
TEST(FileStore, WritesOnlyWhereTheUserCouldHaveWrittenAndTrustsOnlyItsOwn) {
    namespace fs = std::filesystem;
    struct Case {
        const char* path;
        const char* linkTo;   // what a symbolic link at path points to; null: none
        int mode;             // of the file at path, when no link: -1 none, 0 a FIFO
        bool theirs;          // the link or file belongs to user 1234
        const char* refusal;  // empty: written (or trusted)
        bool config = false;  // read as a ports file, not written
    };
    const Case cases[] = {
        {"out.toml", nullptr, 0, false, "is a FIFO, not a regular file"},
        {"out.toml", "/dev/null", -1, false, "is a character device"},
        {"shared/rx0.toml", "victim", -1, true, "is a symbolic link of user 1234 in"},
        {"shared/rx0.toml", nullptr, 0777, true, "belongs to user 1234 and lies in"},
        {"shared/rx0.toml", "victim", -1, false, ""},
        {"out.toml", nullptr, 0777, false, ""},
        {"ports.toml", nullptr, 0666, false, "changed by others than its owner (mode 0666)", true},
        {"ports.toml", nullptr, 0644, true, "belongs to user 1234, not to root", true},
        {"open/ports.toml", nullptr, 0644, false, "its folder", true},
        {"ports.toml", nullptr, 0644, false, "", true},
    };
    const fs::path dir =
        fs::temp_directory_path() / ("tamlo-file-store-" + std::to_string(std::random_device{}()));
    const mode_t umask = 022;
    ::umask(umask);
    const auto text = [](const std::string& path, int mode, uid_t uid) {
        std::ofstream(path) << "old\n";
        EXPECT_EQ(
            ::chmod(path.c_str(), static_cast<mode_t>(mode)) + ::lchown(path.c_str(), uid, uid), 0);
    };
    cli::testing::PlatformFileStore store;
    for (const Case& c : cases) {
        if (c.theirs && ::geteuid() != 0) {
            continue;
        }
        fs::remove_all(dir);
        for (const char* folder : {"shared", "open"}) {
            fs::create_directories(dir / folder);
            fs::permissions(dir / folder, fs::perms::all | fs::perms(*folder == 's' ? 01000 : 0));
        }
        const std::string path = (dir / c.path).string();
        const std::string victim = (dir / "victim").string();
        const uid_t owner = c.theirs ? 1234 : ::geteuid();
        text(victim, 0600, ::geteuid());
        if (c.linkTo != nullptr) {
            fs::create_symlink(*c.linkTo == '/' ? c.linkTo : victim, path);
            EXPECT_EQ(::lchown(path.c_str(), owner, owner), 0);
        } else if (c.mode >= 0) {
            c.mode == 0 ? (void)::mkfifo(path.c_str(), 0600) : text(path, c.mode, owner);
        }
        struct stat before {};
        (void)::stat(path.c_str(), &before);
        const std::string said = c.config ? store.notTrusted(path) : store.cannotWrite(path);
        EXPECT_TRUE(*c.refusal ? said.find(c.refusal) != std::string::npos : said.empty())
            << c.path << ": " << said;
        if (c.config) {
            continue;
        }
        EXPECT_EQ(store.replace(path, "new\n"), said) << c.path;
        if (!said.empty()) {
            EXPECT_EQ(store.read(victim, 100).text, "old\n") << c.path;
            continue;
        }
        struct stat after {};
        EXPECT_EQ(store.read(path, 100).text, "new\n") << c.path;
        ASSERT_EQ(::stat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_mode & 07777, before.st_mode & 0777 & ~umask) << c.path;
    }
    fs::remove_all(dir);
}
#endif

}  // namespace
}  // namespace tamlo
