// The receiver's serial line on a POSIX terminal device: a real RS-232 port, a USB adapter
// or a pseudo-terminal (the simulated receiver). The Windows time-outs the protocol was
// tuned against are emulated with poll(), so reads and writes never wait longer than they
// would there.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "serial/serial_port.h"

namespace tamlo {

struct PosixPortOptions {
    // Listed first, in this order: the simulated receiver's pseudo-terminal.
    std::vector<std::string> leadingDevices;
    // Named on the command line; listed among the discovered ones in natural order.
    std::vector<std::string> namedDevices;
    std::filesystem::path sysfsRoot = "/sys";
    std::filesystem::path devRoot = "/dev";
    // Whether to look through sysfs at all (tests list only what they name).
    bool discover = true;
};

class PosixSerialPort final : public SerialPort {
  public:
    explicit PosixSerialPort(PosixPortOptions options = {});
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    PortOpening openPort(std::string_view name) override;
    PortOpening probePort(std::string_view name) override;
    void closePort() override;
    bool isPortOpen() const override { return fd_ >= 0; }
    int32_t bytesWaiting() override;
    int32_t readPort(uint8_t* buffer, int32_t count) override;
    int32_t writePort(const uint8_t* buffer, int32_t count) override;
    std::vector<std::string> portNames() override;
    std::string writeFailure() const override { return writeFailure_; }

  private:
    // Closes the device and passes the refusal on.
    PortOpening refuse(PortOpening opening);
    void noteWriteFailure(int error);
    void releaseDescriptor();

    PosixPortOptions options_;
    int fd_ = -1;
    // Whether the exclusive flag on the open device is ours to clear.
    bool setExclusive_ = false;
    std::string writeFailure_;
};

}  // namespace tamlo
