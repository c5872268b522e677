#include "tamlo-config/command_line.h"

#include <gtest/gtest.h>

namespace tamlo {
namespace {

TEST(CommandLine, ReadsDevicesAndTheSimulatedReceiver) {
    struct Case {
        std::vector<std::string> args;
        bool simulate;
        std::string version;
        std::vector<std::string> devices;
    };
    const Case cases[] = {
        {{}, false, "2.05", {}},
        {{"--simulate"}, true, "2.05", {}},
        {{"--simulate=1.80", "/dev/ttyUSB0"}, true, "1.80", {"/dev/ttyUSB0"}},
        {{"/dev/pts/3", "--simulate=3"}, true, "3", {"/dev/pts/3"}},
        {{"--", "--simulate"}, false, "2.05", {"--simulate"}},
        {{"/dev/serial/by-id/usb-FTDI", "/dev/ttyS0"},
         false,
         "2.05",
         {"/dev/serial/by-id/usb-FTDI", "/dev/ttyS0"}},
    };
    for (const Case& c : cases) {
        const CommandLine line = parseCommandLine(c.args);
        EXPECT_TRUE(line.problems.empty());
        EXPECT_EQ(line.simulate, c.simulate);
        EXPECT_EQ(line.simulatedVersion, c.version);
        EXPECT_EQ(line.devices, c.devices);
        EXPECT_FALSE(line.help || line.version);
    }
}

TEST(CommandLine, RejectsWhatItDoesNotKnow) {
    const std::vector<std::vector<std::string>> cases = {
        {"--simulat"},        {"-x"},
        {"--simulate="},      {"--simulate=abc"},
        {"--simulate=2."},    {"--simulate=.5"},
        {"--simulate=1.2.3"}, {"--simulate=123456789"},
    };
    for (const auto& args : cases) {
        const CommandLine line = parseCommandLine(args);
        ASSERT_EQ(line.problems.size(), 1u) << args.front();
        EXPECT_EQ(line.unknown, args);
        EXPECT_EQ(line.problems.front().find('\n'), std::string::npos);
        EXPECT_FALSE(line.simulate) << args.front();
    }
}

TEST(CommandLine, LogFile) {
    EXPECT_EQ(parseCommandLine({"--log", "wire.log", "/dev/pts/3"}).logFile, "wire.log");
    EXPECT_EQ(parseCommandLine({"--log=wire.log"}).logFile, "wire.log");
    EXPECT_EQ(parseCommandLine({"--log=wire.log"}).devices.size(), 0u);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--log"}, std::vector<std::string>{"--log="}}) {
        EXPECT_FALSE(parseCommandLine(args).problems.empty()) << args.front();
    }
    EXPECT_NE(usageText().find("--log FILE"), std::string::npos);
}

TEST(CommandLine, HelpAndVersion) {
    EXPECT_TRUE(parseCommandLine({"--help"}).help);
    EXPECT_TRUE(parseCommandLine({"/dev/ttyS0", "-h"}).help);
    EXPECT_TRUE(parseCommandLine({"--version"}).version);
    EXPECT_TRUE(parseCommandLine({"--simulate", "--exit-when-shown"}).exitWhenShown);
    EXPECT_FALSE(parseCommandLine({"--simulate"}).exitWhenShown);
    EXPECT_NE(usageText().find("--simulate[=VERSION]"), std::string::npos);
}

}  // namespace
}  // namespace tamlo
