// The five timed primitives from which every conversation with the receiver is built.
// They never report an error: a missing or silent receiver shows up only as a short or
// empty answer, which the conversations judge.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "serial/clock.h"
#include "serial/serial_port.h"

namespace tamlo {

// The port and the clock that a conversation runs on.
struct Line {
    SerialPort& port;
    Clock& clock;
};

inline constexpr int32_t kCommandPauseMs = 200;
// A receiver that streams without a pause must not hang the program; on a real
// 1200-baud line far fewer bytes than this arrive between two collections.
inline constexpr int64_t kMaxResponseBytes = 4096;
// The flush drains what a driver may have buffered (more than the 1024-byte queue on some
// systems) and stops only at this many bytes, which a 1200-baud line needs minutes to send.
inline constexpr int64_t kMaxFlushBytes = 65536;
// A port that keeps reporting bytes waiting but delivers none is broken; after this many
// empty reads in a row the primitive stops asking.
inline constexpr int64_t kMaxEmptyReads = 16;

void pauseMs(Clock& clock, int32_t ms);
// Drops every byte waiting now; does not wait for bytes still on their way.
void flushInput(SerialPort& port);
// The first character of command as one byte, then 200 ms.
void sendCommand(Line& line, std::string_view command);
// Each character as its own one-byte write, followed by pauseMs (the last one too).
void sendPaced(Line& line, std::string_view text, int32_t pause);
// What is waiting after the first occurrence of marker; never waits itself.
std::string readResponse(SerialPort& port, std::string_view marker,
                         std::string* unmarked = nullptr);

}  // namespace tamlo
