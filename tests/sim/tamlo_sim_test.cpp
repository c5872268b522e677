// The tamlo-sim program as a separate process: device path first, replies at the line's
// pace, a clean end on SIGTERM, status 2 on a bad option.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/device.h"
#include "sim/line_timing.h"
#include "sim/receiver.h"

extern char** environ;

namespace tamlo::sim {
namespace {

using testing::Device;
using testing::monotonicNs;

struct Process {
    pid_t pid = -1;
    int out = -1;
    int err = -1;

    explicit Process(const std::vector<std::string>& args) {
        int outPipe[2];
        int errPipe[2];
        if (pipe(outPipe) != 0 || pipe(errPipe) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
        posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
        posix_spawn_file_actions_addclose(&actions, outPipe[0]);
        posix_spawn_file_actions_addclose(&actions, errPipe[0]);
        std::vector<std::string> all = {TAMLO_SIM_PATH};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&pid, TAMLO_SIM_PATH, &actions, nullptr, argv.data(), environ) != 0) {
            pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(outPipe[1]);
        close(errPipe[1]);
        out = outPipe[0];
        err = errPipe[0];
    }
    ~Process() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        close(out);
        close(err);
    }

    // Reads fd until end of file, a line end (when stopAtLine) or the time is up.
    static std::string readFrom(int fd, int ms, bool stopAtLine) {
        std::string text;
        const int64_t end = monotonicNs() + static_cast<int64_t>(ms) * 1'000'000;
        while (monotonicNs() < end && !(stopAtLine && text.find('\n') != std::string::npos)) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) {
                continue;
            }
            char c = 0;
            if (read(fd, &c, 1) != 1) {
                break;
            }
            text += c;
        }
        return text;
    }

    // Exit status, or -1 when it did not end in time (or ended by a signal).
    int wait(int ms) {
        const int64_t end = monotonicNs() + static_cast<int64_t>(ms) * 1'000'000;
        while (monotonicNs() < end) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            usleep(10'000);
        }
        return -1;
    }
};

TEST(TamloSim, AnswersVersionAtTheLinesPaceAndEndsOnSigterm) {
    Process sim({"--firmware", "2.05"});
    ASSERT_GT(sim.pid, 0);
    std::string path = Process::readFrom(sim.out, 5000, true);
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
    const std::string log = Process::readFrom(sim.err, 1000, false);
    EXPECT_NE(log.find("  V"), std::string::npos) << log;
}

TEST(TamloSim, RefusesBadOptionsWithStatus2) {
    const std::vector<std::vector<std::string>> cases = {
        {"--bogus"},     {"--ch1", "140.000"}, {"--fault", "loud"}, {"--lna", "2"},
        {"--threshold"}, {"--firmware", "V2"}, {"--current", "-1"}, {"extra"},
    };
    for (const auto& args : cases) {
        Process sim(args);
        ASSERT_GT(sim.pid, 0);
        EXPECT_EQ(sim.wait(5000), 2) << args[0];
        EXPECT_EQ(Process::readFrom(sim.out, 100, false), "") << args[0];
        EXPECT_NE(Process::readFrom(sim.err, 1000, false).find("tamlo-sim: "), std::string::npos)
            << args[0];
    }
}

TEST(TamloSim, HelpGoesToStandardOutput) {
    Process sim({"--help"});
    ASSERT_GT(sim.pid, 0);
    EXPECT_EQ(sim.wait(5000), 0);
    EXPECT_EQ(Process::readFrom(sim.out, 1000, false).rfind("usage: tamlo-sim", 0), 0U);
}

}  // namespace
}  // namespace tamlo::sim
