// The five primitives on the virtual line: what they collect, what they send, and when.
#include "serial/exchange.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/line_timing.h"
#include "sim/virtual_line.h"

namespace tamlo {
namespace {

using sim::kNsPerMs;
using sim::VirtualLine;

// A line whose receiver never answers, so that only injected bytes arrive.
struct QuietLine {
    QuietLine() : port(silentSettings()) { EXPECT_TRUE(port.openPort("COM1")); }
    static sim::ReceiverSettings silentSettings() {
        sim::ReceiverSettings settings;
        settings.fault = sim::Fault::Silent;
        return settings;
    }
    VirtualLine port;
    Line line{port, port};
};

TEST(ReadResponse, KeepsWhatFollowsTheFirstMarker) {
    struct Case {
        std::string arrived;
        std::string marker;
        std::string answer;
    };
    const Case cases[] = {
        {"V2.05 x", "V", "2.05 x"},
        {"abcV", "V", ""},          // marker as the last byte
        {"V1V2", "V", "1V2"},       // second marker kept
        {"garbageX12", "X", "12"},  // bytes before the echo dropped
        {"nothing here", "R", ""},  // marker never arrives
        {std::string("R1\0"
                     "2\r",
                     5),
         "R", "12\r"},                               // zero byte missing, order kept
        {std::string("\xF0\xFF\0R7", 5), "R", "7"},  // noise and a zero before it
        {"v2.05", "V", ""},                          // case-sensitive
        {"", "V", ""},
    };
    for (const Case& c : cases) {
        QuietLine q;
        q.port.inject(c.arrived);
        q.port.advanceMs(1000);
        const int64_t before = q.port.nowNs();
        EXPECT_EQ(readResponse(q.port, c.marker), c.answer) << c.arrived;
        EXPECT_EQ(q.port.bytesWaiting(), 0) << "queue left with bytes: " << c.arrived;
        EXPECT_EQ(q.port.nowNs(), before) << "readResponse waited: " << c.arrived;
    }
}

TEST(ReadResponse, ReturnsOnlyThePartThatHasArrived) {
    QuietLine q;
    q.port.inject("R0123456789abcdefghij");
    // 100 ms carry 10 whole characters (the 11th ends at 100.8 ms).
    q.port.advanceMs(100);
    EXPECT_EQ(readResponse(q.port, "R"), "012345678");
    q.port.advanceMs(1000);
    // The marker went with the first collection; the rest is a new answer's prefix.
    EXPECT_EQ(readResponse(q.port, "9"), "abcdefghij");
}

TEST(ReadResponse, EndsOnAPortThatNeverStopsStreaming) {
    // Reports a byte waiting forever, like a device spewing without a pause.
    struct StreamingPort : SerialPort {
        PortOpening openPort(std::string_view) override { return {}; }
        void closePort() override {}
        bool isPortOpen() const override { return true; }
        int32_t bytesWaiting() override { return 1; }
        int32_t readPort(uint8_t* buffer, int32_t count) override {
            ++reads;
            if (!deliver || count < 1) {
                return 0;
            }
            buffer[0] = reads == 1 ? 'V' : 'a';
            return 1;
        }
        int32_t writePort(const uint8_t*, int32_t count) override { return count; }
        bool deliver = true;
        int64_t reads = 0;
    };
    StreamingPort streaming;
    EXPECT_EQ(static_cast<int64_t>(readResponse(streaming, "V").size()), kMaxResponseBytes - 1);
    EXPECT_EQ(streaming.reads, kMaxResponseBytes);

    streaming.reads = 0;
    flushInput(streaming);
    EXPECT_EQ(streaming.reads, kMaxFlushBytes);

    StreamingPort liar;  // says bytes are waiting, never delivers one
    liar.deliver = false;
    EXPECT_EQ(readResponse(liar, "V"), "");
    EXPECT_EQ(liar.reads, kMaxEmptyReads);
    liar.reads = 0;
    flushInput(liar);
    EXPECT_EQ(liar.reads, kMaxEmptyReads);
}

TEST(SendPaced, EachCharacterIsItsOwnWriteFollowedByThePause) {
    struct Case {
        std::string text;
        int32_t pauseMs;
    };
    const Case cases[] = {{"C14000", 250}, {"L07D0P1", 25}, {"T-5", 25}, {"", 250}, {"X", 0}};
    for (const Case& c : cases) {
        QuietLine q;
        q.port.advanceMs(3);  // not at zero, so that a time of 0 cannot pass by accident
        sendPaced(q.line, c.text, c.pauseMs);
        ASSERT_EQ(q.port.writtenText(), c.text);
        EXPECT_EQ(q.port.nowNs() - 3 * kNsPerMs,
                  static_cast<int64_t>(c.text.size()) * c.pauseMs * kNsPerMs)
            << c.text;
        for (size_t i = 0; i < c.text.size(); ++i) {
            EXPECT_EQ(q.port.written()[i].atNs,
                      (3 + static_cast<int64_t>(i) * c.pauseMs) * kNsPerMs)
                << c.text << " character " << i;
        }
    }
}

TEST(SendCommand, SendsOnlyTheFirstCharacterThenWaits200Ms) {
    const std::string commands[] = {"V", "VXM", "E0", ""};
    for (const std::string& command : commands) {
        QuietLine q;
        sendCommand(q.line, command);
        EXPECT_EQ(q.port.writtenText(), command.substr(0, 1));
        EXPECT_EQ(q.port.nowMs(), kCommandPauseMs) << command;
    }
}

TEST(SendCommand, WaitsEvenWhenNoPortIsOpen) {
    VirtualLine port;
    Line line{port, port};
    sendCommand(line, "R");
    sendPaced(line, "T45", 25);
    EXPECT_EQ(port.nowMs(), 200 + 75);
    EXPECT_TRUE(port.written().empty());
    EXPECT_EQ(readResponse(port, "R"), "");
}

TEST(FlushInput, DropsWhatHasArrivedAndNothingStillOnItsWay) {
    QuietLine q;
    flushInput(q.port);  // empty queue: returns at once
    EXPECT_EQ(q.port.nowNs(), 0);

    q.port.inject("0123456789");
    q.port.advanceMs(50);  // five characters in (45.8 ms), the sixth at 55 ms
    flushInput(q.port);
    EXPECT_EQ(q.port.nowMs(), 50);
    EXPECT_EQ(q.port.bytesWaiting(), 0);
    q.port.advanceMs(1000);
    EXPECT_EQ(readResponse(q.port, "5"), "6789");
}

TEST(PauseMs, AdvancesVirtualTimeExactly) {
    QuietLine q;
    const int32_t pauses[] = {0, -5, 1, 25, 200, 650, 1500};
    int64_t expected = 0;
    for (const int32_t ms : pauses) {
        pauseMs(q.line.clock, ms);
        expected += ms > 0 ? ms : 0;
        EXPECT_EQ(q.port.nowNs(), expected * kNsPerMs) << ms;
    }
}

}  // namespace
}  // namespace tamlo

