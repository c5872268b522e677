// The receiver in real time on a pseudo-terminal, embedded as the desktop program does.
#include "sim/pty_server.h"

#include <gtest/gtest.h>

#include <time.h>
#include <unistd.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/device.h"
#include "sim/line_timing.h"

namespace tamlo::sim {
namespace {

using testing::Device;

int64_t processCpuNs() {
    timespec used{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return static_cast<int64_t>(used.tv_sec) * 1'000'000'000 + used.tv_nsec;
}

TEST(PtyServer, AnswersAtTheLinesPaceAcrossCloseAndReopen) {
    ReceiverSettings settings;
    settings.version = "1.85";
    settings.rssi = 73;
    PtyServer server(settings);
    std::mutex mutex;
    std::vector<std::string> lines;
    server.setLogSink([&](const std::string& line) {
        const std::lock_guard<std::mutex> lock(mutex);
        lines.push_back(line);
    });
    std::string error;
    ASSERT_TRUE(server.start(error)) << error;
    ASSERT_FALSE(server.devicePath().empty());

    for (int round = 0; round < 3; ++round) {
        Device device(server.devicePath());
        ASSERT_TRUE(device.isOpen());
        std::vector<int64_t> times;
        const int64_t sent = device.send("R");
        const std::string reply = device.collect(1000, 5, &times);
        EXPECT_EQ(reply, "R73\r\n") << "round " << round;
        ASSERT_EQ(times.size(), 5U);
        // One character in, processing, five characters out: never sooner.
        EXPECT_GE(times.back() - sent, charactersNs(6) + kProcessingNs);
    }
    server.stop();
    const std::lock_guard<std::mutex> lock(mutex);
    int heard = 0;
    for (const std::string& line : lines) {
        heard += line.find("  R") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(heard, 3);
}

TEST(PtyServer, WaitsQuietlyWhileNobodyHasTheDeviceOpen) {
    PtyServer server;
    std::string error;
    ASSERT_TRUE(server.start(error)) << error;
    {
        Device device(server.devicePath());
        device.send("V");
        device.collect(300, 15);
    }
    const int64_t before = processCpuNs();
    usleep(500'000);
    EXPECT_LT(processCpuNs() - before, 100'000'000);  // not spinning on the hang-up
    Device again(server.devicePath());
    again.send("V");
    EXPECT_EQ(again.collect(1000, 15), "V2.05 05-Nov-24");
}

TEST(PtyServer, StoresAPacedWriteSession) {
    PtyServer server;
    std::string error;
    ASSERT_TRUE(server.start(error)) << error;
    Device device(server.devicePath());
    const auto paced = [&device](const std::string& text, int ms) {
        for (const char c : text) {
            device.send(std::string(1, c));
            usleep(static_cast<useconds_t>(ms) * 1000);
        }
    };
    paced("E0", 200);
    paced("L12D1P0C38120T77", 25);
    paced("E1", 200);
    device.collect(50, 1000);  // the echoes
    device.send("X");
    const std::string block = device.collect(1500, 56);
    ASSERT_EQ(block.size(), 56U) << block;
    // Channel 3 word 824 = 0x0338 low byte first; threshold 0x4D; audio 0x0C; diversity 01;
    // LNA off.
    EXPECT_EQ(block.substr(13, 5), "38 03");
    EXPECT_EQ(block.substr(40, 2), "4D");
    EXPECT_EQ(block.substr(46, 2), "0C");
    EXPECT_EQ(block.substr(49, 2), "01");
    EXPECT_EQ(block.substr(52, 2), "00");
}

TEST(PtyServer, LinkLeadsToTheDeviceUntilStopped) {
    const std::string link = "/tmp/tamlo-sim-test-link-" + std::to_string(getpid());
    unlink(link.c_str());
    ASSERT_EQ(symlink("/nonexistent", link.c_str()), 0);  // a stale link is replaced
    PtyServer server;
    server.setLinkPath(link);
    std::string error;
    ASSERT_TRUE(server.start(error)) << error;
    char target[256] = {};
    ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), server.devicePath());
    server.stop();
    EXPECT_NE(access(link.c_str(), F_OK), 0);
    EXPECT_FALSE(server.running());

    const std::string file = link + "-file";
    {
        FILE* f = std::fopen(file.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    }
    PtyServer refused;
    refused.setLinkPath(file);
    EXPECT_FALSE(refused.start(error));
    EXPECT_NE(error.find("not a symbolic link"), std::string::npos) << error;
    unlink(file.c_str());
}

TEST(PtyServer, EventLineShowsTimeCommandAndWhyNot) {
    EXPECT_EQ(PtyServer::formatEvent({1'234'567'890, 0, "T12", "", true}), "     1.235  T12");
    EXPECT_EQ(PtyServer::formatEvent({5'000'000, 0, "P1", "not known to this firmware", true}),
              "     0.005  P1  (not known to this firmware)");
}

}  // namespace
}  // namespace tamlo::sim
