// The ports the workers of a run hold open. A process that has to end while a worker is
// stuck outside its line (in a write into a full pipe, a FIFO, a disk that hangs) releases
// them first: closing a port clears its exclusive flag and its lock, so the next program,
// or the next run of this one, finds the device free and not "in use by tamlo".
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "serial/serial_port.h"

namespace tamlo::cli {

class HeldPort;

class HeldPorts {
  public:
    // Closes every port still open whose worker is not inside a call on it, waits up to
    // wait for those that are, and opens none from now on. Returns how many stay open.
    size_t releaseAll(std::chrono::milliseconds wait);

  private:
    friend class HeldPort;
    void add(HeldPort* port);
    void remove(HeldPort* port);
    bool closed() const { return closed_.load(); }

    std::mutex mutex_;
    std::vector<HeldPort*> ports_;
    std::atomic<bool> closed_{false};
};

// A port while a worker holds it: its calls and a release from another thread take turns;
// once released, it sends, reads and opens nothing.
class HeldPort final : public SerialPort {
  public:
    // held: null where nothing may release the port from outside (it is passed through).
    HeldPort(SerialPort& inner, HeldPorts* held);
    ~HeldPort() override;
    HeldPort(const HeldPort&) = delete;
    HeldPort& operator=(const HeldPort&) = delete;

    PortOpening openPort(std::string_view name) override;
    void closePort() override;
    bool isPortOpen() const override;
    int32_t bytesWaiting() override;
    int32_t readPort(uint8_t* buffer, int32_t count) override;
    int32_t writePort(const uint8_t* buffer, int32_t count) override;
    std::string writeFailure() const override;

    // From another thread: closes the port unless a call on it outlasts wait.
    bool release(std::chrono::milliseconds wait);

  private:
    SerialPort& inner_;
    HeldPorts* held_;
    mutable std::timed_mutex mutex_;
    bool released_ = false;
};

}  // namespace tamlo::cli
