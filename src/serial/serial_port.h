// The one serial line to the receiver, as the rest of the program sees it.
//
// Implementations: POSIX termios (serial/linux), the Windows communications calls
// (serial/win32) and the simulated receiver's virtual-time line (sim). Which ports there
// are is the PortLister's to say. Every port is opened with the receiver's fixed
// settings: 1200 baud, 8 data bits, no parity, 2 stop bits, no handshake, RTS held off,
// and the time-outs below; the settings it had are put back when it is closed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "serial/port_opening.h"

namespace tamlo {

// Time-outs of every open port, in milliseconds: a read of n bytes returns at the latest
// after kReadTotalPerByteMs * n + kReadTotalConstantMs, or kReadIntervalMs after the last
// byte received; a write of n bytes gives up after kWriteTotalPerByteMs * n +
// kWriteTotalConstantMs.
inline constexpr int32_t kReadIntervalMs = 100;
inline constexpr int32_t kReadTotalPerByteMs = 10;
inline constexpr int32_t kReadTotalConstantMs = 100;
inline constexpr int32_t kWriteTotalPerByteMs = 100;
inline constexpr int32_t kWriteTotalConstantMs = 10;
inline constexpr int32_t kBaudRate = 1200;
inline constexpr int32_t kQueueSize = 1024;

class SerialPort {
  public:
    virtual ~SerialPort() = default;

    // Called only while no port is open. A refusal says why the device did not open or
    // why it refused the line settings; nothing stays open then.
    virtual PortOpening openPort(std::string_view name) = 0;
    // Does nothing when no port is open.
    virtual void closePort() = 0;
    virtual bool isPortOpen() const = 0;
    // Received bytes waiting; 0 when no port is open or the query fails.
    virtual int32_t bytesWaiting() = 0;
    // Bytes read or written; 0 on failure or when no port is open.
    virtual int32_t readPort(uint8_t* buffer, int32_t count) = 0;
    virtual int32_t writePort(const uint8_t* buffer, int32_t count) = 0;
    // The system's words ("Input/output error") for the first write it refused since the
    // port was opened: a pulled adapter, a closed pseudo-terminal. Empty when none was
    // refused; a write cut short by its time-out is no refusal. Cleared by openPort.
    virtual std::string writeFailure() const { return {}; }
};

}  // namespace tamlo
