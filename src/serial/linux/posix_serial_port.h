// The receiver's serial line on a POSIX terminal device: a real RS-232 port, a USB adapter
// or a pseudo-terminal (the simulated receiver). The Windows time-outs the protocol was
// tuned against are emulated with poll(), so reads and writes never wait longer than they
// would there. A device that another program holds is not opened at all, and one that is
// opened gets its own line settings back when it is closed.
#pragma once

#include <termios.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "serial/serial_port.h"

namespace tamlo {

class DeviceUserPasses;

struct PosixPortOptions {
    // Listed first, in this order: the simulated receiver's pseudo-terminal.
    std::vector<std::string> leadingDevices;
    // Named on the command line; listed among the discovered ones in natural order.
    std::vector<std::string> namedDevices;
    std::filesystem::path sysfsRoot = "/sys";
    std::filesystem::path devRoot = "/dev";
    // Where other programs' descriptors and their UUCP lock files (LCK..ttyS0) are seen.
    std::filesystem::path procRoot = "/proc";
    std::filesystem::path lockRoot = "/var/lock";
    // Shared by the ports a program opens at once, so that they look through /proc together;
    // none: each port looks alone.
    std::shared_ptr<DeviceUserPasses> userPasses;
    // Whether to look through sysfs at all (tests list only what they name).
    bool discover = true;
};

// A port opened to talk to the receiver, or only to try whether it takes the line
// settings: a try leaves the modem lines alone, so that nothing changes.
enum class PortUse { Talk, TryOnly };

class PosixSerialPort final : public SerialPort {
  public:
    explicit PosixSerialPort(PosixPortOptions options = {}, PortUse use = PortUse::Talk);
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    PortOpening openPort(std::string_view name) override;
    void closePort() override;
    bool isPortOpen() const override { return fd_ >= 0; }
    int32_t bytesWaiting() override;
    int32_t readPort(uint8_t* buffer, int32_t count) override;
    int32_t writePort(const uint8_t* buffer, int32_t count) override;
    std::string writeFailure() const override { return writeFailure_; }

  private:
    // Closes the device and passes the refusal on.
    PortOpening refuse(PortOpening opening);
    void noteWriteFailure(int error);
    void releaseDescriptor();

    PosixPortOptions options_;
    PortUse use_;
    int fd_ = -1;
    // Whether the exclusive flag on the open device is ours to clear.
    bool setExclusive_ = false;
    // The device's settings and modem lines as we found them, put back as it is closed.
    bool restoreSettings_ = false;
    termios found_{};
    bool restoreLines_ = false;
    int foundLines_ = 0;
    std::string writeFailure_;
};

// What is known against opening path without opening it, as every open checks first and
// the lister tells: missing, not a terminal device, not this user's to open, or held by
// another process (its descriptor in /proc, or its live UUCP lock). None when nothing is.
PortOpening inspectDevice(const std::string& path, const PosixPortOptions& options);

}  // namespace tamlo
