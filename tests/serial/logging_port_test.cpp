#include "serial/logging_port.h"

#include <gtest/gtest.h>

#include <sstream>

#include "serial/exchange.h"
#include "sim/virtual_line.h"

namespace tamlo {
namespace {

TEST(SerialLog, DescribesBytesInHexAndPrintable) {
    const uint8_t bytes[] = {'V', '2', '.', '0', '5', '\r', '\n', 0xE9};
    EXPECT_EQ(SerialLog::describe(true, bytes, 1), ">  56  |V|");
    EXPECT_EQ(SerialLog::describe(false, bytes, 8), "<  56 32 2E 30 35 0D 0A E9  |V2.05...|");
}

TEST(SerialLog, RecordsAConversationWithItsTimes) {
    sim::VirtualLine line;
    std::ostringstream out;
    // The log keeps the line's own (virtual) time.
    SerialLog log(out, [&line] { return line.nowNs() / 1000; });
    LoggingSerialPort port(line, log);
    ASSERT_TRUE(port.openPort("COM1"));
    Line conversation{port, line};
    sendCommand(conversation, "R");
    const std::string reply = readResponse(port, "R");
    port.closePort();
    EXPECT_FALSE(port.openPort("COM9"));  // a refusal is logged with its reason
    EXPECT_EQ(reply, "40\r\n");
    EXPECT_EQ(out.str(),
              "         0.000 ms  COM1  opened\n"
              "         0.000 ms  COM1  >  52  |R|\n"
              "       200.000 ms  COM1  <  52 34 30 0D 0A  |R40..|\n"
              "       200.000 ms  COM1  closed\n"
              "       200.000 ms  COM9  did not open: does not exist\n");
}

}  // namespace
}  // namespace tamlo
