// The tamlo-sim program as a separate process: device path first, replies at the line's
// pace, a clean end on SIGTERM, status 2 on a bad option.
#include <gtest/gtest.h>

#include <signal.h>

#include <string>
#include <vector>

#include "sim/line_timing.h"
#include "sim/receiver.h"
#include "support/child_process.h"
#include "support/device.h"

namespace tamlo::sim {
namespace {

using testing::ChildProcess;
using testing::Device;

// tamlo-sim with these options.
std::vector<std::string> tamloSim(std::vector<std::string> options) {
    options.insert(options.begin(), TAMLO_SIM_PATH);
    return options;
}

TEST(TamloSim, AnswersVersionAtTheLinesPaceAndEndsOnSigterm) {
    ChildProcess sim(tamloSim({"--firmware", "2.05"}));
    ASSERT_GT(sim.pid, 0);
    std::string path = ChildProcess::readFrom(sim.out, 5000, true);
    ASSERT_FALSE(path.empty());
    ASSERT_EQ(path.back(), '\n');
    path.pop_back();

    Device device(path);
    ASSERT_TRUE(device.isOpen()) << path;
    std::vector<int64_t> times;
    const int64_t sent = device.send("V");
    const std::string reply = device.collect(1000, 15, &times);
    EXPECT_EQ(reply, "V2.05 05-Nov-24");
    ASSERT_EQ(times.size(), reply.size());
    // Each byte after the command's own character time, the processing time and its own
    // place in the reply.
    for (size_t k = 0; k < times.size(); ++k) {
        EXPECT_GE(times[k] - sent, charactersNs(static_cast<int64_t>(k) + 2) + kProcessingNs - 1)
            << "byte " << k;
    }

    kill(sim.pid, SIGTERM);
    EXPECT_EQ(sim.wait(5000), 0);
    const std::string log = ChildProcess::readFrom(sim.err, 1000, false);
    EXPECT_NE(log.find("  V"), std::string::npos) << log;
}

TEST(TamloSim, RefusesBadOptionsWithStatus2) {
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus"},     {"--ch1", "140.000"}, {"--fault", "loud"}, {"--lna", "2"},
        {"--threshold"}, {"--firmware", "V2"}, {"--current", "-1"}, {"extra"},
    };
    for (const auto& args : cases) {
        ChildProcess sim(tamloSim(args));
        ASSERT_GT(sim.pid, 0);
        EXPECT_EQ(sim.wait(5000), 2) << args[0];
        EXPECT_EQ(ChildProcess::readFrom(sim.out, 100, false), "") << args[0];
        EXPECT_NE(ChildProcess::readFrom(sim.err, 1000, false).find("tamlo-sim: "),
                  std::string::npos)
            << args[0];
    }
}

TEST(TamloSim, HelpGoesToStandardOutput) {
    ChildProcess sim(tamloSim({"--help"}));
    ASSERT_GT(sim.pid, 0);
    EXPECT_EQ(sim.wait(5000), 0);
    EXPECT_EQ(ChildProcess::readFrom(sim.out, 1000, false).rfind("usage: tamlo-sim", 0), 0U);
}

}  // namespace
}  // namespace tamlo::sim
