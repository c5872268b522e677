// A serial line whose far end answers from a script: every read command the program sends
// ("V", "X", "M", "R") is answered with the next reply of the script, byte for byte as
// given (echo, noise, cut-off and all). The line is its own clock, in virtual time, and
// charges every read its time-outs, so that a handler's time is what it would be.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "serial/clock.h"
#include "serial/port_lister.h"
#include "serial/serial_port.h"

namespace tamlo::fuzzing {

class ScriptedLine final : public SerialPort, public PortLister, public Clock {
  public:
    explicit ScriptedLine(std::deque<std::string> replies) : replies_(std::move(replies)) {}

    int64_t nowMs() const { return nowMs_; }
    const std::string& written() const { return written_; }

    PortOpening openPort(std::string_view name) override;
    void closePort() override { open_ = false; }
    bool isPortOpen() const override { return open_; }
    int32_t bytesWaiting() override;
    int32_t readPort(uint8_t* buffer, int32_t count) override;
    int32_t writePort(const uint8_t* buffer, int32_t count) override;
    // COM1 is the receiver; COM2 stands for a device that has gone away.
    std::vector<std::string> portNames() override { return {"COM1", "COM2"}; }
    PortOpening inspect(std::string_view name) override {
        return name == "COM1" ? PortOpening{} : PortOpening{.refusal = OpenRefusal::Missing};
    }
    PortOpening probe(std::string_view name) override { return inspect(name); }
    void pauseMs(int32_t ms) override;

  private:
    std::deque<std::string> replies_;
    std::deque<uint8_t> queue_;
    std::string written_;
    int64_t nowMs_ = 0;
    bool open_ = false;
};

}  // namespace tamlo::fuzzing
