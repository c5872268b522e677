#include "cli/options.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace tamlo::cli {
namespace {

struct Parsed {
    std::optional<int> status;
    Options options;
    std::string out;
    std::string err;
};

Parsed parse(std::vector<std::string> args) {
    Parsed p;
    std::ostringstream out;
    std::ostringstream err;
    p.status = parseOptions(args, p.options, out, err);
    p.out = out.str();
    p.err = err.str();
    return p;
}

TEST(Options, EveryCommandHasHelp) {
    std::ifstream page(TAMLO_MAN_PAGE);
    const std::string manual((std::istreambuf_iterator<char>(page)), {});
    for (const CommandRow& row : commandTable()) {
        EXPECT_NE(manual.find(".TP\n.B " + std::string(row.name) + "\n"), std::string::npos)
            << "the manual page has no entry for " << row.name;
        const Parsed p = parse({std::string(row.name), "--help"});
        EXPECT_EQ(p.status, kExitOk) << row.name;
        EXPECT_NE(p.out.find(row.name), std::string::npos) << p.out;
        for (const char* common : {"--strict", "--quiet", "--log FILE", "--simulate[=VERSION]"}) {
            EXPECT_NE(p.out.find(common), std::string::npos) << row.name << ": " << common;
        }
    }
    const Parsed top = parse({"--help"});
    EXPECT_EQ(top.status, kExitOk);
    for (const CommandRow& row : commandTable()) {
        EXPECT_NE(top.out.find(row.name), std::string::npos) << row.name;
    }
    const Parsed version = parse({"--version"});
    EXPECT_EQ(version.status, kExitOk);
    EXPECT_EQ(version.out.rfind("tamlo ", 0), 0u);
}

TEST(Options, CommandsTakeTheirOptions) {
    Parsed p = parse({"apply", "fleet.toml", "-p", "COM1", "--port", "COM2", "--dry-run", "--json",
                      "--strict", "-q", "--log", "wire.log"});
    ASSERT_FALSE(p.status.has_value()) << p.err;
    EXPECT_EQ(p.options.command, "apply");
    EXPECT_EQ(p.options.file, "fleet.toml");
    EXPECT_EQ(p.options.ports, (std::vector<std::string>{"COM1", "COM2"}));
    EXPECT_TRUE(p.options.dryRun && p.options.json && p.options.strict && p.options.quiet);
    EXPECT_EQ(p.options.log, "wire.log");
    EXPECT_TRUE(p.options.verify);

    p = parse({"write", "-p", "COM1", "f.toml", "--no-verify"});
    ASSERT_FALSE(p.status.has_value()) << p.err;
    EXPECT_FALSE(p.options.verify);

    p = parse({"rssi", "--all", "--interval", "500", "--count", "3", "--csv", "s.csv"});
    ASSERT_FALSE(p.status.has_value()) << p.err;
    EXPECT_TRUE(p.options.all);
    EXPECT_EQ(p.options.intervalMs, 500);
    EXPECT_EQ(p.options.count, 3);
    EXPECT_EQ(p.options.csv, "s.csv");
}

TEST(Options, SimulateTakesAnOptionalVersionAndBecomesTheDefaultPort) {
    Parsed p = parse({"--simulate", "read"});
    ASSERT_FALSE(p.status.has_value()) << p.err;
    EXPECT_EQ(p.options.simulate, "2.05");
    EXPECT_EQ(p.options.ports, (std::vector<std::string>{"sim"}));
    p = parse({"read", "--simulate=1.75"});
    ASSERT_FALSE(p.status.has_value()) << p.err;
    EXPECT_EQ(p.options.simulate, "1.75");
    p = parse({"ports"});
    EXPECT_FALSE(p.options.simulate.has_value());
}

TEST(Options, UsageErrorsAreStatusTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"read", "-p", "COM1", "-p", "COM2", "-p"},
        {"diff", "a.toml", "b.toml", "-p", "COM1"},
        {"rssi", "-p", "COM1", "--json", "--csv", "-"},
        {"completion", "tcsh"},
        {"write", "-p", "COM1"},
        {"apply", "f.toml", "--all", "-p", "COM1"},
        {"rssi", "-p", "COM1", "--interval", "100"},
        {"rssi", "-p", "COM1", "--count", "0"},
        {"read", "-p", "COM1", "--bogus"},
    };
    for (const auto& args : cases) {
        const Parsed p = parse(args);
        EXPECT_EQ(p.status, kExitUsage) << (args.empty() ? "" : args.front());
        EXPECT_FALSE(p.err.empty() && p.out.empty());
    }
}

}  // namespace
}  // namespace tamlo::cli
