// The virtual line itself: exact character times, the port's read time-outs, the receive
// queue's limit, and which names open.
#include "sim/virtual_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/line_timing.h"

namespace tamlo::sim {
namespace {

ReceiverSettings withFault(Fault fault) {
    ReceiverSettings settings;
    settings.fault = fault;
    return settings;
}

// Reads one byte at a time; each read waits for its byte, so the time after it is the
// byte's arrival.
std::vector<int64_t> arrivalTimes(VirtualLine& port, size_t count) {
    std::vector<int64_t> times;
    for (size_t i = 0; i < count; ++i) {
        uint8_t byte = 0;
        if (port.readPort(&byte, 1) != 1) {
            break;
        }
        times.push_back(port.nowNs());
    }
    return times;
}

TEST(LineTiming, CharacterTimesAreExactFromTheStartOfARun) {
    EXPECT_EQ(kCharacterNs, 9'166'666);
    EXPECT_EQ(charactersNs(6), 55'000'000);
    EXPECT_EQ(charactersNs(1200), 11'000'000'000);

    LinePacer pacer;
    for (int64_t k = 1; k <= 5000; ++k) {
        ASSERT_EQ(pacer.schedule(0), charactersNs(k)) << k;  // crosses several rebases
    }
    // After a gap the next run starts afresh at its own earliest time.
    EXPECT_EQ(pacer.schedule(60'000'000'000), 60'000'000'000 + kCharacterNs);
    // A byte whose earliest time falls inside a character waits for the line.
    EXPECT_EQ(pacer.schedule(60'000'000'001), 60'000'000'000 + charactersNs(2));
}

TEST(VirtualLine, ReceiverBytesArriveOneCharacterTimeApart) {
    VirtualLine port(withFault(Fault::Silent));
    ASSERT_TRUE(port.openPort("COM1"));
    port.advanceMs(7);
    const int64_t start = port.nowNs();
    port.inject(std::string(30, 'a'));
    const std::vector<int64_t> times = arrivalTimes(port, 30);
    ASSERT_EQ(times.size(), 30U);
    for (size_t k = 0; k < times.size(); ++k) {
        EXPECT_EQ(times[k], start + charactersNs(static_cast<int64_t>(k) + 1)) << k;
    }
}

TEST(VirtualLine, ProgramBytesReachTheReceiverWhenFullyTransmitted) {
    VirtualLine port;
    ASSERT_TRUE(port.openPort("COM1"));
    port.advanceMs(10);
    const uint8_t two[] = {'V', 'R'};
    EXPECT_EQ(port.writePort(two, 2), 2);  // back to back: the second waits for the first
    port.advanceMs(500);
    const auto& events = port.receiver().events();
    ASSERT_EQ(events.size(), 2U);
    EXPECT_EQ(events[0].atNs, 10 * kNsPerMs + kCharacterNs);
    EXPECT_EQ(events[1].atNs, 10 * kNsPerMs + charactersNs(2));
    ASSERT_EQ(port.written().size(), 2U);
    EXPECT_EQ(port.written()[1].atNs, 10 * kNsPerMs);
}

TEST(VirtualLine, EchoFollowsTheCommandByCharacterAndProcessingTime) {
    VirtualLine port;
    ASSERT_TRUE(port.openPort("COM1"));
    const uint8_t v = 'V';
    port.writePort(&v, 1);
    const std::vector<int64_t> times = arrivalTimes(port, 3);
    ASSERT_EQ(times.size(), 3U);
    const int64_t replyStart = kCharacterNs + kProcessingNs;
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(times[k], replyStart + charactersNs(static_cast<int64_t>(k) + 1));
    }
}

TEST(VirtualLine, ReadsEndByTheTimeOutsOfThePort) {
    struct Case {
        size_t injected;  // bytes sent by the far end at the start of the read
        int32_t requested;
        int32_t got;
        int64_t elapsedNs;
    };
    const Case cases[] = {
        {0, 1, 0, 110 * kNsPerMs},  // nothing comes: 10 ms a byte + 100 ms
        {0, 5, 0, 150 * kNsPerMs},
        {3, 10, 3, charactersNs(3) + 100 * kNsPerMs},  // 100 ms after the last byte
        {4, 4, 4, charactersNs(4)},                    // all there: at once with the last
        {40, 20, 20, charactersNs(20)},
        {40, 2, 2, charactersNs(2)},
    };
    for (const Case& c : cases) {
        VirtualLine port(withFault(Fault::Silent));
        ASSERT_TRUE(port.openPort("COM1"));
        port.inject(std::string(c.injected, 'z'));
        std::vector<uint8_t> buffer(static_cast<size_t>(c.requested));
        EXPECT_EQ(port.readPort(buffer.data(), c.requested), c.got) << c.requested;
        EXPECT_EQ(port.nowNs(), c.elapsedNs) << c.injected << " / " << c.requested;
    }
}

TEST(VirtualLine, ReadOfBytesAlreadyWaitingTakesNoTime) {
    VirtualLine port(withFault(Fault::Silent));
    ASSERT_TRUE(port.openPort("COM1"));
    port.inject("abc");
    port.advanceMs(100);
    uint8_t buffer[3] = {};
    EXPECT_EQ(port.readPort(buffer, 3), 3);
    EXPECT_EQ(port.nowMs(), 100);
    EXPECT_EQ(std::string(buffer, buffer + 3), "abc");
}

TEST(VirtualLine, ReceiveQueueKeeps1024BytesAndLosesTheRest) {
    VirtualLine port(withFault(Fault::Silent));
    ASSERT_TRUE(port.openPort("COM1"));
    port.inject(std::string(1024, 'a') + "bcd");
    port.advanceMs(20'000);
    EXPECT_EQ(port.bytesWaiting(), 1024);
    EXPECT_EQ(port.overflowedBytes(), 3);
    uint8_t byte = 0;
    port.readPort(&byte, 1);
    port.inject("e");  // room for one again
    port.advanceMs(100);
    EXPECT_EQ(port.bytesWaiting(), 1024);
    EXPECT_EQ(port.overflowedBytes(), 3);
}

TEST(VirtualLine, OnlyListedNamesOpenAndOnlyOneAtATime) {
    VirtualLine port;
    port.setPorts({"COM3", "COM12"});
    port.setUnopenable({"COM4", "COM12"});
    EXPECT_EQ(port.portNames(), (std::vector<std::string>{"COM3", "COM12", "COM4"}));
    EXPECT_FALSE(port.openPort("COM1"));
    EXPECT_FALSE(port.openPort("COM4"));   // held by another program
    EXPECT_FALSE(port.openPort("COM12"));  // listed, but held
    EXPECT_FALSE(port.openPort("com3"));
    EXPECT_EQ(port.openPortName(), "");
    ASSERT_TRUE(port.openPort("COM3"));
    EXPECT_EQ(port.openPortName(), "COM3");
    EXPECT_FALSE(port.openPort("COM3"));
    port.closePort();
    port.closePort();  // closing twice does nothing
    EXPECT_FALSE(port.isPortOpen());
}

TEST(VirtualLine, ClosedOrUnpluggedPortReadsAndWritesNothing) {
    for (const bool unplug : {false, true}) {
        VirtualLine port;
        ASSERT_TRUE(port.openPort("COM1"));
        const uint8_t v = 'V';
        port.writePort(&v, 1);
        port.advanceMs(300);  // the reply is waiting
        if (unplug) {
            port.receiver().settings().fault = Fault::Unplugged;
        } else {
            port.closePort();
        }
        uint8_t buffer[4] = {};
        const int64_t before = port.nowNs();
        EXPECT_EQ(port.bytesWaiting(), 0);
        EXPECT_EQ(port.readPort(buffer, 4), 0);
        EXPECT_EQ(port.writePort(&v, 1), 0);
        EXPECT_EQ(port.nowNs(), before);  // fails at once, no time-out
        EXPECT_EQ(port.written().size(), 1U);
        // A pulled cable is the system refusing the write; a closed port is no write at all.
        EXPECT_EQ(port.writeFailure(), unplug ? "Input/output error" : "");
        if (unplug) {
            port.closePort();
            EXPECT_FALSE(port.openPort("COM1"));  // a removed device does not open
        }
    }
}

TEST(VirtualLine, BytesArrivingWhileClosedAreLost) {
    ReceiverSettings firstGeneration;
    firstGeneration.version = "1.75";
    VirtualLine port(firstGeneration);
    ASSERT_TRUE(port.openPort("COM1"));
    const uint8_t m = 'M';
    port.writePort(&m, 1);
    port.advanceMs(300);  // part of the text block is in
    port.closePort();
    port.advanceMs(300);
    ASSERT_TRUE(port.openPort("COM1"));
    EXPECT_EQ(port.bytesWaiting(), 0);
    port.advanceMs(3000);
    const int32_t rest = port.bytesWaiting();
    EXPECT_GT(rest, 0);  // what was still on its way after the reopen
    const int64_t whole = 1 + static_cast<int64_t>(port.receiver().textBlockReply().size());
    EXPECT_LT(rest, whole - 60);
}

}  // namespace
}  // namespace tamlo::sim
