// A serial line to the simulated receiver in virtual time; it is the port, its lister and
// the clock at once, so a conversation runs in microseconds and every byte's time is exact.
//
// Pauses advance virtual time exactly. A byte the program writes reaches the receiver
// once transmitted; the receiver's bytes arrive one character time apart. Reads follow
// the port's time-outs: a read that finds too few bytes waits in virtual time for more,
// up to 10 ms a byte plus 100 ms, or 100 ms after the last byte that came. The receive
// queue holds 1024 bytes; what arrives beyond that is lost, as in a real driver.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "serial/clock.h"
#include "serial/port_lister.h"
#include "serial/serial_port.h"
#include "sim/link.h"
#include "sim/receiver.h"

namespace tamlo::sim {

class VirtualLine : public SerialPort, public PortLister, public Clock {
  public:
    struct Written {
        int64_t atNs;
        uint8_t byte;
    };

    // The receiver sits behind "COM1" until setPorts says otherwise.
    explicit VirtualLine(ReceiverSettings settings = {});

    Receiver& receiver() { return link_.receiver(); }
    const Receiver& receiver() const { return link_.receiver(); }

    // Names that exist and lead to the receiver (the same one behind every name).
    void setPorts(std::vector<std::string> names);
    // Names that exist but do not open, as when another program holds them; portNames
    // lists them too.
    void setUnopenable(std::vector<std::string> names);

    // Virtual time since construction.
    int64_t nowNs() const { return nowNs_; }
    int64_t nowMs() const { return nowNs_ / kNsPerMs; }
    // Idle time passes (the receiver goes on transmitting meanwhile).
    void advanceMs(int64_t ms);

    // The far end sends these bytes now, paced like any reply.
    void inject(std::string_view bytes);

    // Every byte the program wrote successfully, with the virtual time of the write.
    const std::vector<Written>& written() const { return written_; }
    // The same bytes as one text.
    std::string writtenText() const;
    // Bytes lost because the receive queue was full.
    int64_t overflowedBytes() const { return overflowed_; }
    // Empty while no port is open.
    std::string openPortName() const { return isOpen_ ? openName_ : std::string(); }

    // SerialPort
    PortOpening openPort(std::string_view name) override;
    void closePort() override;
    bool isPortOpen() const override { return isOpen_; }
    int32_t bytesWaiting() override;
    int32_t readPort(uint8_t* buffer, int32_t count) override;
    int32_t writePort(const uint8_t* buffer, int32_t count) override;
    // A write to an unplugged receiver fails as the system would report it.
    std::string writeFailure() const override { return writeFailure_; }

    // PortLister: a probe leaves the open port as it is.
    std::vector<std::string> portNames() override;
    PortOpening inspect(std::string_view name) override;
    PortOpening probe(std::string_view name) override { return inspect(name); }

    // Clock
    void pauseMs(int32_t ms) override;

  private:
    bool unplugged() const;
    bool usable() const { return isOpen_ && !unplugged(); }
    // Brings the line up to the current virtual time.
    void catchUp();
    void runTo(int64_t ns);

    Link link_;
    int64_t nowNs_ = 0;
    std::vector<std::string> ports_{"COM1"};
    std::vector<std::string> unopenable_;
    bool isOpen_ = false;
    std::string openName_;
    std::deque<uint8_t> queue_;
    std::vector<Written> written_;
    std::string writeFailure_;
    int64_t overflowed_ = 0;
};

}  // namespace tamlo::sim
