// The wire log of the headless sessions and the conversation tests: every command and every
// paced text the program sent, with the line's time when its first byte went out ("1250 E",
// "1450 L07D0P1"). It stands between the program and the line as their port and clock, and
// tells one send from the next by the receiver's own grammar: a command letter starts a
// send (but D and P, which only continue the audio command), and so does a byte sent after
// a command's 200 ms pause.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "serial/clock.h"
#include "serial/serial_port.h"

namespace tamlo {

class WireLog final : public SerialPort, public Clock {
  public:
    WireLog(SerialPort& port, Clock& clock, std::function<int64_t()> nowMs);

    // The sends since the last take, oldest first.
    std::vector<std::string> take();
    const std::vector<std::string>& sends() const { return sends_; }

    PortOpening openPort(std::string_view name) override { return port_.openPort(name); }
    void closePort() override { port_.closePort(); }
    bool isPortOpen() const override { return port_.isPortOpen(); }
    int32_t bytesWaiting() override { return port_.bytesWaiting(); }
    int32_t readPort(uint8_t* buffer, int32_t count) override {
        return port_.readPort(buffer, count);
    }
    int32_t writePort(const uint8_t* buffer, int32_t count) override;
    std::string writeFailure() const override { return port_.writeFailure(); }
    void pauseMs(int32_t ms) override;

  private:
    SerialPort& port_;
    Clock& clock_;
    std::function<int64_t()> nowMs_;
    std::vector<std::string> sends_;
    int32_t lastPauseMs_ = 0;  // the pause that followed the last byte sent
    bool sending_ = false;     // a send is open for more bytes
};

}  // namespace tamlo
