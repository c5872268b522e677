// A serial port that writes down every byte it sends and receives, for support cases:
// the time in milliseconds since the log began, the port, the direction, the bytes in hex
// and as printable text, one line per transfer: each byte sent (its own write, with its own
// time: the protocol is timed), and each reply as it was collected, from its first byte to
// the moment nothing more was waiting. Several ports may share one log; each line is
// written whole.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "serial/serial_port.h"

namespace tamlo {

class SerialLog {
  public:
    // Microseconds on any monotonic base; by default the steady clock.
    using TimeSource = std::function<int64_t()>;

    explicit SerialLog(std::ostream& out, TimeSource now = {});

    // "  1250.125 ms  COM3  >  45 30        E0", at now or at a time taken earlier.
    void bytes(std::string_view port, bool sent, const uint8_t* data, int32_t count);
    void bytesAt(int64_t atUs, std::string_view port, bool sent, const uint8_t* data,
                 int32_t count);
    int64_t nowUs() const { return now_(); }
    // "  1250.125 ms  COM3  opened" and the like.
    void event(std::string_view port, std::string_view what);

    // One line's text, without the time (tests compare these).
    static std::string describe(bool sent, const uint8_t* data, int32_t count);

  private:
    void line(std::string_view port, std::string_view text);
    void lineAt(int64_t atUs, std::string_view port, std::string_view text);

    std::ostream& out_;
    TimeSource now_;
    int64_t startUs_ = 0;
    std::mutex mutex_;
};

class LoggingSerialPort final : public SerialPort {
  public:
    // label names the port in the log; empty: the name it was opened under.
    LoggingSerialPort(SerialPort& inner, SerialLog& log, std::string label = {});
    ~LoggingSerialPort() override;
    LoggingSerialPort(const LoggingSerialPort&) = delete;
    LoggingSerialPort& operator=(const LoggingSerialPort&) = delete;

    PortOpening openPort(std::string_view name) override;
    // A probe sends and receives nothing; it is not logged.
    void closePort() override;
    bool isPortOpen() const override { return inner_.isPortOpen(); }
    int32_t bytesWaiting() override;
    int32_t readPort(uint8_t* buffer, int32_t count) override;
    int32_t writePort(const uint8_t* buffer, int32_t count) override;
    std::string writeFailure() const override { return inner_.writeFailure(); }

  private:
    // The reply collected so far goes into the log as one line.
    void logReceived();

    SerialPort& inner_;
    SerialLog& log_;
    std::string label_;
    std::string name_;
    std::vector<uint8_t> received_;
    int64_t receivedAtUs_ = 0;
};

}  // namespace tamlo
