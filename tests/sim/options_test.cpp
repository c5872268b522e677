// The tamlo-sim command line.
#include "sim/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tamlo::sim {
namespace {

TEST(SimOptions, ReadsEverySettingInBothSpellings) {
    SimOptions options;
    std::string error;
    ASSERT_TRUE(parseSimOptions(
        {"--firmware",  "1.85",   "--ch1=134.005", "--ch6",   "138.99",   "--ch3",       "136",
         "--threshold", "-5",     "--current=6",   "--audio", "31",       "--diversity", "1",
         "--lna=0",     "--rssi", "120",           "--fault", "late:250", "--link",      "/tmp/rx"},
        options, error))
        << error;
    const ReceiverSettings& r = options.receiver;
    EXPECT_EQ(r.version, "1.85");
    EXPECT_EQ(r.channelCode, (std::array<int32_t, 6>{4005, 5250, 6000, 7125, 8000, 8990}));
    EXPECT_EQ(r.threshold, -5);
    EXPECT_EQ(r.currentChannel, 6);
    EXPECT_EQ(r.audioLevel, 31);
    EXPECT_TRUE(r.diversity);
    EXPECT_FALSE(r.lna);
    EXPECT_EQ(r.rssi, 120);
    EXPECT_EQ(r.fault, Fault::Late);
    EXPECT_EQ(r.lateMs, 250);
    EXPECT_EQ(options.linkPath, "/tmp/rx");
    EXPECT_FALSE(options.help);

    SimOptions cut;
    ASSERT_TRUE(parseSimOptions({"--fault=cut:12", "-h"}, cut, error));
    EXPECT_EQ(cut.receiver.fault, Fault::CutOff);
    EXPECT_EQ(cut.receiver.cutAfter, 12);
    EXPECT_TRUE(cut.help);
    EXPECT_FALSE(cut.version);

    SimOptions asked;
    ASSERT_TRUE(parseSimOptions({"--version"}, asked, error));
    EXPECT_TRUE(asked.version);
    EXPECT_FALSE(asked.help);
}

TEST(SimOptions, RefusesWhatItCannotRead) {
    const std::vector<std::vector<std::string>> cases = {
        {"--ch7", "138.000"},
        {"--ch1", "129.999"},
        {"--ch1", "140.000"},
        {"--ch1", "138.5000"},
        {"--ch1", "138,5"},
        {"--ch1", "138."},
        {"--ch1", ".5"},
        {"--ch1", "+138.5"},
        {"--threshold", "2147483648"},
        {"--threshold", "4x"},
        {"--threshold", ""},
        {"--audio", "256"},
        {"--diversity", "yes"},
        {"--lna"},
        {"--fault", "cut:-1"},
        {"--firmware", ""},
        {"--firmware", "2.0X"},
        {"--firmware", "2.05\n"},
        {"--link="},
        {"--help=1"},
        {"--version=2"},
        {"-x"},
        {"2.05"},
    };
    for (const auto& args : cases) {
        SimOptions options;
        std::string error;
        EXPECT_FALSE(parseSimOptions(args, options, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

TEST(SimOptions, MegahertzToChannelCode) {
    struct Case {
        const char* text;
        int32_t code;
    };
    const Case cases[] = {{"134.000", 4000}, {"138.5", 8500},   {"138.990", 8990},
                          {"130", 0},        {"139.999", 9999}, {"136.525", 6525}};
    for (const Case& c : cases) {
        int32_t code = -1;
        EXPECT_TRUE(parseMegahertz(c.text, code)) << c.text;
        EXPECT_EQ(code, c.code) << c.text;
    }
}

}  // namespace
}  // namespace tamlo::sim
