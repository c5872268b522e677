// The receiver's serial line on a POSIX terminal device: a real RS-232 port, a USB adapter
// or a pseudo-terminal (the simulated receiver). The Windows time-outs the protocol was
// tuned against are emulated with poll(), so reads and writes never wait longer than they
// would there.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
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

// Why the last openPort failed.
enum class OpenRefusal {
    None,
    Missing,       // no such device
    NotTerminal,   // a directory, a regular file, /dev/null ...
    InUse,         // another program holds it (flock or its exclusive flag)
    Permission,    // the user may not open it
    LineSettings,  // a terminal that does not take 1200 baud, 8 bits, 2 stop bits
    Other,
};

class PosixSerialPort final : public SerialPort {
  public:
    // diagnostics receives one line for every device that is refused for its permissions,
    // and one for every named device that does not open, with the reason.
    PosixSerialPort(std::ostream& diagnostics, PosixPortOptions options = {});
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    bool openPort(std::string_view name) override;
    void closePort() override;
    bool isPortOpen() const override { return fd_ >= 0; }
    int32_t bytesWaiting() override;
    int32_t readPort(uint8_t* buffer, int32_t count) override;
    int32_t writePort(const uint8_t* buffer, int32_t count) override;
    std::vector<std::string> portNames() override;

    // The descriptor of the open device, -1 when none is open (tests look at its termios).
    int fileDescriptor() const { return fd_; }
    OpenRefusal lastRefusal() const { return lastRefusal_; }

  private:
    bool refuse(const std::string& path, OpenRefusal why, int error = 0);
    void reportPermissionDenied(const std::string& path);
    void releaseDescriptor();

    std::ostream& diagnostics_;
    PosixPortOptions options_;
    int fd_ = -1;
    // Whether the exclusive flag on the open device is ours to clear.
    bool setExclusive_ = false;
    OpenRefusal lastRefusal_ = OpenRefusal::None;
};

}  // namespace tamlo