namespace tamlo {
namespace {

// A driver queue of any size, whose reads now and then deliver nothing.
struct QueuedPort : SerialPort {
    std::string queue;
    int64_t reads = 0;
    int64_t failEvery = 0;  // every n-th read delivers nothing; 0: never
    PortOpening openPort(std::string_view) override { return {}; }
    void closePort() override {}
    bool isPortOpen() const override { return true; }
    int32_t bytesWaiting() override { return static_cast<int32_t>(queue.size()); }
    int32_t readPort(uint8_t* buffer, int32_t count) override {
        ++reads;
        if (count < 1 || queue.empty() || (failEvery > 0 && reads % failEvery == 0)) {
            return 0;
        }
        buffer[0] = static_cast<uint8_t>(queue.front());
        queue.erase(0, 1);
        return 1;
    }
    int32_t writePort(const uint8_t*, int32_t count) override { return count; }
};

TEST(FlushInput, DrainsMoreThanOneResponseBoundAndSurvivesEmptyReads) {
    QueuedPort port;
    port.queue = std::string(5000, 'V');
    port.failEvery = 3;
    flushInput(port);
    EXPECT_TRUE(port.queue.empty());
}

TEST(ReadResponse, AnEmptyReadNowAndThenLosesNothing) {
    QueuedPort port;
    port.queue = "xxR123\r\n";
    port.failEvery = 2;
    EXPECT_EQ(readResponse(port, "R"), "123\r\n");
    EXPECT_TRUE(port.queue.empty());
}

}  // namespace
}  // namespace tamlo
